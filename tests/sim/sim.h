// Control of the simulated Windows, for tests: the state of the world
// (files, registry, windows, message boxes), a record of every platform call
// and a way to make any call fail with a chosen error code.
//
// The simulation is test code. Product code never includes this header; it
// calls the Win32 functions declared by platform/platform.h.
#ifndef TESTS_SIM_SIM_H
#define TESTS_SIM_SIM_H

#include "platform/platform.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// Empties the world and makes the calling thread the program's main thread.
// Joins every thread a previous run started.
void Reset();

// Waits for every thread the program started to end.
void JoinThreads();

// ---- Calls and failures -------------------------------------------------

struct Call {
    std::string function;
    std::vector<std::string> args;
    DWORD thread;
    DWORD failedWith;   // the error of an injected failure; 0 when the call ran
    // For a call on an open file (ReadFile, SetFilePointer, CloseHandle):
    // the file's path and the read position when the call was made (for a
    // read at an offset, that offset), and whether it was the file's end.
    std::string file;
    unsigned long long position = 0;
    bool atEnd = false;
    DWORD fileAccess = 0;   // the access the file was opened with
};

// Every platform call the program made since Reset, in order.
std::vector<Call> Calls();
std::vector<Call> CallsTo(const std::string &function);

// Makes calls to function fail with error: the occurrence-th call (counting
// from 1), or every call when occurrence is 0. A non-empty argument makes the
// rule apply only to calls whose first argument equals it.
void FailCall(const std::string &function, DWORD error, int occurrence = 0,
              const std::string &firstArgument = "");

// Makes the n-th platform call of the run (counting from 1) fail with error.
void FailNthCall(int n, DWORD error);

void ClearFailures();

// ---- Ending the program ------------------------------------------------------

// Thrown out of the platform call at which the run ends (EndRunAtCall) and
// out of every later one, on every thread of the program, so that nothing
// the program would do after that point reaches the world.
struct RunEnded {};

// Ends the run at its n-th platform call (counting from 1), as when the
// process is killed just before that call: neither it nor any later call
// happens.
void EndRunAtCall(int n);

// Ends the program's process as Windows ends a killed one: its threads are
// joined; its handles, registry keys, DDE objects, windows and message
// queues go; the call records, boxes and failures are cleared. Files, the
// registry, deletions scheduled for the restart, programs, Program Manager,
// dialog templates and the user's answers stay: the program can run again
// on the world it left.
void EndProcess();

// ---- Files ---------------------------------------------------------------

// Creates a file (and its missing parent directories).
void AddFile(const std::string &path, const std::string &content = "");
void AddDir(const std::string &path);
bool FileExists(const std::string &path);
bool DirExists(const std::string &path);
std::string FileContent(const std::string &path);
// The 8.3 form of an existing path, as GetShortPathNameA gives it.
std::string ShortPath(const std::string &path);
// Every file and directory under root (its long paths), root excluded.
std::vector<std::string> ListTree(const std::string &root);

// Another process opens the file (or folder), sharing it as share says
// (FILE_SHARE_... bits): without FILE_SHARE_READ the program cannot open it
// for reading, without FILE_SHARE_DELETE it cannot delete or rename it,
// until ReleaseFile, or, with forMilliseconds, until the program has slept
// that long in all (a virus scanner reading it for a moment).
void HoldFile(const std::string &path, DWORD share = 0, DWORD forMilliseconds = 0);
void ReleaseFile(const std::string &path);

// The attributes that SetFileAttributesA keeps (FILE_ATTRIBUTE_READONLY,
// _HIDDEN, _SYSTEM); GetFileAttributesA adds _DIRECTORY or _ARCHIVE.
void SetAttributes(const std::string &path, DWORD attributes);
DWORD Attributes(const std::string &path);

// Another process loads the file as a DLL (or runs it as a program): until
// the world is reset it cannot be deleted, though it can be renamed, and it
// keeps that state under its new name.
void LoadImage(const std::string &path);

// Items registered for deletion at the next restart with MoveFileExA, as
// Windows NT keeps them: in the session manager's PendingFileRenameOperations
// value, which the registry functions read and write like any other.
std::vector<std::string> PendingDeletes();

// The folder the program is started in (C:\ until set), in which relative
// paths start; Windows removes no folder that is a process's current one.
void SetCurrentFolder(const std::string &path);
// The program's current folder now.
std::string CurrentFolder();

// The long path of the item that path names, as the file functions resolve
// it (case, 8.3 aliases, "..", both slashes); nothing when it does not exist.
std::optional<std::string> ResolvePath(const std::string &path);

