// The application's entry under the Uninstall key: when the uninstaller
// deletes it, and under which path.
#ifndef INSTLOG_UNINSTALL_KEY_H
#define INSTLOG_UNINSTALL_KEY_H

#include <string>

#define UNINSTALL_KEY_PREFIX "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"

// Why the key step is skipped for this name, or NULL when the key
// UNINSTALL_KEY_PREFIX + name is deleted. An empty name would name the
// Uninstall key itself, a name with a backslash a key inside another entry.
const char *UninstallKeySkipReason(const std::string &name, bool named);

#endif
