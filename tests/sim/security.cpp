// Simulated process tokens and privileges.
#include "world.h"

using namespace sim;
using namespace sim::detail;

static const HANDLE kCurrentProcess = (HANDLE)(LONG_PTR)-1;

HANDLE WINAPI GetCurrentProcess(void)
{
    return kCurrentProcess;
}

BOOL WINAPI OpenProcessToken(HANDLE process, DWORD access, PHANDLE token)
{
    if (CallFails("OpenProcessToken", {Hex((uintptr_t)process), Hex(access)}))
        return FALSE;
    *token = AddHandle(HandleObject{HANDLE_TOKEN, nullptr, 0, "process token", access});
    return TRUE;
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid)
{
    if (CallFails("LookupPrivilegeValueA", {Str(system), Str(name)}))
        return FALSE;
    if (Str(name) != SE_SHUTDOWN_NAME) {
        SetError(1313);   // ERROR_NO_SUCH_PRIVILEGE
        return FALSE;
    }
    luid->LowPart = 19;   // the shutdown privilege's LUID on Windows
    luid->HighPart = 0;
    return TRUE;
}

BOOL WINAPI AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD length,
                                  PTOKEN_PRIVILEGES previousState, LPDWORD returnLength)
{
    (void)length;
    (void)previousState;
    (void)returnLength;
    std::string state = newState ? Num(newState->PrivilegeCount) + " " + Num(newState->Privileges[0].Luid.LowPart) +
                                       " " + Hex(newState->Privileges[0].Attributes)
                                 : "(null)";
    if (CallFails("AdjustTokenPrivileges", {Hex((uintptr_t)token), Num(disableAll), state}))
        return FALSE;
    SetError(ERROR_SUCCESS);
    return TRUE;
}
