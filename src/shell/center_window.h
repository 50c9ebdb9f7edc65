// Where the dialogs appear.
#ifndef SHELL_CENTER_WINDOW_H
#define SHELL_CENTER_WINDOW_H

#include "platform/platform.h"

// Moves a top-level window to the middle of the primary screen, keeping its
// size. Each half is truncated on its own, as the dialogs always were.
void CenterWindow(HWND window);

#endif
