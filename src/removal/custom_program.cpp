#include "custom_program.h"

#include <string.h>

#include "platform/platform.h"
#include "platform/sizes.h"
#include "platform/text.h"

int g_win32s;

// Win32s marks itself with the top bit (not Windows NT) and a major version
// below 4.
void InitCustomPrograms(void)
{
    DWORD version = GetVersion();
    g_win32s = (version & 0x80000000) != 0 && LOBYTE(LOWORD(version)) < 4;
}

#define POLL_FIRST_PAUSE 1000
#define POLL_PAUSE 100

enum StartOutcome {
    START_DONE,        // a program ran; its result is final
    START_NOT_FOUND,   // try the next candidate
    START_FAILED       // give up
};

static const char kBatchExtension[] = ".bat";
static const char *const kSuffixes[] = {".com", ".exe"};

// Errors that let the search go on to the next candidate after a failed start.
static int IsMissingForStart(DWORD error)
{
    switch (error) {
    case ERROR_INVALID_FUNCTION:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_ACCESS_DENIED:
    case ERROR_INVALID_DRIVE:
    case ERROR_NO_MORE_FILES:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_BAD_EXE_FORMAT:
    case ERROR_FILENAME_EXCED_RANGE:
        return 1;
    }
    return 0;
}

// The same after a failed existence test, which reports fewer kinds.
static int IsMissingForExistence(DWORD error)
{
    switch (error) {
    case ERROR_INVALID_FUNCTION:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_NO_MORE_FILES:
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return 1;
    }
    return 0;
}

// The extension of the name's last component, from its last "." on; "" when
// it has none. A drive letter or a leading \\server belongs to the directory.
static const char *ExtensionOf(const char *name)
{
    const char *component = name;
    if (name[0] != '\0' && name[1] == ':')
        component = name + 2;
    if (IsPathSeparator(name[0]) && IsPathSeparator(name[1])) {
        component = name + 2;
        while (*component != '\0' && !IsPathSeparator(*component))
            component += CharLength(component);
    }
    for (const char *p = component; *p != '\0'; p += CharLength(p))
        if (IsPathSeparator(*p))
            component = p + 1;
    const char *dot = FindLastChar(component, '.');
    return dot ? dot : "";
}

static int NeedsQuotes(const char *name)
{
    return TextHasChar(name, ' ') || TextHasChar(name, '\t');
}

// Appends a program or file name to a command line, in double quotes when it
// holds a blank, so that "C:\Program Files\x.exe" can never start C:\Program.exe.
static void AppendName(char *commandLine, size_t size, const char *name)
{
    int quote = NeedsQuotes(name);
    if (quote)
        AppendText(commandLine, size, "\"");
    AppendText(commandLine, size, name);
    if (quote)
        AppendText(commandLine, size, "\"");
}

// Waits for the started program and takes its exit status.
static int WaitForProgram(HANDLE process)
{
    DWORD status;
    if (g_win32s) {
        // Win32s cannot wait on a process handle: poll its exit status.
        Sleep(POLL_FIRST_PAUSE);
        for (;;) {
            if (!GetExitCodeProcess(process, &status))
                return -1;
            if (status != STILL_ACTIVE)
                return (int)status;
            Sleep(POLL_PAUSE);
        }
    }
    if (WaitForSingleObject(process, INFINITE) == WAIT_FAILED)
        return -1;
    if (!GetExitCodeProcess(process, &status))
        return -1;
    return (int)status;
}

