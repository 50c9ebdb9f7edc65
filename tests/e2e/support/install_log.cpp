#include "install_log.h"

#include "files.h"

namespace e2e {

static void PutText(std::vector<unsigned char> *out, const std::string &text)
{
    size_t length = text.size() < kTextSize ? text.size() : kTextSize;
    out->insert(out->end(), text.begin(), text.begin() + length);
    out->insert(out->end(), kTextSize - length, 0);
}

std::vector<unsigned char> EncodeLog(const std::vector<LogRecord> &records)
{
    std::vector<unsigned char> out;
    out.reserve(records.size() * kRecordSize);
    for (const LogRecord &record : records) {
        for (int shift = 0; shift < 32; shift += 8)
            out.push_back(static_cast<unsigned char>(record.type >> shift));
        PutText(&out, record.primary);
        PutText(&out, record.secondary);
    }
    return out;
}

bool WriteLog(const std::string &path, const std::vector<LogRecord> &records, std::string *error)
{
    return WriteBytes(path, EncodeLog(records), error);
}

}  // namespace e2e
