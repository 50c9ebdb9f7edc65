// What must hold after every run of the program on the simulated Windows,
// whatever the log holds, whatever the world looks like and whichever
// platform call fails. Used by the fault-injection suite and the fuzzers, so
// it reports violations as texts instead of through a test framework.
//
// The rules, in short:
// - Files and directories: nothing goes, and nothing is scheduled for
//   deletion at restart (MoveFileExA, NUL= lines in WININIT.INI), that the
//   log does not name in a file, directory or shared-DLL record, except the
//   log itself and its folders. Lines others left in WININIT.INI stay (unless
//   the platform claimed, by an injected "file not found", that there is no
//   WININIT.INI). No other file changes; a file the log names may lose its
//   read-only attribute, and may be renamed within its folder, which then
//   waits for the restart under the new name. Nothing is scheduled under a
//   path the log names unless the file there could not be renamed first (it
//   is held open without delete sharing). A file renamed aside by an earlier
//   run that was ended ("~MU", five hex digits, ".TMP", beside a named file
//   that is gone) may go too.
// - Registry: only the SharedDLLs values that the log names change, and only
//   the Uninstall entry named by the log's application goes, with the keys
//   below it (none behind a symbolic link); a count is lowered by at most
//   one per record, never wraps, and a count of 0, an empty value or one
//   longer than 4 bytes stays as it is. A record that an earlier run on the
//   same log released (its note in the release journal says so) releases
//   nothing. The journal changes only in the log's own note, which names the
//   log as it is, and the note goes with the log. A DLL that only a
//   shared-DLL record names goes only when its count reached 0: it was 1 to
//   as many as the records naming it, and its value was deleted (or that
//   deletion was made to fail, which the release does not look at).
// - Handles: every handle, registry key, DDE instance, string handle,
//   conversation, process handle, mapped view and folder search is closed by
//   the end of the run. The log alone may stay open after a declined run or
//   a worker thread that could not start: the process ends right after, and
//   Windows closes it then. An object whose own closing call (CloseHandle,
//   RegCloseKey, DdeUninitialize, DdeFreeStringHandle, DdeDisconnect,
//   UnmapViewOfFile, FindClose) was made to fail may stay open too; a failed
//   close excuses nothing else.
// - Exit code 0, or -1 after the alarm about a corrupt executable only.
// - An unattended run (ReadsAsUnattended) shows no box and no dialog, takes
//   Yes for the answer to the confirmation, never restarts Windows nor brings another
//   window forward, and says by its exit code how it ended: the outcome is
//   read from it, and 3010 stands where the restart would have been offered.
// - Nothing holds off a logoff when the run ends.
// - The progress dialog shows only after the user's Yes.
// - A run started while another on the same log is under way shows nothing,
//   changes nothing and brings the other run's window to the front.
// - The message boxes follow the one sequence the program promises for the
//   way the run ended (see Outcome), with their exact texts, captions and
//   types and without an owner window.
// - Without an injected failure the checks are exact: the outcome follows
//   from the world and the answers, everything the log names that can go is
//   gone or scheduled (a file nothing holds goes at once, read-only or not,
//   and nothing scheduled stays read-only), the application's entry goes
//   whole, counts are lowered by exactly the records, and Program Manager's
//   answers decide the boxes.
#ifndef TESTS_HARDENING_INVARIANTS_H
#define TESTS_HARDENING_INVARIANTS_H

#include "platform/platform.h"
#include "sim/sim.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace hardening {

// Program Manager: carries out every command, refuses every one, is not
// running, or carries every one out but answers after the time-out.
enum Progman { PROGMAN_ACCEPTS, PROGMAN_REFUSES, PROGMAN_ABSENT, PROGMAN_TOO_SLOW };

// How the world and the user behave during the run.
struct RunSetup {
    std::string commandTail;    // the command line's tail as the program receives it: the log's path, after
                                // the switch of an unattended run
    bool exeIntact = true;      // the executable passes its self-check
    bool logHeld = false;       // another process holds the log without read sharing
    bool confirm = true;        // Yes to the confirmation
    bool restartYes = false;    // Yes in the restart dialog
    Progman progman = PROGMAN_ABSENT;
    bool otherRunUnderWay = false;   // another run on the same log holds its guard, its window shown
};

// The process and window of that other run.
#define OTHER_RUN_PROCESS_ID 0x7E4

// Whether the tail of the command line starts an unattended run: "/S" or
// "/quiet" in any letter case, one blank and a fully qualified path (C:\...
// or \\...). Sets logPath to the path the run opens: the rest after the
// switch, else the whole tail.
bool ReadsAsUnattended(const std::string &tail, std::string *logPath);

