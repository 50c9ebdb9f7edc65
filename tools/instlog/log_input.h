// An install log read through the uninstaller's own reader (OpenLog,
// RewindLog, ReadRecord, CloseLog), so that the tool sees exactly the records
// the uninstaller sees. A command opens the log, makes its passes with
// RewindLog and ReadRecord, and asks for the tail after the last pass.
#ifndef INSTLOG_LOG_INPUT_H
#define INSTLOG_LOG_INPUT_H

#include <string>

#include "log/install_log.h"

// Opens path into g_logFile. On failure returns false with a reason in error.
bool OpenInput(const char *path, std::string &error);

// After a pass that ReadRecord ended at `records` whole records: the bytes
// that follow them, 0 to 515 of them, which no pass ever reads. Returns false
// with a reason in error when the file cannot be read there, which also
// tells a read error that ended the pass from the end of the file.
bool ReadTail(unsigned long long records, std::string &tail, std::string &error);

void CloseInput(void);

// A readable reason for a platform error code, with the code itself.
std::string DescribeError(DWORD code);

#endif
