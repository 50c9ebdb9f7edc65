#include "install_log.h"

#include "files.h"

namespace e2e {

bool WriteLog(const std::string &path, const std::vector<LogRecord> &records, std::string *error)
{
    const std::string bytes = LogBytes(records);
    return WriteBytes(path, std::vector<unsigned char>(bytes.begin(), bytes.end()), error);
}

}  // namespace e2e
