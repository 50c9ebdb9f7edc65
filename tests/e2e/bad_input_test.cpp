// Logs no setup program should write: random bytes, a huge log, the longest
// paths, texts with format directives, device names, trailing dots and
// blanks, relative paths, a name that is a key path, texts without their
// terminating zero. The program must not crash, must end with exit code 0,
// and must touch nothing the log does not name.
#include "uninstaller_test.h"

#include <cstdint>
#include <cstdlib>
#include <iostream>

#include "console_program.h"
#include "files.h"
#include "install_log.h"
#include "registry.h"
#include "restart.h"

namespace {

// A run of 100,000 records takes about a second and a half here: the bar
// moves a hundred times, whatever the number of records. This only stops a
// hang.
const DWORD kHugeRunLimitMs = 60000;

std::string BuiltInstlog()
{
    const char *hostPath = std::getenv("E2E_INSTLOG_EXE");
    return hostPath && *hostPath ? e2e::WindowsPathOfHostPath(hostPath) : "";
}

// Fixed pseudo-random bytes (xorshift32), the same in every run.
std::vector<unsigned char> PseudoRandomBytes(size_t count, uint32_t seed)
{
    std::vector<unsigned char> bytes;
    bytes.reserve(count);
    uint32_t state = seed;
    while (bytes.size() < count) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes.push_back(static_cast<unsigned char>(state >> 24));
    }
    return bytes;
}

class BadInput : public UninstallerTest {
protected:
    void TearDown() override
    {
        std::string error;
        EXPECT_TRUE(seededDll_.empty() || e2e::DeleteValue(HKEY_LOCAL_MACHINE, e2e::kSharedDllsKey, seededDll_, &error))
            << error;
    }

    // instlog's verdict on a log: its exit code and what it printed.
    void Instlog(const std::string &arguments, DWORD *exitCode, std::string *output)
    {
        const std::string instlog = BuiltInstlog();
        ASSERT_FALSE(instlog.empty()) << "E2E_INSTLOG_EXE names no instlog.exe";
        std::string error;
        ASSERT_TRUE(e2e::RunConsoleProgram("\"" + instlog + "\" " + arguments, kRunLimitMs, exitCode, output, &error))
            << error;
    }

    std::string seededDll_;  // a SharedDLLs value this test made
};

// A file that is no install log (here random bytes: no record of it has a
// type a setup program writes) named by mistake: the start-up failure's two
// boxes, and nothing changes, the file itself included. Unattended, no box
// and exit code 1603, and still nothing changes.
TEST_F(BadInput, RandomBytes)
{
    // The application is installed with its own log, which this run does
    // not name: none of it may change.
    ASSERT_TRUE(InstallTestApp());
    const std::string logPath = folder_ + "\\Random Bytes\\install.log";
    const std::vector<unsigned char> bytes = PseudoRandomBytes(300 * e2e::kRecordSize + 100, 0x2545F491);
    std::string error;
    ASSERT_TRUE(e2e::CreateDirectories(e2e::ParentOf(logPath), &error)) << error;
    ASSERT_TRUE(e2e::WriteBytes(logPath, bytes, &error)) << error;

    // instlog sees no usable record in it, and a truncated tail.
    DWORD verdict = 0;
    std::string findings;
    ASSERT_NO_FATAL_FAILURE(Instlog("check \"" + logPath + "\"", &verdict, &findings));
    EXPECT_EQ(1u, verdict) << findings;
    EXPECT_NE(std::string::npos, findings.find("tail: warning: 100 bytes")) << findings;
    EXPECT_NE(std::string::npos, findings.find("takes the file for no install log")) << findings;

    driver::RunRecord run = RunUninstaller(logPath, driver::SafestButton);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(ShowsBoxesOf(run, END_NO_LOG));
    EXPECT_FALSE(run.progressDialogShown);
    std::vector<unsigned char> left;
    EXPECT_TRUE(e2e::ReadBytes(logPath, &left, &error)) << error;
    EXPECT_TRUE(left == bytes) << "the file changed";
    EXPECT_TRUE(AppUntouched());

    run = RunUnattended("/S " + logPath);
    EXPECT_TRUE(EndedWith(run, 1603));
    EXPECT_TRUE(NoWindowSeen(run));
    EXPECT_TRUE(e2e::ReadBytes(logPath, &left, &error) && left == bytes) << "the file changed " << error;
    EXPECT_TRUE(AppUntouched());
    EXPECT_TRUE(NothingScheduled());
}

