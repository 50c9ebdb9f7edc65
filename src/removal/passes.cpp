#include "passes.h"

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
