#include "command_line.h"

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
            p++;
        if (*p == '"')
            p++;
    } else {
        while (*p != '\0' && !IsWhiteSpace(*p))
            p++;
    }
    while (IsWhiteSpace(*p))
        p++;
    return p;
}
