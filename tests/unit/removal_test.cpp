#include "log/install_log.h"
#include "removal/remove_app.h"
#include "res/resource.h"
#include "removal/delete_or_schedule.h"
#include "removal/key_tree.h"
#include "platform/text.h"
#include "shell/progress_dialog.h"
#include "support/sim_fixture.h"
#include "driver/program_texts.h"

using hardening::NamedRun;
using hardening::RunAndCheck;

#define LOG "C:\\Apps\\Tool\\install.log"
#define APP "C:\\Program Files\\Tool"

// The removal runs on the thread that owns the progress dialog here, so that
// the dialog's state can be read between the steps.
class Removal : public SimTest {
protected:
    void Start(const std::vector<TestRecord> &records)
    {
        WriteLog(LOG, records);
        LoadLibraryA(SIM_COMCTL32);
        g_hProgressDlg = CreateDialogParamA(nullptr, "UNINSTDLG", nullptr, ProgressDlgProc, 0);
        ASSERT_NE(nullptr, g_hProgressDlg);
        OpenAndScan(LOG);
    }

    void TearDown() override
    {
        CloseLog();
        SimTest::TearDown();
    }

    sim::WindowState Dialog() { return *sim::FindWindowByTemplate("UNINSTDLG"); }

    // What the user saw: each value for as long as it stood, repeats of one
    // value merged.
    template <class T> static std::vector<T> Shown(const std::vector<T> &values)
    {
        std::vector<T> shown;
        for (const T &v : values)
            if (shown.empty() || shown.back() != v)
                shown.push_back(v);
        return shown;
    }
    std::vector<std::string> Texts(int item) { return sim::FindItem(Dialog(), item)->texts; }
    std::vector<int> Positions() { return sim::FindItem(Dialog(), IDC_PROGRESS)->positions; }
};

TEST_F(Removal, ThreeRecordsMoveTheBarTo33_66And100)
{
    Start({{kAppName, "Tool", ""}, {kNoAction, "", ""}, {9, "", ""}});
    EXPECT_EQ(1, RemoveApplication());
    EXPECT_EQ((std::vector<int>{0, 33, 66, 100}), Shown(Positions()));
}

TEST_F(Removal, TenRecordsEndAt100Of120)
{
    std::vector<TestRecord> records(10, TestRecord{kNoAction, "", ""});
    Start(records);
    RemoveApplication();
    EXPECT_EQ((std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}), Shown(Positions()));
    EXPECT_EQ(100, sim::FindItem(Dialog(), IDC_PROGRESS)->position);
    EXPECT_EQ(120, sim::FindItem(Dialog(), IDC_PROGRESS)->rangeMax);
}

TEST_F(Removal, NothingIsSentThatTheDialogAlreadyShows)
{
    std::vector<TestRecord> records{{kAppName, "Tool", ""}};
    for (int i = 0; i < 500; i++)
        records.push_back({kFile, APP "\\file" + std::to_string(i) + ".txt", ""});
    records.push_back({kStatusOnly, "", ""});
    records.push_back({kStatusOnly, "", ""});
    Start(records);
    RemoveApplication();
    // Every file's path shows before it goes; the status shows once for
    // them all; the bar moves 100 times over 502 records.
    std::vector<std::string> details = Texts(IDC_DETAIL);
    EXPECT_EQ(1u + 500 + 1, details.size());
    EXPECT_EQ(APP "\\file499.txt", details[500]);
    std::vector<std::string> statuses = Texts(IDC_STATUS);
    EXPECT_EQ((std::vector<std::string>{kLoadingLog, kRemovingFile, kRemovingSysReg,
                                        kPreparingSystemFiles, kDeletingUninstallKey}),
              statuses);
    EXPECT_EQ(1u + 100, Positions().size());
    EXPECT_EQ(Positions(), Shown(Positions()));
}

TEST_F(Removal, AnEmptyLogMovesNothing)
{
    Start({});
    EXPECT_EQ(1, RemoveApplication());
    EXPECT_EQ(std::vector<int>{0}, Positions());
    EXPECT_TRUE(sim::RegKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY));
}

