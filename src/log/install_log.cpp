#include "install_log.h"

#include "platform/text.h"
#include "shell/globals.h"

static_assert(sizeof(LogRecord) == LOG_RECORD_SIZE, "a log record is 516 bytes");

// " Uninstall" is appended to the name, so a longer name is cut to keep it.
#define CAPTION_SUFFIX " Uninstall"
#define CAPTION_NAME_MAX (TEXT_SIZE - 1 - (sizeof(CAPTION_SUFFIX) - 1))

int OpenLog(const char *path)
{
    SECURITY_ATTRIBUTES inherit;
    inherit.nLength = sizeof(inherit);
    inherit.lpSecurityDescriptor = NULL;
    inherit.bInheritHandle = TRUE;
    g_logFile = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            &inherit, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    return g_logFile != INVALID_HANDLE_VALUE;
}

void RewindLog(void)
{
    SetFilePointer(g_logFile, 0, NULL, FILE_BEGIN);
}

int ReadRecord(LogRecord *rec)
{
    DWORD got = 0;
    return ReadFile(g_logFile, rec, LOG_RECORD_SIZE, &got, NULL) && got == LOG_RECORD_SIZE;
}

void CloseLog(void)
{
    if (g_logFile != INVALID_HANDLE_VALUE)
        CloseHandle(g_logFile);
    g_logFile = INVALID_HANDLE_VALUE;
}

int RecordIsUsable(const LogRecord *rec)
{
    return TextLength(rec->primary, LOG_TEXT_SIZE) < LOG_TEXT_SIZE &&
           TextLength(rec->secondary, LOG_TEXT_SIZE) < LOG_TEXT_SIZE;
}

static void TakeAppName(const char *name)
{
    CopyText(g_appName, sizeof(g_appName), name);
    CopyText(g_caption, CAPTION_NAME_MAX + 1, name);
    AppendText(g_caption, sizeof(g_caption), CAPTION_SUFFIX);
}

void ScanLog(void)
{
    LogRecord rec;
    while (ReadRecord(&rec)) {
        if (rec.type == LOGREC_APPNAME && RecordIsUsable(&rec))
            TakeAppName(rec.primary);
        g_recordCount++;
    }
}
