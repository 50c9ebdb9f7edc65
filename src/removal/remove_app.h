// The removal proper: the passes over the install log, in a fixed order.
#ifndef REMOVAL_REMOVE_APP_H
#define REMOVAL_REMOVE_APP_H

#include "platform/platform.h"

// Runs on the worker thread after the user confirmed. Shows the progress
// dialog, runs the custom programs, deletes files, removes directories and
// deletes the application's Uninstall key, then hides the dialog.
// Returns 1 when every step ran, 0 when a custom program stopped the removal.
int RemoveApplication(void);

#endif