TEST_F(Removal, EveryRecordTypeShowsItsTextsInPassOrder)
{
    Start({{kAppName, "Tool", ""},
           {kDirectory, APP "\\Data", ""},
           {kFile, APP "\\tool.exe", ""},
           {kSharedDll, "C:\\WINDOWS\\system32\\shared.dll", ""},
           {kProgramGroup, "", "Tool Group"},
           {kStatusOnly, "", ""},
           {kCustomProgram, APP "\\undo", "-q"},
           {kNoAction, "", ""}});
    sim::AddFile(APP "\\tool.exe");
    sim::AddDir(APP "\\Data");
    sim::AddFile("C:\\WINDOWS\\system32\\shared.dll");
    sim::AddProgram(APP "\\undo.exe", [](const sim::ProgramRun &) { return 0u; });

    EXPECT_EQ(1, RemoveApplication());
    EXPECT_EQ((std::vector<std::string>{kLoadingLog, kRemovingFile, kUnregisteringDll,
                                        kRemovingProgmanItem, kRemovingSysReg,
                                        kRemovingDirectory, kPreparingSystemFiles,
                                        kDeletingUninstallKey}),
              Texts(IDC_STATUS));
    EXPECT_EQ((std::vector<std::string>{kPleaseWait, APP "\\tool.exe", "C:\\WINDOWS\\system32\\shared.dll",
                                        "", APP "\\Data", ""}),
              Texts(IDC_DETAIL));
    EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\system32\\shared.dll"));
}

// The parent was listed before its subfolder, so it still held it when the
// directories' pass reached it: it goes when the pass reads the log again.
// The invariants check that all else goes and that nothing waits for a
// restart.
TEST_F(Removal, FilesGoBeforeTheirDirectoriesWhateverTheLogOrder)
{
    EXPECT_TRUE(EndedAs(RunAndCheck(NamedRun("files_before_their_directories")), hardening::RUN_COMPLETED));
    EXPECT_FALSE(sim::DirExists(APP));
}

// What the restart cannot empty stays, and asks for no restart: the user's
// own files in the application's folder. A folder that holds only what
// waits for the restart waits too, after what it holds, whatever the order
// of the log.
TEST_F(Removal, OnlyFoldersTheRestartEmptiesWaitForIt)
{
    Start({{kAppName, "Tool", ""},
           {kDirectory, APP, ""},
           {kDirectory, APP "\\Data", ""},
           {kDirectory, APP "\\Data\\Busy", ""},
           {kDirectory, APP "\\Docs", ""},
           {kFile, APP "\\Data\\Busy\\busy.dll", ""},
           {kFile, APP "\\Docs\\manual.txt", ""}});
    sim::AddFile(APP "\\Data\\Busy\\busy.dll");
    sim::HoldFile(APP "\\Data\\Busy\\busy.dll");
    sim::AddFile(APP "\\Docs\\manual.txt");
    sim::AddFile(APP "\\Docs\\my notes.txt");

    EXPECT_EQ(1, RemoveApplication());
    EXPECT_EQ((std::vector<std::string>{sim::ShortPath(APP "\\Data\\Busy\\busy.dll"),
                                        sim::ShortPath(APP "\\Data\\Busy"), sim::ShortPath(APP "\\Data")}),
              sim::PendingDeletes());
    EXPECT_TRUE(sim::FileExists(APP "\\Docs\\my notes.txt"));
    EXPECT_FALSE(sim::FileExists(APP "\\Docs\\manual.txt"));
    EXPECT_EQ(1, g_rebootNeeded);
}

TEST_F(Removal, ADirectoryHoldingAFileInUseIsScheduled)
{
    Start({{kFile, APP "\\busy.dll", ""}, {kDirectory, APP, ""}});
    sim::AddFile(APP "\\busy.dll");
    sim::HoldFile(APP "\\busy.dll");

    EXPECT_EQ(1, RemoveApplication());
    EXPECT_TRUE(sim::FileExists(APP "\\busy.dll"));
    EXPECT_EQ((std::vector<std::string>{sim::ShortPath(APP "\\busy.dll"), sim::ShortPath(APP)}),
              sim::PendingDeletes());
    EXPECT_EQ(1, g_rebootNeeded);
}

