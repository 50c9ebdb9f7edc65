// Identifiers of the program's resources, shared by the code and uninstall.rc.
#ifndef RES_RESOURCE_H
#define RES_RESOURCE_H

// Progress dialog UNINSTDLG
#define IDC_CANCEL_BUTTON 1003
#define IDC_STATUS 101
#define IDC_DETAIL 102
#define IDC_PROGRESS 131

// Restart dialog RESTARTDLG: IDOK (1) restarts, IDCANCEL (2) does not
#ifndef IDOK
#define IDOK 1
#define IDCANCEL 2
#endif
#define IDC_RESTART_FRAME 101

// The progress bar runs from 0 to 120; a finished removal stops it at 100.
#define PROGRESS_RANGE_MAX 120
#define PROGRESS_DONE 100

#endif
