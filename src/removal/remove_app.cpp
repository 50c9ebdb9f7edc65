#include "remove_app.h"

#include <string.h>

#include "custom_program.h"
#include "delete_or_schedule.h"
#include "progman.h"
#include "shared_dll.h"
#include "log/install_log.h"
#include "platform/text.h"
#include "res/resource.h"
#include "shell/globals.h"
#include "uninstall_key.h"

static const char kCustomRunFailed[] =
    "Custom uninstall run failed. Morvane will stop application removal.";
static const char kRemovingFile[] = "Removing File:";
static const char kUnregisteringDll[] = "Unregistering DLL";
static const char kRemovingProgmanItem[] = "Removing Progman Item";
static const char kRemovingSysReg[] = "Removing System Registry Entrys";
static const char kRemovingDirectory[] = "Removing Directory:";
static const char kPreparingSystemFiles[] = "Preparing SystemFile removal";
static const char kDeletingUninstallKey[] = "Deleting Uninstall Key";

// What this removal last set in the dialog. A call that would set a text or
// the bar to what it already shows changes nothing on screen, yet each is a
// window call the main thread has to carry out: it is skipped.
static struct {
    const char *status;             // one of the texts above; NULL: not set yet
    int detailSet;
    char detail[LOG_TEXT_SIZE];
    int positionSet;
    WPARAM position;
} g_shown;

static void SetStatus(const char *text)
{
    if (g_shown.status == text)
        return;
    g_shown.status = text;
    SetDlgItemTextA(g_hProgressDlg, IDC_STATUS, text);
}

static void SetDetail(const char *text)
{
    if (g_shown.detailSet && TextEqual(g_shown.detail, text))
        return;
    g_shown.detailSet = CopyText(g_shown.detail, sizeof(g_shown.detail), text);
    SetDlgItemTextA(g_hProgressDlg, IDC_DETAIL, text);
}

// The bar shows how many of the counted records pass B has handled, as a
// share of 100.
static void SetBar(unsigned long long progress)
{
    WPARAM position = g_recordCount ? (WPARAM)(progress / g_recordCount) : 0;
    if (g_shown.positionSet && g_shown.position == position)
        return;
    g_shown.positionSet = 1;
    g_shown.position = position;
    SendDlgItemMessageA(g_hProgressDlg, IDC_PROGRESS, PBM_SETPOS, position, 0);
}

// Custom uninstall programs run, one after another, before anything is
// removed; the first that fails stops the removal.
static int RunCustomPrograms(void)
{
    LogRecord rec;
    RewindLog();
    while (ReadRecord(&rec)) {
        if (rec.type != LOGREC_CUSTOMRUN || !RecordIsUsable(&rec))
            continue;
        if (RunCustomProgram(rec.primary, rec.secondary) != 0) {
            MessageBoxA(NULL, kCustomRunFailed, DEFAULT_CAPTION, MB_OK | MB_ICONWARNING);
            return 0;
        }
    }
    return 1;
}

static void HandlePassBRecord(const LogRecord *rec)
{
    switch (rec->type) {
    case LOGREC_FILE:
        SetStatus(kRemovingFile);
        SetDetail(rec->primary);
        DeleteOrSchedule(rec->primary);
        break;
    case LOGREC_SHAREDDLL:
        SetStatus(kUnregisteringDll);
        SetDetail(rec->primary);
        ReleaseSharedDll(rec->primary);
        break;
    case LOGREC_PMGROUP:
        SetStatus(kRemovingProgmanItem);
        SetDetail("");
        ProgmanDeleteGroup(rec->secondary);
        break;
    case LOGREC_SYSREG:
        SetStatus(kRemovingSysReg);
        SetDetail("");
        break;
    default:
        break;
    }
}

// Files, shared DLLs and program groups, in log order. Returns the progress
// reached, which pass C keeps showing.
static unsigned long long RemoveFiles(void)
{
    LogRecord rec;
    unsigned long long progress = 0;
    RewindLog();
    while (ReadRecord(&rec)) {
        SetBar(progress);
        if (RecordIsUsable(&rec))
            HandlePassBRecord(&rec);
        progress += PROGRESS_DONE;
        SetBar(progress);
    }
    return progress;
}

// Directories go only after every file in them has been handled.
static void RemoveDirectories(unsigned long long progress)
{
    LogRecord rec;
    RewindLog();
    while (ReadRecord(&rec)) {
        SetBar(progress);
        if (rec.type != LOGREC_DIR || !RecordIsUsable(&rec))
            continue;
        SetStatus(kRemovingDirectory);
        SetDetail(rec.primary);
        if (!RemoveDirectoryA(rec.primary))
            DeleteOrSchedule(rec.primary);
    }
}

static void PrepareSystemFiles(void)
{
    LogRecord rec;
    SetStatus(kPreparingSystemFiles);
    SetDetail("");
    RewindLog();
    while (ReadRecord(&rec)) {
    }
}

// Deletes the application's own entry under the Uninstall key, and nothing
// when the name cannot name one entry.
static void DeleteUninstallKey(void)
{
    SetStatus(kDeletingUninstallKey);
    char keyPath[MESSAGE_SIZE];
    if (FormatUninstallKey(keyPath, sizeof(keyPath), g_appName) == UNINSTALL_KEY_NAMED)
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath);
}

int RemoveApplication(void)
{
    memset(&g_shown, 0, sizeof(g_shown));
    g_shown.positionSet = 1;   // the dialog's bar starts at 0
    ShowWindow(g_hProgressDlg, SW_SHOW);
    if (!RunCustomPrograms())
        return 0;
    unsigned long long progress = RemoveFiles();
    RemoveDirectories(progress);
    PrepareSystemFiles();
    DeleteUninstallKey();
    EndDialog(g_hProgressDlg, 0);
    return 1;
}
