#include "globals.h"

HINSTANCE g_hInstance;
HWND g_hProgressDlg;
HANDLE g_logFile = INVALID_HANDLE_VALUE;
DWORD g_recordCount;
char g_appName[TEXT_SIZE];
char g_caption[TEXT_SIZE];
int g_rebootNeeded;
int g_outcome;
int g_win32s;
