// Deletions scheduled for the next restart of Windows, and a restart.
//
// Two mechanisms: "NUL=<path>" lines in the [Rename] section of WININIT.INI
// in the Windows directory, and pairs of names in the REG_MULTI_SZ value
// PendingFileRenameOperations (a deletion is "\??\<path>" with an empty
// target). Wine's `wineboot -r` carries out both.
#ifndef E2E_SUPPORT_RESTART_H
#define E2E_SUPPORT_RESTART_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace e2e {

extern const char kSessionManagerKey[];
extern const char kPendingValue[];

std::string WininitPath();

// The lines of one section of an INI file, in file order, as they stand
// (duplicate keys kept), without blank lines. Read from the raw file, so
// that it shows what is on disk. An absent file or section gives no lines.
std::vector<std::string> IniSectionLines(const std::string &path, const std::string &section);

// The lines of WININIT.INI's [Rename] section.
std::vector<std::string> WininitRenameLines();

struct PendingOperation {
    std::string from;
    std::string to;  // empty: delete `from`
};

// The pairs in PendingFileRenameOperations; none when the value is absent.
bool ReadPendingOperations(std::vector<PendingOperation> *operations, std::string *error);

// Removes WININIT.INI, its processed copy wininit.bak and the
// PendingFileRenameOperations value: nothing is scheduled afterwards.
bool ClearScheduledDeletions(std::string *error);

// A simulated restart: runs `wineboot -r` in this prefix and waits for it.
// It must be the session's wineserver that stays up across the restart;
// wineboot only carries out what is scheduled.
bool SimulateRestart(std::string *error);

// The processes running in the prefix: id and executable name.
std::map<DWORD, std::string> PrefixProcesses();

// A restart of the prefix is under way: a wineboot.exe runs in it, as a
// restart request (ExitWindowsEx) starts one before it returns.
bool RestartUnderWay();

}  // namespace e2e

#endif
