// Drives one run of the uninstaller for the screenshots: at each moment worth
// a picture it writes SHOTDIR\<name>.ready (the window's screen rectangle)
// and waits for SHOTDIR\<name>.taken, which the screenshot script writes once
// it has the picture.
//
//   shot_driver.exe UNINSTALL_EXE LOG SHOTDIR HELD_FILE
//
// HELD_FILE is held open without sharing during the run, so that the restart
// offer shows at the end. To picture the progress dialog at work, the
// uninstaller's worker thread is paused while the picture is taken.
//
// Before anything runs it checks that Wine has the fonts the pictures show:
// without them Wine draws with a stand-in, the caption buttons as letters.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/process.h"
#include "driver/ui.h"
#include "driver/program_texts.h"

static const DWORD kLimitMs = 60000;

static bool Exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Lets the script take the picture of window, and waits until it has.
static bool Picture(const std::string &shots, const std::string &name, HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    FILE *ready = std::fopen((shots + "\\" + name + ".ready").c_str(), "w");
    if (ready == NULL)
        return false;
    std::fprintf(ready, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    std::fclose(ready);
    for (DWORD waited = 0; waited < kLimitMs; waited += 50) {
        if (Exists(shots + "\\" + name + ".taken"))
            return true;
        Sleep(50);
    }
    return false;
}

static HWND WaitForBox(driver::Program &program, const std::string &caption)
{
    for (DWORD waited = 0; waited < kLimitMs && program.Running(); waited += 20) {
        for (HWND window : driver::TopLevelWindows(program.pid()))
            if (IsWindowVisible(window) && driver::IsMessageBox(window) && driver::WindowTitle(window) == caption)
                return window;
        Sleep(20);
    }
    return NULL;
}

// Pauses (or resumes) every thread of the process but the one that owns the
// dialog, so that the dialog stays as it is and still paints.
static void PauseOthers(DWORD pid, DWORD dialogThread, bool pause)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != pid || entry.th32ThreadID == dialogThread)
            continue;
        HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
        if (thread != NULL) {
            if (pause)
                SuspendThread(thread);
            else
                ResumeThread(thread);
            CloseHandle(thread);
        }
    }
    CloseHandle(snapshot);
}

static int Fail(const char *what)
{
    std::fprintf(stderr, "shot_driver: %s\n", what);
    return 1;
}

// The face Wine gives for a font name: the name itself when it has that
// font, the face of its stand-in when it does not.
static std::string FaceFor(const char *name)
{
    HDC dc = GetDC(NULL);
    HFONT font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, name);
    HGDIOBJ old = SelectObject(dc, font);
    char face[LF_FACESIZE] = "";
    GetTextFaceA(dc, sizeof(face), face);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(NULL, dc);
    return face;
}

// Marlett draws the caption buttons, MS Sans Serif is the dialogs' font and
// Tahoma Wine's font for captions and message boxes.
static bool FontsPresent(std::string *missing)
{
    static const char *const kFonts[] = {"Marlett", "MS Sans Serif", "Tahoma"};
    for (const char *name : kFonts) {
        const std::string face = FaceFor(name);
        if (lstrcmpiA(face.c_str(), name) != 0) {
            *missing = std::string("Wine has no font ") + name + " (it draws with " +
                       (face.empty() ? std::string("nothing") : face) +
                       " instead); the pictures would show stand-in texts and caption buttons";
            return false;
        }
    }
    return true;
}

int main(int argc, char **argv)
{
    if (argc != 5)
        return Fail("usage: shot_driver.exe UNINSTALL_EXE LOG SHOTDIR HELD_FILE");
    const std::string shots = argv[3];
    std::string missing;
    if (!FontsPresent(&missing))
        return Fail(missing.c_str());
    HANDLE held = CreateFileA(argv[4], GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (held == INVALID_HANDLE_VALUE)
        return Fail("cannot hold the file open");

    driver::Program program;
    std::string error;
    if (!program.Start(argv[1], argv[2], &error))
        return Fail(error.c_str());
    const std::string caption = "Morvane Demo Uninstall";

    HWND box = WaitForBox(program, caption);
    driver::MessageBoxView view;
    if (box == NULL || !driver::ReadMessageBox(box, &view) || view.text != kConfirm)
        return Fail("no confirmation");
    if (!Picture(shots, "confirmation", box))
        return Fail("no picture of the confirmation");
    driver::PressButton(box, IDYES);

    // The dialog at work in the pass over the files.
    HWND dialog = NULL;
    for (DWORD waited = 0; waited < kLimitMs && dialog == NULL; waited++) {
        HWND candidate = driver::FindProgressDialog(program.pid());
        driver::ProgressView progress;
        if (candidate && driver::ReadProgressDialog(candidate, &progress) && progress.visible &&
            progress.status == kRemovingFile && progress.position >= 20)
            dialog = candidate;
        else
            Sleep(1);
    }
    if (dialog == NULL)
        return Fail("the dialog was not seen in the pass over the files");
    PauseOthers(program.pid(), GetWindowThreadProcessId(dialog, NULL), true);
    Sleep(500);   // the dialog's thread paints what it shows
    bool pictured = Picture(shots, "progress", dialog);
    PauseOthers(program.pid(), GetWindowThreadProcessId(dialog, NULL), false);
    if (!pictured)
        return Fail("no picture of the progress dialog");

    box = WaitForBox(program, caption);
    if (box == NULL || !Picture(shots, "success", box))
        return Fail("no picture of the success box");
    driver::PressButton(box, IDOK);

    HWND restart = WaitForBox(program, kRestartTitle);
    if (restart == NULL || !Picture(shots, "restart", restart))
        return Fail("no picture of the restart dialog");
    driver::PressButton(restart, IDCANCEL);

    DWORD exitCode;
    if (!program.WaitForExit(kLimitMs, &exitCode))
        return Fail("the uninstaller did not end");
    CloseHandle(held);
    return exitCode == 0 ? 0 : Fail("the uninstaller failed");
}
