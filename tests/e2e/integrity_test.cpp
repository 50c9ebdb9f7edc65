// The program checks its own file before anything else: a changed copy
// shows the alert and ends with exit code -1, touching nothing. imagehlp's
// MapFileAndCheckSumA judges the copies independently.
#include "uninstaller_test.h"

#include <algorithm>
#include <cstring>

#include "files.h"
#include "pe_image.h"

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

    // Runs the copy at path on the installed application and checks the
    // alert, the exit code and that nothing else happened.
    void ExpectAlert(const std::string &path)
    {
        ASSERT_NO_FATAL_FAILURE(InstallTestApp());
        e2e::RunRecord run = RunUninstallerAt(path, app_.logPath, e2e::SafestButton);
        ASSERT_TRUE(run.ended) << run.error;

        EXPECT_EQ(0xFFFFFFFFu, run.exitCode);
        ASSERT_EQ(1u, run.boxes.size()) << "boxes:" << BoxList(run);
        ExpectWarningBox(run.boxes[0], kCorruptText, kDefaultCaption);
        EXPECT_FALSE(run.progressDialogExisted) << "the progress dialog was created";
        ExpectAppUntouched();
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
        const e2e::PeSection *data = NULL;
        for (const e2e::PeSection &section : layout_.sections)
            if (section.name == ".rdata")
                data = &section;
        if (data == NULL) {
            ADD_FAILURE() << "no .rdata section";
            return 0;
        }
        std::vector<std::pair<size_t, size_t>> shown;  // [begin, end) of the alert's texts
        for (const char *text : {kCorruptText, kDefaultCaption}) {
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
    ExpectAlert(copy);
    std::cout << "flipped the byte at offset " << at << " of " << original_.size() << std::endl;
}

TEST_F(Integrity, TruncatedCopyRaisesAlert)
{
    std::vector<unsigned char> bytes(original_.begin(), original_.end() - 1);
    std::string copy = WriteCopy("truncated.exe", bytes);
    DWORD stamped = 0;
    DWORD computed = 0;
    ASSERT_NO_FATAL_FAILURE(Judge(copy, &stamped, &computed));
    EXPECT_NE(computed, stamped);
    ExpectAlert(copy);
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
    ExpectAlert(copy);
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
    ExpectAlert(copy);
}

TEST_F(Integrity, ZeroChecksumRaisesAlert)
{
    std::vector<unsigned char> bytes = original_;
    std::fill(bytes.begin() + layout_.checksumOffset, bytes.begin() + layout_.checksumOffset + 4, 0);
    std::string copy = WriteCopy("zero-checksum.exe", bytes);
    DWORD stamped = 0;
    DWORD computed = 0;
    ASSERT_NO_FATAL_FAILURE(Judge(copy, &stamped, &computed));
    EXPECT_EQ(0u, stamped);
    ExpectAlert(copy);
}

}  // namespace
