#include "res/resource.h"
#include "shell/completion.h"
#include "removal/delete_or_schedule.h"
#include "shell/globals.h"
#include "shell/restart_dialog.h"
#include "support/sim_fixture.h"

#define LOG "C:\\Apps\\Tool\\install.log"
#define APP "C:\\Program Files\\Tool"

static const char kRemoved[] =
    "Uninstall has successfully removed the selected application. Reboot your computer to also remove system "
    "files that are locked at the moment.";
static const char kConfirm[] = "Do you really want to remove the selected application from your computer ?";

class Completion : public SimTest {
protected:
    std::vector<std::string> RemovedDirectoryCalls()
    {
        std::vector<std::string> names;
        for (const sim::Call &c : sim::CallsTo("RemoveDirectoryA"))
            names.push_back(c.args[0]);
        return names;
    }

    std::string Folders(const std::string &path)
    {
        RemoveLogFolders(path.c_str());
        std::string calls;
        for (const std::string &name : RemovedDirectoryCalls())
            calls += name + "|";
        return calls;
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

    std::vector<std::string> CallOrder(const std::vector<std::string> &functions)
    {
        std::vector<std::string> order;
        for (const sim::Call &c : sim::Calls())
            for (const std::string &f : functions)
                if (c.function == f)
                    order.push_back(c.function);
        return order;
    }
};

TEST_F(Completion, TheLogsFoldersAreTriedDeepestFirstDownToTheDrive)
{
    EXPECT_EQ("C:\\Apps\\Tool|C:\\Apps|", Folders(LOG));
    sim::Reset();
    EXPECT_EQ("C:\\A|", Folders("C:\\A\\install.log"));
    sim::Reset();
    EXPECT_EQ("", Folders("C:\\install.log"));
    sim::Reset();
    EXPECT_EQ("", Folders(""));
    sim::Reset();
    EXPECT_EQ("C:\\Apps|", Folders("C:Apps\\install.log")) << "a drive-relative path is resolved first";
    sim::Reset();
    EXPECT_EQ("C:\\A\\O|C:\\A|", Folders("C:\\A\\T\\..\\O\\.\\install.log")) << "C:\\A\\T does not hold the log";
    sim::Reset();
    sim::FailCall("GetFullPathNameA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ("", Folders(LOG)) << "an unresolved path names no folder to try";
}

TEST_F(Completion, OnlyEmptyFoldersGo)
{
    sim::AddDir("C:\\Apps\\Tool");
    sim::AddFile("C:\\Apps\\Other\\keep.txt");
    Folders(LOG);
    EXPECT_FALSE(sim::DirExists("C:\\Apps\\Tool"));
    EXPECT_TRUE(sim::FileExists("C:\\Apps\\Other\\keep.txt"));
}

TEST_F(Completion, YesRequestsARestartWithTheShutdownPrivilegeEnabled)
{
    sim::SetScreenSize(800, 600);
    RunRestartDialog({IDOK});
    std::vector<sim::Call> exits = sim::CallsTo("ExitWindowsEx");
    ASSERT_EQ(1u, exits.size());
    EXPECT_EQ((std::vector<std::string>{"0x2", "0x0"}), exits[0].args);
    EXPECT_EQ((std::vector<std::string>{"OpenProcessToken", "LookupPrivilegeValueA", "AdjustTokenPrivileges",
                                        "ExitWindowsEx", "EndDialog"}),
              CallOrder({"OpenProcessToken", "LookupPrivilegeValueA", "AdjustTokenPrivileges", "ExitWindowsEx",
                         "EndDialog"}));
    EXPECT_EQ("0x28", sim::CallsTo("OpenProcessToken")[0].args[1]);
    EXPECT_EQ("SeShutdownPrivilege", sim::CallsTo("LookupPrivilegeValueA")[0].args[1]);
    std::vector<std::string> adjust = sim::CallsTo("AdjustTokenPrivileges")[0].args;
    EXPECT_EQ((std::vector<std::string>{"0", "1 19 0x2"}), std::vector<std::string>(adjust.begin() + 1, adjust.end()));
    EXPECT_TRUE(sim::OpenHandles().empty()) << "the token is closed";

    sim::WindowState dlg = *sim::FindWindowByTemplate("RESTARTDLG");
    EXPECT_TRUE(dlg.destroyed);
    EXPECT_EQ(400 - 336 / 2, dlg.rect.left);
    EXPECT_EQ(300 - 176 / 2, dlg.rect.top);
}

TEST_F(Completion, NoOnlyEndsTheDialog)
{
    RunRestartDialog({IDCANCEL});
    EXPECT_TRUE(sim::CallsTo("ExitWindowsEx").empty());
    EXPECT_TRUE(sim::CallsTo("OpenProcessToken").empty());
    EXPECT_EQ(1u, sim::CallsTo("EndDialog").size());
}

TEST_F(Completion, OtherCommandsAreIgnored)
{
    RunRestartDialog({MAKELONG(IDOK, 1), MAKELONG(IDCANCEL, 1), 3, 101, IDCANCEL});
    EXPECT_TRUE(sim::CallsTo("ExitWindowsEx").empty());
    EXPECT_EQ(1u, sim::CallsTo("EndDialog").size());
}

TEST_F(Completion, ARestartIsRequestedWhateverThePrivilegeCallsDo)
{
    for (const char *call : {"GetProcAddress", "OpenProcessToken", "LookupPrivilegeValueA", "AdjustTokenPrivileges"}) {
        SetUp();
        sim::FailCall(call, ERROR_ACCESS_DENIED);
        RunRestartDialog({IDOK});
        EXPECT_EQ(1u, sim::CallsTo("ExitWindowsEx").size()) << call;
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
    sim::SetModalDialogHandler([](HWND dlg, const std::string &) { sim::SendCommand(dlg, IDCANCEL); });
    EXPECT_EQ(0, RunProgram(LOG));

    EXPECT_EQ((std::vector<std::string>{kConfirm, kRemoved}), BoxTexts());
    EXPECT_EQ((std::vector<std::string>{"MessageBoxA", "MessageBoxA", "DialogBoxParamA"}),
              CallOrder({"MessageBoxA", "DialogBoxParamA"}));
    ASSERT_TRUE(sim::FindWindowByTemplate("RESTARTDLG"));
    EXPECT_TRUE(sim::FindWindowByTemplate("RESTARTDLG")->destroyed);
    EXPECT_FALSE(sim::FileExists(LOG));
    EXPECT_TRUE(sim::CallsTo("ExitWindowsEx").empty());
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
    EXPECT_EQ(1u, sim::CallsTo("ExitWindowsEx").size());
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
    EXPECT_EQ("Uninstall has been aborted. Only parts of the application could be removed.", BoxTexts().back());
    EXPECT_TRUE(sim::CallsTo("DialogBoxParamA").empty());
}
