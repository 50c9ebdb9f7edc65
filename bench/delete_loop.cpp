// The baselines for the removal of many files, each deleting the files of a
// list (one Windows path per line) and printing how long that took, in ms.
//
//   delete_loop.exe plain LIST    DeleteFileA on each file, nothing else
//   delete_loop.exe asked LIST    the same as dialog, on a worker that has
//                                 shown a window of its own first, as the
//                                 uninstaller's worker has shown its question
//   delete_loop.exe dialog LIST   the same on a worker thread that first sets
//                                 the detail line of the uninstaller's own
//                                 progress dialog (built from the same
//                                 template, shown) on the main thread for each
//                                 file: the least a removal that shows every
//                                 file before deleting it can cost
//   delete_loop.exe bar LIST      the same as asked, with the bar moved as the
//                                 uninstaller moves it (one PBM_SETPOS at each
//                                 change of position, about a hundred in all),
//                                 and the dialog hidden until the worker shows
//                                 it before the first file and ends it after
//                                 the last, as the uninstaller does around its
//                                 removal; both are timed with the loop
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "clock.h"
#include "res/resource.h"

static std::vector<std::string> g_files;
static HWND g_frame;
static HWND g_detail;
static double g_elapsed;

static INT_PTR CALLBACK IgnoreAll(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

static bool g_asked;
static bool g_bar;

// The bar as the uninstaller sets it: at the records' progress, PROGRESS_DONE
// each, divided by their number, and only when that changes.
static void MoveBar(unsigned long long progress, WPARAM *position)
{
    WPARAM next = (WPARAM)(progress / g_files.size());
    if (next == *position)
        return;
    *position = next;
    SendDlgItemMessageA(g_frame, IDC_PROGRESS, PBM_SETPOS, next, 0);
}

static DWORD WINAPI DeleteWithDetail(LPVOID mainThread)
{
    if (g_asked) {
        // Under Wine a thread that has had a window of its own pays more for
        // each window call to another thread.
        HWND question = CreateWindowExA(0, "STATIC", "Question", WS_POPUP | WS_VISIBLE, 0, 0, 200, 80, NULL, NULL,
                                        GetModuleHandleA(NULL), NULL);
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        DestroyWindow(question);
    }
    double start = Now();
    if (g_bar)
        ShowWindow(g_frame, SW_SHOW);
    unsigned long long progress = 0;
    WPARAM position = 0;
    for (const std::string &file : g_files) {
        SetWindowTextA(g_detail, file.c_str());
        DeleteFileA(file.c_str());
        if (g_bar) {
            progress += PROGRESS_DONE;
            MoveBar(progress, &position);
        }
    }
    if (g_bar)
        EndDialog(g_frame, 0);
    g_elapsed = Now() - start;
    PostThreadMessageA((DWORD)(ULONG_PTR)mainThread, WM_QUIT, 0, 0);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc != 3 || (std::strcmp(argv[1], "plain") != 0 && std::strcmp(argv[1], "dialog") != 0 &&
                      std::strcmp(argv[1], "asked") != 0 && std::strcmp(argv[1], "bar") != 0)) {
        std::fprintf(stderr, "usage: delete_loop.exe plain|dialog|asked|bar LIST\n");
        return 2;
    }
    g_bar = std::strcmp(argv[1], "bar") == 0;
    g_asked = g_bar || std::strcmp(argv[1], "asked") == 0;
    std::ifstream list(argv[2]);
    std::string line;
    while (std::getline(list, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            g_files.push_back(line);
    }

    if (std::strcmp(argv[1], "plain") == 0) {
        double start = Now();
        for (const std::string &file : g_files)
            DeleteFileA(file.c_str());
        g_elapsed = Now() - start;
    } else {
        LoadLibraryA("COMCTL32.DLL");
        g_frame = CreateDialogParamA(GetModuleHandleA(NULL), "UNINSTDLG", NULL, IgnoreAll, 0);
        if (g_frame == NULL) {
            std::fprintf(stderr, "delete_loop: no dialog\n");
            return 1;
        }
        // The bar's range as the uninstaller's dialog procedure sets it.
        SendDlgItemMessageA(g_frame, IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, PROGRESS_RANGE_MAX));
        if (!g_bar)
            ShowWindow(g_frame, SW_SHOW);
        g_detail = GetDlgItem(g_frame, IDC_DETAIL);
        HANDLE worker = CreateThread(NULL, 0, DeleteWithDetail, (LPVOID)(ULONG_PTR)GetCurrentThreadId(), 0, NULL);
        MSG msg;
        while (GetMessageA(&msg, NULL, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        WaitForSingleObject(worker, INFINITE);
        CloseHandle(worker);
        DestroyWindow(g_frame);
    }
    std::printf("%.3f\n", g_elapsed);
    return 0;
}
