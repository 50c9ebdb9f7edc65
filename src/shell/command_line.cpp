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
