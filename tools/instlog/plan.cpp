#include "plan.h"

#include <string>
#include <vector>

#include "escape.h"
#include "exit_codes.h"
#include "log_input.h"
#include "record_view.h"
#include "platform/text.h"
#include "shell/globals.h"
#include "uninstall_key.h"

static const char kSysRegStatus[] = "Removing System Registry Entrys";

static void Line(std::ostream &out, unsigned long long index, const std::string &text)
{
    out << "  record " << index << ": " << text << '\n';
}

static std::string Skipped(const LogRecord &rec)
{
    return "skipped, " + DescribeType(rec.type) + " record is inert: " + InertReason(rec);
}

// Pass A: every custom program, in log order, before anything is removed.
static void PassA(std::ostream &out)
{
    out << "Pass A: custom uninstall programs, each waited for; the first that fails stops the removal\n";
    LogRecord rec;
    unsigned long long index = 0;
    int any = 0;
    RewindLog();
    for (; ReadRecord(&rec); index++) {
        if (rec.type != LOGREC_CUSTOMRUN)
            continue;
        any = 1;
        if (!RecordIsUsable(&rec))
            Line(out, index, Skipped(rec));
        else
            Line(out, index, "run " + Quoted(rec.primary) + " with argument text " + Quoted(rec.secondary));
    }
    if (!any)
        out << "  nothing\n";
}

static std::string PassBAction(const LogRecord &rec)
{
    switch (rec.type) {
    case LOGREC_FILE:
        return "delete file " + Quoted(rec.primary) + ", or schedule it for deletion at restart";
    case LOGREC_SHAREDDLL:
        return "release shared DLL " + Quoted(rec.primary) +
               ": its count goes down by 1; at 0 the count and the file are removed";
    case LOGREC_PMGROUP:
        return "delete program group " + Quoted(rec.secondary) + ": DDE command [DeleteGroup(\"" +
               EscapeKeepingQuotes(rec.secondary) + "\")]";
    case LOGREC_SYSREG:
        return std::string("status only: ") + Quoted(kSysRegStatus);
    }
    return "";
}

// Pass B: files, shared DLLs and program groups, one pass in log order.
static void PassB(std::ostream &out)
{
    out << "Pass B: files, shared DLLs and program groups, in log order\n";
    LogRecord rec;
    unsigned long long index = 0;
    int any = 0;
    RewindLog();
    for (; ReadRecord(&rec); index++) {
        if (rec.type != LOGREC_FILE && rec.type != LOGREC_SHAREDDLL && rec.type != LOGREC_PMGROUP &&
            rec.type != LOGREC_SYSREG)
            continue;
        any = 1;
        Line(out, index, RecordIsUsable(&rec) ? PassBAction(rec) : Skipped(rec));
    }
    if (!any)
        out << "  nothing\n";
}

// Pass C: directories, after every file is gone.
static void PassC(std::ostream &out)
{
    out << "Pass C: directories\n";
    LogRecord rec;
    unsigned long long index = 0;
    int any = 0;
    RewindLog();
    for (; ReadRecord(&rec); index++) {
        if (rec.type != LOGREC_DIR)
            continue;
        any = 1;
        if (!RecordIsUsable(&rec))
            Line(out, index, Skipped(rec));
        else
            Line(out, index, "remove directory " + Quoted(rec.primary) + ", or schedule it for removal at restart");
    }
    if (!any)
        out << "  nothing\n";
}

// Records that no pass acts on: names, TYPE3 and unknown codes.
static void NoAction(std::ostream &out, unsigned long long nameIndex)
{
    out << "No action\n";
    LogRecord rec;
    unsigned long long index = 0;
    int any = 0;
    RewindLog();
    for (; ReadRecord(&rec); index++) {
        if (rec.type != LOGREC_APPNAME && rec.type != LOGREC_TYPE3 && RecordTypeName(rec.type))
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
    // The start-up scan, as the uninstaller runs it.
    g_recordCount = 0;
    g_appName[0] = '\0';
    CopyText(g_caption, sizeof(g_caption), DEFAULT_CAPTION);
    RewindLog();
    ScanLog();

    // Which record gave the name: the last usable one.
    LogRecord rec;
    unsigned long long index = 0;
    unsigned long long nameIndex = 0;
    bool named = false;
    RewindLog();
    for (; ReadRecord(&rec); index++) {
        if (rec.type == LOGREC_APPNAME && RecordIsUsable(&rec)) {
            nameIndex = index;
            named = true;
        }
    }

    out << "Install log " << Quoted(path) << ": " << g_recordCount << (g_recordCount == 1 ? " record\n" : " records\n");
    if (named)
        out << "Application name: " << Quoted(g_appName) << " (record " << nameIndex << ")\n";
    else
        out << "Application name: none (no usable APPNAME record)\n";
    out << "Caption of the message boxes: " << Quoted(g_caption) << "\n\n";

    PassA(out);
    PassB(out);
    PassC(out);
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
