// Each platform call of a whole run fails in turn, once per kind of error
// its caller tells apart: the run must keep every invariant, end, and show
// the user what the program promises for that failure.
#include "scenario.h"

#include "support/program_world.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <set>
#include <sstream>

using namespace hardening;

static const char kConfirm[] = "Do you really want to remove the selected application from your computer ?";
static const char kCustomFailed[] = "Custom uninstall run failed. Morvane will stop application removal.";
static const char kAborted[] = "Uninstall has been aborted. Only parts of the application could be removed.";
static const char kTerminated[] =
    "Uninstall has been terminated due to an initialization error. The product has NOT been removed from your "
    "computer.";
static const char kDdeInit[] = "DDEML Initialization Failure";
static const char kDdeFailed[] = "Unable to update Start Menu\nDdeClientTransaction Failed\n[[DeleteGroup(\"Tool Group\")]]";

static const char kRemoved[] =
    "Uninstall has successfully removed the selected application. Reboot your computer to also remove system "
    "files that are locked at the moment.";
static const char kDefaultCaption[] = "Uninstall (Morvane 1.30)";
static const char kWininit[] = "C:\\WINDOWS\\WININIT.INI";

static const DWORD kOtherError = ERROR_NOT_ENOUGH_MEMORY;

// The errors each caller tells apart from all others: after a failed start
// or existence test they let the search go on to the next candidate, after a
// failed short-path look-up they make the item missing, and after a failed
// section read they stand for an empty section.
static const std::vector<DWORD> kMissingForStart = {1, 2, 3, 5, 15, 18, 123, 161, 193, 206};
static const std::vector<DWORD> kMissingForExistence = {1, 2, 3, 15, 18, 123, 206};
static const std::vector<DWORD> kMissingForShortPath = {2, 3, 15, 53, 67, 123, 161};
static const std::vector<DWORD> kNoSection = {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND};

static bool Among(const std::vector<DWORD> &errors, DWORD error)
{
    return std::find(errors.begin(), errors.end(), error) != errors.end();
}

// The errors to inject into a call: one of no particular meaning, each that
// its caller treats in another way, and a likely one it treats as any other.
static std::vector<DWORD> ErrorKinds(const std::string &function)
{
    std::vector<DWORD> kinds{kOtherError};
    std::vector<DWORD> named;
    if (function == "CreateProcessA")
        named = kMissingForStart;
    if (function == "GetFileAttributesA") {
        named = kMissingForExistence;
        named.push_back(ERROR_ACCESS_DENIED);   // not found for a start, but not for an existence test
    }
    if (function == "GetShortPathNameA") {
        named = kMissingForShortPath;
        named.push_back(ERROR_ACCESS_DENIED);
    }
    if (function == "GetPrivateProfileSectionA") {
        named = kNoSection;
        named.push_back(ERROR_SHARING_VIOLATION);   // WININIT.INI held by another program
    }
    kinds.insert(kinds.end(), named.begin(), named.end());
    return kinds;
}

static std::vector<std::string> AttemptedBoxTexts()
{
    std::vector<std::string> texts;
    for (const sim::Call &call : sim::CallsTo("MessageBoxA"))
        texts.push_back(call.args[1]);
    return texts;
}

static std::string Joined(const std::vector<std::string> &texts)
{
    std::string out;
    for (const std::string &t : texts)
        out += "\n    " + t;
    return out.empty() ? " (none)" : out;
}

// Calls of these functions after index, counted.
static size_t CallsAfter(const std::vector<sim::Call> &calls, size_t index, std::set<std::string> functions)
{
    size_t n = 0;
    for (size_t i = index + 1; i < calls.size(); i++)
        n += functions.count(calls[i].function);
    return n;
}

class FaultInjection : public ::testing::TestWithParam<ScenarioKind> {
protected:
    struct Clean {
        std::vector<sim::Call> calls;
        std::vector<std::string> boxes;
        std::set<std::string> started;   // command lines of the programs that ran
        Outcome outcome;
        size_t moves;
    };

