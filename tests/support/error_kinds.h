// The errors that the program's callers tell apart, for the tests that make
// platform calls fail: after a failed start or existence test, the errors
// that mean "not there" let the search go on to the next candidate; after a
// failed short-path look-up they make the item missing; after a failed
// section read they stand for an empty section. Any other error is taken as
// a failure.
#ifndef TESTS_SUPPORT_ERROR_KINDS_H
#define TESTS_SUPPORT_ERROR_KINDS_H

#include "platform/platform.h"

#include <algorithm>
#include <vector>

inline const std::vector<DWORD> kMissingForStart = {1, 2, 3, 5, 15, 18, 123, 161, 193, 206};
inline const std::vector<DWORD> kMissingForExistence = {1, 2, 3, 15, 18, 123, 206};
inline const std::vector<DWORD> kMissingForShortPath = {2, 3, 15, 53, 67, 123, 161};
inline const std::vector<DWORD> kNoSection = {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND};
// Errors no caller takes for "not there".
inline const std::vector<DWORD> kFailures = {4, 8, 32, 87, 1450};

inline bool Among(const std::vector<DWORD> &errors, DWORD error)
{
    return std::find(errors.begin(), errors.end(), error) != errors.end();
}

#endif