// Starts one candidate: the program itself or, when batch is given, the
// interpreter that runs it. The program inherits the open install log.
static StartOutcome StartCandidate(const char *candidate, const char *batch, const char *secondary,
                                   int *result)
{
    char commandLine[MESSAGE_SIZE];
    commandLine[0] = '\0';
    AppendName(commandLine, sizeof(commandLine), candidate);
    // The interpreter takes away the first and the last double quote of what
    // follows /c unless it holds just one quoted name; a quoted batch file
    // name therefore goes inside one more pair, with its arguments.
    int wrap = batch != NULL && NeedsQuotes(batch);
    if (batch != NULL) {
        AppendText(commandLine, sizeof(commandLine), wrap ? " /c \"" : " /c ");
        AppendName(commandLine, sizeof(commandLine), batch);
    }
    AppendText(commandLine, sizeof(commandLine), " ");
    AppendText(commandLine, sizeof(commandLine), secondary);
    if (wrap)
        AppendText(commandLine, sizeof(commandLine), "\"");

    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process))
        return IsMissingForStart(GetLastError()) ? START_NOT_FOUND : START_FAILED;

    *result = WaitForProgram(process.hProcess);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return START_DONE;
}

// Starts name + suffix; START_DONE sets *result.
static StartOutcome StartWithSuffix(const char *name, const char *suffix, const char *batch,
                                    const char *secondary, int *result)
{
    char candidate[PATH_SIZE];
    CopyText(candidate, sizeof(candidate), name);
    if (!AppendText(candidate, sizeof(candidate), suffix))
        return START_NOT_FOUND;
    return StartCandidate(candidate, batch, secondary, result);
}

// Starts the executable file, as it is named when that name has an
// extension other than ".bat", else, or when that is not found, with .com
// and then .exe added: the program itself, or with batch given the
// interpreter that runs that batch file. START_DONE sets *result.
static StartOutcome StartExecutable(const char *executable, const char *batch, const char *secondary,
                                    int *result)
{
    const char *extension = ExtensionOf(executable);
    if (extension[0] != '\0' && !TextEqualNoCase(extension, kBatchExtension)) {
        StartOutcome outcome = StartCandidate(executable, batch, secondary, result);
        if (outcome != START_NOT_FOUND)
            return outcome;
    }
    for (size_t i = 0; i < sizeof(kSuffixes) / sizeof(kSuffixes[0]); i++) {
        StartOutcome outcome = StartWithSuffix(executable, kSuffixes[i], batch, secondary, result);
        if (outcome != START_NOT_FOUND)
            return outcome;
    }
    return START_NOT_FOUND;
}

// A batch file runs through the interpreter that COMSPEC names; without one
// it cannot run at all. An interpreter that is itself a batch file is
// refused: running a batch file never nests.
static int RunBatchFile(const char *batch, const char *secondary)
{
    char interpreter[PATH_SIZE];
    DWORD length = GetEnvironmentVariableA("COMSPEC", interpreter, sizeof(interpreter));
    if (length == 0 || length >= sizeof(interpreter) || TextEqualNoCase(ExtensionOf(interpreter), kBatchExtension))
        return -1;
    int result = -1;
    return StartExecutable(interpreter, batch, secondary, &result) == START_DONE ? result : -1;
}

// Finds and runs the program: a batch file through the interpreter, any
// other name as StartExecutable tries it, and last the name with .bat added.
static int RunProgram(const char *program, const char *secondary)
{
    if (TextEqualNoCase(ExtensionOf(program), kBatchExtension)) {
        if (GetFileAttributesA(program) != INVALID_FILE_ATTRIBUTES)
            return RunBatchFile(program, secondary);
        if (!IsMissingForExistence(GetLastError()))
            return -1;
    }
    int result = -1;
    StartOutcome outcome = StartExecutable(program, NULL, secondary, &result);
    if (outcome != START_NOT_FOUND)
        return outcome == START_DONE ? result : -1;
    char batch[PATH_SIZE];
    CopyText(batch, sizeof(batch), program);
    if (AppendText(batch, sizeof(batch), kBatchExtension) && GetFileAttributesA(batch) != INVALID_FILE_ATTRIBUTES)
        return RunBatchFile(batch, secondary);
    return -1;
}

int RunCustomProgram(const char *primary, const char *secondary)
{
    return RunProgram(primary, secondary);
}
