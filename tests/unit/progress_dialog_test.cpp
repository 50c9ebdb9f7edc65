#include "res/resource.h"
#include "shell/center_window.h"
#include "shell/progress_dialog.h"
#include "support/sim_fixture.h"
#include "driver/program_texts.h"

class ProgressDialog : public SimTest {
protected:
    HWND Create()
    {
        LoadLibraryA(SIM_COMCTL32);
        HWND dlg = CreateDialogParamA(nullptr, "UNINSTDLG", nullptr, ProgressDlgProc, 0);
        EXPECT_NE(nullptr, dlg);
        return dlg;
    }

    RECT Place(HWND dlg, int screenWidth, int screenHeight, int width, int height)
    {
        sim::SetScreenSize(screenWidth, screenHeight);
        MoveWindow(dlg, 5, 7, width, height, TRUE);
        CenterWindow(dlg);
        RECT rect;
        GetWindowRect(dlg, &rect);
        return rect;
    }
};

TEST_F(ProgressDialog, StartsHiddenWithItsFirstTextsAndAnEmptyBar)
{
    HWND dlg = Create();
    sim::WindowState state = *sim::FindWindowByTemplate("UNINSTDLG");
    EXPECT_FALSE(state.visible);
    EXPECT_EQ(kLoadingLog, sim::FindItem(state, IDC_STATUS)->text);
    EXPECT_EQ(kPleaseWait, sim::FindItem(state, IDC_DETAIL)->text);
    const sim::ItemState *bar = sim::FindItem(state, IDC_PROGRESS);
    EXPECT_EQ(0, bar->rangeMin);
    EXPECT_EQ(120, bar->rangeMax);
    EXPECT_EQ(0, bar->position);
    EXPECT_EQ(FALSE, ProgressDlgProc(dlg, WM_INITDIALOG, 0, 0));
}

TEST_F(ProgressDialog, IsCentredWithEachHalfTruncatedOnItsOwn)
{
    HWND dlg = Create();
    RECT rect = Place(dlg, 1024, 768, 301, 150);
    EXPECT_EQ(362, rect.left);
    EXPECT_EQ(309, rect.top);
    EXPECT_EQ(301, rect.right - rect.left);
    EXPECT_EQ(150, rect.bottom - rect.top);

    rect = Place(dlg, 800, 600, 331, 150);
    EXPECT_EQ(235, rect.left);
    EXPECT_EQ(225, rect.top);
}

TEST_F(ProgressDialog, AWindowLargerThanTheScreenGoesPastItsEdge)
{
    HWND dlg = Create();
    RECT rect = Place(dlg, 640, 480, 901, 700);
    EXPECT_EQ(320 - 450, rect.left);
    EXPECT_EQ(240 - 350, rect.top);
}

TEST_F(ProgressDialog, CancelAndCloseDoNothing)
{
    HWND dlg = Create();
    ShowWindow(dlg, SW_SHOW);
    EXPECT_EQ(FALSE, ProgressDlgProc(dlg, WM_COMMAND, IDC_CANCEL_BUTTON, 0));
    EXPECT_EQ(FALSE, ProgressDlgProc(dlg, WM_COMMAND, IDCANCEL, 0));
    EXPECT_EQ(FALSE, ProgressDlgProc(dlg, WM_CLOSE, 0, 0));
    sim::WindowState state = *sim::FindWindowByTemplate("UNINSTDLG");
    EXPECT_TRUE(state.visible);
    EXPECT_FALSE(state.ended);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "message " << msg.message;
}

TEST_F(ProgressDialog, DestroyingItEndsTheThreadsLoop)
{
    HWND dlg = Create();
    EXPECT_EQ(FALSE, ProgressDlgProc(dlg, WM_DESTROY, 0, 0));
    MSG msg;
    EXPECT_EQ(TRUE, PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ((UINT)WM_QUIT, msg.message);
    EXPECT_EQ(0u, msg.wParam);
}

TEST_F(ProgressDialog, AWindowWhoseRectangleCannotBeReadStaysWhereItIs)
{
    HWND dlg = Create();
    MoveWindow(dlg, 5, 7, 301, 150, TRUE);
    sim::FailCall("GetWindowRect", ERROR_INVALID_WINDOW_HANDLE);
    CenterWindow(dlg);
    RECT rect = sim::FindWindowByTemplate("UNINSTDLG")->rect;
    EXPECT_EQ(5, rect.left);
    EXPECT_EQ(7, rect.top);
    EXPECT_EQ(306, rect.right);
    EXPECT_EQ(157, rect.bottom);
}
