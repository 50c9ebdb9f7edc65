// An install log read through the uninstaller's own reader (OpenLog,
// ReadRecord, CloseLog), so that the tool sees exactly the records the
// uninstaller sees. A command opens the log, makes its passes with
// ReadRecord, and asks for the tail after the last pass.
#ifndef INSTLOG_LOG_INPUT_H
#define INSTLOG_LOG_INPUT_H

#include <ostream>
#include <string>

#include "log/install_log.h"

// Opens path into g_logFile. On failure returns false with a reason in error.
bool OpenInput(const char *path, std::string &error);

// After the last pass, which ReadRecord ended at `records` whole records:
// reads the bytes that follow them into tail (0 to 515 of them, which no
// pass ever reads) and closes the log. When the file cannot be read there,
// which also tells a read error that ended the pass from the end of the
// file, says so on err, naming path, and returns false.
bool FinishInput(const char *path, unsigned long long records, std::string &tail, std::ostream &err);

// A readable reason for a platform error code, with the code itself.
std::string DescribeError(DWORD code);

#endif
