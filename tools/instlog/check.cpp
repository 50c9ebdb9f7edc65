#include "check.h"

#include <string>

#include "escape.h"
#include "exit_codes.h"
#include "log_input.h"
#include "record_view.h"
#include "log/install_log.h"
#include "uninstall_key.h"

namespace {

struct Findings {
    std::ostream &out;
    unsigned long count;
};

} // namespace

static void Report(Findings &f, const std::string &where, const char *level, const std::string &text)
{
    f.out << where << ": " << level << ": " << text << '\n';
    f.count++;
}

static std::string Where(unsigned long long index)
{
    return "record " + std::to_string(index);
}

bool PathIsAbsolute(const std::string &path)
{
    char c = path.size() > 0 ? path[0] : '\0';
    if (((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && path.size() >= 3 && path[1] == ':' &&
        path[2] == '\\')
        return true;
    if (path.size() < 5 || path[0] != '\\' || path[1] != '\\')
        return false;
    size_t shareStart = path.find('\\', 2);
    return shareStart != std::string::npos && shareStart > 2 && shareStart + 1 < path.size() &&
           path[shareStart + 1] != '\\';
}

static void CheckPath(Findings &f, unsigned long long index, const LogRecord &rec, const char *what)
{
    std::string path = rec.primary;
    if (PathIsAbsolute(path))
        return;
    Report(f, Where(index), "error",
           std::string(what) + " " + Quoted(path) + (path.empty() ? " is empty" : " is relative") +
               ": only a drive letter with a backslash (C:\\...) or a UNC path (\\\\server\\share\\...) names "
               "the same item whatever the uninstaller's current folder");
}

static void CheckRecord(Findings &f, unsigned long long index, const LogRecord &rec)
{
    if (!RecordTypeName(rec.type))
        Report(f, Where(index), "warning",
               "unknown type " + std::to_string(rec.type) + ": counted, but the uninstaller does nothing with it");
    if (!RecordIsUsable(&rec)) {
        Report(f, Where(index), "error",
               DescribeType(rec.type) + " record is inert, never acted on: " + InertReason(rec));
        return;
    }
    switch (rec.type) {
    case LOGREC_FILE:
        CheckPath(f, index, rec, "file path");
        break;
    case LOGREC_DIR:
        CheckPath(f, index, rec, "directory path");
        break;
    case LOGREC_SHAREDDLL:
        CheckPath(f, index, rec, "shared DLL path");
        break;
    case LOGREC_CUSTOMRUN:
        CheckPath(f, index, rec, "custom program");
        break;
    case LOGREC_PMGROUP:
        if (rec.secondary[0] == '\0')
            Report(f, Where(index), "warning",
                   "PMGROUP record with an empty group name: Program Manager is asked to delete a group named "
                   "\"\"");
        break;
    }
}

int RunCheck(const char *path, std::ostream &out, std::ostream &err)
{
    std::string error;
    if (!OpenInput(path, error)) {
        err << "instlog: cannot open " << Quoted(path) << ": " << error << '\n';
        return INSTLOG_UNREADABLE;
    }
    Findings f{out, 0};
    LogRecord rec;
    unsigned long long index = 0;
    bool named = false;
    unsigned long long nameIndex = 0;
    std::string name;
    RewindLog();
    for (; ReadRecord(&rec); index++) {
        CheckRecord(f, index, rec);
        if (rec.type != LOGREC_APPNAME || !RecordIsUsable(&rec))
            continue;
        if (named)
            Report(f, Where(index), "warning",
                   "another APPNAME record: the last one wins, so " + Quoted(rec.primary) + " replaces " +
                       Quoted(name) + " of record " + std::to_string(nameIndex));
        named = true;
        nameIndex = index;
        name = rec.primary;
    }

    std::string tail;
    if (!FinishInput(path, index, tail, err))
        return INSTLOG_UNREADABLE;
    if (!tail.empty())
        Report(f, "tail", "warning",
               std::to_string(tail.size()) + (tail.size() == 1 ? " byte" : " bytes") + " at offset " +
                   std::to_string(index * LOG_RECORD_SIZE) +
                   " after the last whole record: a truncated record that the uninstaller never reads");

    const char *skip = UninstallKeySkipReason(name, named);
    if (!named)
        Report(f, "log", "error",
               "no usable APPNAME record: the boxes keep the caption " + Quoted(DEFAULT_CAPTION) +
                   " and the application's Uninstall key is not deleted");
    else if (skip)
        Report(f, Where(nameIndex), "error",
               std::string(skip) + " (" + Quoted(name) + "): the application's Uninstall key is not deleted");

    if (f.count == 0)
        out << "no problems found\n";
    else
        out << f.count << (f.count == 1 ? " problem found\n" : " problems found\n");
    return f.count == 0 ? INSTLOG_OK : INSTLOG_PROBLEMS;
}
