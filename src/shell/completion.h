// What the main thread does after a completed removal.
#ifndef SHELL_COMPLETION_H
#define SHELL_COMPLETION_H

// Finishes the removal (FinishRemoval: the log and its empty folders go)
// and, once the log is gone, tells the user and offers a restart when a
// deletion waits for one (an unattended run does neither). Returns 1 when
// a deletion waits for the restart.
int RunCompletion(const char *logPath);

#endif
