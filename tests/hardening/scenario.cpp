#include "scenario.h"

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

SimulatedRun Scenario(ScenarioKind kind)
{
    const std::string app = TOOL_APP;
    const std::string common = SIM_SYSTEM_DIR "\\common.dll";
    const std::string triple = SIM_SYSTEM_DIR "\\triple.dll";
    SimulatedRun run;
    run.records = {
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
    run.items = {
        File("C:\\Apps\\Other\\keep.txt"),
        File(app + "\\tool.exe"),
        HeldFile(app + "\\busy.dll"),
        File(app + "\\loaded.dll"),
        State(app + "\\loaded.dll", 0, true),
        File(app + "\\Sub Folder\\Long File Name.txt"),
        // Copied from a CD-ROM: read-only, and here hidden as well.
        File(app + "\\Sub Folder\\From CD.txt"),
        State(app + "\\Sub Folder\\From CD.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
        State(app + "\\Sub Folder", FILE_ATTRIBUTE_READONLY),
        File(common),
        File(triple),
        File(app + "\\private.dll"),
        State(app + "\\private.dll", FILE_ATTRIBUTE_READONLY),
        File(app + "\\cleanup.bat"),
        SharedDll(common, 2),
        SharedDll(triple, 3),
        SharedDll(app + "\\private.dll", 1),
        SharedDll(SIM_SYSTEM_DIR "\\other.dll", 1),
        Entry("Tool", false, true),
        // What the application stored below its own entry.
        Entry("Tool\\Extra\\Deeper", false, true),
        Entry("Tool\\Extra\\Beside"),
        Entry("Other App", false, true),
        Program(app + "\\undo.exe", kind == SCENARIO_ABORTED ? 3 : 0, kind == SCENARIO_WIN32S ? 2 : 0),
        Program(SIM_COMSPEC, 0, kind == SCENARIO_WIN32S ? 1 : 0),
    };
    run.wininit = "[boot]\r\nshell=explorer\r\n[Rename]\r\nNUL=C:\\OTHER~1.TMP\r\nC:\\NEW.DLL=C:\\OLD.DLL\r\n";
    run.confirm = kind != SCENARIO_DECLINED;
    run.restartYes = kind == SCENARIO_COMPLETED;
    run.progman = kind == SCENARIO_WIN32S ? PROGMAN_REFUSES : PROGMAN_ACCEPTS;
    run.otherRunUnderWay = kind == SCENARIO_SECOND_START;
    run.win32s = kind == SCENARIO_WIN32S;
    return run;
}

}  // namespace hardening
