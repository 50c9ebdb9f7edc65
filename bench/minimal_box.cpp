// The least a Windows program can do before the user sees it: show one
// message box. Start-up of the uninstaller is measured against this.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    MessageBoxA(NULL, "Minimal program", "Minimal", MB_YESNO | MB_ICONQUESTION);
    return 0;
}
