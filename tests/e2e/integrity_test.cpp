// The program checks its own file before anything else: a changed copy
// shows the alert and ends with exit code -1, touching nothing, while a
// signed copy runs as the unsigned one does. imagehlp's MapFileAndCheckSumA
// judges the header CheckSum independently. The signed copies come from
// make_signed_copies.sh, through E2E_SIGNED_COPIES.
#include "uninstaller_test.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "files.h"
#include "pe_image.h"
#include "registry.h"

namespace {

class Integrity : public UninstallerTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(UninstallerTest::SetUp());
        std::string error;
        ASSERT_TRUE(e2e::ReadBytes(exe_, &original_, &error)) << error;
        ASSERT_TRUE(e2e::ReadPeLayout(original_, &layout_, &error)) << error;
    }

    // Writes bytes as a copy of the program beside the intact one.
    std::string WriteCopy(const std::string &name, const std::vector<unsigned char> &bytes)
    {
        std::string path = e2e::ParentOf(exe_) + "\\" + name;
        std::string error;
        EXPECT_TRUE(e2e::WriteBytes(path, bytes, &error)) << error;
        return path;
    }

    // Installs the application and runs the copy at path on it, answering
    // each box with its safest button: the run ended with exitCode.
    ::testing::AssertionResult RunCopy(const std::string &path, DWORD exitCode, driver::RunRecord *run)
    {
        ::testing::AssertionResult installed = InstallTestApp();
        if (!installed)
            return installed;
        RunOptions copy;
        copy.exe = path;
        *run = RunUninstaller(app_.logPath, driver::SafestButton, copy);
        return EndedWith(*run, exitCode);
    }

    // The copy at path, run on the installed application, shows the alert
    // and ends with exit code -1, and nothing else happens.
    ::testing::AssertionResult RaisesTheAlert(const std::string &path)
    {
        driver::RunRecord run;
        ::testing::AssertionResult ran = RunCopy(path, 0xFFFFFFFF, &run);
        if (!ran)
            return ran;
        ::testing::AssertionResult alert = ShowsBoxesOf(run, END_CORRUPT);
        if (!alert)
            return alert;
        if (run.progressDialogExisted)
            return ::testing::AssertionFailure() << "the progress dialog was created";
        return AppUntouched();
    }

    // The copy at path, run on the installed application, asks the question
    // (answered No) and changes nothing.
    ::testing::AssertionResult StartsNormally(const std::string &path)
    {
        driver::RunRecord run;
        ::testing::AssertionResult ran = RunCopy(path, 0, &run);
        if (!ran)
            return ran;
        if (run.boxes.size() != 1 || run.boxes[0].text != kConfirm)
            return ::testing::AssertionFailure() << "not the question alone; boxes:" << BoxList(run);
        return AppUntouched();
    }

    // A signed copy of the program: its bytes and its layout, which must
    // show a certificate table after the image that ends the file.
    void ReadSignedCopy(const std::string &name, std::vector<unsigned char> *bytes, e2e::PeLayout *layout)
    {
        const char *folder = std::getenv("E2E_SIGNED_COPIES");
        ASSERT_TRUE(folder != NULL && *folder) << "E2E_SIGNED_COPIES names no folder";
        std::string error;
        ASSERT_TRUE(e2e::ReadBytes(e2e::WindowsPathOfHostPath(std::string(folder) + "/" + name), bytes, &error))
            << error;
        ASSERT_TRUE(e2e::ReadPeLayout(*bytes, layout, &error)) << error;
        EXPECT_EQ(original_.size(), layout->certificatesOffset) << name;
        EXPECT_EQ(bytes->size(), (size_t)layout->certificatesOffset + layout->certificatesSize) << name;
    }

    const e2e::PeSection *Section(const char *name)
    {
        for (const e2e::PeSection &section : layout_.sections)
            if (section.name == name)
                return &section;
        ADD_FAILURE() << "no section " << name;
        return NULL;
    }

    // What imagehlp makes of the file at path: stamped and computed checksums.
    void Judge(const std::string &path, DWORD *stamped, DWORD *computed)
    {
        std::string error;
        ASSERT_TRUE(e2e::ImagehlpChecksum(path, stamped, computed, &error)) << error;
    }

    // The byte to flip: in the read-only data, nearest the file's middle,
    // outside the texts the alert shows (a change there would show in the
    // alert itself). Code stays as built, so the program surely runs.
    size_t ByteToFlip()
    {
        const e2e::PeSection *data = Section(".rdata");
        if (data == NULL)
            return 0;
        std::vector<std::pair<size_t, size_t>> shown;  // [begin, end) of the alert's texts
        for (const char *text : {kCorrupt, kDefaultCaption}) {
            std::vector<unsigned char> pattern(text, text + std::strlen(text) + 1);
            for (auto at = original_.begin();
                 (at = std::search(at, original_.end(), pattern.begin(), pattern.end())) != original_.end();
                 ++at) {
                size_t begin = at - original_.begin();
                shown.push_back({begin, begin + pattern.size()});
            }
        }
        auto allowed = [&](size_t at) {
            if (at < data->rawOffset || at >= data->rawOffset + data->rawSize)
                return false;
            for (const auto &range : shown)
                if (at >= range.first && at < range.second)
                    return false;
            return true;
        };
        const size_t middle = original_.size() / 2;
        for (size_t distance = 0; distance < original_.size(); distance++) {
            if (allowed(middle + distance))
                return middle + distance;
            if (distance <= middle && allowed(middle - distance))
                return middle - distance;
        }
        ADD_FAILURE() << "no byte to flip in .rdata";
        return 0;
    }

    std::vector<unsigned char> original_;
    e2e::PeLayout layout_;
};

