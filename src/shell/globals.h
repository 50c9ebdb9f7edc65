// State shared by the main thread and the worker thread. The main thread
// writes everything here before the worker starts; the worker sets
// g_rebootNeeded and g_outcome, which the main thread reads only after its
// message loop has ended. No lock is taken.
#ifndef SHELL_GLOBALS_H
#define SHELL_GLOBALS_H

#include "platform/platform.h"

#define TEXT_SIZE 256       // texts and captions
#define PATH_SIZE 260       // paths handed to the system
#define MESSAGE_SIZE 1024   // formatted messages and key paths

// Caption of every box until the log has named the application.
#define DEFAULT_CAPTION "Uninstall (Morvane 1.30)"

// How the worker's run ended; read by WinMain once its loop is over.
enum Outcome {
    OUTCOME_DECLINED = 0,
    OUTCOME_COMPLETED = 1,
    OUTCOME_ABORTED = 2
};

extern HINSTANCE g_hInstance;
extern HWND g_hProgressDlg;
extern HANDLE g_logFile;
extern DWORD g_recordCount;
extern char g_appName[TEXT_SIZE];
extern char g_caption[TEXT_SIZE];
extern int g_rebootNeeded;
extern int g_outcome;
extern int g_win32s;   // the platform cannot wait on a process handle

#endif
