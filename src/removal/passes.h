// The removal's passes over the install log, in the order it makes them:
// for each pass the status line it shows before it reads the log and how it
// moves the progress bar; for each record type a pass acts on, what the
// progress dialog shows while a record is handled and what is done with it.
// RemoveApplication walks this description, instlog's plan tells it, and
// the tests check runs against it.
#ifndef REMOVAL_PASSES_H
#define REMOVAL_PASSES_H

#include <stddef.h>

#include "log/install_log.h"

enum RemovalPass {
    PASS_CUSTOM_PROGRAMS,   // before anything is removed; a failure stops the removal
    PASS_FILES,             // files, shared DLLs and program groups, in log order
    PASS_DIRECTORIES,       // once every file in them has been handled; read again while
                            // folders left standing wait for the ones listed after them
    PASS_SYSTEM_FILES       // the system-file step: no record is acted on
};

enum BarMotion {
    BAR_UNTOUCHED,   // the bar keeps what it shows
    BAR_SHOWN,       // at every record, where the passes before left it
    BAR_ADVANCING    // at every record, then moved on by it
};

struct PassDescription {
    BYTE pass;            // RemovalPass
    BYTE bar;             // BarMotion
    const char *status;   // shown with an empty detail line before the log is read; NULL: none
};

// The passes, in order: kPassCount of them. Each reads the log once, from
// its first record to its end. The Uninstall key step, which reads no log,
// follows them.
extern const PassDescription kPasses[];
extern const size_t kPassCount;

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
