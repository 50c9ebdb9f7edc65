// The simulated world's state, shared by the files of the simulation.
#ifndef TESTS_SIM_WORLD_H
#define TESTS_SIM_WORLD_H

#include "sim.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace sim {
namespace detail {

struct Node {
    unsigned long long id = 0;   // the file index, for as long as the item lives
    std::string name;        // long name as created
    std::string shortName;   // 8.3 alias
    bool isDir = false;
    std::string content;
    unsigned long long written = 0;   // last write time, in the world's clock
    std::vector<std::unique_ptr<Node>> children;
    Node *parent = nullptr;
    int heldByOthers = 0;    // opened by other processes
    DWORD heldShare = 0;     // what those processes share
    int openCount = 0;       // opened by the program (its handles say what each open shares)
    DWORD releaseAfterSleep = 0;   // a hold by others that ends once the program has slept this long
    DWORD attributes = 0;    // read-only, hidden, system: what SetFileAttributesA keeps
    bool loadedImage = false;   // a DLL or program another process runs from it
};

struct Key {
    std::string name;         // as created
    std::string linkTarget;   // a symbolic link's target, a key path under HKEY_LOCAL_MACHINE
    std::map<std::string, std::unique_ptr<Key>> subkeys;   // by upper-case name
    std::map<std::string, std::pair<std::string, RegValue>> values;   // upper-case -> (name, value)
};

enum HandleKind { HANDLE_FILE, HANDLE_THREAD, HANDLE_PROCESS, HANDLE_TOKEN, HANDLE_MAPPING, HANDLE_SEARCH };

struct HandleObject {
    HandleKind kind;
    Node *node = nullptr;
    unsigned long long position = 0;
    std::string path;
    DWORD access = 0;
    DWORD exitCode = 0;         // a process's exit status
    int stillActiveReads = 0;   // reads that still find the process running
    DWORD thread = 0;           // the program's thread a thread handle stands for
    DWORD share = 0;            // what a file's open shares with others
    std::vector<std::pair<std::string, std::string>> entries;   // a search's names still to give: long, short
};

struct Program {
    std::function<DWORD(const ProgramRun &)> run;
    int stillActiveReads = 0;
};

struct Window {
    WindowState state;
    DWORD style = 0;
    DLGPROC proc = nullptr;
    bool modal = false;
    INT_PTR result = 0;
    LONG_PTR messageResult = 0;   // DWLP_MSGRESULT
};

// A named file mapping in the paging file, by its name as given.
struct NamedMapping {
    std::vector<unsigned char> data;
    int programHandles = 0;
    bool heldByOthers = false;
};

// Another process's top-level window.
struct OtherWindow {
    HWND hwnd;
    DWORD processId;
    bool visible;
    bool iconic;
};

struct SentTask {
    std::function<void()> run;
    bool done = false;
};

struct ThreadQueue {
    bool ended = false;   // the thread has returned
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentTask>> sent;
    bool quitPending = false;
    int quitCode = 0;
};

struct FaultRule {
    std::string function;   // empty: any function (with nthCall)
    DWORD error;
    int occurrence;         // 1-based among matching calls; 0: every one
    std::string firstArgument;
    int nthCall;            // 1-based index of the run's calls; 0: unused
    int seen = 0;
};

struct World {
    std::recursive_mutex mutex;
    std::condition_variable_any changed;

    std::vector<Call> calls;
    std::vector<FaultRule> faults;
    int endAtCall = 0;      // 1-based index of the call that ends the run; 0: none
    bool runEnded = false;

    std::unique_ptr<Node> drives;   // children are drive roots such as "C:"
    unsigned long long fileClock = 0;   // ticks once per file write
    unsigned long long nextNodeId = 0;
    std::string startDirectory;     // the folder the program is started in, a long path
    std::string currentDirectory;   // its current folder
    std::map<std::string, Program> programs;
    std::function<bool(const std::string &)> programManager;
    DWORD programManagerAnswerMs = 0;
    std::vector<std::string> ddeExecuteData;
    std::map<uintptr_t, std::string> ddeObjects;   // instances, strings, conversations, data
    std::map<uintptr_t, uintptr_t> ddeOwners;      // the instance each object belongs to
    std::set<uintptr_t> endedDdeInstances;         // instances of processes that EndProcess ended
    uintptr_t nextDdeObject = 0x100;   // by upper-case long path
    std::vector<ProgramRun> programRuns;

    std::map<HKEY, std::unique_ptr<Key>> roots;
    std::map<HKEY, Key *> openKeys;

    std::map<HANDLE, HandleObject> handles;
    uintptr_t nextHandle = 0x1000;

    std::map<HWND, std::unique_ptr<Window>> windows;
    std::map<std::string, DialogTemplate> templates;
    std::vector<OtherWindow> otherWindows;   // above the program's, in Z order
    HWND foreground = nullptr;
    uintptr_t nextWindow = 0x10000;
    int screenWidth = 1024;
    int screenHeight = 768;
    std::function<void(HWND, const std::string &)> modalHandler;

