// Each platform call of a whole run fails in turn, once per kind of error
// its caller tells apart: the run must keep every invariant, end, and show
// the user what the program promises for that failure.
#include "scenario.h"

#include "support/program_world.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <set>

using namespace hardening;

static const char kConfirm[] = "Do you really want to remove the selected application from your computer ?";
static const char kCustomFailed[] = "Custom uninstall run failed. Morvane will stop application removal.";
static const char kAborted[] = "Uninstall has been aborted. Only parts of the application could be removed.";
static const char kTerminated[] =
    "Uninstall has been terminated due to an initialization error. The product has NOT been removed from your "
    "computer.";
static const char kDdeInit[] = "DDEML Initialization Failure";
static const char kDdeFailed[] = "Unable to update Start Menu\nDdeClientTransaction Failed\n[[DeleteGroup(\"Tool Group\")]]";

static const DWORD kOtherError = ERROR_NOT_ENOUGH_MEMORY;

// The errors to inject into a call: one of no particular meaning, and those
// its caller treats in another way.
static std::vector<DWORD> ErrorKinds(const std::string &function)
{
    if (function == "CreateProcessA")
        return {kOtherError, ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED};
    if (function == "GetFileAttributesA" || function == "GetShortPathNameA")
        return {kOtherError, ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED};
    if (function == "GetPrivateProfileSectionA")
        return {kOtherError, ERROR_SHARING_VIOLATION};
    return {kOtherError};
}

static bool IsMissingForStart(DWORD e)
{
    return e == 1 || e == 2 || e == 3 || e == 5 || e == 15 || e == 18 || e == 123 || e == 161 || e == 193 ||
           e == 206;
}

static bool IsMissingForExistence(DWORD e)
{
    return e == 1 || e == 2 || e == 3 || e == 15 || e == 18 || e == 123 || e == 206;
}

static bool IsMissingForShortPath(DWORD e)
{
    return e == 2 || e == 3 || e == 15 || e == 53 || e == 67 || e == 123 || e == 161;
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

    // What the user must see when call (the n-th of the run) fails with
    // error; an empty list when the failure may cut a log pass short, which
    // the invariants alone judge.
    std::vector<std::string> ExpectedBoxes(const Clean &clean, const std::vector<sim::Call> &calls, size_t n,
                                           DWORD error, bool *judged)
    {
        const sim::Call &call = calls[n];
        const std::string &f = call.function;
        *judged = true;
        size_t firstSystemDirectory = calls.size();
        for (size_t i = 0; i < calls.size(); i++)
            if (calls[i].function == "GetSystemDirectoryA") {
                firstSystemDirectory = i;
                break;
            }
        bool selfCheck = n < firstSystemDirectory;
        if (selfCheck && (f == "GetModuleFileNameA" || f == "CreateFileA" || f == "ReadFile"))
            return {"ALERT\nExecutable corrupt. Possibly a virus !!!"};
        if (f == "GetSystemDirectoryA" || f == "LoadLibraryA" || f == "CreateDialogParamA")
            return {"Resource error. Corrupt executable ?", kTerminated};
        if (f == "CreateFileA")
            return {"Unable to locate Setup logfile.", kTerminated};
        if (f == "CreateThread")
            return {kTerminated};
        if (f == "ReadFile" || f == "SetFilePointer") {
            *judged = false;
            return {};
        }
        if (f == "MessageBoxA" && call.args[1] == kConfirm)
            return {kConfirm};
        bool customRun = f == "CreateProcessA" || f == "GetFileAttributesA" || f == "GetEnvironmentVariableA" ||
                         f == "WaitForSingleObject" || f == "GetExitCodeProcess";
        if (customRun && clean.outcome == RUN_COMPLETED) {
            bool harmless = f == "CreateProcessA" && IsMissingForStart(error) && clean.started.count(call.args[1]) == 0;
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

    // Checks the ways the callers tell errors apart.
    void CheckErrorKind(const Clean &clean, const std::vector<sim::Call> &calls, size_t n, DWORD error)
    {
        const sim::Call &call = calls[n];
        size_t searches = CallsAfter(calls, n, {"CreateProcessA", "GetFileAttributesA"});
        if (call.function == "CreateProcessA")
            EXPECT_EQ(IsMissingForStart(error), searches > 0)
                << "a failed start with error " << error << " must " << (IsMissingForStart(error) ? "" : "not ")
                << "go on to the next candidate";
        if (call.function == "GetFileAttributesA")
            EXPECT_EQ(IsMissingForExistence(error), searches > 0)
                << "a failed existence test with error " << error << " must "
                << (IsMissingForExistence(error) ? "" : "not ") << "go on to the next candidate";
        if (call.function == "GetShortPathNameA") {
            std::vector<sim::Call> moves = sim::CallsTo("MoveFileExA");
            bool longName = false;
            for (const sim::Call &m : moves)
                longName = longName || m.args[0] == call.args[0];
            if (IsMissingForShortPath(error)) {
                EXPECT_EQ(clean.moves - 1, moves.size()) << "a missing item is not scheduled";
            } else {
                EXPECT_EQ(clean.moves, moves.size());
                EXPECT_TRUE(longName) << "without its short form, the item is scheduled by its long name";
            }
        }
        if (call.function == "GetModuleHandleA" && call.args[0] == "ADVAPI32.DLL")
            EXPECT_EQ(1u, sim::CallsTo("ExitWindowsEx").size()) << "the restart is still requested";
        if (call.function == "AttachThreadInput")
            EXPECT_EQ(1u, sim::CallsTo("MessageBeep").size());
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

            bool judged;
            std::vector<std::string> expected = ExpectedBoxes(clean, calls, n - 1, error, &judged);
            if (judged)
                EXPECT_EQ(Joined(expected), Joined(AttemptedBoxTexts())) << where;
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
                         ::testing::Values(SCENARIO_COMPLETED, SCENARIO_WIN32S, SCENARIO_DECLINED, SCENARIO_ABORTED),
                         [](const ::testing::TestParamInfo<ScenarioKind> &info) {
                             std::string name = ScenarioName(info.param);
                             return name == "Win32s" ? std::string("Win32sWithProgmanRefusing") : name;
                         });
