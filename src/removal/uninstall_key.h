// The application's own entry under the system's Uninstall key.
#ifndef REMOVAL_UNINSTALL_KEY_H
#define REMOVAL_UNINSTALL_KEY_H

#include <stddef.h>

#define UNINSTALL_KEY_PREFIX "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"

enum UninstallKeyName {
    UNINSTALL_KEY_NAMED = 0,        // the path names the application's own entry
    UNINSTALL_KEY_EMPTY_NAME,       // it would name the Uninstall key itself
    UNINSTALL_KEY_NAME_BACKSLASH    // it would name a key inside another entry
};

// Forms in keyPath the path of the entry that appName names, under
// HKEY_LOCAL_MACHINE. Only for UNINSTALL_KEY_NAMED is there an entry to
// delete; otherwise keyPath is left empty.
UninstallKeyName FormatUninstallKey(char *keyPath, size_t size, const char *appName);

#endif
