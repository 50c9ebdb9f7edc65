// Deleting a registry key with everything below it.
#ifndef REMOVAL_KEY_TREE_H
#define REMOVAL_KEY_TREE_H

#include <stddef.h>

#include "platform/platform.h"

// Deletes the key at path under HKEY_LOCAL_MACHINE with every key below it,
// deepest first: RegDeleteKeyA deletes no key that has subkeys. It never
// follows a symbolic link out of the tree, and stops at the first key it
// cannot delete. path is a writable buffer of size characters, which the
// walk uses; returns 1 when the key is gone.
int DeleteKeyTree(char *path, size_t size);

#endif
