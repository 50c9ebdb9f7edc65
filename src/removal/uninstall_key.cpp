#include "uninstall_key.h"

#include "platform/text.h"

UninstallKeyName FormatUninstallKey(char *keyPath, size_t size, const char *appName)
{
    CopyText(keyPath, size, "");
    if (appName[0] == '\0')
        return UNINSTALL_KEY_EMPTY_NAME;
    if (TextHasChar(appName, '\\'))
        return UNINSTALL_KEY_NAME_BACKSLASH;
    CopyText(keyPath, size, UNINSTALL_KEY_PREFIX);
    AppendText(keyPath, size, appName);
    return UNINSTALL_KEY_NAMED;
}
