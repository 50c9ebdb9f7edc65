// The words for a Win32 error code, for failure messages.
#ifndef DRIVER_ERROR_TEXT_H
#define DRIVER_ERROR_TEXT_H

#include <windows.h>

#include <string>

namespace driver {

// "error 32 (The process cannot access the file ...)" for a Win32 error code.
std::string ErrorText(DWORD error);

}  // namespace driver

#endif
