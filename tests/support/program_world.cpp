#include "program_world.h"

#include "log/install_log.h"
#include "pe_image.h"
#include "sim/sim.h"
#include "removal/custom_program.h"
#include "removal/delete_or_schedule.h"
#include "removal/progress_view.h"
#include "removal/release_journal.h"
#include "res/resource.h"
#include "shell/globals.h"
#include "shell/startup.h"
#include "program_texts.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

static void AddProgramTemplates()
{
    sim::DialogTemplate progress;
    progress.title = kProgressTitle;
    progress.style = 0x80CF0044;
    progress.x = 129;
    progress.y = 106;
    progress.width = 309;
    progress.height = 167;
    progress.items = {
        {IDC_CANCEL_BUTTON, "BUTTON", "&Cancel", 0x50010000},
        {IDC_STATUS, "STATIC", "Text", 0x50020000},
        {IDC_DETAIL, "STATIC", "Text", 0x50020000},
        {IDC_PROGRESS, "msctls_progress32", "Progress", 0x50800000},
        {-1, "STATIC", "MAINICON", 0x50000003},
    };
    sim::AddDialogTemplate("UNINSTDLG", progress);

    sim::DialogTemplate restart;
    restart.title = kRestartTitle;
    restart.style = 0x90C800C4;
    restart.x = 39;
    restart.y = 70;
    restart.width = 336;
    restart.height = 176;
    restart.items = {
        {IDOK, "BUTTON", "&Yes", 0x50010001},
        {IDCANCEL, "BUTTON", "&No", 0x50010000},
        {IDC_RESTART_FRAME, "BUTTON", "", 0x50000007},
        {-1, "STATIC", kRestartText, 0x50020001},
        {-1, "STATIC", "MAINICON", 0x50000003},
    };
    sim::AddDialogTemplate("RESTARTDLG", restart);
}

static void ClearGlobals()
{
    g_hInstance = nullptr;
    g_hProgressDlg = nullptr;
    g_logFile = INVALID_HANDLE_VALUE;
    g_recordCount = 0;
    g_appName[0] = '\0';
    g_caption[0] = '\0';
    g_rebootNeeded = 0;
    g_outcome = OUTCOME_DECLINED;
    g_win32s = 0;
    memset(&g_journal, 0, sizeof(g_journal));
}

void PrepareProgramWorld()
{
    sim::Reset();
    AddProgramTemplates();
    sim::AddFile(EXE_PATH, Stamped(UnstampedImage()));
    sim::SetModuleFileName(EXE_PATH);
    ClearGlobals();
}

std::string CorruptExecutable()
{
    std::string bad = Stamped(UnstampedImage());
    bad[0x250] ^= 0x10;
    return bad;
}

int RunUninstaller(const std::string &commandTail)
{
    std::vector<char> commandLine(commandTail.begin(), commandTail.end());
    commandLine.push_back('\0');
    int result;
    try {
        result = WinMain((HINSTANCE)0x400000, nullptr, commandLine.data(), SW_SHOWDEFAULT);
    } catch (const sim::RunEnded &) {
        result = RUN_ENDED_EXIT_CODE;
    }
    sim::JoinThreads();
    return result;
}

void EndProgramProcess()
{
    sim::EndProcess();
    ClearGlobals();
}

std::string LogGuardName(const std::string &logPath)
{
    std::optional<std::string> log = sim::ResolvePath(logPath);
    if (!log)
        throw std::runtime_error("no log for a guard: " + logPath);
    for (const sim::ItemInfo &item : sim::AllItems())
        if (item.longPath == *log) {
            char name[64];
            snprintf(name, sizeof(name), GUARD_NAME_PREFIX "%08X-%08X%08X", (unsigned)item.volumeSerial,
                     (unsigned)(item.id >> 32), (unsigned)item.id);
            return name;
        }
    throw std::runtime_error("no log for a guard: " + logPath);
}
