#include "check.h"

#include <string>

#include "escape.h"
#include "exit_codes.h"
#include "log_input.h"
#include "record_view.h"
#include "log/install_log.h"
#include "log/record_check.h"
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

static void CheckRecord(Findings &f, unsigned long long index, const LogRecord &rec)
{
    if (!RecordTypeName(rec.type))
        Report(f, Where(index), "warning",
               "unknown type " + std::to_string(rec.type) + ": counted, but the uninstaller does nothing with it");
    if (!RecordIsUsable(&rec)) {
        Report(f, Where(index), "error",
               DescribeType(rec.type) +
                   (rec.type == LOGREC_CUSTOMRUN ? " record stops the removal, as a failing program does: "
                                                 : " record is inert, never acted on: ") +
                   InertReason(rec));
        return;
    }
    // A custom program's name may be relative: the system searches for it.
    if (rec.type == LOGREC_CUSTOMRUN && !PathIsFullyQualified(rec.primary))
        Report(f, Where(index), "error",
               "custom program " + Quoted(rec.primary) +
                   " is relative: it is searched for from whatever folder the uninstaller was started in");
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
    bool anyLogRecord = false;
    for (; ReadRecord((DWORD)index, &rec); index++) {
        CheckRecord(f, index, rec);
        anyLogRecord = anyLogRecord || IsLogRecord(&rec);
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

    if (!anyLogRecord && (index != 0 || !tail.empty()))
        Report(f, "log", "error",
               "no whole record has a type from 0 to 7 and texts that end within their fields: the uninstaller "
               "takes the file for no install log and removes nothing");
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
