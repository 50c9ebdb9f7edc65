// The least start-up the uninstaller's design allows: before its question it
// must load COMCTL32 and create its hidden progress dialog on the main thread
// (from the same resources, manifest included), and ask on a second thread
// that hides the dialog and shares the main thread's input first, while the
// main thread serves the dialog. Start-up is reported against this
// beside the minimal program.
#include <windows.h>

#include <cstring>

static INT_PTR CALLBACK IgnoreAll(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

static HWND g_dialog;

static DWORD WINAPI Ask(LPVOID mainThread)
{
    ShowWindow(g_dialog, SW_HIDE);
    AttachThreadInput(GetCurrentThreadId(), (DWORD)(ULONG_PTR)mainThread, TRUE);
    MessageBoxA(NULL, "Start-up floor", "Floor", MB_YESNO | MB_ICONQUESTION);
    PostThreadMessageA((DWORD)(ULONG_PTR)mainThread, WM_QUIT, 0, 0);
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, sizeof(path));
    if (length == 0 || length + sizeof("\\COMCTL32.DLL") > sizeof(path))
        return 1;
    std::strcat(path, "\\COMCTL32.DLL");
    LoadLibraryA(path);
    g_dialog = CreateDialogParamA(instance, "UNINSTDLG", NULL, IgnoreAll, 0);
    if (g_dialog == NULL)
        return 1;
    HANDLE worker = CreateThread(NULL, 0, Ask, (LPVOID)(ULONG_PTR)GetCurrentThreadId(), 0, NULL);
    if (worker == NULL)
        return 1;
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
    DestroyWindow(g_dialog);
    return 0;
}
