#include "globals.h"

HINSTANCE g_hInstance;
HWND g_hProgressDlg;
char g_caption[TEXT_SIZE];
int g_outcome;
