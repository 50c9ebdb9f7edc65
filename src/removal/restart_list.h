// What Windows deletes at its next start. Windows NT keeps the list in the
// registry (the session manager's PendingFileRenameOperations, which
// MoveFileExA writes); Windows 95 reads "NUL=<short path>" lines in
// WININIT.INI's [Rename] section. A deletion is scheduled with both; whether
// an item waits already is read from the list its Windows carries out.
#ifndef REMOVAL_RESTART_LIST_H
#define REMOVAL_RESTART_LIST_H

// The largest list read, that of the profile functions of every Windows
// version.
#define RESTART_LIST_SIZE 32767

// The names of the items the restart deletes, each ending in a zero, an
// empty one after the last.
struct RestartList {
    char names[RESTART_LIST_SIZE + 2];
};

// Adds a "NUL=<name>" line to WININIT.INI's [Rename] section, keeping every
// line that is there already. Returns 1 when the section holds the line.
int AddWininitLine(const char *name);

// Reads the list of the running Windows. Returns 0 when it cannot be read
// whole; the list is then empty.
int ReadRestartList(RestartList *list);

// 1 when the list holds name (letters compared without regard to case).
int RestartListHolds(const RestartList *list, const char *name);

// 1 when the list names the item at path, by its short path or as path
// stands.
int RestartListNames(const RestartList *list, const char *path);

#endif
