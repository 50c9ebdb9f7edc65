// The simulation's bookkeeping: the world, call records, injected failures,
// thread identities, last errors, modules and system facts.
#include "world.h"

#include "support/machine_names.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sim {
namespace detail {

static thread_local DWORD t_threadId = 0;
static thread_local DWORD t_lastError = 0;

World &TheWorld()
{
    static World *world = new World();
    return *world;
}

std::unique_lock<std::recursive_mutex> Lock()
{
    return std::unique_lock<std::recursive_mutex>(TheWorld().mutex);
}

std::string Str(const char *text)
{
    if (text == nullptr)
        return "(null)";
    if (IS_INTRESOURCE(text))
        return "#" + std::to_string((unsigned)(uintptr_t)text);
    return text;
}

std::string Num(unsigned long long value)
{
    return std::to_string(value);
}

std::string Hex(unsigned long long value)
{
    char buf[32];
    snprintf(buf, sizeof(buf), "0x%llX", value);
    return buf;
}

bool IsLeadByte(unsigned char c)
{
    switch (TheWorld().codePage) {
    case 932:
        return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    case 936:
    case 949:
    case 950:
        return c >= 0x81 && c <= 0xFE;
    }
    return false;
}

size_t CharSize(const std::string &text, size_t at)
{
    return at + 1 < text.size() && IsLeadByte((unsigned char)text[at]) ? 2 : 1;
}

size_t FindChar(const std::string &text, char c, size_t start)
{
    for (size_t i = start; i < text.size(); i += CharSize(text, i))
        if (text[i] == c)
            return i;
    return std::string::npos;
}

size_t FindLastOf(const std::string &text, const char *chars)
{
    size_t last = std::string::npos;
    for (size_t i = 0; i < text.size(); i += CharSize(text, i))
        if (strchr(chars, text[i]) != nullptr && text[i] != '\0')
            last = i;
    return last;
}

DWORD CurrentThread()
{
    if (t_threadId == 0) {
        auto lock = Lock();
        t_threadId = TheWorld().nextThreadId++;
    }
    return t_threadId;
}

void SetCurrentThread(DWORD id)
{
    t_threadId = id;
}

void SetError(DWORD error)
{
    t_lastError = error;
}

void Hang(const std::string &what)
{
    fprintf(stderr, "simulated Windows: the program hangs: %s\n", what.c_str());
    fflush(stderr);
    abort();
}

void LeaveIfEnded()
{
    if (TheWorld().runEnded)
        throw RunEnded();
}

DWORD Enter(const char *function, std::vector<std::string> args, HANDLE file, const unsigned long long *readAt)
{
    auto lock = Lock();
    World &w = TheWorld();
    LeaveIfEnded();
    w.calls.push_back(Call{function, std::move(args), CurrentThread(), 0, "", 0, false});
    int index = (int)w.calls.size();
    if (index == w.endAtCall) {
        w.runEnded = true;
        w.changed.notify_all();
        throw RunEnded();
    }
    Call &call = w.calls.back();
    auto handle = file != nullptr ? w.handles.find(file) : w.handles.end();
    if (handle != w.handles.end() && handle->second.kind == HANDLE_FILE) {
        call.file = handle->second.path;
        call.position = readAt != nullptr ? *readAt : handle->second.position;
        call.atEnd = call.position >= handle->second.node->content.size();
        call.fileAccess = handle->second.access;
    }
    for (FaultRule &rule : w.faults) {
        if (rule.nthCall != 0) {
            if (rule.nthCall == index)
                return call.failedWith = rule.error;
            continue;
        }
        if (rule.function != function)
            continue;
        if (!rule.firstArgument.empty() &&
            (call.args.empty() || Upper(call.args[0]) != Upper(rule.firstArgument)))
            continue;
        rule.seen++;
        if (rule.occurrence == 0 || rule.occurrence == rule.seen)
            return call.failedWith = rule.error;
    }
    return 0;
}

bool CallFails(const char *function, std::vector<std::string> args, HANDLE file, const unsigned long long *readAt)
{
    DWORD error = Enter(function, std::move(args), file, readAt);
    if (error != 0)
        SetError(error);
    return error != 0;
}

}  // namespace detail

using namespace detail;

std::string Upper(std::string text)
{
    for (size_t i = 0; i < text.size(); i += CharSize(text, i))
        if (text[i] >= 'a' && text[i] <= 'z')
            text[i] = (char)(text[i] - 'a' + 'A');
    return text;
}

void JoinThreads()
{
    for (;;) {
        std::vector<std::thread> threads;
        {
            auto lock = Lock();
            threads.swap(TheWorld().threads);
        }
        if (threads.empty())
            return;
        for (std::thread &t : threads)
            t.join();
    }
}

void ResetFiles();
void ResetPrograms();
void ResetDde();
void ResetRegistry();
void ResetWindows();