TEST_F(BadInput, HundredThousandRecords)
{
    // Records with no action make up the bulk; the application's files,
    // folders and entry are among them as usual.
    const size_t total = 100000;
    app_.log.insert(app_.log.begin() + 1, total - app_.log.size(), e2e::LogRecord{kNoAction, "", ""});
    ASSERT_EQ(total, app_.log.size());
    ASSERT_TRUE(InstallTestApp());

    const ULONGLONG start = GetTickCount64();
    // Looks at the dialog as often as it can would take a processor from
    // the run; a look every 100 ms is plenty.
    RunOptions slow;
    slow.limitMs = kHugeRunLimitMs;
    slow.pauseMs = 100;
    driver::RunRecord run = RunUninstaller(app_.logPath, AnswerYes, slow);
    const ULONGLONG took = GetTickCount64() - start;
    std::cout << total << " records: the run took " << took << " ms, the progress dialog looked at "
              << run.progress.size() << " times" << std::endl;
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", false));
    EXPECT_TRUE(AppRemoved());
    EXPECT_TRUE(NothingScheduled());
}

TEST_F(BadInput, DeviceNamesTrailingDotsAndBlanks)
{
    // The application is installed with its own log, which this run does
    // not name: none of it may change.
    ASSERT_TRUE(InstallTestApp());
    const std::string dir = folder_ + "\\Odd Names";
    std::string error;
    ASSERT_TRUE(e2e::CreateDirectories(dir + "\\Empty Folder", &error)) << error;
    for (const char *name : {"Listed With Dot.txt", "Listed With Blank.txt", "Keep.txt"})
        ASSERT_TRUE(e2e::WriteText(dir + "\\" + name, "odd names\r\n", &error)) << error;
    std::vector<e2e::LogRecord> log = {{kAppName, app_.name + " Odd", ""}};
    for (const std::string &path : {std::string("CON"), std::string("NUL"), std::string("COM1"),
                                     std::string("LPT1"), dir + "\\NUL", dir + "\\CON.txt",
                                     std::string("\\\\.\\PhysicalDrive0"), std::string("\\\\.\\C:"),
                                     dir + "\\Listed With Dot.txt.", dir + "\\Listed With Blank.txt ",
                                     dir + "\\Missing. . ."})
        log.push_back({kFile, path, ""});
    log.push_back({kDirectory, dir + "\\Empty Folder.", ""});
    const std::string logPath = folder_ + "\\Odd Log\\install.log";
    ASSERT_TRUE(e2e::CreateDirectories(e2e::ParentOf(logPath), &error)) << error;
    ASSERT_TRUE(e2e::WriteLog(logPath, log, &error)) << error;
    const std::string shortDir = e2e::ShortPath(dir);
    ASSERT_FALSE(shortDir.empty()) << dir;

    driver::RunRecord run = RunUninstaller(logPath);
    ASSERT_TRUE(EndedWith(run, 0));
    // Win32 drops trailing dots and blanks from a name, under Wine as under
    // Windows: the log names the two files and the empty folder, which go.
    EXPECT_EQ(std::vector<std::string>{"Keep.txt"}, e2e::FolderEntries(dir));
    EXPECT_TRUE(AppUntouched());

    // Bare CON, NUL, COM1 and LPT1 are relative paths and are passed over.
    // Devices named in a folder exist for GetShortPathNameA but cannot be
    // deleted, so they are scheduled like files in use (measured under Wine
    // 8.0: C:\...\NUL and C:\...\CON.txt keep the device's name after the
    // folder's short form, and the pending renames name the device alone),
    // and the restart is offered. Names such as \\.\C: have no short form
    // and are left alone, as missing items are.
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Odd Uninstall", true));
    const std::vector<std::string> scheduled = {"NUL=" + shortDir + "\\NUL", "NUL=" + shortDir + "\\CON"};
    EXPECT_EQ(scheduled, e2e::WininitRenameLines());
    std::vector<e2e::PendingOperation> pending;
    ASSERT_TRUE(e2e::ReadPendingOperations(&pending, &error)) << error;
    std::vector<std::string> pendingNames;
    for (const e2e::PendingOperation &operation : pending)
        pendingNames.push_back(operation.from);
    EXPECT_EQ((std::vector<std::string>{"\\??\\NUL", "\\??\\CON"}), pendingNames);

    // A restart tries them, fails, and drops them; nothing else goes.
    ASSERT_TRUE(e2e::SimulateRestart(&error)) << error;
    EXPECT_EQ(std::vector<std::string>{"Keep.txt"}, e2e::FolderEntries(dir));
    ASSERT_TRUE(e2e::ReadPendingOperations(&pending, &error)) << error;
    EXPECT_EQ(0u, pending.size());
    EXPECT_TRUE(AppUntouched());
}

