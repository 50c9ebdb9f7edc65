// The removal as the shell drives it: made ready at start-up, run on the
// worker thread, finished on the main thread after a completed run. The
// shell reaches the removal through these three calls (and drives its
// progress dialog through progress_view.h).
#ifndef REMOVAL_REMOVE_APP_H
#define REMOVAL_REMOVE_APP_H

#include "platform/platform.h"

// At start-up, on the main thread, once the log at logPath is open and
// scanned: resolves the log's full path, which names the log's release note
// (identified with the log's file information, NULL when not known) and, at
// the end, the folders that go with the log; nothing waits for a restart
// yet; the Windows version chooses how custom programs are waited for.
void PrepareRemoval(const char *logPath, const BY_HANDLE_FILE_INFORMATION *log);

// Runs on the worker thread after the user confirmed. Shows the progress
// dialog, makes the passes over the log (passes.h) and deletes the
// application's Uninstall key, then hides the dialog. Returns 1 when every
// step ran, 0 when a custom program stopped the removal.
int RemoveApplication(void);

// After a completed removal, on the main thread: closes the log and deletes
// it (or schedules it for the restart), forgets its release note once it is
// gone, removes the log's folders that are left empty (RemoveLogFolder),
// and then has tellUser tell the user (restartWaits is 1 when a deletion
// waits for a restart).
void FinishRemoval(const char *logPath, void (*tellUser)(int restartWaits));

#endif
