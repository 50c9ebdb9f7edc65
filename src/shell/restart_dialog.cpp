#include "restart_dialog.h"

#include "center_window.h"

typedef BOOL(WINAPI *OpenProcessTokenFn)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI *LookupPrivilegeValueFn)(LPCSTR, LPCSTR, PLUID);
typedef BOOL(WINAPI *AdjustTokenPrivilegesFn)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES,
                                              LPDWORD);

// Windows NT restarts nothing for a process that has not enabled its
// shutdown privilege. The calls are looked up, since not every Windows has
// them; whatever fails, the restart is still requested.
static void EnableShutdownPrivilege(void)
{
    HMODULE advapi = GetModuleHandleA("ADVAPI32.DLL");
    if (advapi == NULL)
        return;
    OpenProcessTokenFn openToken = (OpenProcessTokenFn)(void *)GetProcAddress(advapi, "OpenProcessToken");
    LookupPrivilegeValueFn lookUp =
        (LookupPrivilegeValueFn)(void *)GetProcAddress(advapi, "LookupPrivilegeValueA");
    AdjustTokenPrivilegesFn adjust =
        (AdjustTokenPrivilegesFn)(void *)GetProcAddress(advapi, "AdjustTokenPrivileges");
    if (openToken == NULL || lookUp == NULL || adjust == NULL)
        return;

    HANDLE token;
    if (!openToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return;
    TOKEN_PRIVILEGES privileges;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (lookUp(NULL, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
        adjust(token, FALSE, &privileges, 0, NULL, NULL);
    CloseHandle(token);
}

INT_PTR CALLBACK RestartDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        CenterWindow(dlg);
        break;
    case WM_COMMAND:
        if (wParam == IDOK) {
            EnableShutdownPrivilege();
            ExitWindowsEx(EWX_REBOOT, 0);
            EndDialog(dlg, 0);
        } else if (wParam == IDCANCEL) {
            EndDialog(dlg, 0);
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        break;
    }
    return FALSE;
}