void Reset()
{
    JoinThreads();
    auto lock = Lock();
    World &w = TheWorld();
    w.calls.clear();
    w.faults.clear();
    w.endAtCall = 0;
    w.runEnded = false;
    w.handles.clear();
    w.nextHandle = 0x1000;
    w.queues.clear();
    w.moduleFileName = EXE_PATH;
    w.windowsDirectory = SIM_WINDOWS_DIR;
    w.systemDirectory = SIM_SYSTEM_DIR;
    w.version = 0x1DB10106;
    w.codePage = 1252;
    w.environment.clear();
    w.environment["COMSPEC"] = {"COMSPEC", SIM_COMSPEC};
    w.hasDefaultDllDirectories = true;
    w.hasShutdownBlockReason = true;
    w.loadedLibraries.clear();
    w.commonControlsLoaded = false;
    w.shutdownPrivilege = false;
    w.exitRequests.clear();
    w.mappings.clear();
    w.views.clear();
    w.sessionNamespaces = true;
    ResetFiles();
    ResetPrograms();
    ResetDde();
    ResetRegistry();
    ResetWindows();
    w.mainThread = CurrentThread();
}

std::vector<Call> Calls()
{
    auto lock = Lock();
    return TheWorld().calls;
}

std::vector<Call> CallsTo(const std::string &function)
{
    std::vector<Call> out;
    for (const Call &c : Calls())
        if (c.function == function)
            out.push_back(c);
    return out;
}

void FailCall(const std::string &function, DWORD error, int occurrence,
              const std::string &firstArgument)
{
    auto lock = Lock();
    TheWorld().faults.push_back(FaultRule{function, error, occurrence, firstArgument, 0});
}

void FailNthCall(int n, DWORD error)
{
    auto lock = Lock();
    TheWorld().faults.push_back(FaultRule{"", error, 0, "", n});
}

void EndRunAtCall(int n)
{
    auto lock = Lock();
    TheWorld().endAtCall = n;
}

void EndProcess()
{
    JoinThreads();
    auto lock = Lock();
    World &w = TheWorld();
    for (auto &h : w.handles)
        if (h.second.kind == HANDLE_FILE && h.second.node != nullptr)
            h.second.node->openCount--;
    w.handles.clear();
    ReleaseAllMappings();
    CloseOpenKeys();
    for (auto &d : w.ddeObjects)
        if (d.second == "dde instance")
            w.endedDdeInstances.insert(d.first);
    w.ddeObjects.clear();
    w.ddeOwners.clear();
    w.ddeExecuteData.clear();
    w.programRuns.clear();
    w.windows.clear();
    w.boxes.clear();
    w.queues.clear();
    w.loadedLibraries.clear();
    w.commonControlsLoaded = false;
    w.shutdownPrivilege = false;
    w.exitRequests.clear();
    w.currentDirectory = w.startDirectory;
    w.calls.clear();
    w.faults.clear();
    w.endAtCall = 0;
    w.runEnded = false;
    w.mainThread = CurrentThread();
}

void ClearFailures()
{
    auto lock = Lock();
    TheWorld().faults.clear();
}

std::vector<HandleInfo> OpenHandleInfos()
{
    auto lock = Lock();
    World &w = TheWorld();
    std::vector<HandleInfo> out;
    static const char *kinds[] = {"file", "thread", "process", "token", "mapping", "search"};
    for (auto &h : w.handles)
        out.push_back({std::string(kinds[h.second.kind]) + " " + h.second.path, Hex((uintptr_t)h.first)});
    for (auto &v : w.views)
        out.push_back({"view of " + v.second, Hex((uintptr_t)v.first)});
    for (auto &k : w.openKeys)
        out.push_back({"registry key", Hex((uintptr_t)k.first)});
    for (auto &d : w.ddeObjects)
        if (d.second.compare(0, 5, "data ") != 0)
            out.push_back({d.second, Hex(d.first)});
    return out;
}

std::vector<std::string> OpenHandles()
{
    std::vector<std::string> out;
    for (const HandleInfo &h : OpenHandleInfos())
        out.push_back(h.what);
    return out;
}

DWORD MainThreadId()
{
    auto lock = Lock();
    return TheWorld().mainThread;
}

void SetModuleFileName(const std::string &path)
{
    auto lock = Lock();
    TheWorld().moduleFileName = path;
}

void SetVersion(DWORD version)
{
    auto lock = Lock();
    TheWorld().version = version;
}

void SetCodePage(UINT codePage)
{
    auto lock = Lock();
    TheWorld().codePage = codePage;
}

void SetEnvironmentVariable(const std::string &name, const std::optional<std::string> &value)
{
    auto lock = Lock();
    if (value)
        TheWorld().environment[Upper(name)] = {name, *value};
    else
        TheWorld().environment.erase(Upper(name));
}

void SetHasDefaultDllDirectories(bool present)
{
    auto lock = Lock();
    TheWorld().hasDefaultDllDirectories = present;
}

std::vector<std::string> LoadedLibraries()
{
    auto lock = Lock();
    return TheWorld().loadedLibraries;
}

}  // namespace sim

using namespace sim::detail;

DWORD WINAPI GetLastError(void)
{
    return sim::detail::t_lastError;
}

void WINAPI SetLastError(DWORD error)
{
    sim::detail::t_lastError = error;
}

