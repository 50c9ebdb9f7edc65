// Removing one file or directory, now or at the next restart of Windows.
#ifndef REMOVAL_DELETE_OR_SCHEDULE_H
#define REMOVAL_DELETE_OR_SCHEDULE_H

// 1 once some deletion had to be scheduled for the next restart; cleared at
// start-up, read after the removal.
extern int g_rebootNeeded;

// Nothing waits for a restart yet: called by PrepareRemoval at start-up.
void InitDeletions(void);

enum DeleteOutcome {
    DELETE_NOTHING_THERE = 0,            // no such item: nothing was deleted or scheduled
    DELETED_AT_ONCE = 1,
    DELETE_SCHEDULED = 2,                // it waits for the restart, with its WININIT.INI line
    DELETE_SCHEDULED_WITHOUT_LINE = 3    // it waits for the restart through MoveFileExA alone
};

// Deletes the file or empty directory at path, clearing its read-only
// attribute when that is what stops it. When that is not possible it
// schedules the deletion for the next restart, both with MoveFileExA and with
// a "NUL=<short path>" line in WININIT.INI's [Rename] section, and sets
// g_rebootNeeded; a file is first renamed within its folder where Windows
// allows it (a loaded DLL), so that the restart deletes it and not what a
// new install puts at path. An item that no longer exists is not scheduled.
// Without a short path, or when WININIT.INI cannot take the line, only
// MoveFileExA, which Windows NT alone carries out, keeps the item for the
// restart.
DeleteOutcome DeleteOrSchedule(const char *path);

#endif
