// Which records the uninstaller may act on. A record's texts come from a
// file anyone may have written: a text that does not end within its field,
// a path that names an item only relative to whatever folder the
// uninstaller was started in, or a group name that names no one group
// (Program Manager would take "" or ".." for the whole Programs folder or
// the Start Menu) must never reach a deletion.
#ifndef LOG_RECORD_CHECK_H
#define LOG_RECORD_CHECK_H

#include "install_log.h"

enum RecordState {
    RECORD_USABLE,
    RECORD_TEXT_UNENDED,       // a text that its type uses has no terminating zero
    RECORD_PATH_NOT_QUALIFIED, // a file, directory or shared-DLL path without a drive or server
    RECORD_GROUP_NOT_ONE       // a group name that names no one group below Programs
};

// What the uninstaller may do with the record. Only the texts its type uses
// are looked at: the name record's primary, a file's, a directory's and a
// shared DLL's primary, a group's secondary, a custom program's both.
RecordState ExamineRecord(const LogRecord *rec);

// 1 when ExamineRecord finds the record usable.
int RecordIsUsable(const LogRecord *rec);

// 1 for a record as the setup program writes them: a type it writes
// (LOGREC_APPNAME to LOGREC_CUSTOMRUN) and both texts ending within their
// fields. A file in which no whole record is one is no install log.
int IsLogRecord(const LogRecord *rec);

// 1 for a path that names the same item whatever the current drive and
// folder: a drive letter, a colon and a separator (C:\...), or a server and
// a share (\\server\share...). Both slashes separate.
int PathIsFullyQualified(const char *path);

// 1 for a group name that names one group below Programs: not empty, not
// starting with a separator, without a drive colon or a wildcard, and
// without a component of dots and blanks alone ("." or "..", which Windows
// takes for the folder itself or the one above).
int NamesOneGroup(const char *name);

#endif
