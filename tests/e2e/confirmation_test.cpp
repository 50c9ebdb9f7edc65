// The question before anything is removed, and the answer No.
#include "uninstaller_test.h"

#include <algorithm>

#include "install_log.h"
#include "restart.h"

namespace {

// Wine moves the foreground through its desktop: a change made by any
// process shows a moment later. The window that has it after at most
// limitMs, or the one that has it then.
HWND ForegroundAfter(HWND wanted, DWORD limitMs)
{
    HWND now = GetForegroundWindow();
    for (DWORD waited = 0; now != wanted && waited < limitMs; waited += 20) {
        Sleep(20);
        now = GetForegroundWindow();
    }
    return now;
}

class Confirmation : public UninstallerTest {
protected:
    // Answers the first box with No, taking the progress dialog's state
    // while that box is up.
    driver::BoxAnswer AnsweringNo()
    {
        return [this](const driver::MessageBoxView &) {
            HWND dialog = driver::FindProgressDialog(program_.pid());
            dialogAtQuestion_ = dialog != NULL && driver::ReadProgressDialog(dialog, &atQuestion_);
            return IDNO;
        };
    }

    bool dialogAtQuestion_ = false;
    driver::ProgressView atQuestion_;
};

TEST_F(Confirmation, AnswerNoChangesNothing)
{
    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUninstaller(app_.logPath, AnsweringNo());
    ASSERT_TRUE(EndedWith(run, 0));

    ASSERT_EQ(1u, run.boxes.size()) << "boxes:" << BoxList(run);
    const driver::MessageBoxView &box = run.boxes[0];
    EXPECT_EQ(kConfirm, box.text);
    EXPECT_EQ(app_.name + " Uninstall", box.caption);
    EXPECT_EQ("question", box.shownIcon);
    std::vector<int> buttons = box.buttonIds;
    std::sort(buttons.begin(), buttons.end());
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), buttons);
    EXPECT_EQ(NULL, box.owner);

    EXPECT_FALSE(run.progressDialogShown) << "the progress dialog was shown";
    EXPECT_TRUE(AppUntouched());
    EXPECT_TRUE(NothingScheduled());
}

TEST_F(Confirmation, ProgressDialogWaitsHiddenAndCentred)
{
    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUninstaller(app_.logPath, AnsweringNo());
    ASSERT_TRUE(EndedWith(run, 0));
    ASSERT_TRUE(dialogAtQuestion_) << "no progress dialog while the question was up";

    const driver::ProgressView &dialog = atQuestion_;
    EXPECT_FALSE(dialog.visible);
    EXPECT_EQ(kProgressTitle, dialog.title);
    EXPECT_EQ(kLoadingLog, dialog.status);
    EXPECT_EQ(kPleaseWait, dialog.detail);
    EXPECT_EQ("&Cancel", dialog.button);
    EXPECT_EQ(0, dialog.low);
    EXPECT_EQ(120, dialog.high);
    EXPECT_EQ(0, dialog.position);

    // Each half is truncated on its own before the difference is taken.
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    ASSERT_EQ(1024, screenWidth);
    ASSERT_EQ(768, screenHeight);
    const int width = dialog.rect.right - dialog.rect.left;
    const int height = dialog.rect.bottom - dialog.rect.top;
    EXPECT_GT(width, 0);
    EXPECT_GT(height, 0);
    EXPECT_EQ(screenWidth / 2 - width / 2, dialog.rect.left) << "width " << width;
    EXPECT_EQ(screenHeight / 2 - height / 2, dialog.rect.top) << "height " << height;
}

// Started twice on one log, as a double click in the list of installed
// programs does: whichever takes the log first asks and removes the
// application as if alone, nothing waiting for a restart; the other ends at
// once with exit code 0.
TEST_F(Confirmation, TwoStartsOnOneLogMakeOneRemovalAsIfAlone)
{
    ASSERT_TRUE(InstallTestApp());
    driver::Program second;
    std::string error;
    ASSERT_TRUE(program_.Start(exe_, app_.logPath, &error)) << error;
    ASSERT_TRUE(second.Start(exe_, app_.logPath, &error)) << error;
    driver::Program *asking = nullptr;
    DWORD exitCode = 1;
    for (int tenths = 0; tenths < 300 && asking == nullptr; tenths++) {
        if (second.WaitForExit(0, &exitCode))
            asking = &program_;
        else if (program_.WaitForExit(0, &exitCode))
            asking = &second;
        else
            Sleep(100);
    }
    ASSERT_NE(nullptr, asking) << "neither run ended by itself";
    EXPECT_EQ(0u, exitCode);

    driver::RunRecord run;
    driver::WatchRun(*asking, AnswerYes, &run, kRunLimitMs);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", false));
    EXPECT_TRUE(AppRemoved());
    EXPECT_TRUE(NothingScheduled());
}

// A second start while the first run asks brings the first one's question
// to the front, over whatever was there, and changes nothing; unattended, it
// ends with 1618, shows nothing and leaves what is in front where it is.
// Once the first run is killed, a third start asks again.
TEST_F(Confirmation, ASecondStartBringsTheFirstForwardAndAKilledRunBlocksNothing)
{
    ASSERT_TRUE(InstallTestApp());
    std::string error;
    driver::Program first;
    driver::RunRecord asked;
    ASSERT_TRUE(first.Start(exe_, app_.logPath, &error)) << error;
    EXPECT_FALSE(driver::WatchRun(first, [](const driver::MessageBoxView &) { return 0; }, &asked, kRunLimitMs));
    ASSERT_EQ(1u, asked.boxes.size()) << asked.error;

    HWND inFront = CreateWindowExA(0, "STATIC", "in front", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, NULL, NULL,
                                   NULL, NULL);
    ASSERT_NE(nullptr, inFront);
    SetForegroundWindow(inFront);
    ASSERT_EQ(inFront, ForegroundAfter(inFront, 5000));
    driver::RunRecord unattended = RunUnattended("/S " + app_.logPath);
    EXPECT_TRUE(EndedWith(unattended, 1618));
    EXPECT_TRUE(NoWindowSeen(unattended));
    EXPECT_EQ(inFront, GetForegroundWindow()) << "the asking run was brought forward";
    driver::Program second;
    ASSERT_TRUE(second.Start(exe_, app_.logPath, &error)) << error;
    DWORD exitCode = 1;
    EXPECT_TRUE(second.WaitForExit(kRunLimitMs, &exitCode)) << "the second start does not end";
    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ(asked.boxes[0].window, ForegroundAfter(asked.boxes[0].window, 5000));
    DestroyWindow(inFront);
    EXPECT_TRUE(AppUntouched());

    first.Terminate();
    driver::RunRecord run = RunUninstaller(app_.logPath, [](const driver::MessageBoxView &) { return IDNO; });
    EXPECT_TRUE(EndedWith(run, 0));
    ASSERT_EQ(1u, run.boxes.size()) << "boxes:" << BoxList(run);
    EXPECT_EQ(kConfirm, run.boxes[0].text);
    EXPECT_TRUE(AppUntouched());
}

}  // namespace
