// Times the uninstaller under Wine, the way a user meets it.
//
//   bench_driver.exe startup EXE [ARGS]   milliseconds from starting EXE to its
//                                         first message box on screen (the box
//                                         is then answered No, or OK)
//   bench_driver.exe removal EXE LOG      milliseconds from answering Yes to the
//                                         success box, and the process's peak
//                                         working set in KB at that moment
//
// Prints the numbers on one line. Output goes to a file, never a pipe.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "clock.h"
#include "driver/process.h"
#include "driver/ui.h"
#include "driver/program_texts.h"

static const DWORD kLimitMs = 600000;

// The first visible message box of the process other than skip; NULL when
// there is none yet. Only window classes and styles are asked, so that the
// looks cost the program under test as little as possible.
static HWND FindBox(DWORD pid, HWND skip)
{
    for (HWND window : driver::TopLevelWindows(pid))
        if (window != skip && IsWindowVisible(window) && driver::IsMessageBox(window))
            return window;
    return NULL;
}

static HWND WaitForBox(driver::Program &program, HWND skip, DWORD pauseMs)
{
    double deadline = Now() + kLimitMs;
    while (Now() < deadline && program.Running()) {
        if (HWND box = FindBox(program.pid(), skip))
            return box;
        Sleep(pauseMs);
    }
    return NULL;
}

static int Fail(const std::string &what)
{
    std::fprintf(stderr, "bench_driver: %s\n", what.c_str());
    return 1;
}

static int Startup(const std::string &exe, const std::string &args)
{
    driver::Program program;
    std::string error;
    double start = Now();
    if (!program.Start(exe, args, &error))
        return Fail(error);
    HWND box = WaitForBox(program, NULL, 0);
    double shown = Now();
    if (box == NULL)
        return Fail("no message box from " + exe);
    driver::MessageBoxView view;
    driver::ReadMessageBox(box, &view);
    driver::PressButton(box, driver::SafestButton(view));
    DWORD exitCode;
    if (!program.WaitForExit(30000, &exitCode))
        return Fail(exe + " did not end");
    std::printf("%.3f\n", shown - start);
    return 0;
}

// The end of a removal is the creation of the next dialog-class window after
// the question: the success box. Told by an event hook rather than by looking
// at the program's windows, since the looks would slow the removal down.
static HWND g_question;
static DWORD g_pid;
static double g_boxCreated;

static void CALLBACK OnWindowCreated(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD, DWORD)
{
    if (object != OBJID_WINDOW || window == g_question || g_boxCreated != 0)
        return;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != g_pid || GetAncestor(window, GA_PARENT) != GetDesktopWindow() || driver::ClassName(window) != "#32770")
        return;
    g_boxCreated = Now();
    PostQuitMessage(0);
}

static int Removal(const std::string &exe, const std::string &log)
{
    driver::Program program;
    std::string error;
    if (!program.Start(exe, log, &error))
        return Fail(error);
    HWND question = WaitForBox(program, NULL, 1);
    driver::MessageBoxView view;
    if (question == NULL || !driver::ReadMessageBox(question, &view) || view.text != kConfirm)
        return Fail("no confirmation from " + exe);
    g_question = question;
    g_pid = program.pid();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, NULL, OnWindowCreated,
                                         program.pid(), 0, WINEVENT_OUTOFCONTEXT);
    if (hook == NULL)
        return Fail("no event hook");
    UINT_PTR limit = SetTimer(NULL, 0, kLimitMs, NULL);
    double yes = Now();
    driver::PressButton(question, IDYES);
    MSG msg;
    while (g_boxCreated == 0 && GetMessageA(&msg, NULL, 0, 0) > 0 && msg.message != WM_TIMER)
        DispatchMessageA(&msg);
    KillTimer(NULL, limit);
    UnhookWinEvent(hook);
    double finished = g_boxCreated;
    HWND done = WaitForBox(program, question, 1);
    if (finished == 0 || done == NULL)
        return Fail("no box after the removal");
    PROCESS_MEMORY_COUNTERS memory;
    memory.cb = sizeof(memory);
    SIZE_T peak = GetProcessMemoryInfo(program.handle(), &memory, sizeof(memory)) ? memory.PeakWorkingSetSize : 0;
    driver::ReadMessageBox(done, &view);
    driver::PressButton(done, driver::SafestButton(view));
    DWORD exitCode;
    if (!program.WaitForExit(30000, &exitCode))
        return Fail(exe + " did not end");
    std::printf("%.3f %lu\n", finished - yes, (unsigned long)(peak / 1024));
    return 0;
}

int main(int argc, char **argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "startup") == 0)
        return Startup(argv[2], argc > 3 ? argv[3] : "");
    if (argc == 4 && std::strcmp(argv[1], "removal") == 0)
        return Removal(argv[2], argv[3]);
    return Fail("usage: bench_driver.exe startup EXE [ARGS] | removal EXE LOG");
}