TEST_F(Integrity, IntactProgramAgreesWithImagehlp)
{
    DWORD stamped = 0;
    DWORD computed = 0;
    ASSERT_NO_FATAL_FAILURE(Judge(exe_, &stamped, &computed));
    EXPECT_NE(0u, stamped);
    EXPECT_EQ(computed, stamped);
    EXPECT_EQ(layout_.checksum, stamped);
    EXPECT_EQ(0u, layout_.certificatesOffset);
    EXPECT_EQ(0u, layout_.certificatesSize);
}

TEST_F(Integrity, SignedCopyRemovesTheApplication)
{
    std::vector<unsigned char> bytes;
    e2e::PeLayout layout;
    ASSERT_NO_FATAL_FAILURE(ReadSignedCopy("signed.exe", &bytes, &layout));
    std::string error;
    ASSERT_TRUE(e2e::WriteBytes(exe_, bytes, &error)) << error;

    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUninstaller(app_.logPath);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", false));
    EXPECT_TRUE(AppRemoved());
}

// Signed over an earlier signature, with a nested second signature, with the
// header CheckSum as it was before signing (as some signing tools leave it),
// and unsigned with a header CheckSum of zero: the check does not cover what
// signing rewrites, so each runs.
TEST_F(Integrity, SignedOrRestampedCopiesStartNormally)
{
    std::vector<unsigned char> signedOnce;
    e2e::PeLayout signedLayout;
    ASSERT_NO_FATAL_FAILURE(ReadSignedCopy("signed.exe", &signedOnce, &signedLayout));
    for (const char *name : {"resigned.exe", "nested.exe", "stale.exe"}) {
        SCOPED_TRACE(name);
        std::vector<unsigned char> bytes;
        e2e::PeLayout layout;
        ASSERT_NO_FATAL_FAILURE(ReadSignedCopy(name, &bytes, &layout));
        std::string copy = WriteCopy(name, bytes);
        DWORD stamped = 0;
        DWORD computed = 0;
        ASSERT_NO_FATAL_FAILURE(Judge(copy, &stamped, &computed));
        if (std::string(name) == "stale.exe") {
            EXPECT_EQ(layout_.checksum, stamped) << "the CheckSum is not the one from before signing";
            EXPECT_NE(computed, stamped);
        } else {
            EXPECT_EQ(computed, stamped);
        }
        if (std::string(name) == "nested.exe") {
            EXPECT_GT(layout.certificatesSize, signedLayout.certificatesSize) << "no second signature";
        }
        EXPECT_TRUE(StartsNormally(copy));
    }
    std::vector<unsigned char> bytes = original_;
    std::fill(bytes.begin() + layout_.checksumOffset, bytes.begin() + layout_.checksumOffset + 4, 0);
    EXPECT_TRUE(StartsNormally(WriteCopy("zero-checksum.exe", bytes)));
}