// A record is acted on only when the texts its action uses end within their
// fields, and when its path names its item whatever the current folder: one
// started from the list of installed programs stands in System32. The rest
// are counted and passed over.
TEST_F(Removal, RecordsThatNameNothingExactlyAreCountedButNotActedOn)
{
    std::string cut = APP "\\" + std::string(256, 'a');
    sim::AddFile(cut.substr(0, 255));
    sim::AddFile(APP "\\unused text cut.txt");
    for (const char *inCurrentFolder : {"C:\\notes.ini", "C:\\drive.ini", "C:\\shared.dll"})
        sim::AddFile(inCurrentFolder);
    sim::AddDir("C:\\sub");
    sim::SetRegDword(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, "shared.dll", 1);
    Start({{kFile, cut.substr(0, 256), ""},
           {kDirectory, cut, ""},
           {kFile, APP "\\unused text cut.txt", std::string(256, 's')},
           {kFile, "notes.ini", ""},
           {kFile, "C:drive.ini", ""},
           {kDirectory, "sub", ""},
           {kSharedDll, "shared.dll", ""}});

    EXPECT_EQ(1, RemoveApplication());
    EXPECT_TRUE(sim::FileExists(cut.substr(0, 255)));
    EXPECT_FALSE(sim::FileExists(APP "\\unused text cut.txt"));
    for (const char *inCurrentFolder : {"C:\\notes.ini", "C:\\drive.ini", "C:\\shared.dll"})
        EXPECT_TRUE(sim::FileExists(inCurrentFolder)) << inCurrentFolder;
    EXPECT_TRUE(sim::DirExists("C:\\sub"));
    EXPECT_EQ(std::string("\x01\0\0\0", 4),
              sim::GetRegValue(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, "shared.dll")->data);
    EXPECT_TRUE(sim::PendingDeletes().empty());
    EXPECT_EQ(100, sim::FindItem(Dialog(), IDC_PROGRESS)->position);
}

