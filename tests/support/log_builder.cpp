#include "log_builder.h"

#include <algorithm>
#include <cstring>

static void PutText(std::string &out, size_t offset, const std::string &text)
{
    memcpy(&out[offset], text.data(), std::min<size_t>(text.size(), 256));
}

std::string RecordBytes(const TestRecord &record)
{
    std::string out(516, '\0');
    for (int i = 0; i < 4; i++)
        out[i] = (char)((record.type >> (8 * i)) & 0xFF);
    PutText(out, 4, record.primary);
    PutText(out, 260, record.secondary);
    return out;
}

std::string LogBytes(const std::vector<TestRecord> &records)
{
    std::string out;
    for (const TestRecord &r : records)
        out += RecordBytes(r);
    return out;
}
