#include "uninstall_key.h"

const char *UninstallKeySkipReason(const std::string &name, bool named)
{
    if (!named)
        return "the log has no usable APPNAME record, so the name is empty";
    if (name.empty())
        return "the application's name is empty";
    if (name.find('\\') != std::string::npos)
        return "the application's name holds a backslash";
    return nullptr;
}
