#include "simulated_run.h"

#include "support/program_world.h"

#include <map>
#include <stdexcept>
#include <tuple>

namespace hardening {

static auto Fields(const Item &i)
{
    return std::tie(i.kind, i.path, i.share, i.status, i.stillActiveReads, i.inheritedPosition, i.valueType, i.data,
                    i.subkey, i.displayName, i.attributes, i.loaded, i.current);
}

bool operator==(const Item &a, const Item &b)
{
    return Fields(a) == Fields(b);
}

bool operator==(const SimulatedRun &a, const SimulatedRun &b)
{
    return std::tie(a.items, a.wininit, a.comspec, a.win32s, a.codePage932, a.exeCorrupt, a.logPath, a.records, a.tail,
                    a.commandTail, a.commandSwitch, a.confirm, a.restartYes, a.progman, a.otherRunUnderWay, a.fault.kind, a.fault.n,
                    a.fault.function, a.fault.error) ==
           std::tie(b.items, b.wininit, b.comspec, b.win32s, b.codePage932, b.exeCorrupt, b.logPath, b.records, b.tail,
                    b.commandTail, b.commandSwitch, b.confirm, b.restartYes, b.progman, b.otherRunUnderWay, b.fault.kind, b.fault.n,
                    b.fault.function, b.fault.error);
}

SimulatedRun ToolRun()
{
    SimulatedRun run;
    run.records = {{kAppName, "Tool", ""}, {kFile, TOOL_APP "\\tool.exe", ""}, {kDirectory, TOOL_APP, ""}};
    run.items = {File(TOOL_APP "\\tool.exe"), File("C:\\Program Files\\Other\\keep.txt"),
                 File("C:\\Apps\\Other\\keep.txt"), Entry("Tool"), Entry("Other App")};
    return run;
}

// Installs the user's answers and Program Manager.
static void ApplyAnswers(const RunSetup &setup)
{
    bool confirm = setup.confirm;
    sim::SetMessageBoxHandler([confirm](const sim::MessageBoxRecord &box) {
        return (box.type & 0xF) != MB_YESNO ? IDOK : confirm ? IDYES : IDNO;
    });
    WPARAM button = setup.restartYes ? IDOK : IDCANCEL;
    sim::SetModalDialogHandler([button](HWND dialog, const std::string &) { sim::SendCommand(dialog, button); });
    bool accepts = setup.progman != PROGMAN_REFUSES;
    if (setup.progman == PROGMAN_ABSENT)
        sim::StopProgramManager();
    else
        sim::SetProgramManager([accepts](const std::string &) { return accepts; });
    if (setup.progman == PROGMAN_TOO_SLOW)
        sim::SetProgramManagerAnswerTime(60000);
    if (setup.otherRunUnderWay) {
        std::string logPath;
        ReadsAsUnattended(setup.commandTail, &logPath);
        sim::HoldNamedMapping(LogGuardName(logPath), OTHER_RUN_PROCESS_ID);
        sim::AddOtherWindow(OTHER_RUN_PROCESS_ID, true, false);
    }
}

// Whether path names the same item as other, as the file functions resolve
// names.
static bool SamePlace(const std::string &path, const std::string &other)
{
    std::optional<std::string> a = sim::ResolvePath(path), b = sim::ResolvePath(other);
    return a && b && sim::Upper(*a) == sim::Upper(*b);
}

// A file may not turn into a folder nor go inside a file; the simulation's
// set-up would not refuse it.
static bool CanCreate(const std::string &path)
{
    for (size_t at = path.find_first_of("\\/"); at != std::string::npos; at = path.find_first_of("\\/", at + 1))
        if (at > 0 && sim::FileExists(path.substr(0, at)))
            return false;
    return true;
}

static bool CanCreateFile(const std::string &path)
{
    return !SamePlace(path, EXE_PATH) && CanCreate(path) && !sim::DirExists(path);
}

static void AddItem(const Item &item)
{
    const std::string &path = item.path;
    switch (item.kind) {
    case Item::FILE:
        if (CanCreateFile(path))
            sim::AddFile(path, "x");
        break;
    case Item::DIR:
        if (CanCreate(path) && !sim::FileExists(path))
            sim::AddDir(path);
        break;
    case Item::HELD_FILE:
        if (!sim::FileExists(path) && CanCreateFile(path))
            sim::AddFile(path, "x");
        if (sim::FileExists(path))
            sim::HoldFile(path, item.share);
        break;
    case Item::HELD_DIR:
        if (CanCreate(path) && !sim::FileExists(path))
            sim::AddDir(path);
        if (sim::DirExists(path) && item.current)
            sim::SetCurrentFolder(path);
        else if (sim::DirExists(path))
            sim::HoldFile(path, item.share);
        break;
    case Item::PROGRAM:
        if (CanCreateFile(path)) {
            long long position = item.inheritedPosition;
            AddCheckedProgram(path, item.status, item.stillActiveReads, [position] {
                if (position >= 0)
                    sim::SetInheritedFilePositions((unsigned long long)position);
            });
        }
        break;
    case Item::SHARED_DLL:
        sim::SetRegValue(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, path, item.valueType, item.data);
        break;
    case Item::ENTRY:
        if (path.empty())
            break;
        sim::AddRegKey(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\" + path);
        if (item.subkey)
            sim::AddRegKey(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\" + path + "\\Sub");
        if (item.displayName)
            sim::SetRegValue(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\" + path, "DisplayName", REG_SZ,
                             path + std::string(1, '\0'));
        break;
    case Item::STATE:
        if (sim::FileExists(path) || sim::DirExists(path))
            sim::SetAttributes(path, item.attributes);
        if (item.loaded && sim::FileExists(path))
            sim::LoadImage(path);
        break;
    }
}

RunSetup Apply(const SimulatedRun &run)
{
    sim::SetEnvironmentVariable("COMSPEC", run.comspec);
    if (run.win32s)
        sim::SetVersion(0x80000A03);
    if (run.codePage932)
        sim::SetCodePage(932);
    if (run.wininit)
        sim::AddFile(WININIT_PATH, *run.wininit);
    if (run.exeCorrupt)
        sim::AddFile(EXE_PATH, CorruptExecutable());

    std::map<std::string, DWORD> shares;   // the last share each held file was held with
    for (const Item &item : run.items) {
        try {
            AddItem(item);
        } catch (const std::exception &) {
            continue;   // not a path the simulated file system can hold
        }
        if (item.kind == Item::HELD_FILE && sim::FileExists(item.path))
            shares[sim::Upper(*sim::ResolvePath(item.path))] = item.share;
    }
    try {
        if (!run.logPath.empty() && CanCreateFile(run.logPath))
            sim::AddFile(run.logPath, LogBytes(run.records) + run.tail);
    } catch (const std::exception &) {
        // The log cannot be there; the program must say so.
    }

    RunSetup setup;
    setup.commandTail = run.commandSwitch + run.commandTail;
    std::string logPath;   // what the program opens: the whole tail unless the switch is taken
    ReadsAsUnattended(setup.commandTail, &logPath);
    setup.exeIntact = !run.exeCorrupt;
    for (const auto &held : shares) {
        if (held.second & FILE_SHARE_READ)
            continue;
        if (SamePlace(held.first, EXE_PATH))
            setup.exeIntact = false;
        if (SamePlace(held.first, logPath))
            setup.logHeld = true;
    }
    setup.confirm = run.confirm;
    setup.restartYes = run.restartYes;
    setup.progman = run.progman;
    // The other run's guard is named by the log's identity.
    setup.otherRunUnderWay = run.otherRunUnderWay && sim::FileExists(logPath);
    ApplyAnswers(setup);
    return setup;
}

// Makes the platform call that fault names fail.
static void InjectFault(const Fault &fault)
{
    bool once = fault.function == "EndDialog" || fault.function == "MsgWaitForMultipleObjects";
    if (fault.kind == Fault::NTH_CALL)
        sim::FailNthCall(fault.n, fault.error);
    else if (fault.kind == Fault::NTH_OF_FUNCTION)
        sim::FailCall(fault.function, fault.error, fault.n);
    else if (fault.kind == Fault::EVERY_CALL)
        sim::FailCall(fault.function, fault.error, once ? 1 : 0);
}

RunResult RunAndCheck(const SimulatedRun &run, const std::function<void()> &arrange)
{
    PrepareProgramWorld();
    RunSetup setup = Apply(run);
    if (arrange)
        arrange();
    RunCheck check(setup);
    InjectFault(run.fault);
    RunResult result;
    result.exitCode = RunUninstaller(setup.commandTail);
    result.violations = check.Check(result.exitCode);
    result.outcome = check.outcome();
    return result;
}

const char *ScenarioName(ScenarioKind kind)
{
    static const char *const names[] = {"completed", "Win32s", "declined", "aborted", "second start", "unattended"};
    return names[kind];
}

SimulatedRun Scenario(ScenarioKind kind)
{
    const std::string app = TOOL_APP;
    const std::string common = SIM_SYSTEM_DIR "\\common.dll";
    const std::string triple = SIM_SYSTEM_DIR "\\triple.dll";
    SimulatedRun run;
    run.records = {
        {kAppName, "Tool", ""},
        {kCustomProgram, app + "\\undo", "-q"},
        {kCustomProgram, app + "\\cleanup.bat", ""},
        {kFile, app + "\\tool.exe", ""},
        {kFile, app + "\\busy.dll", ""},
        {kFile, app + "\\loaded.dll", ""},
        {kFile, app + "\\Sub Folder\\Long File Name.txt", ""},
        {kFile, app + "\\Sub Folder\\From CD.txt", ""},
        {kSharedDll, common, ""},
        {kSharedDll, triple, ""},
        {kSharedDll, app + "\\private.dll", ""},
        {kProgramGroup, "", "Tool Group"},
        {kSharedDll, triple, ""},
        {kStatusOnly, "", ""},
        {kNoAction, "", ""},
        {kDirectory, app + "\\Sub Folder", ""},
        {kDirectory, app, ""},
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
    if (kind == SCENARIO_UNATTENDED) {
        // Answers that would decline, refuse and restart, were any asked.
        run.commandSwitch = "/quiet ";
        run.confirm = false;
        run.restartYes = true;
        run.progman = PROGMAN_REFUSES;
    }
    run.win32s = kind == SCENARIO_WIN32S;
    return run;
}

std::string Joined(const std::vector<std::string> &texts)
{
    std::string out;
    for (const std::string &t : texts)
        out += "\n    " + t;
    return out.empty() ? " (none)" : out;
}

}  // namespace hardening
