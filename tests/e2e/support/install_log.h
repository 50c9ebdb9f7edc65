// Writing install logs as the setup program leaves them: a plain sequence of
// 516-byte records, each a 32-bit little-endian type and two 256-byte
// zero-terminated texts, with no header and no trailer.
#ifndef E2E_SUPPORT_INSTALL_LOG_H
#define E2E_SUPPORT_INSTALL_LOG_H

#include <cstdint>
#include <string>
#include <vector>

#include "support/log_builder.h"

namespace e2e {

constexpr size_t kRecordSize = 516;
constexpr size_t kTextSize = 256;

using LogRecord = ::TestRecord;

// Writes the records to path (replacing the file), as LogBytes encodes them.
// Returns false and sets *error when it cannot.
bool WriteLog(const std::string &path, const std::vector<LogRecord> &records, std::string *error);

}  // namespace e2e

#endif
