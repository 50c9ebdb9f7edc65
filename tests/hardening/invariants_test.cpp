// The invariant checker on clean runs, and on runs in which something the
// program must never do happens, to show that the checker catches it.
#include "simulated_run.h"

#include "support/program_world.h"
#include "driver/program_texts.h"

#include <gtest/gtest.h>

using namespace hardening;

#define COMMON_DLL SIM_SYSTEM_DIR "\\common.dll"

static bool Mentions(const std::vector<std::string> &violations, const std::string &part)
{
    for (const std::string &v : violations)
        if (v.find(part) != std::string::npos)
            return true;
    return false;
}

// Each scenario started by someone and unattended; unattended, nobody is
// asked, and the exit code tells what the boxes would have.
TEST(Invariants, CleanRunsOfEveryScenarioKeepThem)
{
    struct Case {
        ScenarioKind kind;
        const char *commandSwitch;
        Outcome outcome;
        int exitCode;
    } cases[] = {{SCENARIO_COMPLETED, "", RUN_COMPLETED, 0},
                 {SCENARIO_WIN32S, "", RUN_COMPLETED, 0},
                 {SCENARIO_DECLINED, "", RUN_DECLINED, 0},
                 {SCENARIO_ABORTED, "", RUN_ABORTED, 0},
                 {SCENARIO_SECOND_START, "", RUN_ELSEWHERE, 0},
                 {SCENARIO_UNATTENDED, "/quiet ", RUN_COMPLETED, EXIT_RESTART_NEEDED},
                 {SCENARIO_WIN32S, "/S ", RUN_COMPLETED, EXIT_RESTART_NEEDED},
                 {SCENARIO_DECLINED, "/s ", RUN_COMPLETED, EXIT_RESTART_NEEDED},
                 {SCENARIO_ABORTED, "/S ", RUN_ABORTED, EXIT_NOT_REMOVED},
                 {SCENARIO_SECOND_START, "/S ", RUN_ELSEWHERE, EXIT_RUNNING_ELSEWHERE}};
    for (const Case &c : cases) {
        SimulatedRun run = Scenario(c.kind);
        run.commandSwitch = c.commandSwitch;
        RunResult result = RunAndCheck(run);
        std::string name = c.commandSwitch + std::string(ScenarioName(c.kind));
        EXPECT_EQ(c.exitCode, result.exitCode) << name;
        EXPECT_EQ(OutcomeName(c.outcome), std::string(OutcomeName(result.outcome))) << name;
        EXPECT_TRUE(result.violations.empty()) << name << Joined(result.violations);
    }
    // Unattended, a removal that leaves nothing for the restart ends with
    // 0, and one that cannot start with 1603; a switch before a relative
    // path is part of the path, and the run is not unattended.
    SimulatedRun tool = ToolRun();
    tool.commandSwitch = "/S ";
    for (const auto &[logPath, exitCode] : std::vector<std::pair<std::string, int>>{
             {TOOL_LOG, EXIT_REMOVED}, {"C:\\Apps\\Tool\\none.log", EXIT_NOT_REMOVED}}) {
        tool.commandTail = logPath;
        RunResult result = RunAndCheck(tool);
        EXPECT_EQ(exitCode, result.exitCode) << logPath;
        EXPECT_TRUE(result.violations.empty()) << logPath << Joined(result.violations);
    }
    tool.commandTail = "install.log";
    RunResult relative = RunAndCheck(tool);
    EXPECT_EQ(0, relative.exitCode);
    std::vector<sim::MessageBoxRecord> boxes = sim::MessageBoxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(kNoLog, boxes[0].text);
    EXPECT_EQ(kTerminated, boxes[1].text);
    EXPECT_TRUE(relative.violations.empty()) << Joined(relative.violations);
}

