#include "progress_view.h"

#include <string.h>

#include "log/install_log.h"
#include "platform/text.h"
#include "res/resource.h"
#include "user_messages.h"

HWND g_hProgressDlg;

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
