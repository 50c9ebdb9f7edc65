// The command line's tail: the log's path, after the switch of an
// unattended run.
#ifndef SHELL_COMMAND_LINE_H
#define SHELL_COMMAND_LINE_H

// Returns the part of the process's command line that follows the program's
// own name (a name in double quotes ends at its closing quote, any other at
// the first white space) and the white space after it. Quotes around the
// rest and blanks inside or after it stay; the result points into
// commandLine itself.
char *SkipProgramName(char *commandLine);

// The log's path in tail, and whether the run is unattended: it is when
// tail starts with "/S" or "/quiet" in any letter case, one blank and a
// fully qualified path (a drive letter, a colon and a backslash, or two
// backslashes), which is then the rest of tail. Any other tail is the
// path as it stands: no file or folder name holds a colon, so no path that
// opens a log reads as the switch. The result points into tail.
const char *TakeUnattendedSwitch(const char *tail, int *unattended);

#endif