TEST(Invariants, TheCompletedScenarioRemovesWhatTheLogNames)
{
    RunResult result = RunAndCheck(Scenario(SCENARIO_COMPLETED));
    ASSERT_TRUE(result.violations.empty()) << Joined(result.violations);
    EXPECT_FALSE(sim::FileExists(TOOL_APP "\\tool.exe"));
    EXPECT_FALSE(sim::FileExists(TOOL_APP "\\private.dll"));
    EXPECT_TRUE(sim::FileExists(COMMON_DLL));
    EXPECT_TRUE(sim::FileExists(TOOL_APP "\\busy.dll"));
    EXPECT_FALSE(sim::FileExists(TOOL_LOG));
    EXPECT_TRUE(sim::FileExists("C:\\Apps\\Other\\keep.txt"));
    EXPECT_FALSE(sim::RegKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Tool"));
    EXPECT_TRUE(sim::RegKeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Other App"));
    EXPECT_EQ(1u, sim::CallsTo("ExitWindowsEx").size());
    EXPECT_NE(std::string::npos, sim::FileContent(WININIT_PATH).find("NUL=C:\\OTHER~1.TMP"));
}

TEST(Invariants, AProgramManagerThatAnswersTooLateFailsEveryCommand)
{
    SimulatedRun run = Scenario(SCENARIO_COMPLETED);
    run.progman = PROGMAN_TOO_SLOW;
    RunResult result = RunAndCheck(run);
    EXPECT_TRUE(result.violations.empty()) << Joined(result.violations);
    std::vector<sim::MessageBoxRecord> boxes = sim::MessageBoxes();
    ASSERT_EQ(3u, boxes.size());
    EXPECT_EQ(DdeFailedText("[DeleteGroup(\"Tool Group\")]"),
              boxes[1].text);
    EXPECT_EQ(std::vector<std::string>{std::string("[DeleteGroup(\"Tool Group\")]\0", 28)}, sim::DdeExecuteData());
}

// A custom program stands in for a faulty program: it does what the
// uninstaller must never do, and the checker must say so. The log releases
// common.dll, which another application counts on too, dllRecords times;
// arrange may make platform calls fail before the run.
static std::vector<std::string> RunWithProgram(std::function<void()> misdeed, int dllRecords = 1,
                                               std::function<void()> arrange = nullptr,
                                               const std::string &commandSwitch = "")
{
    SimulatedRun run;
    run.commandSwitch = commandSwitch;
    run.records = {{kAppName, "Tool", ""}, {kCustomProgram, TOOL_APP "\\undo.exe", ""}};
    run.records.insert(run.records.end(), dllRecords, TestRecord{kSharedDll, COMMON_DLL, ""});
    run.items = {File("C:\\Apps\\Other\\keep.txt"), File(COMMON_DLL), SharedDll(COMMON_DLL, 2), Entry("Other App")};
    return RunAndCheck(run, [&] {
        AddCheckedProgram(TOOL_APP "\\undo.exe", 0, 0, misdeed);
        if (arrange)
            arrange();
    }).violations;
}

static void Harmless() {}

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
        WritePrivateProfileStringA(WININIT_RENAME_SECTION, "NUL", "C:\\APPS\\OTHER\\KEEP.TXT", WININIT_PATH);
    });
    EXPECT_TRUE(Mentions(violations, "scheduled for deletion at restart, but not named by the log"))
        << Joined(violations);
    EXPECT_TRUE(Mentions(violations, "WININIT.INI gained a line, but not named by the log")) << Joined(violations);
}

// Tool's run, whose log first runs undo.exe, which ends with status after
// doing what misdeed does.
static std::vector<std::string> ToolRunWithProgram(DWORD status, std::function<void()> misdeed)
{
    SimulatedRun run = ToolRun();
    run.records.insert(run.records.begin() + 1, TestRecord{kCustomProgram, TOOL_APP "\\undo.exe", ""});
    return RunAndCheck(run, [&] { AddCheckedProgram(TOOL_APP "\\undo.exe", status, 0, misdeed); }).violations;
}

TEST(Invariants, AFileRenamedOutOfItsFolderIsReportedSo)
{
    std::vector<std::string> violations = ToolRunWithProgram(0, [] {
        MoveFileExA(TOOL_APP "\\tool.exe", "C:\\Apps\\Other\\~MU00000.TMP", 0);
    });
    EXPECT_TRUE(Mentions(violations, "renamed out of its folder to C:\\Apps\\Other\\~MU00000.TMP: " TOOL_APP
                                     "\\tool.exe"))
        << Joined(violations);
    EXPECT_FALSE(Mentions(violations, "not named by the log")) << Joined(violations);
}

TEST(Invariants, WhatGoesInARunThatDidNotCompleteIsReportedSo)
{
    std::vector<std::string> violations = ToolRunWithProgram(1, [] { DeleteFileA(TOOL_APP "\\tool.exe"); });
    EXPECT_TRUE(Mentions(violations, "deleted, but the run did not complete (aborted): " TOOL_APP "\\tool.exe"))
        << Joined(violations);
}

