#include "plan.h"

#include <string>
#include <vector>

#include "escape.h"
#include "exit_codes.h"
#include "log_input.h"
#include "log/record_check.h"
#include "record_view.h"
#include "removal/passes.h"
#include "uninstall_key.h"

static void Line(std::ostream &out, unsigned long long index, const std::string &text)
{
    out << "  record " << index << ": " << text << '\n';
}

static std::string Skipped(const LogRecord &rec)
{
    if (rec.type == LOGREC_CUSTOMRUN)
        return "the removal stops here, as after a failing program: " + InertReason(rec);
    return "skipped, " + DescribeType(rec.type) + " record is inert: " + InertReason(rec);
}

// What the uninstaller does with a record of a pass, in words.
static std::string Action(const RecordStep &step, const LogRecord &rec)
{
    switch (step.action) {
    case ACTION_RUN_PROGRAM:
        return "run " + Quoted(rec.primary) + " with argument text " + Quoted(rec.secondary);
    case ACTION_DELETE_FILE:
        return "delete file " + Quoted(rec.primary) + ", or schedule it for deletion at restart";
    case ACTION_RELEASE_DLL:
        return "release shared DLL " + Quoted(rec.primary) +
               ": its count goes down by 1; at 0 the count and the file are removed";
    case ACTION_DELETE_GROUP:
        return "delete program group " + Quoted(rec.secondary) + ": DDE command [DeleteGroup(\"" +
               EscapeKeepingQuotes(rec.secondary) + "\")]";
    case ACTION_REMOVE_DIRECTORY:
        return "remove directory " + Quoted(rec.primary) +
               ", again after the other directories while it is not empty; then, when all it still holds "
               "waits for the restart, schedule it for removal at restart, else leave it";
    case ACTION_NONE:
        break;
    }
    return std::string("status only: ") + Quoted(step.status);
}

// What a pass is for, in words.
static const char *PassPurpose(RemovalPass pass)
{
    switch (pass) {
    case PASS_CUSTOM_PROGRAMS:
        return "custom uninstall programs, each waited for; the first that fails stops the removal";
    case PASS_FILES:
        return "files, shared DLLs and program groups, in log order";
    case PASS_DIRECTORIES:
        return "directories";
    case PASS_SYSTEM_FILES:
        return "the system-file step";
    }
    return "";
}

// The n-th pass (counted from 0): the records it takes, in log order, and
// what becomes of each.
static void Pass(std::ostream &out, size_t n)
{
    const PassDescription &pass = kPasses[n];
    out << "Pass " << (char)('A' + n) << ": " << PassPurpose((RemovalPass)pass.pass);
    if (pass.status != NULL)
        out << "; status " << Quoted(pass.status);
    out << '\n';
    LogRecord rec;
    unsigned long long index = 0;
    int any = 0;
    for (; ReadRecord((DWORD)index, &rec); index++) {
        const RecordStep *step = StepFor((RemovalPass)pass.pass, rec.type);
        if (step == NULL)
            continue;
        any = 1;
        Line(out, index, RecordIsUsable(&rec) ? Action(*step, rec) : Skipped(rec));
    }
    if (!any)
        out << "  nothing\n";
}

// Records that no pass acts on: names, TYPE3 and unknown codes.
static bool NoPassTakes(DWORD type)
{
    for (size_t n = 0; n < kPassCount; n++)
        if (StepFor((RemovalPass)kPasses[n].pass, type) != NULL)
            return false;
    return true;
}

static void NoAction(std::ostream &out, unsigned long long nameIndex)
{
    out << "No action\n";
    LogRecord rec;
    unsigned long long index = 0;
    int any = 0;
    for (; ReadRecord((DWORD)index, &rec); index++) {
        if (!NoPassTakes(rec.type))
            continue;
        any = 1;
        std::string text = DescribeType(rec.type);
        if (!RecordTypeName(rec.type))
            text += " (unknown)";
        if (!RecordIsUsable(&rec))
            text += ", inert: " + InertReason(rec);
        else if (rec.type == LOGREC_APPNAME)
            text += index == nameIndex ? ": the application's name" : ": a later name record replaces it";
        Line(out, index, text);
    }
    if (!any)
        out << "  nothing\n";
}

int RunPlan(const char *path, std::ostream &out, std::ostream &err)
{
    std::string error;
    if (!OpenInput(path, error)) {
        err << "instlog: cannot open " << Quoted(path) << ": " << error << '\n';
        return INSTLOG_UNREADABLE;
    }
    // The start-up scan, as the uninstaller runs it, and the caption it gives.
    char caption[CAPTION_SIZE];
    const LogScan scan = ScanLog(caption, sizeof(caption));
    const bool named = scan == LOG_NAMED;

    // Which record gave the name: the last usable one.
    LogRecord rec;
    unsigned long long index = 0;
    unsigned long long nameIndex = 0;
    for (; ReadRecord((DWORD)index, &rec); index++)
        if (rec.type == LOGREC_APPNAME && RecordIsUsable(&rec))
            nameIndex = index;

    out << "Install log " << Quoted(path) << ": " << g_recordCount << (g_recordCount == 1 ? " record\n" : " records\n");
    if (scan == LOG_NOT_A_LOG) {
        out << "Not an install log: no whole record has a type from 0 to 7 and texts that end within their "
               "fields; the uninstaller reports that it cannot find its log and changes nothing\n";
        return INSTLOG_OK;
    }
    if (named)
        out << "Application name: " << Quoted(g_appName) << " (record " << nameIndex << ")\n";
    else
        out << "Application name: none (no usable APPNAME record)\n";
    out << "Caption of the message boxes: " << Quoted(caption) << "\n\n";

    for (size_t n = 0; n < kPassCount; n++)
        Pass(out, n);
    const char *skip = UninstallKeySkipReason(g_appName, named);
    if (skip)
        out << "Uninstall key: skipped, " << skip << '\n';
    else
        out << "Uninstall key: delete " << Quoted(std::string(UNINSTALL_KEY_PREFIX) + g_appName)
            << " under HKEY_LOCAL_MACHINE\n";
    NoAction(out, nameIndex);

    std::string tail;
    if (!FinishInput(path, index, tail, err))
        return INSTLOG_UNREADABLE;
    if (!tail.empty())
        out << "Never read: " << tail.size() << (tail.size() == 1 ? " byte" : " bytes")
            << " after the last whole record, at offset " << index * LOG_RECORD_SIZE << '\n';
    return INSTLOG_OK;
}
