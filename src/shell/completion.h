// What the main thread does after a completed removal.
#ifndef SHELL_COMPLETION_H
#define SHELL_COMPLETION_H

// Closes and deletes the log (or schedules it), tells the user, offers a
// restart when a deletion waits for one, and removes the log's empty
// folders. logPath is shortened in place.
void RunCompletion(char *logPath);

// Removes each folder on the path, deepest first, down to the drive (which
// is not touched); only empty ones go. The text is cut in place and ends
// empty.
void RemoveLogFolders(char *path);

#endif
