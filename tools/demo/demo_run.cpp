// Runs the uninstaller for the demonstration, as a user would: optionally
// with one of the application's files still open in another program, and
// optionally answering the boxes itself (when nobody watches the screen).
//
//   demo_run.exe [--answer] [--hold FILE] UNINSTALL_EXE LOG
//
// With --answer the confirmation is answered Yes, the restart offer No and
// every other box OK. Prints each box it saw and the uninstaller's exit code.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "driver/process.h"
#include "driver/ui.h"
#include "driver/program_texts.h"


static int Usage()
{
    std::fprintf(stderr, "usage: demo_run.exe [--answer] [--hold FILE] UNINSTALL_EXE LOG\n");
    return 2;
}

static int Answer(const driver::MessageBoxView &box)
{
    int id = box.text == kConfirm ? IDYES : driver::SafestButton(box);
    std::string pressed = id == IDYES ? "Yes" : id == IDCANCEL && box.caption == kRestartTitle ? "No" : "OK";
    std::string text = box.text;
    for (char &c : text)
        if (c == '\n')
            c = ' ';
    std::printf("  [%s] %s\n      -> %s\n", box.caption.c_str(), text.c_str(), pressed.c_str());
    std::fflush(stdout);
    return id;
}

int main(int argc, char **argv)
{
    bool answer = false;
    const char *held = NULL;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; i++) {
        if (std::strcmp(argv[i], "--answer") == 0)
            answer = true;
        else if (std::strcmp(argv[i], "--hold") == 0 && i + 1 < argc)
            held = argv[++i];
        else
            return Usage();
    }
    if (argc - i != 2)
        return Usage();
    const std::string exe = argv[i];
    const std::string log = argv[i + 1];

    HANDLE heldFile = INVALID_HANDLE_VALUE;
    if (held != NULL) {
        // Open without sharing, as an editor that locks its document does.
        heldFile = CreateFileA(held, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (heldFile == INVALID_HANDLE_VALUE) {
            std::fprintf(stderr, "demo_run: cannot open %s (error %lu)\n", held, GetLastError());
            return 1;
        }
        std::printf("Holding open: %s\n", held);
    }

    driver::Program program;
    std::string error;
    if (!program.Start(exe, log, &error)) {
        std::fprintf(stderr, "demo_run: %s\n", error.c_str());
        return 1;
    }
    std::printf("Started: %s\n", program.commandLine().c_str());
    std::fflush(stdout);

    DWORD exitCode = 0;
    if (answer) {
        driver::RunRecord record;
        if (!driver::WatchRun(program, Answer, &record, 120000)) {
            std::fprintf(stderr, "demo_run: %s\n", record.error.c_str());
            return 1;
        }
        exitCode = record.exitCode;
    } else if (!program.WaitForExit(INFINITE, &exitCode)) {
        return 1;
    }
    std::printf("The uninstaller ended with exit code %lu.\n", exitCode);
    if (heldFile != INVALID_HANDLE_VALUE)
        CloseHandle(heldFile);
    return 0;
}
