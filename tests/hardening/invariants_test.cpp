// The invariant checker on clean runs, and on runs in which something the
// program must never do happens, to show that the checker catches it.
#include "scenario.h"

#include "support/log_builder.h"
#include "support/program_world.h"

#include <gtest/gtest.h>

using namespace hardening;

static std::string Joined(const std::vector<std::string> &texts)
{
    std::string out;
    for (const std::string &t : texts)
        out += "\n    " + t;
    return out.empty() ? " (none)" : out;
}

static bool Mentions(const std::vector<std::string> &violations, const std::string &part)
{
    for (const std::string &v : violations)
        if (v.find(part) != std::string::npos)
            return true;
    return false;
}

TEST(Invariants, CleanRunsOfEveryScenarioKeepThem)
{
    struct Case {
        ScenarioKind kind;
        Outcome outcome;
    } cases[] = {{SCENARIO_COMPLETED, RUN_COMPLETED},
                 {SCENARIO_WIN32S, RUN_COMPLETED},
                 {SCENARIO_DECLINED, RUN_DECLINED},
                 {SCENARIO_ABORTED, RUN_ABORTED}};
    for (const Case &c : cases) {
        RunResult result = RunScenario(c.kind);
        EXPECT_EQ(0, result.exitCode) << ScenarioName(c.kind);
        EXPECT_EQ(OutcomeName(c.outcome), std::string(OutcomeName(result.outcome))) << ScenarioName(c.kind);
        EXPECT_TRUE(result.violations.empty()) << ScenarioName(c.kind) << Joined(result.violations);
    }
}

TEST(Invariants, TheCompletedScenarioRemovesWhatTheLogNames)
{
    RunResult result = RunScenario(SCENARIO_COMPLETED);
    ASSERT_TRUE(result.violations.empty()) << Joined(result.violations);
    EXPECT_FALSE(sim::FileExists(SCENARIO_APP "\\tool.exe"));
    EXPECT_FALSE(sim::FileExists(SCENARIO_APP "\\private.dll"));
    EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\system32\\common.dll"));
    EXPECT_TRUE(sim::FileExists(SCENARIO_APP "\\busy.dll"));
    EXPECT_FALSE(sim::FileExists(SCENARIO_LOG));
    EXPECT_TRUE(sim::FileExists("C:\\Apps\\Other\\keep.txt"));
    EXPECT_FALSE(sim::RegKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Tool"));
    EXPECT_TRUE(sim::RegKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Other App"));
    EXPECT_EQ(1u, sim::CallsTo("ExitWindowsEx").size());
    EXPECT_NE(std::string::npos, sim::FileContent("C:\\WINDOWS\\WININIT.INI").find("NUL=C:\\OTHER~1.TMP"));
}

// A custom program stands in for a faulty program: it does what the
// uninstaller must never do, and the checker must say so.
static std::vector<std::string> RunWithProgram(std::function<void()> misdeed, RunSetup *setupOut = nullptr)
{
    PrepareProgramWorld();
    sim::AddFile(SCENARIO_LOG, LogBytes({{0, "Tool", ""}, {7, SCENARIO_APP "\\undo.exe", ""},
                                         {4, "C:\\WINDOWS\\system32\\common.dll", ""}}));
    sim::AddFile("C:\\Apps\\Other\\keep.txt", "keep");
    sim::AddFile("C:\\WINDOWS\\system32\\common.dll", "dll");
    sim::SetRegDword(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, "C:\\WINDOWS\\system32\\common.dll", 2);
    sim::AddRegKey(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Other App");
    sim::AddProgram(SCENARIO_APP "\\undo.exe", [misdeed](const sim::ProgramRun &) {
        misdeed();
        return 0u;
    });
    RunSetup setup;
    setup.commandTail = SCENARIO_LOG;
    ApplySetup(setup);
    if (setupOut != nullptr)
        *setupOut = setup;
    RunCheck check(setup);
    int exitCode = RunUninstaller(setup.commandTail);
    return check.Check(exitCode);
}

TEST(Invariants, AFileTheLogDoesNotNameMustNotGo)
{
    std::vector<std::string> violations = RunWithProgram([] { DeleteFileA("C:\\Apps\\Other\\keep.txt"); });
    EXPECT_TRUE(Mentions(violations, "deleted, but not named by the log: C:\\Apps\\Other\\keep.txt"))
        << Joined(violations);
}

TEST(Invariants, NothingTheLogDoesNotNameMayBeScheduled)
{
    std::vector<std::string> violations = RunWithProgram([] {
        MoveFileExA("C:\\APPS\\OTHER\\KEEP.TXT", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        WritePrivateProfileStringA("Rename", "NUL", "C:\\APPS\\OTHER\\KEEP.TXT", "C:\\WINDOWS\\WININIT.INI");
    });
    EXPECT_TRUE(Mentions(violations, "scheduled for deletion at restart, but not named by the log"))
        << Joined(violations);
    EXPECT_TRUE(Mentions(violations, "WININIT.INI gained a line, but not named by the log")) << Joined(violations);
}

TEST(Invariants, AnotherApplicationsEntryMustStay)
{
    std::vector<std::string> violations =
        RunWithProgram([] { RegDeleteKeyA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Other App"); });
    EXPECT_TRUE(Mentions(violations, "registry key deleted")) << Joined(violations);
}

TEST(Invariants, ACountThatGrowsIsAWrappedValue)
{
    // As if 0 had been lowered: the count the run leaves is above the one
    // it found.
    std::vector<std::string> violations = RunWithProgram([] {
        sim::SetRegDword(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, "C:\\WINDOWS\\system32\\common.dll", 0xFFFFFFFF);
    });
    EXPECT_TRUE(Mentions(violations, "a wrapped value")) << Joined(violations);
}

TEST(Invariants, ACountLoweredByMoreThanItsRecordsIsReported)
{
    std::vector<std::string> violations = RunWithProgram([] {
        sim::SetRegDword(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, "C:\\WINDOWS\\system32\\common.dll", 0);
    });
    EXPECT_TRUE(Mentions(violations, "lowered by 2 for 1 records")) << Joined(violations);
}

TEST(Invariants, AHandleLeftOpenIsReported)
{
    std::vector<std::string> violations = RunWithProgram([] {
        CreateFileA("C:\\Apps\\Other\\keep.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    });
    EXPECT_TRUE(Mentions(violations, "left open after a completed run")) << Joined(violations);
}

TEST(Invariants, ABoxTheProgramDoesNotPromiseIsReported)
{
    std::vector<std::string> violations =
        RunWithProgram([] { MessageBoxA(nullptr, "Surprise", "Setup", MB_OK); });
    EXPECT_TRUE(Mentions(violations, "the boxes do not match")) << Joined(violations);
}

TEST(Invariants, ADeclinedRunKeepsTheLogOpenAndNothingElse)
{
    RunResult result = RunScenario(SCENARIO_DECLINED);
    EXPECT_TRUE(result.violations.empty()) << Joined(result.violations);
    EXPECT_EQ(std::vector<std::string>{"file " SCENARIO_LOG}, sim::OpenHandles());
}
