// The shell's state, shared by the main thread and the worker thread. The
// main thread writes everything here before the worker starts; the worker
// sets g_outcome (and, through the removal, g_rebootNeeded), which the main
// thread reads only after its message loop has ended. No lock is taken.
#ifndef SHELL_GLOBALS_H
#define SHELL_GLOBALS_H

#include "platform/platform.h"
#include "platform/sizes.h"

// How the worker's run ended; read by WinMain once its loop is over.
enum Outcome {
    OUTCOME_DECLINED = 0,
    OUTCOME_COMPLETED = 1,
    OUTCOME_ABORTED = 2
};

extern HINSTANCE g_hInstance;
extern char g_caption[CAPTION_SIZE];
extern Outcome g_outcome;

#endif
