#include "install_log.h"

#include <string.h>

#include "platform/text.h"
#include "record_check.h"

static_assert(sizeof(LogRecord) == LOG_RECORD_SIZE, "a log record is 516 bytes");

HANDLE g_logFile = INVALID_HANDLE_VALUE;
DWORD g_recordCount;
char g_appName[LOG_TEXT_SIZE];

// The block last read: g_blockCount whole records, the first of them the
// g_blockFirst-th of the log.
static LogRecord g_block[LOG_BLOCK_RECORDS];
static DWORD g_blockFirst;
static DWORD g_blockCount;
// Whether the last read stopped short of the file's end (a read error), and
// the bytes it got after its whole records: a file's tail.
static int g_blockFailed;
static DWORD g_blockTail;

// " Uninstall" is appended to the name, so a longer name is cut to keep it.
#define CAPTION_SUFFIX " Uninstall"
#define CAPTION_SUFFIX_LENGTH (sizeof(CAPTION_SUFFIX) - 1)

int OpenLog(const char *path)
{
    SECURITY_ATTRIBUTES inherit;
    inherit.nLength = sizeof(inherit);
    inherit.lpSecurityDescriptor = NULL;
    inherit.bInheritHandle = TRUE;
    DropLogBlock();
    g_logFile = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            &inherit, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    return g_logFile != INVALID_HANDLE_VALUE;
}

// A read at an offset leaves the shared file position aside: one call.
static void ReadBlock(DWORD first)
{
    unsigned long long offset = (unsigned long long)first * LOG_RECORD_SIZE;
    OVERLAPPED at;
    memset(&at, 0, sizeof(at));
    at.Offset = (DWORD)offset;
    at.OffsetHigh = (DWORD)(offset >> 32);
    DWORD got = 0;
    g_blockFirst = first;
    g_blockFailed = !ReadFile(g_logFile, g_block, sizeof(g_block), &got, &at) && GetLastError() != ERROR_HANDLE_EOF;
    if (g_blockFailed)
        got = 0;
    g_blockCount = got / LOG_RECORD_SIZE;
    g_blockTail = got % LOG_RECORD_SIZE;
}

int ReadRecord(DWORD index, LogRecord *rec)
{
    if (index - g_blockFirst >= g_blockCount)
        ReadBlock(index);
    if (g_blockCount == 0)
        return 0;
    *rec = g_block[index - g_blockFirst];
    return 1;
}

void DropLogBlock(void)
{
    g_blockCount = 0;
}

void CloseLog(void)
{
    if (g_logFile != INVALID_HANDLE_VALUE)
        CloseHandle(g_logFile);
    g_logFile = INVALID_HANDLE_VALUE;
}

LogScan ScanLog(char *caption, size_t size)
{
    LogRecord rec;
    LogScan scan = LOG_UNNAMED;
    DWORD logRecords = 0;
    g_recordCount = 0;
    g_appName[0] = '\0';
    CopyText(caption, size, DEFAULT_CAPTION);
    while (ReadRecord(g_recordCount, &rec)) {
        if (rec.type == LOGREC_APPNAME && RecordIsUsable(&rec)) {
            CopyText(g_appName, sizeof(g_appName), rec.primary);
            CopyText(caption, size > CAPTION_SUFFIX_LENGTH ? size - CAPTION_SUFFIX_LENGTH : 1, rec.primary);
            AppendText(caption, size, CAPTION_SUFFIX);
            scan = LOG_NAMED;
        }
        logRecords += IsLogRecord(&rec);
        g_recordCount++;
    }
    if (logRecords == 0 && (g_recordCount != 0 || g_blockTail != 0 || g_blockFailed)) {
        g_appName[0] = '\0';
        CopyText(caption, size, DEFAULT_CAPTION);
        return LOG_NOT_A_LOG;
    }
    return scan;
}