    std::vector<MessageBoxRecord> boxes;
    std::function<int(const MessageBoxRecord &)> boxHandler;

    std::map<DWORD, ThreadQueue> queues;
    bool loseQuitMessages = false;
    std::vector<std::thread> threads;
    DWORD mainThread = 0;
    DWORD nextThreadId = 100;

    std::string moduleFileName;
    std::string windowsDirectory;
    std::string systemDirectory;
    DWORD processId = 0x1A4;
    std::map<std::string, NamedMapping> mappings;
    std::map<void *, std::string> views;   // mapped views, by address
    bool sessionNamespaces = true;         // "Global\\" names are understood
    DWORD version = 0x1DB10106;   // Windows 7 SP1, NT family
    UINT codePage = 1252;         // the ANSI code page
    std::map<std::string, std::pair<std::string, std::string>> environment;
    bool hasDefaultDllDirectories = true;
    bool hasShutdownBlockReason = true;
    std::vector<std::string> loadedLibraries;
    bool commonControlsLoaded = false;
    bool shutdownPrivilege = false;   // enabled in the process's token
    std::vector<ExitRequest> exitRequests;
};

World &TheWorld();
std::unique_lock<std::recursive_mutex> Lock();

// Records a call and tells whether it must fail: the error to report, or 0.
// A call on a handle of an open file records the file and its position, or
// readAt for a read at an offset.
// Throws RunEnded at the call that ends the run and at every later one.
DWORD Enter(const char *function, std::vector<std::string> args, HANDLE file = nullptr,
            const unsigned long long *readAt = nullptr);

// Enter for the calls that report failure through the last error: when the
// call must fail, sets the last error to the chosen one and returns true.
bool CallFails(const char *function, std::vector<std::string> args, HANDLE file = nullptr,
               const unsigned long long *readAt = nullptr);

// Whether c begins a double-byte character in the world's ANSI code page.
bool IsLeadByte(unsigned char c);

// The bytes of the character at text[at]: 2 for a double-byte one, else 1.
size_t CharSize(const std::string &text, size_t at);

// The first c at or after start that is a character of its own, not the
// second byte of a double-byte one; npos when there is none.
size_t FindChar(const std::string &text, char c, size_t start = 0);

// The last character of text that is one of chars; npos when there is none.
size_t FindLastOf(const std::string &text, const char *chars);

std::string Str(const char *text);
std::string Num(unsigned long long value);
std::string Hex(unsigned long long value);
using sim::Upper;

// Thread identity and last error.
DWORD CurrentThread();
void SetCurrentThread(DWORD id);
void SetError(DWORD error);

// Throws RunEnded when the run has been ended (world locked by the caller):
// for the waits of a thread, which the end must break.
void LeaveIfEnded();

// Closes the registry keys the program holds open (world locked).
void CloseOpenKeys();

// The program's handle of a named mapping is closed, or all of them as its
// process ends (world locked); a mapping nobody holds goes.
void ReleaseMapping(const std::string &name);
void ReleaseAllMappings();

// Reports a run that can never end (a deadlock) and stops the test program.
[[noreturn]] void Hang(const std::string &what);

// File system helpers (world locked by the caller).
struct PathLookup {
    Node *node = nullptr;     // the item, when it exists
    Node *parent = nullptr;   // its directory, when that exists
    std::string lastName;     // the last component
    DWORD error = 0;          // why the item is missing
    // A file named with a separator after its name ("C:\\a\\file.txt\\"):
    // Windows takes the name for a folder's and finds nothing there, nor
    // makes anything (node and parent stay NULL, error ERROR_INVALID_NAME),
    // but for the short path.
    Node *fileNamedAsFolder = nullptr;
};
PathLookup LookUp(const std::string &path);
Node *CreateNode(Node *parent, const std::string &name, bool isDir);
// Replaces a file's content, as a write does: its write time moves on.
void WriteContent(Node *node, std::string content);
void RemoveNode(Node *node);
// What GetFileAttributesA reports for the item.
DWORD ItemAttributes(const Node *node);
std::string LongPathOf(const Node *node);
std::string ShortPathOf(const Node *node);

HANDLE AddHandle(const HandleObject &object);

// The program slept: holds by others that last only so long end.
void PassSleep(DWORD milliseconds);

// Runs fn on the window's own thread, as Windows does for a window call made
// from another thread, and waits for it.
void RunOnWindowThread(Window *window, const std::function<void()> &fn);

// USER32's calls of Windows Vista and later, which GetProcAddress gives.
BOOL WINAPI SimShutdownBlockReasonCreate(HWND window, LPCWSTR reason);
BOOL WINAPI SimShutdownBlockReasonDestroy(HWND window);
Window *FindWindowLocked(HWND hwnd);

}  // namespace detail
}  // namespace sim

#endif
