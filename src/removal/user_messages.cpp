#include "user_messages.h"

int g_unattended;

int ShowMessage(const char *text, const char *caption, UINT type)
{
    if (g_unattended)
        return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    return MessageBoxA(NULL, text, caption, type);
}
