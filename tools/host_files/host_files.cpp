// The few file calls of the log reader and the image check (CreateFileA,
// ReadFile, SetFilePointer, CloseHandle, GetLastError, SetLastError) over
// POSIX files, and IsDBCSLeadByte for the texts, for the tools on the Linux
// host. Windows builds use the real
// calls. Only
// reading an existing file is provided; results and error codes follow what
// Windows gives for the same situations.
#include "platform/platform.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef ERROR_READ_FAULT
#define ERROR_READ_FAULT 30L
#endif
#ifndef ERROR_NEGATIVE_SEEK
#define ERROR_NEGATIVE_SEEK 131L
#endif
#ifndef ERROR_SEEK_ON_DEVICE
#define ERROR_SEEK_ON_DEVICE 132L
#endif

static thread_local DWORD t_lastError;

static DWORD ErrorFromErrno(int error)
{
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ESPIPE:
        return ERROR_SEEK_ON_DEVICE;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_READ_FAULT;
    }
}

// A handle is the descriptor plus one, so that no handle is 0 and none is
// INVALID_HANDLE_VALUE.
static HANDLE HandleFromFd(int fd)
{
    return (HANDLE)(intptr_t)(fd + 1);
}

static int FdFromHandle(HANDLE handle)
{
    intptr_t value = (intptr_t)handle;
    if (handle == INVALID_HANDLE_VALUE || value <= 0 || value > (intptr_t)0x7FFFFFFF)
        return -1;
    return (int)(value - 1);
}

DWORD WINAPI GetLastError(void)
{
    return t_lastError;
}

void WINAPI SetLastError(DWORD error)
{
    t_lastError = error;
}

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE templateFile)
{
    (void)share;
    (void)security;
    (void)flags;
    if (name == NULL || access != GENERIC_READ || disposition != OPEN_EXISTING || templateFile != NULL) {
        t_lastError = ERROR_INVALID_PARAMETER;
        return INVALID_HANDLE_VALUE;
    }
    if (name[0] == '\0') {
        t_lastError = ERROR_PATH_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    int fd;
    do
        fd = open(name, O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        t_lastError = ErrorFromErrno(errno);
        return INVALID_HANDLE_VALUE;
    }
    // Windows does not open a directory as a file.
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        t_lastError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    t_lastError = ERROR_SUCCESS;
    return HandleFromFd(fd);
}

// Reads until toRead bytes have come or the file ends, as ReadFile does on a
// disk file; a short count means the end of the file. A read at an offset
// (OVERLAPPED) reads there and leaves the position after the bytes read; at
// or past the end it fails with ERROR_HANDLE_EOF, as on this synchronous
// handle.
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped)
{
    if (read != NULL)
        *read = 0;
    int fd = FdFromHandle(file);
    if (fd < 0 || buffer == NULL) {
        t_lastError = fd < 0 ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    off_t at = 0;
    if (overlapped != NULL)
        at = (off_t)((unsigned long long)overlapped->OffsetHigh << 32 | overlapped->Offset);
    DWORD total = 0;
    while (total < toRead) {
        ssize_t got = overlapped != NULL ? pread(fd, (char *)buffer + total, toRead - total, at + (off_t)total)
                                         : ::read(fd, (char *)buffer + total, toRead - total);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            t_lastError = ErrorFromErrno(errno);
            if (read != NULL)
                *read = total;
            return FALSE;
        }
        if (got == 0)
            break;
        total += (DWORD)got;
    }
    if (read != NULL)
        *read = total;
    if (overlapped == NULL)
        return TRUE;
    if (total == 0 && toRead > 0) {
        t_lastError = ERROR_HANDLE_EOF;
        return FALSE;
    }
    lseek(fd, at + (off_t)total, SEEK_SET);
    return TRUE;
}

// Without distanceHigh the distance is a signed 32-bit number and the new
// position must fit in 32 bits; with it, the two form one 64-bit distance.
DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method)
{
    int fd = FdFromHandle(file);
    if (fd < 0) {
        t_lastError = ERROR_INVALID_HANDLE;
        return INVALID_SET_FILE_POINTER;
    }
    int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : method == FILE_END ? SEEK_END : -1;
    if (whence < 0) {
        t_lastError = ERROR_INVALID_PARAMETER;
        return INVALID_SET_FILE_POINTER;
    }
    long long move = distance;
    if (distanceHigh != NULL)
        move = (long long)(((unsigned long long)(DWORD)*distanceHigh << 32) | (DWORD)distance);

    off_t before = lseek(fd, 0, SEEK_CUR);
    if (before < 0) {
        t_lastError = ErrorFromErrno(errno);
        return INVALID_SET_FILE_POINTER;
    }
    off_t after = lseek(fd, (off_t)move, whence);
    if (after < 0) {
        t_lastError = errno == EINVAL ? ERROR_NEGATIVE_SEEK : ErrorFromErrno(errno);
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh == NULL && (unsigned long long)after > 0xFFFFFFFEull) {
        lseek(fd, before, SEEK_SET);
        t_lastError = ERROR_INVALID_PARAMETER;
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh != NULL)
        *distanceHigh = (LONG)((unsigned long long)after >> 32);
    t_lastError = ERROR_SUCCESS;
    return (DWORD)after;
}

BOOL WINAPI CloseHandle(HANDLE object)
{
    int fd = FdFromHandle(object);
    if (fd < 0 || close(fd) != 0) {
        t_lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    return TRUE;
}

// The tools on the host read texts in a single-byte code page.
BOOL WINAPI IsDBCSLeadByte(BYTE c)
{
    (void)c;
    return FALSE;
}
