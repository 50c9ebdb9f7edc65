#include "center_window.h"

void CenterWindow(HWND window)
{
    // Without its rectangle the window stays where it is, rather than go
    // where the stack's leftovers would send it.
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return;
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    MoveWindow(window, screenWidth / 2 - width / 2, screenHeight / 2 - height / 2,
               width, height, FALSE);
}
