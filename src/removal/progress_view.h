// The progress dialog as the removal drives it: shown, hidden and ended,
// its status and detail lines and its bar. The main thread creates the
// dialog and owns it; the worker's calls here are carried out by the main
// thread's message loop.
#ifndef REMOVAL_PROGRESS_VIEW_H
#define REMOVAL_PROGRESS_VIEW_H

#include "platform/platform.h"

// The dialog, created hidden at start-up.
extern HWND g_hProgressDlg;

// Keeps the dialog hidden while the user is asked.
void HideProgress(void);

// Shows the dialog as it was created: texts and bar as its procedure set
// them up; an unattended run keeps it hidden.
void ShowProgress(void);

// Hides the dialog at the end of a completed removal.
void EndProgress(void);

// The status line: one of the removal's fixed texts.
void SetStatus(const char *text);

// The detail line.
void SetDetail(const char *text);

// The bar, at progress divided by the number of records.
void SetBar(unsigned long long progress);

// Asks the dialog to hold off a logoff or shutdown (hold 1) while the
// removal changes the machine, or to let it go again (hold 0). wParam of
// WM_HOLD_SESSION is hold.
#define WM_HOLD_SESSION (WM_APP + 1)
void HoldSession(int hold);

#endif