// As GetCurrentThreadId: not recorded, never failed.
DWORD WINAPI GetCurrentProcessId(void)
{
    auto lock = Lock();
    return TheWorld().processId;
}

DWORD WINAPI GetCurrentThreadId(void)
{
    return CurrentThread();
}

// A pure function of the code page, as on Windows: not recorded, never failed.
BOOL WINAPI IsDBCSLeadByte(BYTE c)
{
    auto lock = Lock();
    return IsLeadByte(c);
}

DWORD WINAPI GetVersion(void)
{
    Enter("GetVersion", {});
    auto lock = Lock();
    return TheWorld().version;
}

void WINAPI Sleep(DWORD milliseconds)
{
    Enter("Sleep", {Num(milliseconds)});
    sim::detail::PassSleep(milliseconds);
    std::this_thread::yield();
}

DWORD WINAPI GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size)
{
    if (CallFails("GetEnvironmentVariableA", {Str(name), Num(size)}))
        return 0;
    auto lock = Lock();
    auto it = TheWorld().environment.find(Upper(name));
    if (it == TheWorld().environment.end()) {
        SetError(203);   // ERROR_ENVVAR_NOT_FOUND
        return 0;
    }
    const std::string &value = it->second.second;
    if (value.size() + 1 > size)
        return (DWORD)value.size() + 1;
    memcpy(buffer, value.c_str(), value.size() + 1);
    return (DWORD)value.size();
}

static const HMODULE kKernel32 = (HMODULE)0x7A000000;
static const HMODULE kAdvapi32 = (HMODULE)0x7B000000;
static const HMODULE kComctl32 = (HMODULE)0x7C000000;
static const HMODULE kUser32 = (HMODULE)0x7D000000;
static const HMODULE kMainModule = (HMODULE)0x00400000;

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR name, DWORD size)
{
    if (CallFails("GetModuleFileNameA", {Hex((uintptr_t)module), Num(size)}))
        return 0;
    auto lock = Lock();
    const std::string &path = TheWorld().moduleFileName;
    if (size == 0) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() + 1 > size) {
        // Cut and terminated, with the buffer's size as result.
        memcpy(name, path.c_str(), size - 1);
        name[size - 1] = '\0';
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    memcpy(name, path.c_str(), path.size() + 1);
    return (DWORD)path.size();
}

static std::string BaseName(const std::string &name)
{
    size_t slash = name.find_last_of("\\/");
    return Upper(slash == std::string::npos ? name : name.substr(slash + 1));
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name)
{
    if (CallFails("GetModuleHandleA", {Str(name)}))
        return nullptr;
    if (name == nullptr)
        return kMainModule;
    std::string base = BaseName(name);
    if (base == "KERNEL32.DLL" || base == "KERNEL32")
        return kKernel32;
    if (base == "ADVAPI32.DLL" || base == "ADVAPI32")
        return kAdvapi32;
    if (base == "USER32.DLL" || base == "USER32")
        return kUser32;
    auto lock = Lock();
    if ((base == "COMCTL32.DLL" || base == "COMCTL32") && TheWorld().commonControlsLoaded)
        return kComctl32;
    SetError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

HMODULE WINAPI LoadLibraryA(LPCSTR name)
{
    if (CallFails("LoadLibraryA", {Str(name)}))
        return nullptr;
    auto lock = Lock();
    World &w = TheWorld();
    w.loadedLibraries.push_back(name);
    std::string base = BaseName(name);
    if (base == "COMCTL32.DLL" || base == "COMCTL32") {
        w.commonControlsLoaded = true;
        return kComctl32;
    }
    if (base == "KERNEL32.DLL")
        return kKernel32;
    if (base == "ADVAPI32.DLL")
        return kAdvapi32;
    SetError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

static BOOL WINAPI SimSetDefaultDllDirectories(DWORD flags)
{
    if (CallFails("SetDefaultDllDirectories", {Hex(flags)}))
        return FALSE;
    return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name)
{
    if (CallFails("GetProcAddress", {Hex((uintptr_t)module), Str(name)}))
        return nullptr;
    auto lock = Lock();
    std::string fn = name ? name : "";
    if (module == kKernel32 && fn == "SetDefaultDllDirectories" &&
        TheWorld().hasDefaultDllDirectories)
        return (FARPROC)(void *)&SimSetDefaultDllDirectories;
    if (module == kAdvapi32) {
        if (fn == "OpenProcessToken")
            return (FARPROC)(void *)&OpenProcessToken;
        if (fn == "LookupPrivilegeValueA")
            return (FARPROC)(void *)&LookupPrivilegeValueA;
        if (fn == "AdjustTokenPrivileges")
            return (FARPROC)(void *)&AdjustTokenPrivileges;
    }
    if (module == kUser32 && TheWorld().hasShutdownBlockReason) {
        if (fn == "ShutdownBlockReasonCreate")
            return (FARPROC)(void *)&SimShutdownBlockReasonCreate;
        if (fn == "ShutdownBlockReasonDestroy")
            return (FARPROC)(void *)&SimShutdownBlockReasonDestroy;
    }
    SetError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}
