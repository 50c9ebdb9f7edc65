#include "passes.h"

// Earlier versions read the log through once more before they deleted the
// Uninstall key, under "Preparing SystemFile removal", acting on no record.
// The user still sees that step: its status line, and one more reading of
// the log, which a failed read cuts short as any other.
const PassDescription kPasses[] = {
    {PASS_CUSTOM_PROGRAMS, BAR_UNTOUCHED, NULL},
    {PASS_FILES, BAR_ADVANCING, NULL},
    {PASS_DIRECTORIES, BAR_SHOWN, NULL},
    {PASS_SYSTEM_FILES, BAR_UNTOUCHED, "Preparing SystemFile removal"},
};
const size_t kPassCount = sizeof(kPasses) / sizeof(kPasses[0]);

static const RecordStep kSteps[] = {
    {PASS_CUSTOM_PROGRAMS, LOGREC_CUSTOMRUN, DETAIL_UNCHANGED, ACTION_RUN_PROGRAM, NULL},
    {PASS_FILES, LOGREC_FILE, DETAIL_PRIMARY, ACTION_DELETE_FILE, "Removing File:"},
    {PASS_FILES, LOGREC_SHAREDDLL, DETAIL_PRIMARY, ACTION_RELEASE_DLL, "Unregistering DLL"},
    {PASS_FILES, LOGREC_PMGROUP, DETAIL_EMPTY, ACTION_DELETE_GROUP, "Removing Progman Item"},
    {PASS_FILES, LOGREC_SYSREG, DETAIL_EMPTY, ACTION_NONE, "Removing System Registry Entrys"},
    {PASS_DIRECTORIES, LOGREC_DIR, DETAIL_PRIMARY, ACTION_REMOVE_DIRECTORY, "Removing Directory:"},
};

const RecordStep *StepFor(RemovalPass pass, DWORD type)
{
    for (size_t i = 0; i < sizeof(kSteps) / sizeof(kSteps[0]); i++)
        if (kSteps[i].pass == pass && kSteps[i].type == type)
            return &kSteps[i];
    return NULL;
}
