#include "uninstall_key.h"

#include "platform/sizes.h"

const char *UninstallKeySkipReason(const std::string &name, bool named)
{
    if (!named)
        return "the log has no usable APPNAME record, so the name is empty";
    char keyPath[MESSAGE_SIZE];
    switch (FormatUninstallKey(keyPath, sizeof(keyPath), name.c_str())) {
    case UNINSTALL_KEY_EMPTY_NAME:
        return "the application's name is empty";
    case UNINSTALL_KEY_NAME_BACKSLASH:
        return "the application's name holds a backslash";
    case UNINSTALL_KEY_NAMED:
        break;
    }
    return nullptr;
}
