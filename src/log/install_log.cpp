#include "install_log.h"

#include "platform/text.h"
#include "record_check.h"

static_assert(sizeof(LogRecord) == LOG_RECORD_SIZE, "a log record is 516 bytes");

HANDLE g_logFile = INVALID_HANDLE_VALUE;
DWORD g_recordCount;
char g_appName[TEXT_SIZE];

// " Uninstall" is appended to the name, so a longer name is cut to keep it.
#define CAPTION_SUFFIX " Uninstall"
#define CAPTION_SUFFIX_LENGTH (sizeof(CAPTION_SUFFIX) - 1)

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

int ReadRecord(DWORD index, LogRecord *rec)
{
    unsigned long long offset = (unsigned long long)index * LOG_RECORD_SIZE;
    LONG high = (LONG)(offset >> 32);
    DWORD got = 0;
    SetLastError(ERROR_SUCCESS);
    if (SetFilePointer(g_logFile, (LONG)(DWORD)offset, &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
        GetLastError() != ERROR_SUCCESS)
        return 0;
    return ReadFile(g_logFile, rec, LOG_RECORD_SIZE, &got, NULL) && got == LOG_RECORD_SIZE;
}

void CloseLog(void)
{
    if (g_logFile != INVALID_HANDLE_VALUE)
        CloseHandle(g_logFile);
    g_logFile = INVALID_HANDLE_VALUE;
}

int ScanLog(char *caption, size_t size)
{
    LogRecord rec;
    int named = 0;
    g_recordCount = 0;
    g_appName[0] = '\0';
    CopyText(caption, size, DEFAULT_CAPTION);
    while (ReadRecord(g_recordCount, &rec)) {
        if (rec.type == LOGREC_APPNAME && RecordIsUsable(&rec)) {
            CopyText(g_appName, sizeof(g_appName), rec.primary);
            CopyText(caption, size > CAPTION_SUFFIX_LENGTH ? size - CAPTION_SUFFIX_LENGTH : 1, rec.primary);
            AppendText(caption, size, CAPTION_SUFFIX);
            named = 1;
        }
        g_recordCount++;
    }
    return named;
}
