// One description of a whole run of the program on the simulated Windows:
// the machine before it (files and folders, what other processes hold, the
// custom programs, SharedDLLs counts, Uninstall entries, WININIT.INI,
// COMSPEC, the Windows version and code page), the log and the command line,
// the user's answers, Program Manager, and a platform call made to fail.
// The unit tests, the fault-injection suite and the program fuzzer build
// their runs from it; the fuzzer's input is its encoding
// (tests/fuzz/program_input.h), with which the seed corpus is written.
#ifndef TESTS_HARDENING_SIMULATED_RUN_H
#define TESTS_HARDENING_SIMULATED_RUN_H

#include "invariants.h"
#include "support/log_builder.h"
#include "support/machine_names.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The log and the folder of the application most runs remove.
#define TOOL_LOG "C:\\Apps\\Tool\\install.log"
#define TOOL_APP "C:\\Program Files\\Tool"

namespace hardening {

// Something on the machine before the run.
struct Item {
    enum Kind {
        FILE,         // a file, with the folders it lies in
        DIR,          // a folder, with its parents
        HELD_FILE,    // a file (made when missing) that another process holds open, sharing as share says
        PROGRAM,      // a program file that ends with status
        SHARED_DLL,   // the SharedDLLs value named by path
        ENTRY,        // the key named by path below the Uninstall key
        HELD_DIR,     // a folder (made when missing) that another process holds open, or the one the
                      // program is started in (current), which it holds as its current folder
        STATE,        // an existing item's attributes, and another process using the file as a DLL
    };
    Kind kind;
    std::string path;
    DWORD share = 0;                    // HELD_FILE, HELD_DIR: FILE_SHARE_... bits
    DWORD status = 0;                   // PROGRAM: the exit status, after
    int stillActiveReads = 0;           // as many reads of it without a wait that find it running
    long long inheritedPosition = -1;   // where it leaves the log it inherits; -1: untouched
    DWORD valueType = REG_DWORD;        // SHARED_DLL: the value's type and data
    std::string data;
    bool subkey = false;                // ENTRY: with a subkey "Sub"
    bool displayName = false;           // ENTRY: with a DisplayName value naming it
    DWORD attributes = 0;               // STATE: FILE_ATTRIBUTE_READONLY, _HIDDEN, _SYSTEM
    bool loaded = false;                // STATE: loaded as a DLL by another process
    bool current = false;               // HELD_DIR: the program's current folder, not another's hold
};

inline Item File(const std::string &path) { return {Item::FILE, path}; }
inline Item Dir(const std::string &path) { return {Item::DIR, path}; }
inline Item HeldFile(const std::string &path, DWORD share = 0) { return {Item::HELD_FILE, path, share}; }
inline Item HeldDir(const std::string &path, DWORD share = 0) { return {Item::HELD_DIR, path, share}; }
// The program is started in the folder, as from a program group item that
// names it as the working folder.
inline Item StartFolder(const std::string &path)
{
    Item item{Item::HELD_DIR, path};
    item.current = true;
    return item;
}
inline Item Program(const std::string &path, DWORD status = 0, int stillActiveReads = 0,
                    long long inheritedPosition = -1)
{
    return {Item::PROGRAM, path, 0, status, stillActiveReads, inheritedPosition};
}
inline Item SharedDllValue(const std::string &path, DWORD type, const std::string &data)
{
    return {Item::SHARED_DLL, path, 0, 0, 0, -1, type, data};
}
inline Item SharedDll(const std::string &path, DWORD count)
{
    return SharedDllValue(path, REG_DWORD, std::string((const char *)&count, 4));
}
inline Item Entry(const std::string &name, bool subkey = false, bool displayName = false)
{
    return {Item::ENTRY, name, 0, 0, 0, -1, REG_DWORD, "", subkey, displayName};
}
inline Item State(const std::string &path, DWORD attributes, bool loaded = false)
{
    return {Item::STATE, path, 0, 0, 0, -1, REG_DWORD, "", false, false, attributes, loaded};
}

// A platform call made to fail with error: the n-th of the run, the n-th
// of function, or every call of function. Every EndDialog or
// MsgWaitForMultipleObjects failing is taken as the first one failing: the
// restart offer could never be ended, and a main loop whose every wait
// fails spins until the worker ends.
struct Fault {
    enum Kind { NONE, NTH_CALL, NTH_OF_FUNCTION, EVERY_CALL };
    Kind kind = NONE;
    int n = 0;
    std::string function;
    DWORD error = 0;
};

struct SimulatedRun {
    // The machine, besides the program's intact executable.
    std::vector<Item> items;                         // made in this order
    std::optional<std::string> wininit;              // WININIT.INI's text; none: no such file
    std::optional<std::string> comspec = SIM_COMSPEC;   // none: unset
    bool win32s = false;                             // Win32s 1.3 on Windows 3.1
    bool codePage932 = false;                        // the ANSI code page is 932 (Japanese)
    bool exeCorrupt = false;                         // a byte of the executable changed

