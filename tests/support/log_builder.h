// Install logs for tests: records built from readable values.
#ifndef TESTS_SUPPORT_LOG_BUILDER_H
#define TESTS_SUPPORT_LOG_BUILDER_H

#include <cstdint>
#include <string>
#include <vector>

// The record types by name, for every test; a type outside them is written
// as a number.
enum RecordType : uint32_t {
    kAppName = 0,     // primary: the application's name
    kFile = 1,        // primary: a file path
    kDirectory = 2,   // primary: a directory path
    kNoAction = 3,
    kSharedDll = 4,   // primary: a shared DLL's path
    kProgramGroup = 5,  // secondary: a Program Manager group
    kStatusOnly = 6,
    kCustomProgram = 7  // primary: program; secondary: its argument
};

struct TestRecord {
    uint32_t type;   // a RecordType, or any other number
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
