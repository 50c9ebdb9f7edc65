#include "release_journal.h"

#include <string.h>

#include "log/install_log.h"
#include "platform/text.h"

ReleaseJournal g_journal;

// Whether a stored note is of the log as it is now.
static int SameLog(const ReleaseNote *stored)
{
    const ReleaseNote *log = &g_journal.note;
    return stored->writtenLow == log->writtenLow && stored->writtenHigh == log->writtenHigh &&
           stored->sizeLow == log->sizeLow && stored->sizeHigh == log->sizeHigh;
}

int IdentifyLog(const char *fullPath, const BY_HANDLE_FILE_INFORMATION *log)
{
    g_journal.named = 0;
    if (log == NULL || fullPath[0] == '\0' || !CopyText(g_journal.logName, sizeof(g_journal.logName), fullPath))
        return 0;
    memset(&g_journal.note, 0, sizeof(g_journal.note));
    g_journal.note.writtenLow = log->ftLastWriteTime.dwLowDateTime;
    g_journal.note.writtenHigh = log->ftLastWriteTime.dwHighDateTime;
    g_journal.note.sizeLow = log->nFileSizeLow;
    g_journal.note.sizeHigh = log->nFileSizeHigh;
    g_journal.named = 1;
    return 1;
}

static int OpenJournal(HKEY *key)
{
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, RELEASE_JOURNAL_KEY, 0, NULL, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                           NULL, key, NULL) == ERROR_SUCCESS;
}

static int WriteNote(HKEY key)
{
    return RegSetValueExA(key, g_journal.logName, 0, REG_BINARY, (const BYTE *)&g_journal.note,
                          sizeof(g_journal.note)) == ERROR_SUCCESS;
}

ReleaseClaim ClaimRelease(DWORD index)
{
    HKEY key;
    if (!g_journal.named || !OpenJournal(&key))
        return RELEASE_SKIP;
    ReleaseNote stored;
    DWORD type = REG_NONE;
    DWORD size = sizeof(stored);
    LSTATUS found = RegQueryValueExA(key, g_journal.logName, NULL, &type, (LPBYTE)&stored, &size);
    ReleaseClaim claim = RELEASE_SKIP;
    if (found == ERROR_SUCCESS && type == REG_BINARY && size == sizeof(stored) &&
        SameLog(&stored) && stored.released > index) {
        if (stored.lastReachedZero && stored.released == index + 1)
            claim = RELEASE_FINISH;
    } else if (found == ERROR_SUCCESS || found == ERROR_FILE_NOT_FOUND || found == ERROR_MORE_DATA) {
        // Not this log's note, or none: a note that cannot be read might
        // have said that the record is released.
        g_journal.note.released = index + 1;
        g_journal.note.lastReachedZero = 0;
        if (WriteNote(key))
            claim = RELEASE_NOW;
    }
    RegCloseKey(key);
    return claim;
}

void NoteCountReachesZero(void)
{
    HKEY key;
    if (!g_journal.named || g_journal.note.released == 0 || !OpenJournal(&key))
        return;
    g_journal.note.lastReachedZero = 1;
    WriteNote(key);
    RegCloseKey(key);
}

void ForgetReleases(void)
{
    if (!g_journal.named)
        return;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RELEASE_JOURNAL_KEY, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, g_journal.logName);
    DWORD subkeys = 1;
    DWORD values = 1;
    LSTATUS counted =
        RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, &values, NULL, NULL, NULL, NULL);
    RegCloseKey(key);
    // Another log's note, of a removal still to be run again, keeps the key.
    if (counted == ERROR_SUCCESS && subkeys == 0 && values == 0)
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, RELEASE_JOURNAL_KEY);
}
