#include "res/resource.h"
#include "removal/delete_or_schedule.h"
#include "removal/remove_app.h"
#include "shell/globals.h"
#include "shell/restart_dialog.h"
#include "support/sim_fixture.h"
#include "support/program_texts.h"

#define LOG "C:\\Apps\\Tool\\install.log"
#define APP "C:\\Program Files\\Tool"


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
        PrepareRemoval(path.c_str());
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

    void WriteToolLog(const std::vector<TestRecord> &extra = {})
    {
        std::vector<TestRecord> records{{0, "Tool", ""}, {1, APP "\\tool.exe", ""}, {2, APP, ""}};
        records.insert(records.end(), extra.begin(), extra.end());
        WriteLog(LOG, records);
        sim::AddFile(APP "\\tool.exe", "exe");
        sim::AddFile("C:\\Apps\\Other\\keep.txt");
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

TEST_F(Completion, ACompletedRemovalDeletesTheLogAndItsEmptyFolder)
{
    WriteToolLog();
    AnswerConfirmation(IDYES);
    EXPECT_EQ(0, RunProgram(LOG));

    std::vector<sim::MessageBoxRecord> boxes = sim::MessageBoxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(kRemoved, boxes[1].text);
    EXPECT_EQ("Tool Uninstall", boxes[1].caption);
    EXPECT_EQ((UINT)(MB_OK | MB_ICONWARNING), boxes[1].type);
    EXPECT_EQ(sim::MainThreadId(), boxes[1].thread);
    EXPECT_FALSE(sim::FileExists(LOG));
    EXPECT_FALSE(sim::DirExists("C:\\Apps\\Tool"));
    EXPECT_TRUE(sim::FileExists("C:\\Apps\\Other\\keep.txt"));
    EXPECT_FALSE(sim::FindWindowByTemplate("RESTARTDLG"));
    EXPECT_TRUE(sim::OpenHandles().empty());
}

TEST_F(Completion, AScheduledFileBringsTheRestartDialogAfterTheSuccessBox)
{
    WriteToolLog({{1, APP "\\busy.dll", ""}});
    sim::AddFile(APP "\\busy.dll");
    sim::HoldFile(APP "\\busy.dll");
    AnswerConfirmation(IDYES);
    std::vector<std::string> boxesBefore;
    sim::SetModalDialogHandler([&boxesBefore, this](HWND dlg, const std::string &) {
        boxesBefore = BoxTexts();
        sim::SendCommand(dlg, IDCANCEL);
    });
    EXPECT_EQ(0, RunProgram(LOG));

    EXPECT_EQ((std::vector<std::string>{kConfirm, kRemoved}), boxesBefore);
    EXPECT_EQ(boxesBefore, BoxTexts());
    ASSERT_TRUE(sim::FindWindowByTemplate("RESTARTDLG"));
    EXPECT_TRUE(sim::FindWindowByTemplate("RESTARTDLG")->destroyed);
    EXPECT_FALSE(sim::FileExists(LOG));
    EXPECT_TRUE(sim::ExitRequests().empty());
}

TEST_F(Completion, ALogHeldOpenIsScheduledAndItsFolderStays)
{
    WriteToolLog();
    sim::HoldFile(LOG, FILE_SHARE_READ | FILE_SHARE_WRITE);
    AnswerConfirmation(IDYES);
    sim::SetModalDialogHandler([](HWND dlg, const std::string &) { sim::SendCommand(dlg, IDOK); });
    EXPECT_EQ(0, RunProgram(LOG));

    EXPECT_TRUE(sim::FileExists(LOG));
    EXPECT_EQ(std::vector<std::string>{sim::ShortPath(LOG)}, sim::PendingDeletes());
    EXPECT_TRUE(sim::DirExists("C:\\Apps\\Tool"));
    EXPECT_EQ(1, g_rebootNeeded);
    EXPECT_EQ(1u, sim::ExitRequests().size());
}

TEST_F(Completion, DeclinedOrAbortedRunsSkipTheCompletion)
{
    WriteToolLog();
    AnswerConfirmation(IDNO);
    RunProgram(LOG);
    EXPECT_TRUE(sim::FileExists(LOG));
    EXPECT_EQ(std::vector<std::string>{kConfirm}, BoxTexts());

    SetUp();
    WriteToolLog({{7, APP "\\undo.exe", ""}});
    sim::AddProgram(APP "\\undo.exe", [](const sim::ProgramRun &) { return 1u; });
    AnswerConfirmation(IDYES);
    RunProgram(LOG);
    EXPECT_TRUE(sim::FileExists(LOG));
    EXPECT_EQ(3u, sim::MessageBoxes().size());
    EXPECT_EQ(kAborted, BoxTexts().back());
    EXPECT_FALSE(sim::FindWindowByTemplate("RESTARTDLG"));
}