    // The log, written at logPath ("" for nowhere) after the items: its
    // records, then tail as it is; and the command line's tail.
    std::string logPath = TOOL_LOG;
    std::vector<TestRecord> records;
    std::string tail;
    std::string commandTail = TOOL_LOG;
    std::string commandSwitch;    // written before the tail: "/S " starts an unattended run

    // The user and the others.
    bool confirm = true;          // Yes to the confirmation
    bool restartYes = false;      // Yes in the restart dialog
    Progman progman = PROGMAN_ACCEPTS;
    bool otherRunUnderWay = false;   // another run on the log holds its guard, its window shown

    Fault fault;

    // The log lies at path, and the command line names it.
    void LogAt(const std::string &path) { logPath = commandTail = path; }
};

bool operator==(const Item &a, const Item &b);
bool operator==(const SimulatedRun &a, const SimulatedRun &b);

// Tool's run: its log names it, its program file and its folder; the world
// holds them, Tool's Uninstall entry, and another application's files and
// entry, which must stay.
SimulatedRun ToolRun();

// The hardening suite's runs: a log that uses every record type and a world
// in which each of them has something to do.
enum ScenarioKind {
    SCENARIO_COMPLETED,   // everything goes, read-only or not; files in use wait for the restart
    SCENARIO_WIN32S,      // the same on Win32s, with Program Manager refusing
    SCENARIO_DECLINED,    // the user answers No
    SCENARIO_ABORTED,     // the first custom program fails
    SCENARIO_SECOND_START, // the completed one, started while another run on its log is under way
    SCENARIO_UNATTENDED   // the completed one, started unattended: nobody answers, nothing is shown
};

const char *ScenarioName(ScenarioKind kind);

SimulatedRun Scenario(ScenarioKind kind);

// Builds run's machine in a prepared simulated Windows (PrepareProgramWorld)
// and installs the answers and Program Manager. What the simulation could
// not hold is left out (an item inside a file, a file where a folder is, a
// second executable), as a fuzzer's input may ask for anything. Returns
// what the checker is to expect: the executable or the log held without
// read sharing stand for a corrupt executable and a log that cannot open.
RunSetup Apply(const SimulatedRun &run);

// The result of one run: its exit code and every invariant it broke.
struct RunResult {
    int exitCode;
    Outcome outcome;
    std::vector<std::string> violations;
};

// Prepares the world, applies run, lets arrange change it further, takes
// the world's state for the checker, injects run's fault, runs the program
// and checks the invariants.
RunResult RunAndCheck(const SimulatedRun &run, const std::function<void()> &arrange = nullptr);

// texts, each on a line of its own, indented, for a message; " (none)"
// for none.
std::string Joined(const std::vector<std::string> &texts);

}  // namespace hardening

#endif
