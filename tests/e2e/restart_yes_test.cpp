// "&Yes" in the restart dialog: a real restart request (ExitWindowsEx with
// EWX_REBOOT), which Wine carries out in the prefix. It runs in a session
// of its own, since a restart of the prefix could end its processes.
//
// What was measured here (Wine 8.0, a session as scripts/wine-session
// makes it): ExitWindowsEx starts wineboot.exe and returns at once; the
// uninstaller ends its dialog, removes the log's folder and ends by itself
// with exit code 0, before wineboot has done anything. wineboot then
// carries out what was scheduled, as a restart does: the file that was in
// use and the folders that held it are deleted, WININIT.INI is processed
// (renamed wininit.bak) and PendingFileRenameOperations is emptied. No other
// process of the prefix ends: explorer, the services and this test program
// (which has no window) keep running, and the wineserver stays up.
#include "uninstaller_test.h"

#include <map>

#include "files.h"
#include "restart.h"

namespace {

// A restart that takes longer than this hangs.
const DWORD kRestartLimitMs = 60000;

std::string Show(const std::map<DWORD, std::string> &processes)
{
    std::string text;
    for (const auto &process : processes)
        text += " " + process.second + "(" + std::to_string(process.first) + ")";
    return text;
}

// Waits for every wineboot.exe of the prefix to end.
bool WaitForWineboot(std::string *error)
{
    for (const auto &process : e2e::PrefixProcesses()) {
        if (lstrcmpiA(process.second.c_str(), "wineboot.exe") != 0)
            continue;
        HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process.first);
        if (handle == NULL)
            continue;  // ended meanwhile
        DWORD waited = WaitForSingleObject(handle, kRestartLimitMs);
        CloseHandle(handle);
        if (waited != WAIT_OBJECT_0) {
            *error = "wineboot.exe (" + std::to_string(process.first) + ") still runs after " +
                     std::to_string(kRestartLimitMs) + " ms";
            return false;
        }
    }
    return true;
}

class RestartYes : public UninstallerTest {};

TEST_F(RestartYes, YesRestartsAndTheRestartDeletesWhatWasScheduled)
{
    ASSERT_TRUE(InstallTestApp());
    e2e::HeldFile held;
    std::string error;
    ASSERT_TRUE(held.Hold(app_.files[0], 0, &error)) << error;
    const std::map<DWORD, std::string> before = e2e::PrefixProcesses();

    // At the dialog everything is scheduled; the program that used the file
    // lets it go, and the user answers "&Yes".
    size_t scheduledAtDialog = 0;
    driver::RunRecord run = RunUninstaller(app_.logPath, [&](const driver::MessageBoxView &box) {
        if (!box.restartDialog)
            return AnswerYes(box);
        scheduledAtDialog = e2e::WininitRenameLines().size();
        held.Release();
        return IDOK;
    });
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", true));
    // The file and the two listed folders that held it.
    EXPECT_EQ(3u, scheduledAtDialog);
    // The completion steps ran to their end after the request.
    EXPECT_FALSE(e2e::FileExists(app_.logPath)) << app_.logPath;
    EXPECT_FALSE(e2e::DirectoryExists(e2e::ParentOf(app_.logPath))) << e2e::ParentOf(app_.logPath);

    ASSERT_TRUE(WaitForWineboot(&error)) << error;
    EXPECT_TRUE(AppRemoved()) << "after the restart";
    EXPECT_FALSE(e2e::FileExists(e2e::WininitPath())) << "WININIT.INI was not processed";
    EXPECT_TRUE(e2e::FileExists(e2e::WindowsDirectory() + "\\wininit.bak"));
    EXPECT_TRUE(NothingScheduled());

    // Every process that ran before still runs.
    const std::map<DWORD, std::string> after = e2e::PrefixProcesses();
    for (const auto &process : before)
        EXPECT_TRUE(after.count(process.first) && after.at(process.first) == process.second)
            << process.second << " (" << process.first << ") ended; now:" << Show(after);
}

}  // namespace
