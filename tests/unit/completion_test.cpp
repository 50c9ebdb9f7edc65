#include "res/resource.h"
#include "removal/delete_or_schedule.h"
#include "removal/remove_app.h"
#include "shell/globals.h"
#include "shell/restart_dialog.h"
#include "support/sim_fixture.h"
#include "driver/program_texts.h"

using namespace hardening;

class Completion : public SimTest {
protected:
    // What is left on D: once the removal, prepared and finished on the log
    // at path, tried its folders, in a world of only the empty folders dirs,
    // GetFullPathNameA failing with fullPathError unless it is 0.
    std::string FoldersLeft(const std::string &path, const std::vector<std::string> &dirs, DWORD fullPathError = 0)
    {
        sim::Reset();
        for (const std::string &dir : dirs)
            sim::AddDir(dir);
        if (fullPathError != 0)
            sim::FailCall("GetFullPathNameA", fullPathError);
        PrepareRemoval(path.c_str(), NULL);
        FinishRemoval(path.c_str(), [](int) {});
        std::string left;
        for (const std::string &item : sim::ListTree("D:\\"))
            left += item + "|";
        return left;
    }

    // Runs the restart dialog modally, sending it the commands in turn.
    void RunRestartDialog(const std::vector<WPARAM> &commands)
    {
        size_t next = 0;
        sim::SetModalDialogHandler([&](HWND dlg, const std::string &) {
            ASSERT_LT(next, commands.size()) << "the dialog should have ended";
            sim::SendCommand(dlg, commands[next++]);
        });
        EXPECT_EQ(0, DialogBoxParamA(nullptr, "RESTARTDLG", nullptr, RestartDlgProc, 0));
        EXPECT_EQ(commands.size(), next);
    }
};

TEST_F(Completion, TheLogsEmptyFoldersGoDeepestFirstDownToTheDrive)
{
    const std::string log = "D:\\Apps\\Tool\\install.log";
    EXPECT_EQ("", FoldersLeft(log, {"D:\\Apps\\Tool"}));
    EXPECT_EQ("D:\\Apps|D:\\Apps\\Other|", FoldersLeft(log, {"D:\\Apps\\Tool", "D:\\Apps\\Other"}));
    EXPECT_EQ("", FoldersLeft("D:Apps\\install.log", {"D:\\Apps"}));
    EXPECT_EQ("D:\\A|D:\\A\\T|", FoldersLeft("D:\\A\\T\\..\\O\\.\\install.log", {"D:\\A\\T", "D:\\A\\O"}))
        << "D:\\A\\T does not hold the log";
    EXPECT_EQ("D:\\A|", FoldersLeft("", {"D:\\A"}));
    EXPECT_EQ("D:\\A|", FoldersLeft("D:\\A\\install.log", {"D:\\A"}, ERROR_NOT_ENOUGH_MEMORY))
        << "an unresolved path names no folder to try";
    // "D:" alone names the drive's current folder, which the simulation
    // keeps at the root: only the calls show that it is never tried.
    EXPECT_EQ("D:\\A|", FoldersLeft("D:\\install.log", {"D:\\A"}));
    for (const sim::Call &call : sim::CallsTo("RemoveDirectoryA"))
        EXPECT_EQ("D:\\install.log", call.args[0]) << "only the log itself is tried, as a directory";
}

TEST_F(Completion, YesRequestsARestartWithTheShutdownPrivilegeEnabled)
{
    sim::SetScreenSize(800, 600);
    RunRestartDialog({IDOK});
    std::vector<sim::ExitRequest> exits = sim::ExitRequests();
    ASSERT_EQ(1u, exits.size());
    EXPECT_EQ((UINT)EWX_REBOOT, exits[0].flags);
    EXPECT_TRUE(exits[0].shutdownPrivilege);
    EXPECT_TRUE(sim::OpenHandles().empty()) << "the token is closed";

    sim::WindowState dlg = *sim::FindWindowByTemplate("RESTARTDLG");
    EXPECT_TRUE(dlg.destroyed);
    EXPECT_EQ(400 - 336 / 2, dlg.rect.left);
    EXPECT_EQ(300 - 176 / 2, dlg.rect.top);
}

TEST_F(Completion, NoOnlyEndsTheDialogAndOtherCommandsAreIgnored)
{
    RunRestartDialog({MAKELONG(IDOK, 1), MAKELONG(IDCANCEL, 1), 3, 101, IDCANCEL});
    EXPECT_TRUE(sim::ExitRequests().empty());
}

TEST_F(Completion, ARestartIsRequestedWhateverThePrivilegeCallsDo)
{
    for (const char *call : {"GetProcAddress", "OpenProcessToken", "LookupPrivilegeValueA", "AdjustTokenPrivileges"}) {
        SetUp();
        sim::FailCall(call, ERROR_ACCESS_DENIED);
        RunRestartDialog({IDOK});
        EXPECT_EQ(1u, sim::ExitRequests().size()) << call;
        EXPECT_TRUE(sim::OpenHandles().empty()) << call;
    }
}

