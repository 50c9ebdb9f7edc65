// The install log: a plain sequence of fixed 516-byte records, read in file
// order. No header, no count, no checksum; a short tail is never a record.
#ifndef LOG_INSTALL_LOG_H
#define LOG_INSTALL_LOG_H

#include "platform/platform.h"

#define LOG_TEXT_SIZE 256

enum LogRecordType {
    LOGREC_APPNAME = 0,     // primary: the application's name
    LOGREC_FILE = 1,        // primary: a file to delete
    LOGREC_DIR = 2,         // primary: a directory to remove
    LOGREC_TYPE3 = 3,       // no action
    LOGREC_SHAREDDLL = 4,   // primary: a shared DLL to release
    LOGREC_PMGROUP = 5,     // secondary: a Program Manager group
    LOGREC_SYSREG = 6,      // status text only
    LOGREC_CUSTOMRUN = 7    // primary: program to run; secondary: its argument
};

struct LogRecord {
    DWORD type;
    char primary[LOG_TEXT_SIZE];
    char secondary[LOG_TEXT_SIZE];
};

#define LOG_RECORD_SIZE 516

// Opens the existing log read-only (inheritable, so custom programs inherit
// it) into g_logFile. Returns 1 on success, 0 when it cannot be opened.
int OpenLog(const char *path);

// Sets the read position of g_logFile back to the first record.
void RewindLog(void);

// Reads the next whole record. Returns 1 for a record; 0 at the end of the
// file, for a shorter tail and after a read error alike.
int ReadRecord(LogRecord *rec);

void CloseLog(void);

// 1 when both texts end within their 256 bytes. A record with a text that
// does not is inert: counted, but never acted on, since a cut path would
// name a different item.
int RecordIsUsable(const LogRecord *rec);

// The start-up scan: counts the records into g_recordCount and takes
// g_appName and g_caption from the last usable name record.
void ScanLog(void);

#endif
