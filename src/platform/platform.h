// The one way product code reaches Windows. On Windows this is the real SDK;
// on the Linux host it is the simulated Win32 subset that the unit tests drive.
#ifndef PLATFORM_PLATFORM_H
#define PLATFORM_PLATFORM_H

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <ddeml.h>
#include <commctrl.h>
#else
#include "win32_host.h"
#endif

#endif