TEST_F(BadInput, LongestPathsAndName)
{
    // 255 characters, the most a text of the log holds: a file, a folder
    // and the application's name.
    const std::string base = folder_ + "\\Long Paths";
    const std::string nested = base + "\\" + std::string(100, 'n');
    std::string file = nested + "\\";
    file += std::string(255 - file.size() - 4, 'f') + ".txt";
    std::string longDir = base + "\\";
    longDir += std::string(255 - longDir.size(), 'd');
    ASSERT_EQ(255u, file.size());
    ASSERT_EQ(255u, longDir.size());
    std::string name = "Long Name ";
    while (name.size() < 255)
        name += static_cast<char>('a' + name.size() % 26);
    // Known Wine difference: Wine refuses key names longer than 241
    // characters (Windows takes 255), so the entry of this name cannot be
    // made here; the key step tries it and fails, harmlessly. Another entry
    // whose name begins the same way must stay.
    const std::string otherKey = std::string(e2e::kUninstallKey) + "\\Long Name";

    std::string error;
    ASSERT_TRUE(e2e::CreateDirectories(nested, &error)) << error;
    ASSERT_TRUE(e2e::CreateDirectories(longDir, &error)) << error;
    ASSERT_TRUE(e2e::WriteText(file, "a long path\r\n", &error)) << error;
    ASSERT_TRUE(e2e::CreateKeyWithValues(HKEY_LOCAL_MACHINE, otherKey, {{"DisplayName", "Long Name"}}, &error))
        << error;
    const std::string logPath = folder_ + "\\Long Log\\install.log";
    ASSERT_TRUE(e2e::CreateDirectories(e2e::ParentOf(logPath), &error)) << error;
    ASSERT_TRUE(e2e::WriteLog(logPath,
                              {{kAppName, name, ""},
                               {kFile, file, ""},
                               {kDirectory, longDir, ""},
                               {kDirectory, nested, ""}},
                              &error))
        << error;

    driver::RunRecord run = RunUninstaller(logPath);
    ASSERT_TRUE(EndedWith(run, 0));
    // The caption holds 255 characters: the name is cut to 245 to keep
    // " Uninstall".
    const std::string caption = name.substr(0, 245) + " Uninstall";
    EXPECT_TRUE(CompletionBoxes(run, 1, caption, false));
    EXPECT_FALSE(e2e::FileExists(file)) << file;
    EXPECT_FALSE(e2e::DirectoryExists(longDir)) << longDir;
    EXPECT_FALSE(e2e::DirectoryExists(nested)) << nested;
    EXPECT_TRUE(e2e::DirectoryExists(base)) << base;
    EXPECT_TRUE(e2e::KeyExists(HKEY_LOCAL_MACHINE, otherKey)) << otherKey;
    EXPECT_TRUE(NothingScheduled());
}