    Clean CleanRun(ScenarioKind kind)
    {
        RunResult result = RunScenario(kind);
        EXPECT_TRUE(result.violations.empty()) << Joined(result.violations);
        Clean clean;
        clean.calls = sim::Calls();
        clean.boxes = AttemptedBoxTexts();
        for (const sim::ProgramRun &run : sim::ProgramRuns())
            clean.started.insert(run.commandLine);
        clean.outcome = result.outcome;
        clean.moves = sim::CallsTo("MoveFileExA").size();
        return clean;
    }

    // Windows compares names without regard to case.
    static bool IsFile(const std::string &path, const std::string &wanted)
    {
        return path.size() == wanted.size() &&
               std::equal(path.begin(), path.end(), wanted.begin(),
                          [](char a, char b) { return tolower((unsigned char)a) == tolower((unsigned char)b); });
    }

    // Whether call n belongs to the program's check of its own executable:
    // it names the program's file, or reads it.
    static bool InSelfCheck(const sim::Call &call)
    {
        return call.function == "GetModuleFileNameA" ||
               (call.function == "CreateFileA" && IsFile(call.args[0], EXE_PATH)) ||
               (call.function == "ReadFile" && IsFile(call.file, EXE_PATH));
    }

    // The reading of the log that a failed read or rewind (call n) cuts
    // short, told by the program's state when the call was made, not by the
    // calls before it: the start-up scan runs on the main thread; pass A
    // (custom programs) is the worker's first reading, made before the
    // worker has read the log to its end; every later pass (files, shared
    // DLLs and groups; directories; the system-file step) follows that. Each
    // pass but the scan begins with a rewind; a rewind that fails leaves the
    // position at the end of the file, where the reading before it stopped,
    // so its own pass reads nothing.
    enum Reading { READING_SCAN, READING_CUSTOM_PROGRAMS, READING_LATER_PASS };
    static Reading LogReading(const std::vector<sim::Call> &calls, size_t n)
    {
        const sim::Call &failed = calls[n];
        if (failed.thread == sim::MainThreadId())
            return READING_SCAN;
        for (size_t i = 0; i < n; i++)
            if (calls[i].function == "ReadFile" && calls[i].thread == failed.thread &&
                IsFile(calls[i].file, SCENARIO_LOG) && calls[i].atEnd)
                return READING_LATER_PASS;
        return READING_CUSTOM_PROGRAMS;
    }

    // What the user must see when a read or rewind of the log (call n)
    // fails: the run goes on with the records read so far.
    std::vector<std::string> BoxesAfterAFailedRead(const Clean &clean, const std::vector<sim::Call> &calls,
                                                   size_t n)
    {
        Reading reading = LogReading(calls, n);
        // The aborting program is the last record pass A reads: cut short,
        // the pass never starts it, and the removal is completed. Program
        // Manager accepts in that scenario, so it shows nothing.
        if (reading == READING_CUSTOM_PROGRAMS && clean.outcome == RUN_ABORTED)
            return {kConfirm, kRemoved};
        std::vector<std::string> boxes = clean.boxes;
        if (reading == READING_LATER_PASS) {
            // Only the groups handled before the failure reach Program
            // Manager, one conversation each: all of them when the failure
            // cut a pass after the one over files and groups.
            size_t handled = 0;
            for (size_t i = 0; i < n; i++)
                handled += calls[i].function == "DdeInitializeA";
            size_t kept = 0;
            for (auto it = boxes.begin(); it != boxes.end();)
                if (*it == kDdeFailed && kept++ >= handled)
                    it = boxes.erase(it);
                else
                    ++it;
        }
        return boxes;
    }