// The full path that GetFullPathNameA makes of path: pure text, the item
// need not exist. Both slashes separate, "." and ".." are resolved, trailing
// dots and blanks of a component go; a path without a drive is taken on C:,
// whose current folder is its root. "" for an empty path.
std::string FullPathName(const std::string &path);

struct ItemInfo {
    std::string longPath;
    std::string shortPath;
    bool isDir;
    std::string content;
    unsigned long long written;   // last write time, as GetFileInformationByHandle gives it
    unsigned long long id;        // the same under a new name, as the file index is
    DWORD volumeSerial;           // of its drive, as GetFileInformationByHandle gives it
    DWORD attributes;             // as GetFileAttributesA gives them
    bool loaded;                  // LoadImage
    bool heldWithoutDeleteSharing;   // HoldFile without FILE_SHARE_DELETE: it cannot be renamed
    bool held;                       // HoldFile, whatever it shares: a folder cannot be removed
};

// Every file and directory on every drive, drive roots excluded, parents
// before their children.
std::vector<ItemInfo> AllItems();

// ---- Programs ------------------------------------------------------------

struct ProgramRun {
    std::string path;          // the program file that was started
    std::string commandLine;
    bool inheritHandles;
    std::vector<std::string> openLogHandles;   // files the program inherited
};

// Makes the file at path a program: starting it calls run, on the starting
// thread, and its result becomes the exit status. The first stillActiveReads
// reads of the exit status by GetExitCodeProcess without a wait report
// STILL_ACTIVE.
void AddProgram(const std::string &path, std::function<DWORD(const ProgramRun &)> run,
                int stillActiveReads = 0);

// Every program started, in order.
std::vector<ProgramRun> ProgramRuns();

// What a started program does with the files it inherited (ProgramRun's
// openLogHandles), reading them: their handles are the ones the program
// under test holds, so the file positions they share move for both.
void SetInheritedFilePositions(unsigned long long position);

// ---- Program Manager -------------------------------------------------------

// Program Manager answers DDE conversations on "PROGMAN" and carries out
// execute commands with execute, whose result is the transaction's success.
// Without it, no conversation can be established.
void SetProgramManager(std::function<bool(const std::string &command)> execute);
void StopProgramManager();

// How long Program Manager takes to answer an execute command (0 until
// set). A transaction whose time-out is shorter fails; Program Manager still
// carries the command out.
void SetProgramManagerAnswerTime(DWORD milliseconds);

// The data of every execute transaction sent, in order, as bytes.
std::vector<std::string> DdeExecuteData();

// ---- INI files -------------------------------------------------------------

// An INI file's text as the profile functions read it: each line, blanks
// around it trimmed, empty ones left out, with its section's name ("" before
// the first section).
std::vector<std::pair<std::string, std::string>> ProfileSectionLines(const std::string &content);

// The lines of the section named section (without regard to case) of the
// INI file at path; none when the file or the section is missing.
std::vector<std::string> ProfileLines(const std::string &path, const std::string &section);

// ---- Registry ------------------------------------------------------------

struct RegValue {
    DWORD type;
    std::string data;
};

void AddRegKey(HKEY root, const std::string &key);
bool RegKeyExists(HKEY root, const std::string &key);
void SetRegValue(HKEY root, const std::string &key, const std::string &name, DWORD type,
                 const std::string &data);
void SetRegDword(HKEY root, const std::string &key, const std::string &name, DWORD value);
std::optional<RegValue> GetRegValue(HKEY root, const std::string &key, const std::string &name);

// Makes key (under HKEY_LOCAL_MACHINE) a symbolic link to target, another
// key path there, as REG_OPTION_CREATE_LINK and its SymbolicLinkValue do.
void AddRegLink(const std::string &key, const std::string &target);

struct RegKeyInfo {
    std::string path;   // HKEY_LOCAL_MACHINE\SOFTWARE\..., in upper case
    std::vector<std::pair<std::string, RegValue>> values;   // by name as set
};

// Every key of every root, parents before their children.
std::vector<RegKeyInfo> RegistryKeys();

// The path by which RegistryKeys names key under root.
std::string RegKeyPath(HKEY root, const std::string &key);

// ---- Handles ------------------------------------------------------------

// Handles, registry keys, DDE instances and processes the program opened and
// has not closed.
std::vector<std::string> OpenHandles();

struct HandleInfo {
    std::string what;   // as OpenHandles shows it
    std::string id;     // the handle as the call records show it, in hex
};

// The same, each with the handle by which the calls name it.
std::vector<HandleInfo> OpenHandleInfos();

// ---- Windows -------------------------------------------------------------

