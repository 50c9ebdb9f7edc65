// The names on the machine that the program reads and changes, spelled once
// for the tests: the simulated Windows, the unit, fault-injection and fuzz
// tests, and the end-to-end tests under Wine. They are written here
// independently of the program's own spellings, so that a test against
// them catches a change on either side. Plain string literals, so that they
// join others ("UNINSTALL_KEY "\\Tool"") and compile anywhere (MinGW too).
#ifndef TESTS_SUPPORT_MACHINE_NAMES_H
#define TESTS_SUPPORT_MACHINE_NAMES_H

// Keys under HKEY_LOCAL_MACHINE: the installed applications' entries, the
// shared DLLs' reference counts (a value per DLL, named by its path) and
// the program's release journal (a note per log).
#define UNINSTALL_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
#define SHARED_DLLS_KEY_PATH "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"
#define JOURNAL_KEY "SOFTWARE\\Morvane Uninstall"

// The named mapping a run holds for its log: this prefix, the volume's
// serial number, "-" and the log's file index in hex. Without session
// namespaces (before Windows 2000) the name goes without "Global\".
#define GUARD_NAMESPACE_PREFIX "Global\\"
#define GUARD_NAME_PREFIX GUARD_NAMESPACE_PREFIX "Morvane Uninstall "

// The file in the Windows folder whose [Rename] section lists, as
// "NUL=<short path>" lines, what Windows 9x deletes at the next restart.
#define WININIT_NAME "WININIT.INI"
#define WININIT_RENAME_SECTION "Rename"

// What Windows NT deletes or renames at its next start, as MoveFileExA
// registers it: a value of this key under HKEY_LOCAL_MACHINE, pairs of
// "\??\<path>" and a target, empty for a deletion.
#define SESSION_MANAGER_KEY "SYSTEM\\CurrentControlSet\\Control\\Session Manager"
#define PENDING_RENAMES_VALUE "PendingFileRenameOperations"

// The simulated machine's folders and files (under Wine, the Windows folder
// is where GetWindowsDirectoryA says).
#define SIM_WINDOWS_DIR "C:\\WINDOWS"
#define SIM_SYSTEM_DIR SIM_WINDOWS_DIR "\\system32"
#define WININIT_PATH SIM_WINDOWS_DIR "\\" WININIT_NAME
#define SIM_COMSPEC SIM_SYSTEM_DIR "\\cmd.exe"
#define SIM_COMCTL32 SIM_SYSTEM_DIR "\\COMCTL32.DLL"
// Where the program's own executable lies.
#define EXE_PATH "C:\\Program Files\\App\\uninstall.exe"

#endif
