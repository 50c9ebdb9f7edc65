// The question before anything is removed, and the answer No.
#include "uninstaller_test.h"

#include <algorithm>

#include "install_log.h"
#include "restart.h"

namespace {

class Confirmation : public UninstallerTest {
protected:
    // Runs on the installed application and answers the first box with No,
    // taking the progress dialog's state while that box is up.
    e2e::RunRecord RunAnsweringNo()
    {
        return RunUninstaller(app_.logPath, [this](const e2e::MessageBoxView &) {
            HWND dialog = e2e::FindProgressDialog(program_.pid());
            dialogAtQuestion_ = dialog != NULL && e2e::ReadProgressDialog(dialog, &atQuestion_);
            return IDNO;
        });
    }

    bool dialogAtQuestion_ = false;
    e2e::ProgressView atQuestion_;
};

TEST_F(Confirmation, AnswerNoChangesNothing)
{
    ASSERT_NO_FATAL_FAILURE(InstallTestApp());
    e2e::RunRecord run = RunAnsweringNo();
    ASSERT_TRUE(run.ended) << run.error;

    EXPECT_EQ(0u, run.exitCode);
    ASSERT_EQ(1u, run.boxes.size()) << "boxes:" << BoxList(run);
    const e2e::MessageBoxView &box = run.boxes[0];
    EXPECT_EQ(kConfirm, box.text);
    EXPECT_EQ(app_.name + " Uninstall", box.caption);
    EXPECT_EQ("question", box.shownIcon);
    std::vector<int> buttons = box.buttonIds;
    std::sort(buttons.begin(), buttons.end());
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), buttons);
    EXPECT_EQ(NULL, box.owner);

    EXPECT_FALSE(run.progressDialogShown) << "the progress dialog was shown";
    ExpectAppUntouched();
    ExpectNothingScheduled();
}

TEST_F(Confirmation, ProgressDialogWaitsHiddenAndCentred)
{
    ASSERT_NO_FATAL_FAILURE(InstallTestApp());
    e2e::RunRecord run = RunAnsweringNo();
    ASSERT_TRUE(run.ended) << run.error;
    ASSERT_TRUE(dialogAtQuestion_) << "no progress dialog while the question was up";

    const e2e::ProgressView &dialog = atQuestion_;
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

}  // namespace
