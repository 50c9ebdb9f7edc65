// What the main thread does after a completed removal.
#ifndef SHELL_COMPLETION_H
#define SHELL_COMPLETION_H

// Closes and deletes the log (or schedules it), tells the user, offers a
// restart when a deletion waits for one, and removes the log's empty
// folders.
void RunCompletion(const char *logPath);

// Removes each folder that holds the log, the path resolved first, deepest
// first, down to the drive (which is not touched); only empty ones go.
void RemoveLogFolders(const char *logPath);

#endif
