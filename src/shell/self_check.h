// The program's check of its own executable file.
#ifndef SHELL_SELF_CHECK_H
#define SHELL_SELF_CHECK_H

// 1 when the program's own executable file, named by GetModuleFileNameA,
// passes ImageFileChecksum.
int CheckOwnIntegrity(void);

#endif
