// Start-up and the main thread's message loop.
#ifndef SHELL_STARTUP_H
#define SHELL_STARTUP_H

#include "platform/platform.h"

// Creates the hidden progress dialog, opens and scans the log at logPath and
// starts the worker thread. Returns 1 when the worker runs, 0 after a
// failure (its own message, if any, already shown).
int InitUninstall(const char *logPath);

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR cmdLine, int showCommand);

#endif