// The entry goes with what the application stored below it; the other
// entries stay, and so does every key outside the entry's tree.
TEST_F(Removal, TheApplicationsOwnUninstallEntryGoesWithItsSubkeysAndNoOther)
{
    sim::SetRegValue(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Tool", "DisplayName", REG_SZ, "Tool");
    sim::SetRegValue(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Tool\\Extra\\Deeper", "Setting", REG_SZ, "1");
    sim::AddRegKey(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Tool\\Extra\\Beside");
    sim::AddRegKey(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Tool\\More");
    sim::AddRegKey(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Other App\\Sub");
    Start({{kAppName, "Tool", ""}});

    EXPECT_EQ(1, RemoveApplication());
    EXPECT_FALSE(sim::RegKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Tool"));
    EXPECT_TRUE(sim::RegKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Other App\\Sub"));
}

// A symbolic link in the tree, or an entry that is one, would lead out of
// it to the link's target: nothing is deleted through it, and the entry
// stays, since it cannot go whole.
TEST_F(Removal, NoKeyIsDeletedThroughASymbolicLink)
{
    sim::AddRegKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Tool\\Settings");
    sim::AddRegKey(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Tool\\Extra");
    sim::AddRegLink(UNINSTALL_KEY "\\Tool\\Config", "SOFTWARE\\Vendor\\Tool");
    sim::AddRegKey(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Other App\\Sub");
    sim::AddRegLink(UNINSTALL_KEY "\\Linked", UNINSTALL_KEY "\\Other App");
    for (const char *entry : {UNINSTALL_KEY "\\Tool", UNINSTALL_KEY "\\Linked"}) {
        char path[MESSAGE_SIZE];
        CopyText(path, sizeof(path), entry);
        EXPECT_EQ(0, DeleteKeyTree(path, sizeof(path))) << entry;
    }
    EXPECT_TRUE(sim::RegKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Tool\\Settings"));
    EXPECT_TRUE(sim::RegKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Other App\\Sub"));
    EXPECT_TRUE(sim::RegKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Tool\\Config"));
}

// Without a name, the Uninstall key itself would go with a delete of its
// own path; with a name holding a backslash, a key inside another entry.
// The invariants check that neither goes; the step still shows.
TEST_F(Removal, WithoutANameOrWithOneReachingIntoAnotherEntryNoKeyGoes)
{
    EXPECT_TRUE(EndedAs(RunAndCheck(NamedRun("no_name_keeps_uninstall_key")), hardening::RUN_COMPLETED));
    EXPECT_EQ(kDeletingUninstallKey, sim::FindItem(Dialog(), IDC_STATUS)->text);
    EXPECT_TRUE(EndedAs(RunAndCheck(NamedRun("name_reaching_into_another_entry")), hardening::RUN_COMPLETED));
}

TEST_F(Removal, TheDialogIsShownForTheRunAndHiddenAtItsEnd)
{
    Start({{kAppName, "Tool", ""}});
    EXPECT_FALSE(Dialog().everShown);
    EXPECT_EQ(1, RemoveApplication());
    EXPECT_TRUE(Dialog().everShown);
    EXPECT_FALSE(Dialog().visible);
    EXPECT_TRUE(Dialog().ended);
    EXPECT_FALSE(Dialog().destroyed);
}

TEST_F(Removal, FailingActionsNeitherStopNorShowAnything)
{
    Start({{kAppName, "Tool", ""}, {kFile, APP "\\a.txt", ""}, {kFile, APP "\\b.txt", ""}, {kDirectory, APP, ""}});
    sim::AddFile(APP "\\a.txt");
    sim::AddFile(APP "\\b.txt");
    sim::AddRegKey(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Tool");
    sim::FailCall("DeleteFileA", ERROR_ACCESS_DENIED, 1);
    sim::FailCall("MoveFileExA", ERROR_ACCESS_DENIED, 1);
    sim::FailCall("RegDeleteKeyA", ERROR_ACCESS_DENIED);

    EXPECT_EQ(1, RemoveApplication());
    EXPECT_TRUE(sim::FileExists(APP "\\a.txt"));
    EXPECT_FALSE(sim::FileExists(APP "\\b.txt"));
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_EQ(kDeletingUninstallKey, sim::FindItem(Dialog(), IDC_STATUS)->text);
}

// The programs inherit the open log, and with it its file position: one
// that reads the log through it (rewinding and reading one record, or
// reading to the end) changes neither which records the passes read nor
// how often.
TEST_F(Removal, CustomProgramsRunBeforeAnythingIsRemoved)
{
    bool fileWasThere = false;
    sim::AddProgram(APP "\\undo.exe", [&](const sim::ProgramRun &) {
        // Once only, so that a pass that followed the position would run it
        // twice, not for ever.
        if (!fileWasThere)
            sim::SetInheritedFilePositions(516);
        fileWasThere = sim::FileExists(APP "\\data.txt");
        return 0u;
    });
    sim::AddProgram(APP "\\reader.exe", [](const sim::ProgramRun &) {
        sim::SetInheritedFilePositions(5 * 516);
        return 0u;
    });
    sim::AddProgram(APP "\\last.exe", [](const sim::ProgramRun &) { return 0u; });
    sim::AddFile(APP "\\data.txt");
    sim::AddFile(APP "\\more.txt");
    Start({{kAppName, "Tool", ""},
           {kFile, APP "\\data.txt", ""},
           {kCustomProgram, APP "\\undo.exe", "/quiet"},
           {kCustomProgram, APP "\\reader.exe", ""},
           {kCustomProgram, APP "\\last.exe", ""},
           {kFile, APP "\\more.txt", ""}});

    EXPECT_EQ(1, RemoveApplication());
    EXPECT_TRUE(fileWasThere);
    EXPECT_FALSE(sim::FileExists(APP "\\data.txt"));
    EXPECT_FALSE(sim::FileExists(APP "\\more.txt"));
    std::vector<sim::ProgramRun> runs = sim::ProgramRuns();
    ASSERT_EQ(3u, runs.size());
    EXPECT_EQ(APP "\\last.exe", runs[2].path);
    EXPECT_EQ(std::vector<std::string>{LOG}, runs[0].openLogHandles) << "the program inherits the open log";
    EXPECT_EQ(100, sim::FindItem(Dialog(), IDC_PROGRESS)->position);
}

// The log is open for others to write: a custom program that rewrites it
// changes which program runs after it.
TEST_F(Removal, AProgramThatRewritesTheLogChangesWhatRunsAfterIt)
{
    std::vector<TestRecord> records{{kAppName, "Tool", ""}, {kCustomProgram, APP "\\first.exe", ""}, {kCustomProgram, APP "\\second.exe", ""}};
    sim::AddProgram(APP "\\first.exe", [&](const sim::ProgramRun &) {
        records[2].primary = APP "\\third.exe";
        WriteLog(LOG, records);
        return 0u;
    });
    sim::AddProgram(APP "\\second.exe", [](const sim::ProgramRun &) { return 0u; });
    sim::AddProgram(APP "\\third.exe", [](const sim::ProgramRun &) { return 0u; });
    Start(records);

    EXPECT_EQ(1, RemoveApplication());
    std::vector<sim::ProgramRun> runs = sim::ProgramRuns();
    ASSERT_EQ(2u, runs.size());
    EXPECT_EQ(APP "\\third.exe", runs[1].path);
}

TEST_F(Removal, AFailingCustomProgramStopsTheRemovalBeforePassB)
{
    std::vector<std::string> order;
    sim::AddProgram(APP "\\first.exe", [&](const sim::ProgramRun &) { order.push_back("first"); return 0u; });
    sim::AddProgram(APP "\\second.exe", [&](const sim::ProgramRun &) { order.push_back("second"); return 1u; });
    sim::AddProgram(APP "\\third.exe", [&](const sim::ProgramRun &) { order.push_back("third"); return 0u; });
    sim::AddFile(APP "\\data.txt");
    sim::AddRegKey(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Tool");
    Start({{kAppName, "Tool", ""},
           {kFile, APP "\\data.txt", ""},
           {kCustomProgram, APP "\\first.exe", ""},
           {kCustomProgram, APP "\\second.exe", ""},
           {kCustomProgram, APP "\\third.exe", ""},
           {kDirectory, APP, ""}});

    EXPECT_EQ(0, RemoveApplication());
    EXPECT_EQ((std::vector<std::string>{"first", "second"}), order);
    EXPECT_TRUE(sim::FileExists(APP "\\data.txt"));
    EXPECT_TRUE(sim::RegKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Tool"));
    std::vector<sim::MessageBoxRecord> boxes = sim::MessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kCustomRunFailed, boxes[0].text);
    EXPECT_EQ(kDefaultCaption, boxes[0].caption);
    EXPECT_EQ((UINT)(MB_OK | MB_ICONWARNING), boxes[0].type);
    // The dialog still shows what it was created with.
    EXPECT_EQ(std::vector<std::string>{kLoadingLog}, Texts(IDC_STATUS));
    EXPECT_EQ(std::vector<int>{0}, Positions());
    EXPECT_TRUE(Dialog().visible);
}

// A program whose name or argument text is cut has not cleaned up what the
// removal would delete next: the removal stops as after a failing one.
// The invariants check the boxes and that nothing changes.
TEST_F(Removal, ACustomProgramRecordWithACutTextStopsTheRemoval)
{
    EXPECT_TRUE(EndedAs(RunAndCheck(NamedRun("custom_program_text_cut")), hardening::RUN_ABORTED));
    EXPECT_TRUE(sim::ProgramRuns().empty());
}

TEST_F(Removal, SharedDllsAreReleasedInPassB)
{
    const std::string key = SHARED_DLLS_KEY_PATH;
    const std::string sharedWithOther = "C:\\WINDOWS\\system32\\common.dll";
    const std::string ownOnly = APP "\\private.dll";
    sim::AddFile(sharedWithOther);
    sim::AddFile(ownOnly);
    sim::SetRegDword(HKEY_LOCAL_MACHINE, key, sharedWithOther, 2);
    sim::SetRegDword(HKEY_LOCAL_MACHINE, key, ownOnly, 1);
    Start({{kAppName, "Tool", ""}, {kSharedDll, sharedWithOther, ""}, {kSharedDll, ownOnly, ""}, {kDirectory, APP, ""}});

    EXPECT_EQ(1, RemoveApplication());
    EXPECT_TRUE(sim::FileExists(sharedWithOther));
    EXPECT_EQ(std::string("\x01\0\0\0", 4), sim::GetRegValue(HKEY_LOCAL_MACHINE, key, sharedWithOther)->data);
    EXPECT_FALSE(sim::FileExists(ownOnly));
    EXPECT_FALSE(sim::GetRegValue(HKEY_LOCAL_MACHINE, key, ownOnly));
    EXPECT_FALSE(sim::DirExists(APP));
}

TEST_F(Removal, ProgramGroupsAreDeletedInLogOrderAndAFailureStopsNothing)
{
    std::vector<std::string> commands;
    sim::SetProgramManager([&](const std::string &command) {
        commands.push_back(command);
        return command.find("Broken") == std::string::npos;
    });
    sim::AddFile(APP "\\tool.exe");
    Start({{kAppName, "Tool", ""}, {kProgramGroup, "ignored", "Tool Group"}, {kProgramGroup, "", "Broken Group"}, {kFile, APP "\\tool.exe", ""}});

    EXPECT_EQ(1, RemoveApplication());
    EXPECT_EQ((std::vector<std::string>{"[DeleteGroup(\"Tool Group\")]", "[DeleteGroup(\"Broken Group\")]"}), commands);
    EXPECT_EQ(1u, sim::MessageBoxes().size());
    EXPECT_FALSE(sim::FileExists(APP "\\tool.exe"));
    std::vector<std::string> details = Texts(IDC_DETAIL);
    EXPECT_EQ((std::vector<std::string>{kPleaseWait, "", APP "\\tool.exe", ""}), details);
}
