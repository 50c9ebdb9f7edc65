// The passes over the install log: which record types each acts on, what
// the progress dialog shows while a record is handled, and what is done with
// it. The removal follows this description, and instlog's plan tells it.
#ifndef REMOVAL_PASSES_H
#define REMOVAL_PASSES_H

#include "log/install_log.h"

enum RemovalPass {
    PASS_CUSTOM_PROGRAMS,   // A: before anything is removed; a failure stops the removal
    PASS_FILES,             // B: files, shared DLLs and program groups, in log order
    PASS_DIRECTORIES        // C: once every file in them has been handled
};

enum StepAction {
    ACTION_NONE,               // the status line alone
    ACTION_RUN_PROGRAM,        // run primary with the argument text secondary
    ACTION_DELETE_FILE,        // delete primary, or schedule it for the restart
    ACTION_RELEASE_DLL,        // release the shared DLL primary
    ACTION_DELETE_GROUP,       // delete the Program Manager group secondary
    ACTION_REMOVE_DIRECTORY    // remove the directory primary, or schedule it for the restart
};

enum StepDetail {
    DETAIL_UNCHANGED,   // the dialog keeps its status and detail lines
    DETAIL_PRIMARY,     // the status text, and the record's primary text below it
    DETAIL_EMPTY        // the status text, and an empty detail line
};

struct RecordStep {
    BYTE pass;     // RemovalPass
    BYTE type;     // LogRecordType
    BYTE detail;   // StepDetail
    BYTE action;   // StepAction
    const char *status;
};

// The step of pass for records of type, or NULL when the pass skips them.
const RecordStep *StepFor(RemovalPass pass, DWORD type);

#endif