    // What the user must see when call (the n-th of the run) fails with
    // error.
    std::vector<std::string> ExpectedBoxes(const Clean &clean, const std::vector<sim::Call> &calls, size_t n,
                                           DWORD error)
    {
        const sim::Call &call = calls[n];
        const std::string &f = call.function;
        if (InSelfCheck(call))
            return {"ALERT\nExecutable corrupt. Possibly a virus !!!"};
        if (f == "GetSystemDirectoryA" || f == "LoadLibraryA" || f == "CreateDialogParamA")
            return {"Resource error. Corrupt executable ?", kTerminated};
        if (f == "CreateFileA")
            return {"Unable to locate Setup logfile.", kTerminated};
        if (f == "CreateThread")
            return {kTerminated};
        if (f == "ReadFile" || f == "SetFilePointer")
            return BoxesAfterAFailedRead(clean, calls, n);
        if (f == "MessageBoxA" && call.args[1] == kConfirm)
            return {kConfirm};
        bool customRun = f == "CreateProcessA" || f == "GetFileAttributesA" || f == "GetEnvironmentVariableA" ||
                         f == "WaitForSingleObject" || f == "GetExitCodeProcess";
        if (customRun && clean.outcome == RUN_COMPLETED) {
            bool harmless =
                f == "CreateProcessA" && Among(kMissingForStart, error) && clean.started.count(call.args[1]) == 0;
            if (!harmless)
                return {kConfirm, kCustomFailed, kAborted};
        }
        std::vector<std::string> boxes = clean.boxes;
        // Without a string handle nothing is sent and nothing is shown.
        if (f == "DdeCreateStringHandleA")
            boxes.erase(std::remove(boxes.begin(), boxes.end(), std::string(kDdeFailed)), boxes.end());
        if (f == "DdeInitializeA" || f == "DdeConnect" || f == "DdeCreateDataHandle" || f == "DdeClientTransaction") {
            const char *box = f == "DdeInitializeA" ? kDdeInit : kDdeFailed;
            for (auto it = boxes.begin(); it != boxes.end(); ++it)
                if (*it == kDdeFailed) {
                    boxes.erase(it);
                    break;
                }
            boxes.insert(boxes.end() - 1, box);
        }
        return boxes;
    }

    // The lines of WININIT.INI's [Rename] section after the run.
    static std::vector<std::string> RenameLines()
    {
        std::vector<std::string> lines;
        std::istringstream in(sim::FileContent(kWininit));
        std::string line;
        bool rename = false;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (!line.empty() && line[0] == '[')
                rename = line == "[Rename]";
            else if (rename && !line.empty())
                lines.push_back(line);
        }
        return lines;
    }

    // A failed read of WININIT.INI's [Rename] section: "no such file" stands
    // for an empty section, which gets the item's line alone; any other
    // error leaves the file as it is, with the item scheduled by MoveFileExA
    // only.
    void CheckSectionRead(const std::vector<sim::Call> &calls, size_t n, DWORD error)
    {
        std::string item;   // the item just scheduled, in its short form
        for (size_t i = 0; i < n; i++)
            if (calls[i].function == "MoveFileExA")
                item = calls[i].args[0];
        ASSERT_FALSE(item.empty()) << "the section is read only for a scheduled item";
        const sim::Call *next = nullptr;   // the same thread's next call
        for (size_t i = n + 1; i < calls.size() && next == nullptr; i++)
            if (calls[i].thread == calls[n].thread)
                next = &calls[i];
        bool written = next != nullptr && next->function == "WritePrivateProfileSectionA";
        std::vector<std::string> lines = RenameLines();
        bool listed = std::find(lines.begin(), lines.end(), "NUL=" + item) != lines.end();
        std::vector<std::string> pending = sim::PendingDeletes();
        EXPECT_NE(pending.end(), std::find(pending.begin(), pending.end(), item))
            << item << " is scheduled by MoveFileExA whatever the section read gave";
        if (Among(kNoSection, error)) {
            ASSERT_TRUE(written) << "a missing WININIT.INI is an empty section, to which the item's line is added";
            EXPECT_EQ("NUL=" + item + "|", next->args[1]);
            EXPECT_TRUE(listed) << item << " is not in [Rename]:" << Joined(lines);
        } else {
            EXPECT_FALSE(written) << "a section that could not be read is not written over";
            EXPECT_FALSE(listed) << item << " is in [Rename]:" << Joined(lines);
        }
    }

    // Checks the ways the callers tell errors apart.
    void CheckErrorKind(const Clean &clean, const std::vector<sim::Call> &calls, size_t n, DWORD error)
    {
        const sim::Call &call = calls[n];
        size_t searches = CallsAfter(calls, n, {"CreateProcessA", "GetFileAttributesA"});
        if (call.function == "CreateProcessA")
            EXPECT_EQ(Among(kMissingForStart, error), searches > 0)
                << "a failed start with error " << error << " must "
                << (Among(kMissingForStart, error) ? "" : "not ") << "go on to the next candidate";
        if (call.function == "GetFileAttributesA")
            EXPECT_EQ(Among(kMissingForExistence, error), searches > 0)
                << "a failed existence test with error " << error << " must "
                << (Among(kMissingForExistence, error) ? "" : "not ") << "go on to the next candidate";
        if (call.function == "GetShortPathNameA") {
            std::vector<sim::Call> moves = sim::CallsTo("MoveFileExA");
            bool longName = false;
            for (const sim::Call &m : moves)
                longName = longName || m.args[0] == call.args[0];
            if (Among(kMissingForShortPath, error)) {
                EXPECT_EQ(clean.moves - 1, moves.size()) << "a missing item is not scheduled";
            } else {
                EXPECT_EQ(clean.moves, moves.size());
                EXPECT_TRUE(longName) << "without its short form, the item is scheduled by its long name";
            }
        }
        if (call.function == "GetPrivateProfileSectionA")
            CheckSectionRead(calls, n, error);
        if (call.function == "GetModuleHandleA" && call.args[0] == "ADVAPI32.DLL")
            EXPECT_EQ(1u, sim::CallsTo("ExitWindowsEx").size()) << "the restart is still requested";
        if (call.function == "AttachThreadInput")
            EXPECT_EQ(1u, sim::CallsTo("MessageBeep").size());
    }

    // A read that ends the start-up scan before the name record leaves the
    // default caption; the scenario's log names its application first.
    void CheckCaption(const std::vector<sim::Call> &calls, size_t n)
    {
        if (calls[n].function != "ReadFile" || InSelfCheck(calls[n]) || LogReading(calls, n) != READING_SCAN)
            return;
        std::vector<sim::MessageBoxRecord> boxes = sim::MessageBoxes();
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(calls[n].position == 0 ? kDefaultCaption : "Tool Uninstall", boxes[0].caption)
            << "the scan's read at offset " << calls[n].position << " failed";
    }
};

