#include "command_line.h"

#include "platform/text.h"

static int IsWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char *SkipProgramName(char *commandLine)
{
    char *p = commandLine;
    if (*p == '"') {
        p++;
        while (*p != '\0' && *p != '"')
            p += CharLength(p);
        if (*p == '"')
            p++;
    } else {
        while (*p != '\0' && !IsWhiteSpace(*p))
            p += CharLength(p);
    }
    while (IsWhiteSpace(*p))
        p++;
    return p;
}

static int IsLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The length of the switch at the start of text, 0 for none.
static size_t SwitchLength(const char *text)
{
    static const char kQuiet[] = "quiet";
    if (text[0] != '/')
        return 0;
    if ((text[1] == 'S' || text[1] == 's') && text[2] == ' ')
        return 2;
    for (size_t i = 0; i < sizeof(kQuiet) - 1; i++)
        if ((text[1 + i] | 0x20) != kQuiet[i])
            return 0;
    return text[sizeof(kQuiet)] == ' ' ? sizeof(kQuiet) : 0;
}

const char *TakeUnattendedSwitch(const char *tail, int *unattended)
{
    *unattended = 0;
    size_t length = SwitchLength(tail);
    if (length == 0)
        return tail;
    const char *path = tail + length + 1;
    int driveRoot = IsLetter(path[0]) && path[1] == ':' && path[2] == '\\';
    int serverShare = path[0] == '\\' && path[1] == '\\';
    if (!driveRoot && !serverShare)
        return tail;
    *unattended = 1;
    return path;
}
