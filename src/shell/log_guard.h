// One removal per log at a time. Started twice on one log (a double click in
// the list of installed programs), two runs would each hold the log open and
// keep the other from deleting what it removes. The first run on a log takes
// a guard named by the log's identity on its volume, in the namespace all
// sessions share; a later one finds it, brings the first run's window to the
// front and ends, changing nothing. A guard goes with the process that holds
// it, however that process ends.
#ifndef SHELL_LOG_GUARD_H
#define SHELL_LOG_GUARD_H

#include "platform/platform.h"

enum LogGuard {
    LOG_GUARD_TAKEN,          // this run goes on (also when no guard can be had)
    LOG_GUARD_HELD_ELSEWHERE  // another run on the log is under way
};

// Takes the guard of the log whose file information is given, named by its
// identity on its volume (NULL: not known, and no guard is taken).
LogGuard TakeLogGuard(const BY_HANDLE_FILE_INFORMATION *log);

// Lets the guard go, at the end of the run.
void ReleaseLogGuard(void);

#endif
