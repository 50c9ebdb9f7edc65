// The end of a completed removal: the log is deleted (or scheduled when it
// is in use), the success box is shown, the restart dialog follows when
// something waits for the restart, and the log's folders go when empty,
// deepest first.
#include "uninstaller_test.h"

#include <functional>

#include "files.h"
#include "install_log.h"
#include "registry.h"
#include "restart.h"

namespace {

class Completion : public UninstallerTest {};

TEST_F(Completion, LogAndItsEmptyFoldersGoDeepestFirst)
{
    // Setup Log, then Logs Outer, hold nothing else afterwards; the test's
    // folder above them holds the uninstaller and stays. The command line
    // names the log through an empty folder beside them and "..": that
    // folder does not hold the log, and stays too.
    const std::string outer = folder_ + "\\Logs Outer";
    const std::string beside = folder_ + "\\Empty Folder Beside";
    app_.logPath = outer + "\\Setup Log\\install.log";
    ASSERT_TRUE(InstallTestApp());
    std::string error;
    ASSERT_TRUE(e2e::CreateDirectories(beside, &error)) << error;
    driver::RunRecord run = RunUninstaller(beside + "\\..\\Logs Outer\\Setup Log\\install.log");
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", false));
    EXPECT_TRUE(e2e::DirectoryExists(beside)) << beside << " was removed; the log is not in it";

    EXPECT_TRUE(AppRemoved());
    EXPECT_FALSE(e2e::DirectoryExists(outer)) << outer;
    EXPECT_TRUE(e2e::FileExists(exe_)) << exe_;
    EXPECT_TRUE(e2e::DirectoryExists(folder_)) << folder_;
}

TEST_F(Completion, FolderHoldingSomethingElseStays)
{
    const std::string other = e2e::ParentOf(app_.logPath) + "\\Not Listed.txt";
    ASSERT_TRUE(InstallTestApp());
    std::string error;
    ASSERT_TRUE(e2e::WriteText(other, "not the application's\r\n", &error)) << error;

    driver::RunRecord run = RunUninstaller(app_.logPath);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", false));
    EXPECT_TRUE(AppRemoved({e2e::ParentOf(app_.logPath)}));
    EXPECT_EQ(std::vector<std::string>{"Not Listed.txt"}, e2e::FolderEntries(e2e::ParentOf(app_.logPath)));
}

TEST_F(Completion, CurrentFolderOfTheDriveIsNotRemoved)
{
    // The folder removal goes up the log's path to "C:", which Win32 takes
    // as the current folder of drive C: for a program whose current folder
    // is on another drive, the one the "=C:" variable of its environment
    // names (measured under Wine as Windows documents it). Here that is an
    // empty folder nothing names; it must stay.
    char current[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(sizeof(current), current));
    ASSERT_NE('C', current[0]) << "this test needs a current folder on a drive other than C:, not " << current;
    const std::string unrelated = folder_ + "\\Current Folder Of Drive C";
    ASSERT_TRUE(InstallTestApp());
    std::string error;
    ASSERT_TRUE(e2e::CreateDirectories(unrelated, &error)) << error;
    ASSERT_TRUE(SetEnvironmentVariableA("=C:", unrelated.c_str())) << driver::ErrorText(GetLastError());

    RunOptions fromOtherDrive;
    fromOtherDrive.currentDirectory = current;
    driver::RunRecord run = RunUninstaller(app_.logPath, AnswerYes, fromOtherDrive);
    SetEnvironmentVariableA("=C:", NULL);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", false));
    EXPECT_TRUE(AppRemoved());
    EXPECT_TRUE(e2e::DirectoryExists(unrelated)) << unrelated << " was removed; the log does not name it";
}

TEST_F(Completion, SuccessBoxOverTheFinishedProgressDialog)
{
    // The progress dialog as it stands under the success box.
    bool dialogUnderSuccess = false;
    driver::ProgressView underSuccess;
    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUninstaller(app_.logPath, [&](const driver::MessageBoxView &box) {
        if (box.text == kRemoved) {
            HWND dialog = driver::FindProgressDialog(program_.pid());
            dialogUnderSuccess = dialog != NULL && driver::ReadProgressDialog(dialog, &underSuccess);
        }
        return AnswerYes(box);
    });
    ASSERT_TRUE(EndedWith(run, 0));
    ASSERT_EQ(2u, run.boxes.size()) << "boxes:" << BoxList(run);
    EXPECT_TRUE(IsWarningBox(run.boxes[1], kRemoved, app_.name + " Uninstall"));

    // The dialog was hidden at the end of the removal, with its last texts
    // and the bar at 100 of 120.
    ASSERT_TRUE(dialogUnderSuccess) << "no progress dialog under the success box";
    EXPECT_FALSE(underSuccess.visible);
    EXPECT_EQ(kDeletingUninstallKey, underSuccess.status);
    EXPECT_EQ("", underSuccess.detail);
    EXPECT_EQ(100, underSuccess.position);
    EXPECT_EQ(0, underSuccess.low);
    EXPECT_EQ(120, underSuccess.high);
}

TEST_F(Completion, LogInUseIsDeletedAtRestart)
{
    // Another program reads the log and keeps it open; it lets others read
    // and write it but not delete it.
    ASSERT_TRUE(InstallTestApp());
    e2e::HeldFile held;
    std::string error;
    ASSERT_TRUE(held.Hold(app_.logPath, FILE_SHARE_READ | FILE_SHARE_WRITE, &error)) << error;
    const std::string shortName = e2e::ShortPath(app_.logPath);
    ASSERT_FALSE(shortName.empty()) << app_.logPath;

    driver::RunRecord run = RunUninstaller(app_.logPath);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", true));

    EXPECT_TRUE(AppRemoved({app_.logPath, e2e::ParentOf(app_.logPath)}));
    EXPECT_EQ(std::vector<std::string>{"install.log"}, e2e::FolderEntries(e2e::ParentOf(app_.logPath)));
    EXPECT_EQ(std::vector<std::string>{"NUL=" + shortName}, e2e::WininitRenameLines());
    std::vector<e2e::PendingOperation> pending;
    ASSERT_TRUE(e2e::ReadPendingOperations(&pending, &error)) << error;
    ASSERT_EQ(1u, pending.size());
    EXPECT_EQ("\\??\\" + shortName, pending[0].from);

    held.Release();
    ASSERT_TRUE(e2e::SimulateRestart(&error)) << error;
    EXPECT_FALSE(e2e::FileExists(app_.logPath)) << app_.logPath << " survived the restart";
}

// The restart dialog, offered because a file of the application is in use.
class RestartDialog : public UninstallerTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(UninstallerTest::SetUp());
        ASSERT_TRUE(InstallTestApp());
        std::string error;
        ASSERT_TRUE(held_.Hold(app_.files[0], 0, &error)) << error;
        // Waiting for the restart: the file, and the listed folders that
        // still hold it, in log order.
        scheduled_.push_back(e2e::ShortPath(app_.files[0]));
        for (const std::string &directory : app_.directories)
            if (app_.files[0].compare(0, directory.size() + 1, directory + "\\") == 0)
                scheduled_.push_back(e2e::ShortPath(directory));
    }

    // Runs, answering the question Yes, the success box OK and the restart
    // dialog with answerRestart, after reading it.
    driver::RunRecord Run(const std::function<int(HWND)> &answerRestart)
    {
        return RunUninstaller(app_.logPath, [&](const driver::MessageBoxView &box) {
            if (!box.restartDialog)
                return AnswerYes(box);
            dialogRead_ = driver::ReadRestartDialog(box.window, &dialog_);
            return answerRestart(box.window);
        });
    }

    // The dialog ended without a restart: what waits for it still waits.
    ::testing::AssertionResult NoRestart()
    {
        std::vector<std::string> lines;
        for (const std::string &name : scheduled_)
            lines.push_back("NUL=" + name);
        std::vector<std::string> wininit = e2e::WininitRenameLines();
        std::vector<e2e::PendingOperation> pending;
        std::string error;
        if (wininit != lines)
            return ::testing::AssertionFailure() << "WININIT.INI's [Rename] holds:" << Lines(wininit)
                                                 << "\nnot:" << Lines(lines);
        if (e2e::FileExists(e2e::WindowsDirectory() + "\\wininit.bak"))
            return ::testing::AssertionFailure() << "WININIT.INI was processed";
        if (!e2e::ReadPendingOperations(&pending, &error))
            return ::testing::AssertionFailure() << error;
        if (pending.size() != scheduled_.size())
            return ::testing::AssertionFailure() << pending.size() << " pending renames, not " << scheduled_.size();
        if (!e2e::FileExists(app_.files[0]))
            return ::testing::AssertionFailure() << app_.files[0] << " is gone";
        return ::testing::AssertionSuccess();
    }

    e2e::HeldFile held_;
    std::vector<std::string> scheduled_;
    bool dialogRead_ = false;
    driver::RestartDialogView dialog_;
};