TEST_F(BadInput, FormatDirectivesAreShownAsTheyStand)
{
    // printf's directives in the name, a file and a group: the caption and
    // the boxes show them as they stand, and the file named with them goes.
    app_ = e2e::DescribeApp(folder_, "50%s %n %x%% Tool");
    const std::string file = folder_ + "\\Percent %s %n %d.txt";
    app_.log.insert(app_.log.end() - 1, e2e::LogRecord{kFile, file, ""});
    // Wine's Program Manager refuses a group it does not have; its box
    // shows the command.
    app_.log.insert(app_.log.end() - 1, e2e::LogRecord{kProgramGroup, "", "%s %n Group"});
    ASSERT_TRUE(InstallTestApp());
    std::string error;
    ASSERT_TRUE(e2e::WriteText(file, "percent\r\n", &error)) << error;

    driver::RunRecord run = RunUninstaller(app_.logPath);
    ASSERT_TRUE(EndedWith(run, 0));
    const std::string caption = "50%s %n %x%% Tool Uninstall";
    ASSERT_EQ(3u, run.boxes.size()) << "boxes:" << BoxList(run);
    EXPECT_EQ(DdeFailedText("[DeleteGroup(\"%s %n Group\")]"),
              run.boxes[1].text);
    EXPECT_TRUE(CompletionBoxes(run, 2, caption, false));
    EXPECT_FALSE(e2e::FileExists(file)) << file;
    EXPECT_TRUE(AppRemoved());
}

TEST_F(BadInput, RelativePathsAreLeftAlone)
{
    // A relative path would name an item in whatever folder the uninstaller
    // was started from (System32, from the list of installed programs): a
    // file, a folder, a shared DLL counted under its relative name and a
    // drive-relative file in that folder all stay, with the count; so do
    // files of the same name elsewhere.
    const std::string working = folder_ + "\\Working Folder";
    const std::string name = "Relative File.txt";
    const std::string dll = "Relative Shared.dll";
    const std::string driveRelative = "Drive Relative.txt";
    ASSERT_TRUE(InstallTestApp());
    std::string error;
    ASSERT_TRUE(e2e::CreateDirectories(working + "\\Relative Folder", &error)) << error;
    const std::vector<std::string> others = {e2e::ParentOf(app_.logPath) + "\\" + name,
                                             e2e::ParentOf(exe_) + "\\" + name, folder_ + "\\" + name};
    for (const std::string &path : others)
        ASSERT_TRUE(e2e::WriteText(path, "same name\r\n", &error)) << error;
    for (const std::string &file : {name, dll, driveRelative})
        ASSERT_TRUE(e2e::WriteText(working + "\\" + file, "relative\r\n", &error)) << error;
    seededDll_ = dll;
    ASSERT_TRUE(e2e::SetValue(HKEY_LOCAL_MACHINE, e2e::kSharedDllsKey, dll, e2e::DwordValue(1), &error)) << error;
    app_.log.insert(app_.log.end() - 1, {{kFile, name, ""},
                                         {kDirectory, "Relative Folder", ""},
                                         {kSharedDll, dll, ""},
                                         {kFile, "C:" + driveRelative, ""}});
    ASSERT_TRUE(e2e::WriteLog(app_.logPath, app_.log, &error)) << error;

    RunOptions fromWorking;
    fromWorking.currentDirectory = working;
    driver::RunRecord run = RunUninstaller(app_.logPath, AnswerYes, fromWorking);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", false));
    EXPECT_EQ((std::vector<std::string>{driveRelative, name, "Relative Folder", dll}), e2e::FolderEntries(working));
    e2e::RegistryValue count;
    ASSERT_TRUE(e2e::ReadValue(HKEY_LOCAL_MACHINE, e2e::kSharedDllsKey, dll, &count)) << dll << "'s count is gone";
    EXPECT_EQ(e2e::Describe(e2e::DwordValue(1)), e2e::Describe(count));
    for (const std::string &path : others)
        EXPECT_TRUE(e2e::FileExists(path)) << path;
    EXPECT_TRUE(NothingScheduled());
}

TEST_F(BadInput, NameWithBackslashDeletesNoKey)
{
    // "<name>\Sub" would name a key inside the application's entry; the key
    // step is skipped, and the entry, its subkey and the other entries stay.
    const std::string sub = app_.UninstallKey() + "\\Sub";
    app_.log[0].primary = app_.name + "\\Sub";
    ASSERT_TRUE(InstallTestApp());
    std::string error;
    ASSERT_TRUE(e2e::CreateKeyWithValues(HKEY_LOCAL_MACHINE, sub, {{"Kept", "yes"}}, &error)) << error;

    driver::RunRecord run = RunUninstaller(app_.logPath);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + "\\Sub Uninstall", false));
    EXPECT_TRUE(AppRemoved({app_.UninstallKey()}));
    std::string kept;
    EXPECT_TRUE(e2e::ReadStringValue(HKEY_LOCAL_MACHINE, sub, "Kept", &kept)) << sub;
    EXPECT_TRUE(e2e::KeyExists(HKEY_LOCAL_MACHINE, e2e::kUninstallKey));
}

