#include "progress_dialog.h"

#include "removal/progress_view.h"
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

typedef BOOL(WINAPI *ShutdownBlockReasonCreateFn)(HWND, LPCWSTR);
typedef BOOL(WINAPI *ShutdownBlockReasonDestroyFn)(HWND);

// What Windows shows beside the program while it holds off a logoff.
static const WCHAR kHoldReason[] = L"Removing an application: ended now, it would stay half removed.";

// Whether a logoff or shutdown is held off; the main thread's alone.
static int g_holdingSession;

// Windows Vista and later show the reason to the user, who may still end
// the session; the calls are looked up, since older Windows lack them.
static void SetSessionHold(HWND dlg, int hold)
{
    g_holdingSession = hold;
    HMODULE user = GetModuleHandleA("USER32.DLL");
    if (user == NULL)
        return;
    if (hold) {
        ShutdownBlockReasonCreateFn create =
            (ShutdownBlockReasonCreateFn)(void *)GetProcAddress(user, "ShutdownBlockReasonCreate");
        if (create != NULL)
            create(dlg, kHoldReason);
    } else {
        ShutdownBlockReasonDestroyFn destroy =
            (ShutdownBlockReasonDestroyFn)(void *)GetProcAddress(user, "ShutdownBlockReasonDestroy");
        if (destroy != NULL)
            destroy(dlg);
    }
}

INT_PTR CALLBACK ProgressDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_HOLD_SESSION:
        SetSessionHold(dlg, wParam != 0);
        break;
    case WM_QUERYENDSESSION:
        // A dialog procedure answers through DWLP_MSGRESULT, and says so
        // by returning TRUE.
        if (g_holdingSession) {
            SetWindowLongPtrA(dlg, DWLP_MSGRESULT, FALSE);
            return TRUE;
        }
        break;
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