// In code page 932 the second byte of 表 is a backslash: the folder of
// ソフト\表示.txt is ソフト, which the file in use is renamed within.
TEST(Invariants, AFileInUseInADoubleByteFolderGoesAsideWithinIt)
{
    const std::string folder = "C:\\Program Files\\\x83\x5C\x83\x74\x83\x67", file = folder + "\\\x95\x5C\x8E\xA6.txt";
    SimulatedRun run;
    run.codePage932 = true;
    run.items = {File(file), State(file, 0, true)};
    run.records = {{kFile, file, ""}};
    RunResult result = RunAndCheck(run);
    EXPECT_TRUE(result.violations.empty()) << Joined(result.violations);
    EXPECT_EQ(OutcomeName(RUN_COMPLETED), std::string(OutcomeName(result.outcome)));
    EXPECT_FALSE(sim::FileExists(file));
    std::vector<std::string> aside;
    for (const sim::ItemInfo &item : sim::AllItems())
        if (item.longPath.compare(0, folder.size() + 4, folder + "\\~MU") == 0)
            aside.push_back(item.longPath);
    EXPECT_EQ(1u, aside.size());
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
        sim::SetRegDword(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, COMMON_DLL, 0xFFFFFFFF);
    });
    EXPECT_TRUE(Mentions(violations, "a wrapped value")) << Joined(violations);
}

