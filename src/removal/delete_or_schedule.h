// Removing one file or directory, now or at the next restart of Windows.
#ifndef REMOVAL_DELETE_OR_SCHEDULE_H
#define REMOVAL_DELETE_OR_SCHEDULE_H

#include "platform/platform.h"

// 1 once something of the removal waits for the next restart; cleared at
// start-up, read after the removal.
extern int g_rebootNeeded;

// Nothing waits for a restart yet, and the whole time for waiting on files
// held for a moment is left. log is the open log's file information (NULL:
// not known), by which a record naming the log is told in any spelling, and
// logFullPath its full path ("" when not known), which names its folders.
// Called by PrepareRemoval at start-up.
void InitDeletions(const char *logFullPath, const BY_HANDLE_FILE_INFORMATION *log);

enum DeleteOutcome {
    DELETE_NOTHING_THERE = 0,            // no such item: nothing was deleted or scheduled
    DELETED_AT_ONCE = 1,
    DELETE_SCHEDULED = 2,                // it waits for the restart, with its WININIT.INI line
    DELETE_SCHEDULED_WITHOUT_LINE = 3,   // it waits for the restart through MoveFileExA alone
    DELETE_WAITING_ALREADY = 4,          // it was scheduled before, by this run or an earlier one
    DELETE_OPEN_LOG = 5,                 // the log this program holds open: deleted after the removal
    DELETE_FOLDER_KEPT = 6,              // a folder holding what no restart deletes: it stays
    DELETE_LOG_FOLDER_LEFT = 7           // a folder holding the open log's path, nothing else in it
                                         // waiting: left for RemoveLogFolder, after the log
};

// Deletes the file or empty directory at path, clearing its read-only
// attribute when that is what stops it. A file or folder that another
// program holds open is tried again after a pause, for a few seconds in all
// over the removal: a virus scanner holds what it reads only for a moment.
// What still cannot go is scheduled for the next restart, both with
// MoveFileExA and with a "NUL=<short path>" line in WININIT.INI's [Rename]
// section, and g_rebootNeeded is set; a file is first renamed within its
// folder where Windows allows it (a loaded DLL), so that the restart
// deletes it and not what a new install puts at path. A folder that is not
// empty is scheduled only when all it holds waits for the restart too (the
// restart deletes no folder that still holds something); the log this
// program holds open counts as gone, since it is deleted after the removal,
// and a folder holding the log's path, when nothing else in it waits, is
// left to that step too.
// An item that no longer exists is not scheduled, nor is one that waits
// already, nor the open log. Without a short path, or when WININIT.INI
// cannot take the line, only MoveFileExA, which Windows NT alone carries
// out, keeps the item for the restart.
DeleteOutcome DeleteOrSchedule(const char *path);

// Once the log is gone: removes folder, one of the folders the log lay in,
// when it is empty. One that a directory record named, and that was left
// since it held the log's path, goes as DeleteOrSchedule has it: now, after
// another program lets go of it, or at the restart.
void RemoveLogFolder(const char *folder);

#endif
