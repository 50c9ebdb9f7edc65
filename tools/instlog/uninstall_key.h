// The application's entry under the Uninstall key: when the uninstaller
// deletes it, and under which path.
#ifndef INSTLOG_UNINSTALL_KEY_H
#define INSTLOG_UNINSTALL_KEY_H

#include "removal/uninstall_key.h"

#include <string>

// Why the key step is skipped for this name, or NULL when the key
// UNINSTALL_KEY_PREFIX + name is deleted; the uninstaller's own rule decides.
const char *UninstallKeySkipReason(const std::string &name, bool named);

#endif
