#include "progress_dialog.h"

#include <string.h>

#include "center_window.h"
#include "log/install_log.h"
#include "platform/text.h"
#include "removal/progress_view.h"
#include "removal/user_messages.h"
#include "res/resource.h"

static const char kLoadingLog[] = "Loading install-log";
static const char kPleaseWait[] = "(Please wait)";

// The removal's request to hold off a logoff or shutdown (wParam 1) or to
// let it go again (0), carried out on the main thread, which owns the
// dialog.
#define WM_HOLD_SESSION (WM_APP + 1)

HWND g_hProgressDlg;

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

// What the removal last set in the dialog. A call that would set a text or
// the bar to what it already shows changes nothing on screen, yet each is a
// window call the main thread has to carry out: it is skipped.
static struct {
    const char *status;             // one of the status texts; NULL: not set yet
    int detailSet;
    char detail[LOG_TEXT_SIZE];
    int positionSet;
    WPARAM position;
} g_shown;

void HideProgress(void)
{
    ShowWindow(g_hProgressDlg, SW_HIDE);
}

void ShowProgress(void)
{
    memset(&g_shown, 0, sizeof(g_shown));
    g_shown.positionSet = 1;   // the dialog's bar starts at 0
    if (!g_unattended)
        ShowWindow(g_hProgressDlg, SW_SHOW);
}

void EndProgress(void)
{
    // Destroying the modeless dialog would post the quit message that ends
    // the main loop before the worker is done; ending it only hides it.
    EndDialog(g_hProgressDlg, 0);
}

void HoldSession(int hold)
{
    SendMessageA(g_hProgressDlg, WM_HOLD_SESSION, (WPARAM)hold, 0);
}

void SetStatus(const char *text)
{
    if (g_shown.status == text)
        return;
    g_shown.status = text;
    SetDlgItemTextA(g_hProgressDlg, IDC_STATUS, text);
}

void SetDetail(const char *text)
{
    if (g_shown.detailSet && TextEqual(g_shown.detail, text))
        return;
    g_shown.detailSet = CopyText(g_shown.detail, sizeof(g_shown.detail), text);
    SetDlgItemTextA(g_hProgressDlg, IDC_DETAIL, text);
}

void SetBar(unsigned long long progress)
{
    WPARAM position = g_recordCount ? (WPARAM)(progress / g_recordCount) : 0;
    if (g_shown.positionSet && g_shown.position == position)
        return;
    g_shown.positionSet = 1;
    g_shown.position = position;
    SendDlgItemMessageA(g_hProgressDlg, IDC_PROGRESS, PBM_SETPOS, position, 0);
}
