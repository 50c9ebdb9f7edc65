#include "scenario.h"

#include "support/log_builder.h"
#include "support/program_world.h"

namespace hardening {

const char *ScenarioName(ScenarioKind kind)
{
    switch (kind) {
    case SCENARIO_COMPLETED: return "completed";
    case SCENARIO_WIN32S: return "Win32s";
    case SCENARIO_DECLINED: return "declined";
    case SCENARIO_ABORTED: return "aborted";
    case SCENARIO_SECOND_START: return "second start";
    }
    return "?";
}

RunSetup BuildScenario(ScenarioKind kind)
{
    const std::string app = SCENARIO_APP;
    const std::string common = "C:\\WINDOWS\\system32\\common.dll";
    const std::string triple = "C:\\WINDOWS\\system32\\triple.dll";
    std::vector<TestRecord> records{
        {0, "Tool", ""},
        {7, app + "\\undo", "-q"},
        {7, app + "\\cleanup.bat", ""},
        {1, app + "\\tool.exe", ""},
        {1, app + "\\busy.dll", ""},
        {1, app + "\\loaded.dll", ""},
        {1, app + "\\Sub Folder\\Long File Name.txt", ""},
        {1, app + "\\Sub Folder\\From CD.txt", ""},
        {4, common, ""},
        {4, triple, ""},
        {4, app + "\\private.dll", ""},
        {5, "", "Tool Group"},
        {4, triple, ""},
        {6, "", ""},
        {3, "", ""},
        {2, app + "\\Sub Folder", ""},
        {2, app, ""},
    };
    sim::AddFile(SCENARIO_LOG, LogBytes(records));
    sim::AddFile("C:\\Apps\\Other\\keep.txt", "keep");
    sim::AddFile(app + "\\tool.exe", "exe");
    sim::AddFile(app + "\\busy.dll", "dll");
    sim::HoldFile(app + "\\busy.dll");
    sim::AddFile(app + "\\loaded.dll", "loaded dll");
    sim::LoadImage(app + "\\loaded.dll");
    sim::AddFile(app + "\\Sub Folder\\Long File Name.txt", "text");
    // Copied from a CD-ROM: read-only, and here hidden as well.
    sim::AddFile(app + "\\Sub Folder\\From CD.txt", "cd");
    sim::SetAttributes(app + "\\Sub Folder\\From CD.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    sim::SetAttributes(app + "\\Sub Folder", FILE_ATTRIBUTE_READONLY);
    sim::AddFile(common, "dll");
    sim::AddFile(triple, "dll");
    sim::AddFile(app + "\\private.dll", "dll");
    sim::SetAttributes(app + "\\private.dll", FILE_ATTRIBUTE_READONLY);
    sim::AddFile(app + "\\cleanup.bat", "@echo off");
    sim::AddFile("C:\\WINDOWS\\WININIT.INI", "[Rename]\r\nNUL=C:\\OTHER~1.TMP\r\n[Other]\r\nkey=value\r\n");
    sim::SetRegDword(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, common, 2);
    sim::SetRegDword(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, triple, 3);
    sim::SetRegDword(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, app + "\\private.dll", 1);
    sim::SetRegDword(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, "C:\\WINDOWS\\system32\\other.dll", 1);
    sim::SetRegValue(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Tool", "DisplayName", REG_SZ, std::string("Tool\0", 5));
    // What the application stored below its own entry.
    sim::SetRegDword(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Tool\\Extra\\Deeper", "Runs", 3);
    sim::AddRegKey(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Tool\\Extra\\Beside");
    sim::SetRegValue(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\Other App", "DisplayName", REG_SZ,
                     std::string("Other App\0", 10));
    AddCheckedProgram(app + "\\undo.exe", kind == SCENARIO_ABORTED ? 3 : 0, kind == SCENARIO_WIN32S ? 2 : 0);
    AddCheckedProgram("C:\\WINDOWS\\system32\\cmd.exe", 0, kind == SCENARIO_WIN32S ? 1 : 0);

    RunSetup setup;
    setup.commandTail = SCENARIO_LOG;
    setup.confirm = kind != SCENARIO_DECLINED;
    setup.restartYes = kind == SCENARIO_COMPLETED;
    setup.progman = kind == SCENARIO_WIN32S ? PROGMAN_REFUSES : PROGMAN_ACCEPTS;
    setup.otherRunUnderWay = kind == SCENARIO_SECOND_START;
    if (kind == SCENARIO_WIN32S)
        sim::SetVersion(0x80000A03);   // Win32s 1.3 on Windows 3.1
    ApplySetup(setup);
    return setup;
}

RunResult RunScenario(ScenarioKind kind, int failNthCall, DWORD error)
{
    PrepareProgramWorld();
    RunSetup setup = BuildScenario(kind);
    RunCheck check(setup);
    if (failNthCall != 0)
        sim::FailNthCall(failNthCall, error);
    int exitCode = RunUninstaller(setup.commandTail);
    RunResult result;
    result.exitCode = exitCode;
    result.violations = check.Check(exitCode);
    result.outcome = check.outcome();
    return result;
}

}  // namespace hardening
