// The install log: a plain sequence of fixed 516-byte records, read in file
// order. No header, no count, no checksum; a short tail is never a record.
#ifndef LOG_INSTALL_LOG_H
#define LOG_INSTALL_LOG_H

#include "platform/platform.h"
#include "platform/sizes.h"
#include "res/product.h"

#define LOG_TEXT_SIZE 256

// Caption of every box until the log has named the application.
#define DEFAULT_CAPTION "Uninstall (" PRODUCT_COMPANY " " PRODUCT_VERSION ")"

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

// The open log (read-only, binary), and what the start-up scan found in it:
// the number of whole records and the application's name.
extern HANDLE g_logFile;
extern DWORD g_recordCount;
extern char g_appName[LOG_TEXT_SIZE];

// Opens the existing log read-only (inheritable, so custom programs inherit
// it) into g_logFile. Returns 1 on success, 0 when it cannot be opened.
int OpenLog(const char *path);

// Records are read LOG_BLOCK_RECORDS at a time, with one call.
#define LOG_BLOCK_RECORDS 64

// Reads the index-th whole record (counted from 0). A record that is not in
// the block last read is read with the block that begins with it, at its
// own offset: the custom programs inherit the log's handle, and with it the
// file position, which they may move. Returns 1 for a record; 0 past the
// end of the file, for a shorter tail and after a read error alike (and
// the block holds nothing then, so the next reading reads the file again).
int ReadRecord(DWORD index, LogRecord *rec);

// Drops the block of records held, so that the next record comes from the
// file again: a program that may have written to the log has run. Reads
// nothing itself.
void DropLogBlock(void);

void CloseLog(void);

enum LogScan {
    LOG_NOT_A_LOG,   // bytes, but no whole record is a log record (IsLogRecord), or unreadable
    LOG_UNNAMED,     // a log (an empty file among them) without a usable name record
    LOG_NAMED        // a log with a usable name record
};

// The start-up scan: counts the records into g_recordCount, takes
// g_appName from the last name record whose name ends within its field
// (RecordIsUsable) and forms from it the caption of the boxes,
// "<name> Uninstall", the name cut so that the whole fits in size. Without
// a usable name record, or in a file that is no log, the name is "" and the
// caption DEFAULT_CAPTION. A file that holds bytes, none of whose whole
// records is a log record, is no log (a document named by mistake); nor is
// one whose reading fails before a log record was read.
LogScan ScanLog(char *caption, size_t size);

#endif
