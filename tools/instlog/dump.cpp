#include "dump.h"

#include "escape.h"
#include "exit_codes.h"
#include "log_input.h"
#include "record_view.h"

static void DumpField(std::ostream &out, const char *name, const char field[LOG_TEXT_SIZE])
{
    TextField f = SplitField(field);
    out << "  " << name << ' ' << Quoted(f.text);
    if (!f.terminated)
        out << " unterminated";
    out << '\n';
    if (!f.afterZero.empty())
        out << "  " << name << " after zero " << Quoted(f.afterZero) << '\n';
}

static void DumpRecord(std::ostream &out, unsigned long long index, const LogRecord &rec)
{
    out << "record " << index << " at " << index * LOG_RECORD_SIZE << ": ";
    if (RecordTypeName(rec.type))
        out << RecordTypeName(rec.type);
    else
        out << "type " << rec.type << " (unknown)";
    out << '\n';
    DumpField(out, "primary", rec.primary);
    DumpField(out, "secondary", rec.secondary);
}

int RunDump(const char *path, std::ostream &out, std::ostream &err)
{
    std::string error;
    if (!OpenInput(path, error)) {
        err << "instlog: cannot open " << Quoted(path) << ": " << error << '\n';
        return INSTLOG_UNREADABLE;
    }
    out << "# install log " << Quoted(path) << '\n';
    LogRecord rec;
    unsigned long long count = 0;
    for (; ReadRecord((DWORD)count, &rec); count++)
        DumpRecord(out, count, rec);

    std::string tail;
    if (!FinishInput(path, count, tail, err))
        return INSTLOG_UNREADABLE;
    if (!tail.empty()) {
        out << "# a truncated record: " << tail.size()
            << (tail.size() == 1 ? " byte" : " bytes") << " that no pass reads\n";
        out << "tail at " << count * LOG_RECORD_SIZE << ": " << tail.size()
            << (tail.size() == 1 ? " byte " : " bytes ") << Quoted(tail) << '\n';
    }
    out << "# " << count << (count == 1 ? " record, " : " records, ") << count * LOG_RECORD_SIZE + tail.size()
        << " bytes\n";
    return INSTLOG_OK;
}
