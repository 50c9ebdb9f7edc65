// Deleting the application's Program Manager groups over DDE.
#ifndef REMOVAL_PROGMAN_H
#define REMOVAL_PROGMAN_H

#include "platform/platform.h"

// Sends [DeleteGroup("<name>")] to Program Manager, in a whole DDEML client
// cycle of its own. A failure is reported in a box and stops nothing.
// Returns 0 when DDEML cannot be initialised, 1 otherwise.
int ProgmanDeleteGroup(const char *name);

#endif
