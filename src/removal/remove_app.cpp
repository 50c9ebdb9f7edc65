#include "remove_app.h"

#include "custom_program.h"
#include "delete_or_schedule.h"
#include "key_tree.h"
#include "passes.h"
#include "progman.h"
#include "progress_view.h"
#include "release_journal.h"
#include "shared_dll.h"
#include "log/install_log.h"
#include "log/record_check.h"
#include "res/resource.h"
#include "uninstall_key.h"

static const char kCustomRunFailed[] =
    "Custom uninstall run failed. Morvane will stop application removal.";
static const char kPreparingSystemFiles[] = "Preparing SystemFile removal";
static const char kDeletingUninstallKey[] = "Deleting Uninstall Key";

// An earlier run on this log, ended halfway, may have released the record
// already: no count is lowered twice.
static void ReleaseOnce(const char *path, DWORD index)
{
    switch (ClaimRelease(index)) {
    case RELEASE_NOW:
        ReleaseSharedDll(path);
        break;
    case RELEASE_FINISH:
        FinishSharedDllRelease(path);
        break;
    case RELEASE_SKIP:
        break;
    }
}

static int StopForCustomRun(void)
{
    MessageBoxA(NULL, kCustomRunFailed, DEFAULT_CAPTION, MB_OK | MB_ICONWARNING);
    return 0;
}

// Shows the step and acts on the record, the index-th of the log; a record
// that names nothing to act on is passed over. Returns 0 when a custom
// program failed, which stops the removal.
static int TakeStep(const RecordStep *step, const LogRecord *rec, DWORD index)
{
    // A custom program whose name or argument text is cut has not cleaned
    // up what the removal deletes next: that stops it as a failure does.
    if (!RecordIsUsable(rec))
        return rec->type == LOGREC_CUSTOMRUN ? StopForCustomRun() : 1;
    if (step->detail != DETAIL_UNCHANGED) {
        SetStatus(step->status);
        SetDetail(step->detail == DETAIL_PRIMARY ? rec->primary : "");
    }
    switch (step->action) {
    case ACTION_RUN_PROGRAM:
        if (RunCustomProgram(rec->primary, rec->secondary) != 0)
            return StopForCustomRun();
        break;
    case ACTION_DELETE_FILE:
        DeleteOrSchedule(rec->primary);
        break;
    case ACTION_RELEASE_DLL:
        ReleaseOnce(rec->primary, index);
        break;
    case ACTION_DELETE_GROUP:
        ProgmanDeleteGroup(rec->secondary);
        break;
    case ACTION_REMOVE_DIRECTORY:
        if (!RemoveDirectoryA(rec->primary))
            DeleteOrSchedule(rec->primary);
        break;
    case ACTION_NONE:
        break;
    }
    return 1;
}

// One reading of the log, acting on each record the pass takes. With
// progress, the bar shows it at every record; advancing, each record moves
// it on. Returns 0 when a custom program stopped the removal.
static int RunPass(RemovalPass pass, unsigned long long *progress, int advancing)
{
    LogRecord rec;
    for (DWORD index = 0; ReadRecord(index, &rec); index++) {
        if (progress != NULL)
            SetBar(*progress);
        const RecordStep *step = StepFor(pass, rec.type);
        if (step != NULL && !TakeStep(step, &rec, index))
            return 0;
        if (advancing) {
            *progress += PROGRESS_DONE;
            SetBar(*progress);
        }
    }
    return 1;
}

static void PrepareSystemFiles(void)
{
    LogRecord rec;
    SetStatus(kPreparingSystemFiles);
    SetDetail("");
    for (DWORD index = 0; ReadRecord(index, &rec); index++) {
    }
}

// Deletes the application's own entry under the Uninstall key, with what
// the application stored below it, and nothing when the name cannot name
// one entry.
static void DeleteUninstallKey(void)
{
    SetStatus(kDeletingUninstallKey);
    char keyPath[MESSAGE_SIZE];
    if (FormatUninstallKey(keyPath, sizeof(keyPath), g_appName) == UNINSTALL_KEY_NAMED)
        DeleteKeyTree(keyPath, sizeof(keyPath));
}

// A logoff or shutdown is held off from the start until the Uninstall key
// is gone: ended halfway, the removal would leave the application half
// there.
int RemoveApplication(void)
{
    ShowProgress();
    HoldSession(1);
    if (!RunPass(PASS_CUSTOM_PROGRAMS, NULL, 0)) {
        HoldSession(0);
        return 0;
    }
    unsigned long long progress = 0;
    RunPass(PASS_FILES, &progress, 1);
    RunPass(PASS_DIRECTORIES, &progress, 0);
    PrepareSystemFiles();
    DeleteUninstallKey();
    HoldSession(0);
    EndProgress();
    return 1;
}
