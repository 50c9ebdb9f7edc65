// Running the application's own uninstall programs.
#ifndef REMOVAL_CUSTOM_PROGRAM_H
#define REMOVAL_CUSTOM_PROGRAM_H

// 1 on Win32s, which cannot wait on a process handle; set at start-up.
extern int g_win32s;

// Reads the Windows version, once, at start-up (PrepareRemoval): it chooses
// how a program is waited for.
void InitCustomPrograms(void);

// Runs the program named by primary with the argument text secondary and
// waits for it to end. Without an extension, name.com, name.exe and name.bat
// are tried in that order; a batch file runs through the interpreter that
// COMSPEC names. Returns the program's exit status (0 is success), or -1
// when nothing could be started.
int RunCustomProgram(const char *primary, const char *secondary);

#endif