TEST(Invariants, ACountLoweredByMoreThanItsRecordsIsReported)
{
    std::vector<std::string> violations = RunWithProgram([] {
        sim::SetRegDword(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, COMMON_DLL, 0);
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
    violations = RunWithProgram([] { MessageBoxA(nullptr, "Surprise", "Setup", MB_OK); }, 1, nullptr, "/S ");
    EXPECT_TRUE(Mentions(violations, "an unattended run showed boxes")) << Joined(violations);
}

TEST(Invariants, ADeclinedRunKeepsTheLogOpenAndNothingElse)
{
    RunResult result = RunAndCheck(Scenario(SCENARIO_DECLINED));
    EXPECT_TRUE(result.violations.empty()) << Joined(result.violations);
    EXPECT_EQ(std::vector<std::string>{"file " TOOL_LOG}, sim::OpenHandles());
}

// The checker passes the run in which the custom program does what sound
// does, and reports what in the one in which it does what broken does.
static void ExpectOnlyTheBrokenRunCaught(std::function<void()> sound, std::function<void()> broken,
                                         const std::string &what, int dllRecords = 1,
                                         std::function<void()> arrange = nullptr)
{
    std::vector<std::string> passed = RunWithProgram(sound, dllRecords, arrange);
    EXPECT_TRUE(passed.empty()) << Joined(passed);
    std::vector<std::string> caught = RunWithProgram(broken, dllRecords, arrange);
    EXPECT_TRUE(Mentions(caught, what)) << "expected: " << what << Joined(caught);
}

// Both releases of a count of 2 are tried, but the first write-back fails:
// the count stays at 1, and the DLL must stay with it.
static void FirstWriteBackFails()
{
    sim::FailCall("RegSetValueExA", ERROR_ACCESS_DENIED, 1);
}

TEST(Invariants, ADllStillCountedOnMustNotGo)
{
    RunWithProgram(Harmless, 2, FirstWriteBackFails);
    EXPECT_TRUE(sim::FileExists(COMMON_DLL));
    EXPECT_EQ(1u, sim::GetRegValue(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, COMMON_DLL)->data[0]);

    ExpectOnlyTheBrokenRunCaught(
        Harmless, [] { DeleteFileA(COMMON_DLL); }, "deleted, but its shared-DLL count did not reach 0: " COMMON_DLL,
        2, FirstWriteBackFails);
    ExpectOnlyTheBrokenRunCaught(
        Harmless, [] { MoveFileExA(COMMON_DLL, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT); },
        "scheduled for deletion at restart, but its shared-DLL count did not reach 0", 2, FirstWriteBackFails);
}

TEST(Invariants, ADllGoesWhenItsCountsValueGoes)
{
    // Two releases of a count of 2: the value goes, and the DLL with it.
    std::vector<std::string> released = RunWithProgram(Harmless, 2);
    EXPECT_TRUE(released.empty()) << Joined(released);
    EXPECT_FALSE(sim::FileExists(COMMON_DLL));
    EXPECT_FALSE(sim::GetRegValue(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, COMMON_DLL));

    // The value's deletion made to fail: the release goes on to the DLL all
    // the same.
    std::vector<std::string> undeleted =
        RunWithProgram(Harmless, 2, [] { sim::FailCall("RegDeleteValueA", ERROR_ACCESS_DENIED); });
    EXPECT_TRUE(undeleted.empty()) << Joined(undeleted);
    EXPECT_FALSE(sim::FileExists(COMMON_DLL));
}

static HKEY OpenOtherEntry()
{
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Other App", 0, KEY_READ, &key);
    return key;
}

TEST(Invariants, ARegistryKeyLeftOpenIsReported)
{
    ExpectOnlyTheBrokenRunCaught([] { RegCloseKey(OpenOtherEntry()); }, [] { OpenOtherEntry(); },
                                 "left open after a completed run:\n    registry key");
}

TEST(Invariants, OnlyTheKeyWhoseCloseFailedMayStayOpen)
{
    // A key whose close was made to fail may stay open; a file whose first
    // close failed and whose second went through excuses no key.
    ExpectOnlyTheBrokenRunCaught(
        [] {
            sim::FailCall("RegCloseKey", ERROR_INVALID_HANDLE, 1);
            RegCloseKey(OpenOtherEntry());
        },
        [] {
            OpenOtherEntry();
            HANDLE file = CreateFileA("C:\\Apps\\Other\\keep.txt", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            sim::FailCall("CloseHandle", ERROR_INVALID_HANDLE, 1);
            CloseHandle(file);
            CloseHandle(file);
        },
        "left open after a completed run:\n    registry key");
}

static DWORD StartDdeml()
{
    DWORD instance = 0;
    DdeInitializeA(&instance, nullptr, APPCMD_CLIENTONLY, 0);
    return instance;
}

TEST(Invariants, ADdeInstanceLeftOpenIsReported)
{
    ExpectOnlyTheBrokenRunCaught([] { DdeUninitialize(StartDdeml()); }, [] { StartDdeml(); },
                                 "left open after a completed run:\n    dde instance");

    // An instance whose end failed may stay, but not a string handle of it
    // that was never freed.
    auto failedEnd = [](bool stringLeft) {
        DWORD instance = StartDdeml();
        if (stringLeft)
            DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
        sim::FailCall("DdeUninitialize", DMLERR_SYS_ERROR, 1);
        DdeUninitialize(instance);
    };
    ExpectOnlyTheBrokenRunCaught([&] { failedEnd(false); }, [&] { failedEnd(true); },
                                 "left open after a completed run:\n    dde string PROGMAN");
    EXPECT_FALSE(Mentions(RunWithProgram([&] { failedEnd(true); }), "dde instance"));
}

TEST(Invariants, AWrongExitCodeIsReported)
{
    PrepareProgramWorld();
    RunSetup setup = Apply(Scenario(SCENARIO_COMPLETED));
    RunCheck completed(setup);
    EXPECT_EQ(0, RunUninstaller(setup.commandTail));
    std::vector<std::string> sound = completed.Check(0);
    EXPECT_TRUE(sound.empty()) << Joined(sound);
    for (int wrong : {-1, 1}) {
        std::vector<std::string> violations = completed.Check(wrong);
        EXPECT_TRUE(Mentions(violations, "exit code " + std::to_string(wrong) + " after a completed run"))
            << Joined(violations);
    }

    // After the alarm about a corrupt executable the code is -1.
    PrepareProgramWorld();
    SimulatedRun run = Scenario(SCENARIO_COMPLETED);
    run.exeCorrupt = true;
    setup = Apply(run);
    RunCheck corrupt(setup);
    EXPECT_EQ(-1, RunUninstaller(setup.commandTail));
    std::vector<std::string> alarm = corrupt.Check(-1);
    EXPECT_TRUE(alarm.empty()) << Joined(alarm);
    std::vector<std::string> violations = corrupt.Check(0);
    EXPECT_TRUE(Mentions(violations, "exit code 0 after a corrupt executable run")) << Joined(violations);

    // Unattended, the code is the outcome: a removal that leaves a file for
    // the restart is not one that left nothing, nor one that failed.
    PrepareProgramWorld();
    setup = Apply(Scenario(SCENARIO_UNATTENDED));
    RunCheck unattended(setup);
    EXPECT_EQ(EXIT_RESTART_NEEDED, RunUninstaller(setup.commandTail));
    EXPECT_TRUE(unattended.Check(EXIT_RESTART_NEEDED).empty());
    violations = unattended.Check(EXIT_REMOVED);
    EXPECT_TRUE(Mentions(violations, "scheduled for the restart, but no restart was offered")) << Joined(violations);
    violations = unattended.Check(EXIT_NOT_REMOVED);
    EXPECT_TRUE(Mentions(violations, "the run ended aborted, where completed was due")) << Joined(violations);
    violations = unattended.Check(0x7E4);
    EXPECT_TRUE(Mentions(violations, "exit code 2020 after an unattended unknown run")) << Joined(violations);
}
