// The worker thread: asks the user, runs the removal, ends the main loop.
#ifndef SHELL_WORKER_H
#define SHELL_WORKER_H

#include "platform/platform.h"

// param carries the main thread's id. Sets g_outcome before it posts the
// quit message that ends the main thread's loop.
DWORD WINAPI UninstallThread(LPVOID param);

#endif
