// Japanese Windows: the ANSI code page is 932, a double-byte one, in which
// the second byte of many characters is 0x5C, the backslash. The test runs
// under LC_ALL=ja_JP.UTF-8, which gives Wine's programs that code page (its
// CTest entry sets it; tests/e2e/CMakeLists.txt).
#include "uninstaller_test.h"

#include "files.h"
#include "install_log.h"
#include "recording_program.h"
#include "registry.h"

namespace {

// "ソフト" (software) and "表示" (display) in code page 932.
const std::string kSoftware = "\x83\x5C\x83\x74\x83\x67";
const std::string kDisplay = "\x95\x5C\x8E\xA6";

class DoubleByteCodePage : public UninstallerTest {
protected:
    void SetUp() override
    {
        ASSERT_EQ(932u, GetACP()) << "run under LC_ALL=ja_JP.UTF-8, with that locale installed "
                                     "(localedef -i ja_JP -f UTF-8 ja_JP.UTF-8)";
        ASSERT_NO_FATAL_FAILURE(UninstallerTest::SetUp());
        // Every folder on the way holds characters whose second byte is a
        // backslash, the log's own folders too.
        app_ = e2e::DescribeApp(folder_ + "\\" + kSoftware + "\\" + kDisplay, kSoftware + kDisplay);
    }

    void TearDown() override
    {
        std::string error;
        EXPECT_TRUE(e2e::DeleteValue(HKEY_LOCAL_MACHINE, e2e::kSharedDllsKey, dll_, &error)) << error;
        SetEnvironmentVariableA(e2e::kJournalVariable, NULL);
    }

    std::string dll_;
};

// The name holds no backslash, so the application's Uninstall entry goes,
// with everything else the log lists; the custom program, named without its
// extension, is found; the log's folders go when they are empty.
TEST_F(DoubleByteCodePage, AnApplicationWithJapaneseNamesIsRemovedWhole)
{
    const std::string home = app_.directories[2];
    const std::string undo = home + "\\" + kSoftware + " undo";
    const std::string journal = folder_ + "\\journal.txt";
    std::string error;
    dll_ = home + "\\" + kDisplay + ".dll";
    app_.files.push_back(dll_);
    app_.log.insert(app_.log.begin() + 1, e2e::LogRecord{kCustomProgram, undo, "-q"});
    for (const char *file : {".exe", ".exe.in", ".exe.out"})
        app_.log.push_back({kFile, undo + file, ""});
    app_.log.push_back({kSharedDll, dll_, ""});
    ASSERT_TRUE(InstallTestApp());
    ASSERT_TRUE(e2e::PlaceRecordingProgram(undo + ".exe", e2e::RecordingProgram(), &error)) << error;
    ASSERT_TRUE(e2e::SetValue(HKEY_LOCAL_MACHINE, e2e::kSharedDllsKey, dll_, e2e::DwordValue(1), &error)) << error;
    SetEnvironmentVariableA(e2e::kJournalVariable, journal.c_str());

    driver::RunRecord run = RunUninstaller(app_.logPath);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, kSoftware + kDisplay + " Uninstall", false));
    e2e::RegistryValue count;
    EXPECT_FALSE(e2e::ReadValue(HKEY_LOCAL_MACHINE, e2e::kSharedDllsKey, dll_, &count)) << "the count is released";
    std::vector<unsigned char> ran;
    ASSERT_TRUE(e2e::ReadBytes(journal, &ran, &error)) << "the custom program never ran: " << error;
    EXPECT_EQ(undo + ".exe\r\n", std::string(ran.begin(), ran.end()));
    EXPECT_TRUE(AppRemoved());
    EXPECT_FALSE(e2e::DirectoryExists(app_.folder)) << app_.folder;
    EXPECT_TRUE(NothingScheduled());
}

}  // namespace
