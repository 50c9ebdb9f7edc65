// Start-up and the main thread's message loop.
#ifndef SHELL_STARTUP_H
#define SHELL_STARTUP_H

#include "platform/platform.h"

enum InitResult {
    INIT_FAILED = 0,            // its own message, if any, already shown
    INIT_STARTED = 1,           // the worker runs
    INIT_RUNNING_ELSEWHERE = 2  // another run removes the application: this one ends as it is
};

// Creates the hidden progress dialog, opens the log at logPath, takes its
// guard, scans it, prepares the removal and starts the worker thread.
int InitUninstall(const char *logPath);

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR cmdLine, int showCommand);

#endif
