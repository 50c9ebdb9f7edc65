// Simulated programs and processes. A started program runs at once, on the
// starting thread; waiting for it then returns at once with its status.
#include "world.h"

namespace sim {
namespace detail {

static bool HasExtension(const std::string &name)
{
    size_t slash = FindLastOf(name, "\\/");
    size_t dot = FindLastOf(name, ".");
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

static std::string DirectoryOf(const std::string &path)
{
    size_t slash = FindLastOf(path, "\\");
    return slash == std::string::npos ? "C:\\" : path.substr(0, slash);
}

// Finds the file a command line's program name stands for, as CreateProcess
// does: ".exe" is added to a name without an extension, and a name without
// a directory is looked for in the program's folder, the current folder,
// the system folder and the Windows folder.
static Node *ResolveProgram(const std::string &name, DWORD *error)
{
    std::string file = HasExtension(name) ? name : name + ".exe";
    World &w = TheWorld();
    std::vector<std::string> places;
    if (file.find_first_of("\\/:") == std::string::npos) {
        for (const std::string &dir : {DirectoryOf(w.moduleFileName), std::string("C:\\"), w.systemDirectory,
                                       w.windowsDirectory})
            places.push_back(dir + "\\" + file);
    } else {
        places.push_back(file);
    }
    *error = ERROR_FILE_NOT_FOUND;
    for (const std::string &place : places) {
        PathLookup found = LookUp(place);
        if (found.node != nullptr && found.node->isDir) {
            *error = ERROR_ACCESS_DENIED;
            return nullptr;
        }
        if (found.node != nullptr)
            return found.node;
        *error = found.error;
    }
    return nullptr;
}

// The program at the start of a command line: a quoted name ends at its
// closing quote; an unquoted one is tried up to each blank in turn, so
// "C:\My Apps\x.exe" may start C:\My.exe.
static Node *ProgramOfCommandLine(const std::string &commandLine, DWORD *error)
{
    if (!commandLine.empty() && commandLine[0] == '"') {
        size_t end = commandLine.find('"', 1);
        return ResolveProgram(commandLine.substr(1, end == std::string::npos ? std::string::npos : end - 1),
                              error);
    }
    DWORD firstError = 0;
    size_t end = 0;
    for (;;) {
        end = commandLine.find_first_of(" \t", end);
        std::string name = commandLine.substr(0, end);
        DWORD e;
        if (Node *node = ResolveProgram(name, &e))
            return node;
        if (firstError == 0)
            firstError = e;
        if (end == std::string::npos)
            break;
        end++;
    }
    *error = firstError;
    return nullptr;
}

}  // namespace detail

using namespace detail;

void ResetPrograms()
{
    TheWorld().programs.clear();
    TheWorld().programRuns.clear();
}

void AddProgram(const std::string &path, std::function<DWORD(const ProgramRun &)> run, int stillActiveReads)
{
    AddFile(path, "MZ");
    auto lock = Lock();
    TheWorld().programs[Upper(LongPathOf(LookUp(path).node))] = Program{std::move(run), stillActiveReads};
}

std::vector<ProgramRun> ProgramRuns()
{
    auto lock = Lock();
    return TheWorld().programRuns;
}

}  // namespace sim

using namespace sim;
using namespace sim::detail;

BOOL WINAPI CreateProcessA(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES processSecurity,
                           LPSECURITY_ATTRIBUTES threadSecurity, BOOL inheritHandles, DWORD flags,
                           LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                           LPPROCESS_INFORMATION processInformation)
{
    std::string startup = startupInfo == nullptr ? "(null)"
                          : startupInfo->cb == sizeof(STARTUPINFOA) && startupInfo->dwFlags == 0
                              ? "defaults"
                              : "custom";
    if (CallFails("CreateProcessA", {Str(application), Str(commandLine),
                                     processSecurity ? "security" : "(null)",
                                     threadSecurity ? "security" : "(null)", Num(inheritHandles), Hex(flags),
                                     environment ? "environment" : "(null)", Str(currentDirectory),
                                     startup}))
        return FALSE;
    ProgramRun run;
    Program program;
    {
        auto lock = Lock();
        World &w = TheWorld();
        DWORD error = 0;
        Node *file = ProgramOfCommandLine(commandLine, &error);
        if (file == nullptr) {
            SetError(error);
            return FALSE;
        }
        auto found = w.programs.find(Upper(LongPathOf(file)));
        if (found == w.programs.end()) {
            SetError(ERROR_BAD_EXE_FORMAT);
            return FALSE;
        }
        program = found->second;
        run = ProgramRun{LongPathOf(file), commandLine, inheritHandles != 0, {}};
        if (inheritHandles)
            for (auto &h : w.handles)
                if (h.second.kind == HANDLE_FILE)
                    run.openLogHandles.push_back(h.second.path);
        w.programRuns.push_back(run);
    }
    DWORD status = program.run ? program.run(run) : 0;
    HandleObject process{HANDLE_PROCESS, nullptr, 0, run.path, 0, status, program.stillActiveReads};
    processInformation->hProcess = AddHandle(process);
    processInformation->hThread = AddHandle(HandleObject{HANDLE_THREAD, nullptr, 0, run.path, 0});
    processInformation->dwProcessId = 4000;
    processInformation->dwThreadId = 4004;
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE object, DWORD milliseconds)
{
    if (CallFails("WaitForSingleObject", {Hex((uintptr_t)object), Hex(milliseconds)}))
        return WAIT_FAILED;
    auto lock = Lock();
    auto it = TheWorld().handles.find(object);
    if (it == TheWorld().handles.end() || it->second.kind == HANDLE_FILE) {
        SetError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    it->second.stillActiveReads = 0;
    return WAIT_OBJECT_0;
}

BOOL WINAPI GetExitCodeProcess(HANDLE process, LPDWORD exitCode)
{
    if (CallFails("GetExitCodeProcess", {Hex((uintptr_t)process)}))
        return FALSE;
    auto lock = Lock();
    auto it = TheWorld().handles.find(process);
    if (it == TheWorld().handles.end() || it->second.kind != HANDLE_PROCESS) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (it->second.stillActiveReads > 0) {
        it->second.stillActiveReads--;
        *exitCode = STILL_ACTIVE;
    } else {
        *exitCode = it->second.exitCode;
    }
    return TRUE;
}
