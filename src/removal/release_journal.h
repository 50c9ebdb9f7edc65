// What earlier runs on the same log released. A removal that was ended
// halfway (a logoff, a power cut, Task Manager) and is run again must not
// lower a shared DLL's count a second time: that would delete a DLL another
// application still counts on. Before a count is lowered, the run notes in
// the registry, beside SharedDLLs, that this log's records up to that one
// are released; a run that finds the note skips them. An interruption can so
// leave a count one too high (the DLL stays), never one too low.
#ifndef REMOVAL_RELEASE_JOURNAL_H
#define REMOVAL_RELEASE_JOURNAL_H

#include "platform/platform.h"
#include "platform/sizes.h"

// The key, under HKEY_LOCAL_MACHINE, whose values are the notes: one per
// log, named by the log's full path.
#define RELEASE_JOURNAL_KEY "SOFTWARE\\Morvane Uninstall"

// A note: the log's last write time and size, which tell a new log written
// at the same path from the old one; how many of its first records are
// released (the last of them perhaps only about to be); and whether the
// last one's count was found at 1, so that its value and then its DLL were
// about to go.
struct ReleaseNote {
    DWORD writtenLow;
    DWORD writtenHigh;
    DWORD sizeLow;
    DWORD sizeHigh;
    DWORD released;
    DWORD lastReachedZero;
};

// The log's note as this run keeps it: its name, and its identity with the
// release last claimed. Set up at start-up, before the worker starts.
struct ReleaseJournal {
    int named;   // 0 until IdentifyLog succeeds
    char logName[PATH_SIZE];
    ReleaseNote note;
};

extern ReleaseJournal g_journal;

enum ReleaseClaim {
    RELEASE_SKIP,     // an earlier run released it, or the note cannot be kept
    RELEASE_NOW,      // this run releases it: the note now says so
    RELEASE_FINISH    // an earlier run was ended while it removed the count's value and the DLL
};

// Names the log's note by the log's full path
// (PrepareRemoval resolves it; "" when it could not), and tells this log from
// a later one at that path by its last write time and size (NULL: not
// known). Returns 0 when the log cannot be told apart; no count is then
// lowered at all.
int IdentifyLog(const char *fullPath, const BY_HANDLE_FILE_INFORMATION *log);

// Called by ReleaseSharedDllOnce before the shared-DLL record at index
// (counted from 0 in file order) is released: what is to be done with it.
ReleaseClaim ClaimRelease(DWORD index);

// Notes that the count of the release just claimed is found at 1: its value
// is about to be deleted, and then its DLL.
void NoteCountReachesZero(void);

// Deletes the log's note, and the key when no other log has one. Called by
// FinishRemoval once the log itself is deleted.
void ForgetReleases(void);

#endif
