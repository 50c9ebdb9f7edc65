#include "log_input.h"

#include "escape.h"
#include "log/install_log.h"

#ifndef ERROR_SEEK_ON_DEVICE
#define ERROR_SEEK_ON_DEVICE 132L
#endif

std::string DescribeError(DWORD code)
{
    const char *reason;
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
        reason = "no such file";
        break;
    case ERROR_PATH_NOT_FOUND:
        reason = "no such folder";
        break;
    case ERROR_ACCESS_DENIED:
        reason = "access denied, or a folder";
        break;
    case ERROR_SHARING_VIOLATION:
        reason = "in use by another program";
        break;
    case ERROR_INVALID_NAME:
        reason = "not a valid name";
        break;
    case ERROR_FILENAME_EXCED_RANGE:
        reason = "name too long";
        break;
    case ERROR_SEEK_ON_DEVICE:
        reason = "not a file that can be read more than once";
        break;
    default:
        reason = "read failed";
        break;
    }
    return std::string(reason) + " (error " + std::to_string(code) + ")";
}

// Every command reads the log more than once, so a pipe or a device that
// cannot go back to its start is refused at once.
static bool Rewindable(std::string &error)
{
    SetLastError(ERROR_SUCCESS);
    if (SetFilePointer(g_logFile, 0, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
        GetLastError() != ERROR_SUCCESS) {
        error = DescribeError(GetLastError());
        return false;
    }
    return true;
}

bool OpenInput(const char *path, std::string &error)
{
    SetLastError(ERROR_SUCCESS);
    if (!OpenLog(path)) {
        error = DescribeError(GetLastError());
        return false;
    }
    if (!Rewindable(error)) {
        CloseLog();
        return false;
    }
    return true;
}

static bool ReadTail(unsigned long long records, std::string &tail, std::string &error)
{
    unsigned long long offset = records * LOG_RECORD_SIZE;
    LONG high = (LONG)(DWORD)(offset >> 32);
    SetLastError(ERROR_SUCCESS);
    if (SetFilePointer(g_logFile, (LONG)(DWORD)offset, &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
        GetLastError() != ERROR_SUCCESS) {
        error = DescribeError(GetLastError());
        return false;
    }
    char bytes[LOG_RECORD_SIZE];
    DWORD got = 0;
    if (!ReadFile(g_logFile, bytes, sizeof(bytes), &got, NULL)) {
        error = DescribeError(GetLastError());
        return false;
    }
    if (got >= sizeof(bytes)) {
        // A whole record where the pass found none: the file grew, or a
        // read failed on the way.
        error = "the log changed or could not be read at offset " + std::to_string(offset);
        return false;
    }
    tail.assign(bytes, got);
    return true;
}

bool FinishInput(const char *path, unsigned long long records, std::string &tail, std::ostream &err)
{
    std::string error;
    bool tailRead = ReadTail(records, tail, error);
    CloseLog();
    if (!tailRead)
        err << "instlog: cannot read " << Quoted(path) << ": " << error << '\n';
    return tailRead;
}
