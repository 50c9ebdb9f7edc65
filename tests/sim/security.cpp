// Simulated process tokens and privileges. Of the privileges, only whether
// the shutdown privilege is enabled is kept, for the requests to restart.
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
    auto lock = Lock();
    World &w = TheWorld();
    auto it = w.handles.find(token);
    if (it == w.handles.end() || it->second.kind != HANDLE_TOKEN || !(it->second.access & TOKEN_ADJUST_PRIVILEGES)) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!disableAll && newState != nullptr && newState->PrivilegeCount == 1 &&
        newState->Privileges[0].Luid.LowPart == 19)
        w.shutdownPrivilege = (newState->Privileges[0].Attributes & SE_PRIVILEGE_ENABLED) != 0;
    SetError(ERROR_SUCCESS);
    return TRUE;
}