struct ItemTemplate {
    int id;
    std::string className;
    std::string text;
    DWORD style;
};

struct DialogTemplate {
    std::string title;
    DWORD style;
    int x, y, width, height;   // pixels
    std::vector<ItemTemplate> items;
};

// Makes a dialog template available to CreateDialogParamA/DialogBoxParamA.
void AddDialogTemplate(const std::string &name, const DialogTemplate &tmpl);

struct ItemState {
    int id;
    std::string className;
    std::string text;
    std::vector<std::string> texts;   // every text set, in order
    int rangeMin, rangeMax, position;
    std::vector<int> positions;       // every position set, in order
};

struct WindowState {
    HWND hwnd;
    std::string templateName;
    std::string title;
    DWORD owner;
    bool visible;
    bool everShown;
    bool ended;
    bool destroyed;
    RECT rect;
    std::vector<ItemState> items;
    std::optional<std::string> shutdownBlockReason;   // ShutdownBlockReasonCreate's, its letters as ASCII
};

std::vector<WindowState> Windows();
std::optional<WindowState> FindWindowByTemplate(const std::string &templateName);
const ItemState *FindItem(const WindowState &window, int id);

void SetScreenSize(int width, int height);

// A modal loop of the main thread (the user dragging a window by its
// caption) takes the quit messages posted to it and drops them, as Wine's
// move and size loop does.
void LoseQuitMessages();

// Sends WM_COMMAND with wParam to a dialog's procedure on its own thread.
void SendCommand(HWND dialog, WPARAM wParam);

// Asks every window of the program, on its own thread, whether the Windows
// session may end (WM_QUERYENDSESSION), as a logoff does; true when every
// one agrees. A dialog procedure that returns FALSE agrees, as the default
// handling does; one that returns TRUE answers through DWLP_MSGRESULT.
bool QueryEndSession();

// Whether USER32 has ShutdownBlockReasonCreate and ...Destroy, which came
// with Windows Vista (true until set).
void SetHasShutdownBlockReason(bool present);

// Called on the dialog's thread while a modal dialog runs, until the dialog
// ends; it acts for the user, typically with SendCommand.
void SetModalDialogHandler(std::function<void(HWND dialog, const std::string &templateName)> handler);

// ---- Other processes ---------------------------------------------------------

// Another process holds a named mapping of the paging file (as
// CreateFileMappingA makes one) whose first four bytes are processId.
void HoldNamedMapping(const std::string &name, DWORD processId);
// Every named mapping that exists.
std::vector<std::string> NamedMappings();
// Whether names with a namespace ("Global\\...") are understood, as they are
// from Windows 2000 on (true until set).
void SetSessionNamespaces(bool present);

// A top-level window of another process, above the program's windows and
// those added before it in Z order.
HWND AddOtherWindow(DWORD processId, bool visible, bool iconic);
// The window SetForegroundWindow last brought to the front.
HWND ForegroundWindow();
bool OtherWindowIsIconic(HWND window);

// ---- Message boxes ---------------------------------------------------------

struct MessageBoxRecord {
    std::string text;
    std::string caption;
    UINT type;
    HWND owner;
    DWORD thread;
    int answer;
};

// Answers the program's message boxes; called on the thread that shows the
// box. Without a handler, boxes are answered IDOK, or IDNO for Yes/No boxes.
void SetMessageBoxHandler(std::function<int(const MessageBoxRecord &box)> handler);
std::vector<MessageBoxRecord> MessageBoxes();

// ---- System ----------------------------------------------------------------

// A name as Windows compares names: the letters a to z in upper case, the
// bytes of a double-byte character of the ANSI code page as they stand.
std::string Upper(std::string text);

DWORD MainThreadId();
void SetModuleFileName(const std::string &path);
void SetVersion(DWORD version);
// The ANSI code page, 1252 until set: 932, 936, 949 and 950 are double-byte
// ones, in which the second byte of a character may be a backslash.
void SetCodePage(UINT codePage);
void SetEnvironmentVariable(const std::string &name, const std::optional<std::string> &value);
// Whether KERNEL32 exports SetDefaultDllDirectories (it is missing before
// Windows 8 without an update).
void SetHasDefaultDllDirectories(bool present);
// Libraries loaded, by the names given to LoadLibraryA.
std::vector<std::string> LoadedLibraries();

struct ExitRequest {
    UINT flags;               // as given to ExitWindowsEx
    bool shutdownPrivilege;   // enabled in the process's token when asked
};

// Every request to end the Windows session, in order.
std::vector<ExitRequest> ExitRequests();

}  // namespace sim

#endif
