// Removing one file or directory, now or at the next restart of Windows.
#ifndef REMOVAL_DELETE_OR_SCHEDULE_H
#define REMOVAL_DELETE_OR_SCHEDULE_H

// 1 once some deletion had to be scheduled for the next restart; cleared at
// start-up, read after the removal.
extern int g_rebootNeeded;

// Nothing waits for a restart yet: called at start-up.
void InitDeletions(void);

// Deletes the file or empty directory at path, clearing its read-only
// attribute when that is what stops it. When that is not possible it
// schedules the deletion for the next restart, both with MoveFileExA and with
// a "NUL=<short path>" line in WININIT.INI's [Rename] section, and sets
// g_rebootNeeded; a file is first renamed within its folder where Windows
// allows it (a loaded DLL), so that the restart deletes it and not what a
// new install puts at path. An item that no longer exists is not scheduled.
// Returns DELETED_AT_ONCE, or DELETE_SCHEDULED when it waits for the
// restart with its WININIT.INI line in place, or 0 when that line is not.
int DeleteOrSchedule(const char *path);

#define DELETED_AT_ONCE 1
#define DELETE_SCHEDULED 2

#endif
