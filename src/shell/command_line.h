// The text after the program's name on the command line: the log's path.
#ifndef SHELL_COMMAND_LINE_H
#define SHELL_COMMAND_LINE_H

// Returns the part of the process's command line that follows the program's
// own name (a name in double quotes ends at its closing quote, any other at
// the first white space) and the white space after it. Quotes around the
// rest and blanks inside or after it stay; the result points into
// commandLine itself.
char *SkipProgramName(char *commandLine);

#endif