TEST_F(BadInput, TextsInUseWithoutTerminatingZeroAreNotActedOn)
{
    // Built from instlog's text form: records whose text fills its 256
    // bytes with no zero. Read on into the next field, the file record
    // would name a file of 256 characters; cut to 255, another; both exist
    // and must stay. The second name record would replace the first. The
    // folder record's secondary text, which a folder record does not use,
    // has no zero either: the folder goes.
    const std::string base = folder_ + "\\Unterminated";
    const std::string emptyFolder = base + "\\Empty Folder";
    std::string whole = base + "\\";
    whole += std::string(256 - whole.size() - 4, 'v') + ".txt";
    const std::string cut = whole.substr(0, 255);
    ASSERT_EQ(256u, whole.size());
    ASSERT_TRUE(InstallTestApp());
    std::string error;
    ASSERT_TRUE(e2e::CreateDirectories(emptyFolder, &error)) << error;
    for (const std::string &path : {whole, cut})
        ASSERT_TRUE(e2e::WriteText(path, "named by a text without its zero\r\n", &error)) << error;
    const std::string text = "# texts without their terminating zero\n"
                             "record APPNAME\n"
                             "  primary \"" + app_.name + "\"\n"
                             "record FILE\n"
                             "  primary \"" + whole + "\" unterminated\n"
                             "record DIR\n"
                             "  primary \"" + emptyFolder + "\"\n"
                             "  secondary \"" + std::string(256, 's') + "\" unterminated\n"
                             "record APPNAME\n"
                             "  primary \"" + std::string(256, 'N') + "\" unterminated\n"
                             "record FILE\n"
                             "  primary \"" + app_.files[0] + "\"\n";
    const std::string textPath = folder_ + "\\unterminated.txt";
    const std::string logPath = folder_ + "\\Unterminated Log\\install.log";
    ASSERT_TRUE(e2e::WriteText(textPath, text, &error)) << error;
    ASSERT_TRUE(e2e::CreateDirectories(e2e::ParentOf(logPath), &error)) << error;
    DWORD exitCode = 0;
    std::string output;
    ASSERT_NO_FATAL_FAILURE(Instlog("build \"" + textPath + "\" \"" + logPath + "\"", &exitCode, &output));
    ASSERT_EQ(0u, exitCode) << output;
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(e2e::ReadBytes(logPath, &bytes, &error)) << error;
    ASSERT_EQ(5 * e2e::kRecordSize, bytes.size());
    ASSERT_NO_FATAL_FAILURE(Instlog("check \"" + logPath + "\"", &exitCode, &output));
    EXPECT_EQ(1u, exitCode) << output;
    EXPECT_NE(std::string::npos, output.find("record 1: error:")) << output;
    EXPECT_EQ(std::string::npos, output.find("record 2:")) << output;
    EXPECT_NE(std::string::npos, output.find("record 3: error:")) << output;

    driver::RunRecord run = RunUninstaller(logPath);
    ASSERT_TRUE(EndedWith(run, 0));
    // The first name stands; the usable file record is acted on.
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", false));
    EXPECT_TRUE(e2e::FileExists(whole)) << whole;
    EXPECT_TRUE(e2e::FileExists(cut)) << cut;
    EXPECT_FALSE(e2e::DirectoryExists(emptyFolder)) << emptyFolder;
    EXPECT_FALSE(e2e::FileExists(app_.files[0])) << app_.files[0];
    EXPECT_FALSE(e2e::KeyExists(HKEY_LOCAL_MACHINE, app_.UninstallKey())) << app_.UninstallKey();
    EXPECT_TRUE(NothingScheduled());
}

}  // namespace
