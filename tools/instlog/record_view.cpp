#include "record_view.h"

#include "escape.h"
#include "log/record_check.h"
#include "platform/text.h"

static const char *const kTypeNames[] = {
    "APPNAME", "FILE", "DIR", "TYPE3", "SHAREDDLL", "PMGROUP", "SYSREG", "CUSTOMRUN",
};
static const DWORD kTypeCount = sizeof(kTypeNames) / sizeof(kTypeNames[0]);

static_assert(LOGREC_CUSTOMRUN + 1 == sizeof(kTypeNames) / sizeof(kTypeNames[0]),
              "one name for every record type");

TextField SplitField(const char field[LOG_TEXT_SIZE])
{
    TextField out;
    size_t length = TextLength(field, LOG_TEXT_SIZE);
    out.text.assign(field, length);
    out.terminated = length < LOG_TEXT_SIZE;
    if (out.terminated) {
        size_t end = LOG_TEXT_SIZE;
        while (end > length + 1 && field[end - 1] == '\0')
            end--;
        out.afterZero.assign(field + length + 1, end - (length + 1));
    }
    return out;
}

const char *RecordTypeName(DWORD type)
{
    return type < kTypeCount ? kTypeNames[type] : NULL;
}

bool RecordTypeFromName(const std::string &name, DWORD &type)
{
    for (DWORD i = 0; i < kTypeCount; i++) {
        if (name == kTypeNames[i]) {
            type = i;
            return true;
        }
    }
    return false;
}

std::string DescribeType(DWORD type)
{
    const char *name = RecordTypeName(type);
    return name ? std::string(name) : "type " + std::to_string(type);
}

std::string InertReason(const LogRecord &rec)
{
    switch (ExamineRecord(&rec)) {
    case RECORD_TEXT_UNENDED: {
        bool primary = TextLength(rec.primary, LOG_TEXT_SIZE) == LOG_TEXT_SIZE;
        bool secondary = TextLength(rec.secondary, LOG_TEXT_SIZE) == LOG_TEXT_SIZE &&
                         (rec.type == LOGREC_PMGROUP || rec.type == LOGREC_CUSTOMRUN);
        if (primary && secondary)
            return "neither text has a terminating zero";
        return primary ? "the primary text has no terminating zero" : "the secondary text has no terminating zero";
    }
    case RECORD_PATH_NOT_QUALIFIED:
        return "its path " + Quoted(rec.primary) +
               " is not fully qualified: only a drive letter with a backslash (C:\\...) or a UNC path "
               "(\\\\server\\share\\...) names the same item whatever folder the uninstaller was started in";
    case RECORD_GROUP_NOT_ONE:
        return "the group name " + Quoted(rec.secondary) +
               " names no one group below Programs (empty, starting with a separator, with a colon or a "
               "wildcard, or with a part of dots and blanks alone, it could name the Programs folder, the Start "
               "Menu or many groups)";
    case RECORD_USABLE:
        break;
    }
    return "";
}
