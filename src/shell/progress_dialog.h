// The progress dialog UNINSTDLG and the centring shared by both dialogs.
#ifndef SHELL_PROGRESS_DIALOG_H
#define SHELL_PROGRESS_DIALOG_H

#include "platform/platform.h"

// Sets up the dialog's first texts and the bar, and holds off the end of
// the Windows session while the removal asks it to (WM_HOLD_SESSION); reacts
// to nothing else, so neither Cancel nor the frame's close button can stop a
// removal.
INT_PTR CALLBACK ProgressDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);

// Moves a top-level window to the middle of the primary screen, keeping its
// size. Each half is truncated on its own, as the dialogs always were.
void CenterWindow(HWND window);

#endif
