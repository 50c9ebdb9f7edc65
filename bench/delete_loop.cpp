// The baselines for the removal of many files, each deleting the files of a
// list (one Windows path per line) and printing how long that took, in ms.
//
//   delete_loop.exe plain LIST    DeleteFileA on each file, nothing else
//   delete_loop.exe dialog LIST   the same on a worker thread that first sets
//                                 a window's text on the main thread for each
//                                 file: the least a removal that shows every
//                                 file before deleting it can cost
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

static std::vector<std::string> g_files;
static HWND g_detail;
static double g_elapsed;

static double Now()
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * (double)now.QuadPart / (double)frequency.QuadPart;
}

static DWORD WINAPI DeleteWithDetail(LPVOID mainThread)
{
    double start = Now();
    for (const std::string &file : g_files) {
        SetWindowTextA(g_detail, file.c_str());
        DeleteFileA(file.c_str());
    }
    g_elapsed = Now() - start;
    PostThreadMessageA((DWORD)(ULONG_PTR)mainThread, WM_QUIT, 0, 0);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc != 3 || (std::strcmp(argv[1], "plain") != 0 && std::strcmp(argv[1], "dialog") != 0)) {
        std::fprintf(stderr, "usage: delete_loop.exe plain|dialog LIST\n");
        return 2;
    }
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
        HWND frame = CreateWindowExA(0, "STATIC", "Baseline", WS_POPUP | WS_CAPTION | WS_VISIBLE, 100, 100, 320,
                                     120, NULL, NULL, GetModuleHandleA(NULL), NULL);
        g_detail = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 10, 30, 300, 16, frame, NULL,
                                   GetModuleHandleA(NULL), NULL);
        HANDLE worker = CreateThread(NULL, 0, DeleteWithDetail, (LPVOID)(ULONG_PTR)GetCurrentThreadId(), 0, NULL);
        MSG msg;
        while (GetMessageA(&msg, NULL, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        WaitForSingleObject(worker, INFINITE);
        CloseHandle(worker);
        DestroyWindow(frame);
    }
    std::printf("%.3f\n", g_elapsed);
    return 0;
}