TEST_F(RestartDialog, FollowsTheSuccessBox)
{
    bool stayedAfterOtherCommand = false;
    driver::RunRecord run = Run([&](HWND window) {
        // A command whose high word is not BN_CLICKED is no answer.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, 1), 0, SMTO_ABORTIFHUNG, 5000, &ignored);
        stayedAfterOtherCommand = IsWindow(window) && IsWindowVisible(window);
        return IDCANCEL;
    });
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", true));
    ASSERT_TRUE(dialogRead_) << "the restart dialog could not be read";

    EXPECT_TRUE(dialog_.visible);
    EXPECT_EQ(kRestartTitle, dialog_.title);
    EXPECT_EQ(kRestartText, dialog_.message);
    EXPECT_EQ(SS_CENTER, dialog_.messageStyle & SS_TYPEMASK);
    EXPECT_EQ((std::vector<int>{IDOK, IDCANCEL}), dialog_.buttonIds);
    EXPECT_EQ((std::vector<std::string>{"&Yes", "&No"}), dialog_.buttonTexts);
    EXPECT_EQ("Button", dialog_.frameClass);
    EXPECT_EQ(BS_GROUPBOX, dialog_.frameStyle & BS_TYPEMASK);
    EXPECT_EQ("", dialog_.frameText);
    EXPECT_TRUE(dialog_.hasIcon) << "the program's icon is not shown";
    // A caption and a system menu, but no sizing frame and no minimize or
    // maximize box.
    EXPECT_EQ(static_cast<LONG>(WS_CAPTION | WS_SYSMENU), dialog_.style & (WS_CAPTION | WS_SYSMENU));
    EXPECT_EQ(0, dialog_.style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));

    // Centred as the program centres: each half truncated on its own.
    const int width = dialog_.rect.right - dialog_.rect.left;
    const int height = dialog_.rect.bottom - dialog_.rect.top;
    ASSERT_EQ(1024, GetSystemMetrics(SM_CXSCREEN));
    ASSERT_EQ(768, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(1024 / 2 - width / 2, dialog_.rect.left) << "width " << width;
    EXPECT_EQ(768 / 2 - height / 2, dialog_.rect.top) << "height " << height;

    EXPECT_TRUE(stayedAfterOtherCommand) << "a command with notification code 1 ended the dialog";
    EXPECT_TRUE(NoRestart());
}

TEST_F(RestartDialog, EscapeAnswersNo)
{
    driver::RunRecord run = Run([](HWND window) {
        EXPECT_TRUE(driver::PressKey(window, VK_ESCAPE));
        return driver::kAnswered;
    });
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", true));
    EXPECT_TRUE(NoRestart());
}

TEST_F(RestartDialog, CloseButtonAnswersNo)
{
    driver::RunRecord run = Run([](HWND window) {
        EXPECT_TRUE(driver::CloseFromFrame(window));
        return driver::kAnswered;
    });
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", true));
    EXPECT_TRUE(NoRestart());
}

}  // namespace
