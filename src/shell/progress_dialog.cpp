#include "progress_dialog.h"

#include "res/resource.h"

static const char kLoadingLog[] = "Loading install-log";
static const char kPleaseWait[] = "(Please wait)";

void CenterWindow(HWND window)
{
    // Without its rectangle the window stays where it is, rather than go
    // where the stack's leftovers would send it.
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return;
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    MoveWindow(window, screenWidth / 2 - width / 2, screenHeight / 2 - height / 2,
               width, height, FALSE);
}

INT_PTR CALLBACK ProgressDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)wParam;
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        CenterWindow(dlg);
        SetDlgItemTextA(dlg, IDC_STATUS, kLoadingLog);
        SetDlgItemTextA(dlg, IDC_DETAIL, kPleaseWait);
        SendDlgItemMessageA(dlg, IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, PROGRESS_RANGE_MAX));
        SendDlgItemMessageA(dlg, IDC_PROGRESS, PBM_SETPOS, 0, 0);
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        break;
    }
    return FALSE;
}
