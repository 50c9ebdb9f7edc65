// Fuzz target: the install-log reader on arbitrary bytes. The input is the
// whole log file; the start-up scan and a full pass must agree with an
// independent reading of the same bytes (the invariants' own reading of
// which records may be acted on among it), and nothing may be read or
// written beyond a record's fields (AddressSanitizer watches that).
#include "hardening/simulated_run.h"
#include "log/install_log.h"
#include "log/record_check.h"
#include "sim/sim.h"
#include "shell/globals.h"
#include "driver/program_texts.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static void Violation(const char *what, const std::string &actual, const std::string &expected)
{
    fprintf(stderr, "log reader: %s\n  actual:   \"%s\"\n  expected: \"%s\"\n", what, actual.c_str(),
            expected.c_str());
    abort();
}

static bool Usable(const unsigned char *record)
{
    return hardening::RecordIsActedOn(std::string((const char *)record, LOG_RECORD_SIZE));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    sim::Reset();
    sim::AddFile(TOOL_LOG, std::string((const char *)data, size));
    g_logFile = INVALID_HANDLE_VALUE;
    g_recordCount = 0;
    g_appName[0] = '\0';
    strcpy(g_caption, kDefaultCaption);

    if (!OpenLog(TOOL_LOG))
        Violation("an existing log could not be opened", "", TOOL_LOG);
    LogScan scan = ScanLog(g_caption, sizeof(g_caption));

    // What an independent reading of the bytes gives: a file that holds
    // bytes, not one whole record of which has a type from 0 to 7 and both
    // texts ending in their fields, is no log, and names nothing.
    size_t records = size / LOG_RECORD_SIZE;
    std::string appName, caption = kDefaultCaption;
    bool anyLogRecord = false;
    for (size_t i = 0; i < records; i++) {
        const unsigned char *rec = data + i * LOG_RECORD_SIZE;
        DWORD type = rec[0] | rec[1] << 8 | rec[2] << 16 | (DWORD)rec[3] << 24;
        anyLogRecord = anyLogRecord || (type <= LOGREC_CUSTOMRUN && memchr(rec + 4, 0, LOG_TEXT_SIZE) != nullptr &&
                                        memchr(rec + 4 + LOG_TEXT_SIZE, 0, LOG_TEXT_SIZE) != nullptr);
        if (type == LOGREC_APPNAME && Usable(rec)) {
            appName = (const char *)rec + 4;
            caption = appName.substr(0, 245) + " Uninstall";
        }
    }
    bool notALog = size != 0 && !anyLogRecord;
    if ((scan == LOG_NOT_A_LOG) != notALog)
        Violation("taken for a log", scan == LOG_NOT_A_LOG ? "no" : "yes", notALog ? "no" : "yes");
    if (notALog) {
        appName.clear();
        caption = kDefaultCaption;
    }
    if (g_recordCount != records)
        Violation("record count", std::to_string(g_recordCount), std::to_string(records));
    if (memchr(g_appName, 0, sizeof(g_appName)) == nullptr || g_appName != appName)
        Violation("application name", std::string(g_appName, strnlen(g_appName, sizeof(g_appName))), appName);
    if (memchr(g_caption, 0, sizeof(g_caption)) == nullptr || g_caption != caption)
        Violation("caption", std::string(g_caption, strnlen(g_caption, sizeof(g_caption))), caption);

    // A full pass reads the same records, and says of each whether it may
    // be acted on.
    LogRecord rec;
    size_t read = 0;
    while (ReadRecord((DWORD)read, &rec)) {
        if (read >= records)
            Violation("a pass reads more records than the file holds", std::to_string(read + 1),
                      std::to_string(records));
        const unsigned char *bytes = data + read * LOG_RECORD_SIZE;
        if (memcmp(&rec, bytes, LOG_RECORD_SIZE) != 0)
            Violation("a record read differs from the file's bytes", std::to_string(read), "");
        if ((RecordIsUsable(&rec) != 0) != Usable(bytes))
            Violation("usable record", std::to_string(RecordIsUsable(&rec)), std::to_string(Usable(bytes)));
        read++;
    }
    if (read != records)
        Violation("records read by a pass", std::to_string(read), std::to_string(records));
    CloseLog();
    if (!sim::OpenHandles().empty())
        Violation("the log stays open after CloseLog", sim::OpenHandles()[0], "");
    return 0;
}
