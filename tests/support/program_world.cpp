#include "program_world.h"

#include "log/install_log.h"
#include "pe_image.h"
#include "sim/sim.h"
#include "removal/custom_program.h"
#include "removal/delete_or_schedule.h"
#include "shell/progress_dialog.h"
#include "removal/release_journal.h"
#include "res/dialogs.h"
#include "shell/globals.h"
#include "shell/startup.h"
#include "driver/program_texts.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

// Dialog units as pixels for the templates' font, MS Sans Serif 8 (a
// quarter of 6 pixels across, an eighth of 13 down, rounded as MapDialogRect
// rounds), and the frame and caption round the dialog's client area.
static int PixelsAcross(int units) { return (units * 6 + 2) / 4; }
static int PixelsDown(int units) { return (units * 13 + 4) / 8; }
static const int kFrameWidth = 6;
static const int kFrameHeight = 26;

// The program's templates, as res/dialogs.json describes them.
static void AddProgramTemplates()
{
    for (const dialogs::Dialog *dialog : {&dialogs::kUninstdlg, &dialogs::kRestartdlg}) {
        sim::DialogTemplate simulated;
        simulated.title = dialog->title;
        simulated.style = dialog->style;
        simulated.x = PixelsAcross(dialog->x);
        simulated.y = PixelsDown(dialog->y);
        simulated.width = PixelsAcross(dialog->cx) + kFrameWidth;
        simulated.height = PixelsDown(dialog->cy) + kFrameHeight;
        for (unsigned i = 0; i < dialog->itemCount; i++) {
            const dialogs::Item &item = dialog->items[i];
            simulated.items.push_back(
                {item.id == 0xFFFF ? -1 : item.id, item.className, item.text, static_cast<DWORD>(item.style)});
        }
        sim::AddDialogTemplate(dialog->name, simulated);
    }
}

static void ClearGlobals()
{
    g_hInstance = nullptr;
    g_hProgressDlg = nullptr;
    g_logFile = INVALID_HANDLE_VALUE;
    g_recordCount = 0;
    g_appName[0] = '\0';
    g_caption[0] = '\0';
    InitDeletions("", NULL);
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
