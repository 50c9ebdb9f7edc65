#include "record_check.h"

#include "platform/text.h"

// The first separator after the component at p, or its terminating zero.
static const char *ComponentEnd(const char *p)
{
    while (*p != '\0' && !IsPathSeparator(*p))
        p += CharLength(p);
    return p;
}

int PathIsFullyQualified(const char *path)
{
    char drive = path[0];
    if (((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')) && path[1] == ':')
        return IsPathSeparator(path[2]);
    if (!IsPathSeparator(path[0]) || !IsPathSeparator(path[1]))
        return 0;
    const char *server = path + 2;
    const char *serverEnd = ComponentEnd(server);
    if (serverEnd == server || *serverEnd == '\0')
        return 0;
    const char *share = serverEnd + 1;
    return ComponentEnd(share) != share;
}

static int OnlyDotsAndBlanks(const char *start, const char *end)
{
    for (const char *p = start; p < end; p++)
        if (*p != '.' && *p != ' ')
            return 0;
    return 1;
}

int NamesOneGroup(const char *name)
{
    if (name[0] == '\0' || IsPathSeparator(name[0]))
        return 0;
    for (const char *p = name; *p != '\0';) {
        const char *end = ComponentEnd(p);
        if (end != p && OnlyDotsAndBlanks(p, end))
            return 0;
        for (; p < end; p += CharLength(p))
            if (*p == ':' || *p == '*' || *p == '?')
                return 0;
        if (*p != '\0')
            p++;
    }
    return 1;
}

RecordState ExamineRecord(const LogRecord *rec)
{
    int primary = 0;
    int secondary = 0;
    switch (rec->type) {
    case LOGREC_APPNAME:
    case LOGREC_FILE:
    case LOGREC_DIR:
    case LOGREC_SHAREDDLL:
        primary = 1;
        break;
    case LOGREC_PMGROUP:
        secondary = 1;
        break;
    case LOGREC_CUSTOMRUN:
        primary = secondary = 1;
        break;
    }
    if ((primary && TextLength(rec->primary, LOG_TEXT_SIZE) == LOG_TEXT_SIZE) ||
        (secondary && TextLength(rec->secondary, LOG_TEXT_SIZE) == LOG_TEXT_SIZE))
        return RECORD_TEXT_UNENDED;
    if ((rec->type == LOGREC_FILE || rec->type == LOGREC_DIR || rec->type == LOGREC_SHAREDDLL) &&
        !PathIsFullyQualified(rec->primary))
        return RECORD_PATH_NOT_QUALIFIED;
    if (rec->type == LOGREC_PMGROUP && !NamesOneGroup(rec->secondary))
        return RECORD_GROUP_NOT_ONE;
    return RECORD_USABLE;
}

int RecordIsUsable(const LogRecord *rec)
{
    return ExamineRecord(rec) == RECORD_USABLE;
}

int IsLogRecord(const LogRecord *rec)
{
    return rec->type <= LOGREC_CUSTOMRUN && TextLength(rec->primary, LOG_TEXT_SIZE) < LOG_TEXT_SIZE &&
           TextLength(rec->secondary, LOG_TEXT_SIZE) < LOG_TEXT_SIZE;
}
