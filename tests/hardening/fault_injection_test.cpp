// Each platform call of a whole run fails in turn, once per kind of error
// its caller tells apart: the run must keep every invariant, end, and show
// the user what the program promises for that failure.
#include "simulated_run.h"

#include "removal/passes.h"
#include "support/error_kinds.h"
#include "support/program_world.h"
#include "driver/program_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <set>

using namespace hardening;

// The box for the scenario's group when its command fails.
static const std::string kToolGroupFailed = DdeFailedText("[DeleteGroup(\"Tool Group\")]");

static const DWORD kOtherError = ERROR_NOT_ENOUGH_MEMORY;

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

// How a run that shows boxes ended; an unattended run's exit code must tell
// the same.
static Outcome OutcomeShown(const std::vector<std::string> &boxes)
{
    auto has = [&](const char *text) { return std::find(boxes.begin(), boxes.end(), text) != boxes.end(); };
    return has(kCorrupt) ? RUN_CORRUPT : has(kTerminated) ? RUN_INIT_FAILED : has(kAborted) ? RUN_ABORTED
           : has(kRemoved) ? RUN_COMPLETED : RUN_UNKNOWN;
}

// Whether call index is made while the custom programs run: before the
// removal deletes anything. The deletion looks at attributes too.
static bool BeforeAnyDeletion(const std::vector<sim::Call> &calls, size_t index)
{
    for (size_t i = 0; i < index; i++)
        if (calls[i].function == "DeleteFileA")
            return false;
    return true;
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
        std::vector<std::string> attendedBoxes;
        if (kind == SCENARIO_UNATTENDED) {
            // What the run shows someone who answers as it takes the boxes:
            // the outcome its exit code must tell.
            SimulatedRun attended = Scenario(kind);
            attended.commandSwitch.clear();
            attended.confirm = true;
            RunAndCheck(attended);
            attendedBoxes = AttemptedBoxTexts();
        }
        RunResult result = RunAndCheck(Scenario(kind));
        EXPECT_TRUE(result.violations.empty()) << Joined(result.violations);
        Clean clean;
        clean.calls = sim::Calls();
        clean.boxes = kind == SCENARIO_UNATTENDED ? attendedBoxes : AttemptedBoxTexts();
        for (const sim::ProgramRun &run : sim::ProgramRuns())
            clean.started.insert(run.commandLine);
        clean.outcome = result.outcome;
        clean.moves = sim::CallsTo("MoveFileExA").size();
        return clean;
    }

    // Windows compares names without regard to case.
    static bool IsFile(const std::string &path, const std::string &wanted)
    {
        return sim::Upper(path) == sim::Upper(wanted);
    }

    // Whether call n belongs to the program's check of its own executable:
    // it names the program's file, or reads it.
    static bool InSelfCheck(const sim::Call &call)
    {
        return call.function == "GetModuleFileNameA" ||
               (call.function == "CreateFileA" && IsFile(call.args[0], EXE_PATH)) ||
               (call.function == "ReadFile" && IsFile(call.file, EXE_PATH));
    }

    // The pass that a failed read of the log (call n) cuts short, or NULL
    // for the start-up scan, which runs on the main thread. Each reading
    // reads every block of records at its own offset: a failed read ends
    // that reading alone, and the next pass begins again at the first record.
    // Told by the program's state when the call was made, not by the calls
    // before it: every reading of the worker ends with a read at the end of
    // the log, so the readings ended before the call are the passes done.
    // The directories' pass may read the log again: a reading after it
    // counts as the last pass, which the boxes cannot tell from it.
    static const PassDescription *CutPass(const std::vector<sim::Call> &calls, size_t n)
    {
        const sim::Call &failed = calls[n];
        if (failed.thread == sim::MainThreadId())
            return nullptr;
        size_t done = 0;
        for (size_t i = 0; i < n; i++)
            if (calls[i].function == "ReadFile" && calls[i].thread == failed.thread &&
                IsFile(calls[i].file, TOOL_LOG) && calls[i].atEnd)
                done++;
        return &kPasses[std::min(done, kPassCount - 1)];
    }

    // What the user must see when a read of the log (call n) fails:
    // the run goes on with the records read so far.
    std::vector<std::string> BoxesAfterAFailedRead(const Clean &clean, const std::vector<sim::Call> &calls,
                                                   size_t n)
    {
        const PassDescription *cut = CutPass(calls, n);
        // A log whose first read fails cannot be told from a document.
        if (cut == nullptr && calls[n].position == 0)
            return BoxTextsOf(END_NO_LOG);
        // The aborting program is the last record the custom programs' pass
        // reads: cut short, the pass never starts it, and the removal is
        // completed. Program Manager accepts in that scenario, so it shows
        // nothing.
        if (cut != nullptr && cut->pass == PASS_CUSTOM_PROGRAMS && clean.outcome == RUN_ABORTED)
            return BoxTextsOf(END_COMPLETED);
        std::vector<std::string> boxes = clean.boxes;
        if (cut != nullptr && cut->pass != PASS_CUSTOM_PROGRAMS) {
            // Only the groups handled before the failure reach Program
            // Manager, one conversation each: all of them when the failure
            // cut a pass after the one over files and groups.
            size_t handled = 0;
            for (size_t i = 0; i < n; i++)
                handled += calls[i].function == "DdeInitializeA";
            size_t kept = 0;
            for (auto it = boxes.begin(); it != boxes.end();)
                if (*it == kToolGroupFailed && kept++ >= handled)
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
            return BoxTextsOf(END_CORRUPT);
        // The main thread's calls at start-up; the worker's are the removal's.
        bool startUp = call.thread == sim::MainThreadId();
        if ((f == "GetSystemDirectoryA" && startUp) || f == "LoadLibraryA" || f == "CreateDialogParamA")
            return BoxTextsOf(END_RESOURCE_ERROR);
        if (f == "CreateFileA" && startUp)
            return BoxTextsOf(END_NO_LOG);
        if (f == "CreateThread")
            return BoxTextsOf(END_WORKER_FAILED);
        if (f == "ReadFile")
            return BoxesAfterAFailedRead(clean, calls, n);
        if (f == "MessageBoxA" && call.args[1] == kConfirm)
            return BoxTextsOf(END_DECLINED);
        bool customRun = f == "CreateProcessA" || (f == "GetFileAttributesA" && BeforeAnyDeletion(calls, n)) ||
                         f == "GetEnvironmentVariableA" || f == "WaitForSingleObject" || f == "GetExitCodeProcess";
        if (customRun && clean.outcome == RUN_COMPLETED) {
            bool harmless =
                f == "CreateProcessA" && Among(kMissingForStart, error) && clean.started.count(call.args[1]) == 0;
            if (!harmless)
                return BoxTextsOf(END_ABORTED);
        }
        std::vector<std::string> boxes = clean.boxes;
        // Without a string handle nothing is sent and nothing is shown.
        if (f == "DdeCreateStringHandleA")
            boxes.erase(std::remove(boxes.begin(), boxes.end(), kToolGroupFailed), boxes.end());
        if (f == "DdeInitializeA" || f == "DdeConnect" || f == "DdeCreateDataHandle" || f == "DdeClientTransaction") {
            std::string box = f == "DdeInitializeA" ? kDdeInitFailed : kToolGroupFailed;
            for (auto it = boxes.begin(); it != boxes.end(); ++it)
                if (*it == kToolGroupFailed) {
                    boxes.erase(it);
                    break;
                }
            boxes.insert(boxes.end() - 1, box);
        }
        return boxes;
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
        std::vector<std::string> lines = sim::ProfileLines(WININIT_PATH, WININIT_RENAME_SECTION);
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
        if (call.function == "GetFileAttributesA" && BeforeAnyDeletion(calls, n))
            EXPECT_EQ(Among(kMissingForExistence, error), searches > 0)
                << "a failed existence test with error " << error << " must "
                << (Among(kMissingForExistence, error) ? "" : "not ") << "go on to the next candidate";
        // The short path an item is scheduled by: the program reads what
        // waits for the restart next, asking the version first.
        std::vector<std::string> next;
        for (size_t i = n + 1; i < clean.calls.size() && next.size() < 2; i++)
            if (clean.calls[i].thread == clean.calls[n].thread)
                next.push_back(clean.calls[i].function);
        bool listNext = next.size() == 2 && next[0] == "GetVersion" &&
                        (next[1] == "RegOpenKeyExA" || next[1] == "GetWindowsDirectoryA");
        if (call.function == "GetShortPathNameA" && listNext) {
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
        // The read of the section that adds a line, not that of what waits
        // for the restart on Windows 95, which asks the version first.
        const sim::Call *before = nullptr;
        for (size_t i = n, seen = 0; i-- > 0 && before == nullptr;)
            if (clean.calls[i].thread == clean.calls[n].thread && ++seen == 2)
                before = &clean.calls[i];
        if (call.function == "GetPrivateProfileSectionA" && (before == nullptr || before->function != "GetVersion"))
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
        if (calls[n].function != "ReadFile" || InSelfCheck(calls[n]) || CutPass(calls, n) != nullptr)
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
            SimulatedRun run = Scenario(kind);
            run.fault = Fault{Fault::NTH_CALL, (int)n, "", error};
            RunResult result = RunAndCheck(run);
            runs++;
            std::vector<sim::Call> calls = sim::Calls();
            ASSERT_GE(calls.size(), n) << "call " << n << " was never made";
            const sim::Call &failed = calls[n - 1];
            // A run makes its calls in the same order whatever the threads'
            // timing, so each call of the clean run is the one made to fail.
            ASSERT_EQ(clean.calls[n - 1].function, failed.function) << "call " << n;
            functions.insert(failed.function);
            std::string where = "call " + std::to_string(n) + " " + failed.function + "(" +
                                (failed.args.empty() ? "" : failed.args[0]) + ") failing with " +
                                std::to_string(error);
            EXPECT_TRUE(result.violations.empty()) << where << ":" << Joined(result.violations);

            std::vector<std::string> expected = ExpectedBoxes(clean, calls, n - 1, error);
            if (kind == SCENARIO_UNATTENDED) {
                EXPECT_EQ(OutcomeShown(expected), result.outcome) << where << ", exit code " << result.exitCode;
            } else {
                EXPECT_EQ(Joined(expected), Joined(AttemptedBoxTexts())) << where;
                CheckCaption(calls, n - 1);
            }
            CheckErrorKind(clean, calls, n - 1, error);
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
                         ::testing::Values(SCENARIO_COMPLETED, SCENARIO_WIN32S, SCENARIO_DECLINED, SCENARIO_ABORTED,
                                           SCENARIO_UNATTENDED),
                         [](const ::testing::TestParamInfo<ScenarioKind> &info) {
                             std::string name = ScenarioName(info.param);
                             return name == "Win32s" ? std::string("Win32sWithProgmanRefusing") : name;
                         });

// What a run leaves for a later one to find: files and folders, registry
// keys and values, what waits for the restart, and the groups Program
// Manager deleted.
struct Leftovers {
    std::map<std::string, std::string> files;    // upper-case long path -> content; "<dir>" for a folder
    std::map<std::string, std::string> values;   // key path, or key path|NAME -> type and data
    std::set<std::string> restart;               // MoveFileExA items and WININIT.INI's [Rename] lines
    std::set<std::string> groups;

    static Leftovers Take(const std::set<std::string> &groups)
    {
        Leftovers l;
        for (const sim::ItemInfo &item : sim::AllItems())
            l.files[sim::Upper(item.longPath)] = item.isDir ? "<dir>" : item.content;
        for (const sim::RegKeyInfo &key : sim::RegistryKeys()) {
            l.values[key.path] = "<key>";
            for (const auto &v : key.values)
                l.values[key.path + "|" + sim::Upper(v.first)] = std::to_string(v.second.type) + ":" + v.second.data;
        }
        for (const std::string &item : sim::PendingDeletes())
            l.restart.insert(sim::Upper(item));
        for (const std::string &line : sim::ProfileLines(WININIT_PATH, WININIT_RENAME_SECTION))
            l.restart.insert(WININIT_NAME " " + sim::Upper(line));
        l.files.erase(sim::Upper(WININIT_PATH));
        l.groups = groups;
        return l;
    }

    // The count of a SharedDLLs value; 0 when it is gone.
    DWORD Count(const std::string &valueKey) const
    {
        auto v = values.find(valueKey);
        if (v == values.end())
            return 0;
        return LittleEndian(v->second.substr(v->second.find(':') + 1), 0);
    }
};

// The keys of either map.
static std::set<std::string> KeysOf(const std::map<std::string, std::string> &a,
                                    const std::map<std::string, std::string> &b)
{
    std::set<std::string> keys;
    for (const auto *m : {&a, &b})
        for (const auto &entry : *m)
            keys.insert(entry.first);
    return keys;
}

// A run killed at any one of its platform calls, then run again on what it
// left until it completes, ends as one whole run does, but that the count
// being released at the cut may stay one too high (and its DLL with it). A
// cut after the log was deleted leaves a run that cannot start: the log's
// folder and the log's release note may then stay too. Started by someone
// or unattended, the same.
class Interruption : public ::testing::TestWithParam<ScenarioKind> {};

TEST_P(Interruption, ARunKilledAtAnyCallThenRunAgainLowersNoCountTwice)
{
    const std::string sharedDlls = sim::RegKeyPath(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH) + "|";
    const std::string journal = sim::RegKeyPath(HKEY_LOCAL_MACHINE, JOURNAL_KEY);
    std::set<std::string> groups;
    auto prepare = [&groups] {
        PrepareProgramWorld();
        RunSetup setup = Apply(Scenario(GetParam()));
        groups.clear();
        sim::SetProgramManager([&groups](const std::string &command) {
            groups.insert(command);
            return true;
        });
        return setup;
    };
    RunSetup setup = prepare();
    const Leftovers before = Leftovers::Take(groups);
    ASSERT_EQ(GetParam() == SCENARIO_UNATTENDED ? EXIT_RESTART_NEEDED : 0, RunUninstaller(setup.commandTail));
    const size_t calls = sim::Calls().size();
    const Leftovers whole = Leftovers::Take(groups);

    size_t cuts = 0;
    for (size_t n = 1; n <= calls; n++) {
        setup = prepare();
        sim::EndRunAtCall((int)n);
        if (RunUninstaller(setup.commandTail) != RUN_ENDED_EXIT_CODE)
            break;   // this run made fewer calls than the first
        cuts++;
        const sim::Call cut = sim::Calls().back();
        const std::string where = "cut at call " + std::to_string(n) + " " + cut.function + "(" +
                                  (cut.args.empty() ? "" : cut.args[0]) + ")";
        const bool logGone = !sim::FileExists(TOOL_LOG);
        EndProgramProcess();
        RunCheck check(setup);
        std::vector<std::string> violations = check.Check(RunUninstaller(setup.commandTail));
        EXPECT_TRUE(violations.empty()) << where << ", then the run again:" << Joined(violations);
        EXPECT_EQ(logGone ? RUN_INIT_FAILED : RUN_COMPLETED, check.outcome()) << where;
        const Leftovers after = Leftovers::Take(groups);

        std::vector<std::string> higher;   // counts one above the whole run's
        for (const std::string &key : KeysOf(whole.values, after.values)) {
            bool isCount = key.compare(0, sharedDlls.size(), sharedDlls) == 0;
            if (isCount && after.Count(key) == whole.Count(key) + 1) {
                higher.push_back(key.substr(sharedDlls.size()));
            } else if (key.compare(0, journal.size(), journal) == 0) {
                EXPECT_TRUE(logGone && whole.values.count(key) == 0) << where << ": the release journal stays: " << key;
            } else {
                auto w = whole.values.find(key);
                auto a = after.values.find(key);
                EXPECT_TRUE(w != whole.values.end() && a != after.values.end() && w->second == a->second)
                    << where << ": " << key << " is " << (a == after.values.end() ? "gone" : ::testing::PrintToString(a->second))
                    << ", not " << (w == whole.values.end() ? "gone" : ::testing::PrintToString(w->second));
            }
        }
        EXPECT_LE(higher.size(), 1u) << where << ": more than one count stays too high:" << Joined(higher);

        for (const std::string &path : KeysOf(whole.files, after.files)) {
            auto w = whole.files.find(path);
            auto a = after.files.find(path);
            if (w != whole.files.end() && a != after.files.end() && w->second == a->second)
                continue;
            bool stillCounted = std::find(higher.begin(), higher.end(), path) != higher.end();
            bool logFolder = logGone && path == "C:\\APPS\\TOOL";
            EXPECT_TRUE(w == whole.files.end() && (stillCounted || logFolder))
                << where << ": " << path << " is " << (a == after.files.end() ? "gone" : "there")
                << ", unlike after one whole run";
        }
        // No DLL goes while something still counts on it.
        for (const auto &v : after.values)
            if (v.first.compare(0, sharedDlls.size(), sharedDlls) == 0 && after.Count(v.first) > 0) {
                std::string dll = v.first.substr(sharedDlls.size());
                EXPECT_TRUE(before.files.count(dll) == 0 || after.files.count(dll) != 0)
                    << where << ": " << dll << " is deleted, counted " << after.Count(v.first);
            }
        EXPECT_EQ(Joined(std::vector<std::string>(whole.restart.begin(), whole.restart.end())),
                  Joined(std::vector<std::string>(after.restart.begin(), after.restart.end())))
            << where << ": what waits for the restart";
        EXPECT_EQ(whole.groups, after.groups) << where;
        if (HasFailure()) {
            ADD_FAILURE() << "stopping at the first failing cut: " << where;
            return;
        }
    }
    EXPECT_GT(cuts, 200u);
    std::cout << "interruption, " << ScenarioName(GetParam()) << ": " << cuts << " cut points, each followed by a run to the end" << std::endl;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Interruption, ::testing::Values(SCENARIO_COMPLETED, SCENARIO_UNATTENDED),
                         [](const ::testing::TestParamInfo<ScenarioKind> &info) {
                             return std::string(ScenarioName(info.param));
                         });
