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
InitResult InitUninstall(const char *logPath);

// The exit codes of an unattended run, as deployment tools read those of
// Windows Installer; an interactive run ends with 0, and either ends with
// -1 when its own executable is damaged.
enum ExitCode {
    EXIT_REMOVED = 0,
    EXIT_RESTART_NEEDED = 3010,      // removed; a deletion waits for the restart
    EXIT_NOT_REMOVED = 1603,         // a start-up failure, or a custom program stopped the removal
    EXIT_RUNNING_ELSEWHERE = 1618    // another run removes the application
};

// cmdLine: the command line after the program's name (SkipProgramName).
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR cmdLine, int showCommand);

#endif
