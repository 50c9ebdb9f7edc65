// The program's check of its own executable file.
#ifndef SHELL_SELF_CHECK_H
#define SHELL_SELF_CHECK_H

#include "platform/platform.h"

// 1 when the open file is a PE image whose stamped header checksum is
// nonzero and equals the checksum of the file's bytes, and which ends where
// its last section ends: a flipped byte, a cut or an extended file all fail.
int ImageFileIsIntact(HANDLE file);

// Checks the program's own executable file, named by GetModuleFileNameA.
int CheckOwnIntegrity(void);

#endif
