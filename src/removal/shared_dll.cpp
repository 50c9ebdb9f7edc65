#include "shared_dll.h"

#include "delete_or_schedule.h"
#include "release_journal.h"

#define SHARED_DLLS_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"

int ReleaseSharedDll(const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;

    // A value shorter than 4 bytes fills only the count's low-order bytes;
    // the rest stay 0. A longer one does not fit and is left alone.
    DWORD count = 0;
    DWORD type = 0;
    DWORD size = sizeof(count);
    int released = 0;
    if (RegQueryValueExA(key, path, NULL, &type, (LPBYTE)&count, &size) == ERROR_SUCCESS && count != 0) {
        count--;
        if (count == 0) {
            // The count's entry goes first, the file second; a failed
            // delete of the entry is not reported and stops nothing. A run
            // ended in between leaves a note, so that the next one deletes
            // the DLL.
            NoteCountReachesZero();
            RegDeleteValueA(key, path);
            DeleteOrSchedule(path);
            released = 1;
        } else {
            released = RegSetValueExA(key, path, 0, type, (const BYTE *)&count, size) == ERROR_SUCCESS;
        }
    }
    RegCloseKey(key);
    return released;
}

// Ends a release that an earlier run began and was ended in: the count's
// value was about to be deleted, and then the DLL. When the value is gone,
// the DLL is deleted (or scheduled for the restart); when it is there,
// nothing is done.
static void FinishRelease(const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    DWORD count;
    DWORD size = sizeof(count);
    LSTATUS found = RegQueryValueExA(key, path, NULL, NULL, (LPBYTE)&count, &size);
    RegCloseKey(key);
    // A count that is back was made since by another application's setup.
    if (found == ERROR_FILE_NOT_FOUND)
        DeleteOrSchedule(path);
}

void ReleaseSharedDllOnce(const char *path, DWORD index)
{
    switch (ClaimRelease(index)) {
    case RELEASE_NOW:
        ReleaseSharedDll(path);
        break;
    case RELEASE_FINISH:
        FinishRelease(path);
        break;
    case RELEASE_SKIP:
        break;
    }
}
