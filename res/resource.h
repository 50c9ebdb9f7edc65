// What the program's code knows of its resources: the dialogs' item numbers
// and texts, written from res/dialogs.json (see tools/make_dialogs.py), and
// the progress bar's range, which the program sets.
#ifndef RES_RESOURCE_H
#define RES_RESOURCE_H

#include "res/dialogs.h"

// The progress bar runs from 0 to 120; a finished removal stops it at 100.
#define PROGRESS_RANGE_MAX 120
#define PROGRESS_DONE 100

#endif
