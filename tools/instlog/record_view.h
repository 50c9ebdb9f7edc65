// One log record taken apart for showing: its type's name and, for each
// 256-byte text field, the text, whether it ends within the field, and the
// bytes after its terminating zero.
#ifndef INSTLOG_RECORD_VIEW_H
#define INSTLOG_RECORD_VIEW_H

#include <string>

#include "log/install_log.h"

struct TextField {
    std::string text;        // up to the terminating zero; all 256 bytes without one
    bool terminated;         // a zero lies within the field
    std::string afterZero;   // the bytes after the zero, up to the last nonzero one
};

TextField SplitField(const char field[LOG_TEXT_SIZE]);

// The name of a type code (APPNAME, FILE, ...), or NULL for an unknown code.
const char *RecordTypeName(DWORD type);

// The code of a type name, exactly as RecordTypeName writes it; false for
// any other word.
bool RecordTypeFromName(const std::string &name, DWORD &type);

// "FILE", or "type 9" for an unknown code.
std::string DescribeType(DWORD type);

// For a record the uninstaller never acts on (RecordIsUsable gives 0): why,
// in words.
std::string InertReason(const LogRecord &rec);

#endif