// The invariants check the boxes, that the log goes and nothing else but
// what it names, and that no restart is offered.
TEST_F(Completion, ACompletedRemovalDeletesTheLogAndItsEmptyFolder)
{
    EXPECT_TRUE(EndedAs(RunAndCheck(NamedRun("answering_yes")), RUN_COMPLETED));
    EXPECT_EQ(sim::MainThreadId(), sim::MessageBoxes()[1].thread);
    EXPECT_FALSE(sim::DirExists("C:\\Apps\\Tool"));
}

TEST_F(Completion, AScheduledFileBringsTheRestartDialogAfterTheSuccessBox)
{
    std::vector<std::string> boxesBefore;
    RunResult result = RunAndCheck(NamedRun("file_in_use_restart_no"), [&boxesBefore, this] {
        sim::SetModalDialogHandler([&boxesBefore, this](HWND dlg, const std::string &) {
            boxesBefore = BoxTexts();
            sim::SendCommand(dlg, IDCANCEL);
        });
    });
    EXPECT_TRUE(EndedAs(result, RUN_COMPLETED));
    EXPECT_EQ(BoxTextsOf(END_COMPLETED), boxesBefore);
    ASSERT_TRUE(sim::FindWindowByTemplate("RESTARTDLG"));
    EXPECT_TRUE(sim::FindWindowByTemplate("RESTARTDLG")->destroyed);
}

TEST_F(Completion, ALogHeldOpenIsScheduledAndItsFolderStays)
{
    SimulatedRun run = ToolRun();
    run.items.push_back(HeldFile(TOOL_LOG, FILE_SHARE_READ | FILE_SHARE_WRITE));
    run.restartYes = true;
    EXPECT_TRUE(EndedAs(RunAndCheck(run), RUN_COMPLETED));
    EXPECT_TRUE(sim::FileExists(TOOL_LOG));
    EXPECT_EQ(std::vector<std::string>{sim::ShortPath(TOOL_LOG)}, sim::PendingDeletes());
    EXPECT_TRUE(sim::DirExists("C:\\Apps\\Tool"));
    EXPECT_EQ(1, g_rebootNeeded);
}

// A restart is offered only when it can help. The setup logged the folders
// as it made them, parents first, and the log itself, in the application's
// folder, in another spelling; the uninstaller is started in one of the
// folders, and the user keeps notes in another. All else goes at once; the
// notes keep their folder and the one above; nothing waits for a restart.
TEST_F(Completion, ARestartIsOfferedOnlyWhenItCanHelp)
{
    const std::string sub = TOOL_APP "\\Sub Folder";
    EXPECT_TRUE(EndedAs(RunAndCheck(NamedRun("restart_only_when_it_helps")), RUN_COMPLETED));
    EXPECT_EQ((std::vector<std::string>{sub, sub + "\\notes.txt"}), sim::ListTree(TOOL_APP));
    EXPECT_TRUE(sim::PendingDeletes().empty());
    EXPECT_FALSE(sim::FindWindowByTemplate("RESTARTDLG")) << "no restart is offered";
    EXPECT_EQ(0, g_rebootNeeded);
}

// The log lies in a folder that the log names and another program holds,
// or in a folder below it: the folder held the log's path when the
// directories' pass came to it, and goes, at the restart, once the log and
// its own folder are gone.
TEST_F(Completion, TheLogsListedFolderHeldByAnotherWaitsForTheRestartAfterTheLog)
{
    for (const char *log : {TOOL_APP "\\install.log", TOOL_APP "\\Uninstall Data\\install.log"}) {
        SimulatedRun run = NamedRun("log_in_its_listed_folder_held");
        run.LogAt(log);
        EXPECT_TRUE(EndedAs(RunAndCheck(run), RUN_COMPLETED)) << log;
        EXPECT_EQ(std::vector<std::string>{}, sim::ListTree(TOOL_APP));
        EXPECT_EQ(std::vector<std::string>{sim::ShortPath(TOOL_APP)}, sim::PendingDeletes());
        EXPECT_TRUE(sim::FindWindowByTemplate("RESTARTDLG"));
    }
}

// A record naming the log, whose attributes cannot be read: the invariants
// check that the open log is never scheduled, and the completion step
// deletes it.
TEST_F(Completion, ALogNamingItselfIsLeftToTheEndWhateverItsAttributesSay)
{
    EXPECT_TRUE(EndedAs(RunAndCheck(NamedRun("log_naming_itself_attributes_unread")), RUN_COMPLETED));
    EXPECT_FALSE(sim::FileExists(TOOL_LOG));
    EXPECT_TRUE(sim::PendingDeletes().empty());
}

// The invariants check that the log stays, the boxes, and that no restart
// is offered.
TEST_F(Completion, DeclinedOrAbortedRunsSkipTheCompletion)
{
    EXPECT_TRUE(EndedAs(RunAndCheck(NamedRun("declined")), RUN_DECLINED));
    EXPECT_TRUE(EndedAs(RunAndCheck(NamedRun("custom_fails_minus_one")), RUN_ABORTED));
}