// The exit code an unattended run ends with: 0 removed, 3010 removed with
// something waiting for the restart, 1603 not removed, 1618 another run
// under way, -1 a damaged executable.
enum UnattendedExit {
    EXIT_REMOVED = 0,
    EXIT_RESTART_NEEDED = 3010,
    EXIT_NOT_REMOVED = 1603,
    EXIT_RUNNING_ELSEWHERE = 1618,
    EXIT_CORRUPT = -1
};

// Whether the uninstaller acts on a record (its 516 bytes), by the rules
// read independently of the program: the texts its type uses end within
// their fields; a file, directory or shared-DLL path is fully qualified
// (C:\... or \\server\share...); a group name names one group below
// Programs. A custom program record that is not acted on stops the removal.
bool RecordIsActedOn(const std::string &bytes);

// The little-endian number in the four bytes at at, those past the end
// taken as 0: a record's type, a SharedDLLs count.
DWORD LittleEndian(const std::string &bytes, size_t at);

// Makes path a program that ends with status; its runs are counted for the
// checks of the custom programs. While it runs it does what action does.
void AddCheckedProgram(const std::string &path, DWORD status, int stillActiveReads = 0,
                       std::function<void()> action = nullptr);

// How a run ended, as the boxes shown to the user tell it, or an unattended
// run's exit code.
enum Outcome {
    RUN_CORRUPT,       // the alarm about the executable; exit code -1
    RUN_INIT_FAILED,   // a start-up failure and the termination message
    RUN_DECLINED,      // the confirmation alone
    RUN_ABORTED,       // confirmation, custom-run failure, abort message
    RUN_COMPLETED,     // confirmation, Program Manager boxes, success message
    RUN_ELSEWHERE,     // nothing shown: another run on the log is under way
    RUN_UNKNOWN        // none of these
};

const char *OutcomeName(Outcome outcome);

class RunCheck {
public:
    // Takes the state of the world before the run.
    explicit RunCheck(const RunSetup &setup);

    // Every invariant that the run, ended with exitCode, broke.
    std::vector<std::string> Check(int exitCode);

    // The outcome found by the last Check.
    Outcome outcome() const { return outcome_; }

private:
    struct Record {
        DWORD type;
        bool usable;
        std::string primary;
        std::string secondary;
    };
    typedef std::map<std::string, std::pair<std::string, sim::RegValue>> Values;   // by upper-case name

    RunSetup setup_;
    std::string logBytes_;
    std::string logLong_;      // the log's long path in upper case; empty when missing
    bool unattended_ = false;
    std::string logArg_;       // the log's path on the command line, after the switch
    std::string logFull_;      // the command line's full path in upper case, as the program resolves it at
                               // start-up: later its current folder is another
    bool logIsFile_ = false;
    bool notALog_ = false;     // it holds bytes, but no whole record is one the setup program writes
    unsigned long long logWritten_ = 0;
    std::vector<Record> records_;
    DWORD releasedBefore_ = 0;   // records an earlier run on this log released
    bool lastReachedZero_ = false;   // and the last one's value and DLL were to go
    std::map<std::string, sim::ItemInfo> items_;          // by upper-case long path
    std::map<std::string, std::string> resolved_;          // names in the log -> upper-case long paths
    std::map<std::string, Values> registry_;              // by upper-case key path
    std::vector<std::string> pending_;
    std::string wininit_;
    bool wininitExisted_ = false;
    Outcome outcome_ = RUN_UNKNOWN;
    bool faulted_ = false;
    bool waitsForRestart_ = false;   // something of the removal waits for the restart after the run

    std::vector<std::string> errors_;
    void Fail(const std::string &what);

    std::string Resolve(const std::string &text) const;   // upper-case long path before the run, or ""
    std::vector<std::string> Captions(bool allPrefixes) const;
    DWORD CountBefore(const std::string &dllText, bool *countable) const;
    int Releases(const std::string &dllText) const;
    bool CountReachedZero(const std::string &dllText) const;
    bool NamesThisLog(const std::string &noteName, const sim::RegValue &note) const;
    void CheckJournal(const std::map<std::string, Values> &after);

    Outcome ReadOutcome(int exitCode);
    void CheckBoxes();
    void CheckExpectedOutcome();
    void CheckFiles();
    void CheckRestartList(const std::map<std::string, sim::ItemInfo> &after, const std::set<std::string> &waiting,
                          const std::set<std::string> &scheduled, const std::set<std::string> &mayBeNamed);
    void CheckLogNotScheduledWhileOpen();
    void CheckRegistry();
    void CheckHandles();
    void CheckDialogs(int exitCode);
    void CheckGroupCommands();
    void CheckLogReads();
};

}  // namespace hardening

#endif
