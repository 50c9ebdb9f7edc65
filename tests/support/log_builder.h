// Install logs for tests: records built from readable values.
#ifndef TESTS_SUPPORT_LOG_BUILDER_H
#define TESTS_SUPPORT_LOG_BUILDER_H

#include <cstdint>
#include <string>
#include <vector>

struct TestRecord {
    uint32_t type;
    std::string primary;
    std::string secondary;
};

inline bool operator==(const TestRecord &a, const TestRecord &b)
{
    return a.type == b.type && a.primary == b.primary && a.secondary == b.secondary;
}

// One 516-byte record; texts longer than 255 characters fill their whole
// 256 bytes without a terminating zero.
std::string RecordBytes(const TestRecord &record);

std::string LogBytes(const std::vector<TestRecord> &records);

#endif
