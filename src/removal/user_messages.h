// The boxes a run shows the user. An unattended run (started by a
// deployment tool, with nobody at the screen) shows none: each box is
// taken as answered with its first button, as the caller asked for the
// removal.
#ifndef REMOVAL_USER_MESSAGES_H
#define REMOVAL_USER_MESSAGES_H

#include "platform/platform.h"

// Set once at start-up, before any box and before the worker starts.
extern int g_unattended;

// A message box without an owner window; unattended, none, and the answer
// is IDYES for MB_YESNO and IDOK for any other.
int ShowMessage(const char *text, const char *caption, UINT type);

#endif