TEST_P(FaultInjection, EveryCallFailingInTurnKeepsTheInvariantsAndShowsWhatIsPromised)
{
    ScenarioKind kind = GetParam();
    Clean clean = CleanRun(kind);
    ASSERT_GT(clean.calls.size(), 20u);

    size_t runs = 0;
    std::set<std::string> functions;
    for (size_t n = 1; n <= clean.calls.size(); n++) {
        for (DWORD error : ErrorKinds(clean.calls[n - 1].function)) {
            RunResult result = RunScenario(kind, (int)n, error);
            runs++;
            std::vector<sim::Call> calls = sim::Calls();
            ASSERT_GE(calls.size(), n) << "call " << n << " was never made";
            const sim::Call &failed = calls[n - 1];
            functions.insert(failed.function);
            std::string where = "call " + std::to_string(n) + " " + failed.function + "(" +
                                (failed.args.empty() ? "" : failed.args[0]) + ") failing with " +
                                std::to_string(error);
            EXPECT_TRUE(result.violations.empty()) << where << ":" << Joined(result.violations);

            std::vector<std::string> expected = ExpectedBoxes(clean, calls, n - 1, error);
            EXPECT_EQ(Joined(expected), Joined(AttemptedBoxTexts())) << where;
            CheckErrorKind(clean, calls, n - 1, error);
            CheckCaption(calls, n - 1);
            if (HasFailure()) {
                ADD_FAILURE() << "stopping at the first failing call: " << where;
                return;
            }
        }
    }
    std::string seen;
    for (const std::string &f : functions)
        seen += f + " ";
    std::cout << ScenarioName(kind) << ": " << clean.calls.size() << " calls, " << runs << " runs, functions: "
              << seen << std::endl;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, FaultInjection,
                         ::testing::Values(SCENARIO_COMPLETED, SCENARIO_WIN32S, SCENARIO_DECLINED, SCENARIO_ABORTED),
                         [](const ::testing::TestParamInfo<ScenarioKind> &info) {
                             std::string name = ScenarioName(info.param);
                             return name == "Win32s" ? std::string("Win32sWithProgmanRefusing") : name;
                         });
