// The restart dialog RESTARTDLG, offered when a deletion waits for a restart.
#ifndef SHELL_RESTART_DIALOG_H
#define SHELL_RESTART_DIALOG_H

#include "platform/platform.h"

// "&Yes" (command 1) asks Windows to restart and ends the dialog; "&No",
// Escape and the close box (command 2) only end it. Every other command,
// whatever its high word, is ignored.
INT_PTR CALLBACK RestartDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);

#endif