// A signed copy with a byte changed or bytes after its signature, and an
// unsigned one whose stamp is zero.
TEST_F(Integrity, ChangedCopiesRaiseTheAlert)
{
    std::vector<unsigned char> signedOnce;
    e2e::PeLayout signedLayout;
    ASSERT_NO_FATAL_FAILURE(ReadSignedCopy("signed.exe", &signedOnce, &signedLayout));
    size_t at = ByteToFlip();
    const e2e::PeSection *stamp = Section(".imgsum");
    ASSERT_FALSE(HasFailure());

    std::vector<unsigned char> flipped = signedOnce;
    flipped[at] ^= 0xFF;
    std::vector<unsigned char> appended = signedOnce;
    appended.insert(appended.end(), 8, 0);
    std::vector<unsigned char> unstamped = original_;
    std::fill(unstamped.begin() + stamp->rawOffset, unstamped.begin() + stamp->rawOffset + 4, 0);
    for (const auto &copy : {std::make_pair("signed-flipped.exe", flipped),
                             std::make_pair("signed-appended.exe", appended),
                             std::make_pair("unstamped.exe", unstamped)}) {
        SCOPED_TRACE(copy.first);
        EXPECT_TRUE(RaisesTheAlert(WriteCopy(copy.first, copy.second)));
    }
}

TEST_F(Integrity, FlippedByteRaisesAlert)
{
    size_t at = ByteToFlip();
    ASSERT_FALSE(HasFailure());
    std::vector<unsigned char> bytes = original_;
    bytes[at] ^= 0xFF;
    std::string copy = WriteCopy("flipped.exe", bytes);
    DWORD stamped = 0;
    DWORD computed = 0;
    ASSERT_NO_FATAL_FAILURE(Judge(copy, &stamped, &computed));
    EXPECT_NE(computed, stamped) << "imagehlp sees no change at offset " << at;
    EXPECT_TRUE(RaisesTheAlert(copy));
    std::cout << "flipped the byte at offset " << at << " of " << original_.size() << std::endl;
}

// Unattended, a damaged copy ends with -1 as well, but shows no alert.
TEST_F(Integrity, TruncatedCopyRaisesAlert)
{
    std::vector<unsigned char> bytes(original_.begin(), original_.end() - 1);
    RunOptions copy;
    copy.exe = WriteCopy("truncated.exe", bytes);
    DWORD stamped = 0;
    DWORD computed = 0;
    ASSERT_NO_FATAL_FAILURE(Judge(copy.exe, &stamped, &computed));
    EXPECT_NE(computed, stamped);
    EXPECT_TRUE(RaisesTheAlert(copy.exe));

    driver::RunRecord run = RunUnattended("/S " + app_.logPath, copy);
    EXPECT_TRUE(EndedWith(run, 0xFFFFFFFF));
    EXPECT_TRUE(NoWindowSeen(run));
    EXPECT_FALSE(run.progressDialogExisted) << "the progress dialog was created";
    EXPECT_TRUE(AppUntouched());
}

TEST_F(Integrity, ExtendedCopyRaisesAlert)
{
    std::vector<unsigned char> bytes = original_;
    bytes.insert(bytes.end(), 16, 0);
    std::string copy = WriteCopy("extended.exe", bytes);
    DWORD stamped = 0;
    DWORD computed = 0;
    ASSERT_NO_FATAL_FAILURE(Judge(copy, &stamped, &computed));
    EXPECT_NE(computed, stamped);
    EXPECT_TRUE(RaisesTheAlert(copy));
}

// Two bytes appended whose word makes up for the added length: the header
// checksum still adds up, and only the file's size gives the change away.
TEST_F(Integrity, ExtensionKeepingChecksumRaisesAlert)
{
    DWORD stamped = 0;
    DWORD computed = 0;
    ASSERT_NO_FATAL_FAILURE(Judge(exe_, &stamped, &computed));
    ASSERT_EQ(0u, original_.size() % 2);
    // The sum is a 16-bit end-around-carry sum plus the length; adding the
    // word 0xFFFD takes 2 off the folded sum while the length grows by 2.
    std::vector<unsigned char> bytes = original_;
    bytes.push_back(0xFD);
    bytes.push_back(0xFF);
    std::string copy = WriteCopy("extended-same-sum.exe", bytes);
    DWORD newStamped = 0;
    DWORD newComputed = 0;
    ASSERT_NO_FATAL_FAILURE(Judge(copy, &newStamped, &newComputed));
    ASSERT_EQ(newStamped, newComputed) << "the appended word does not keep the checksum";
    EXPECT_TRUE(RaisesTheAlert(copy));
}

}  // namespace
