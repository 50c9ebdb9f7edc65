#include "simulated_run.h"

#include "support/program_world.h"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <tuple>

namespace hardening {

Item File(const std::string &path)
{
    return Item{Item::FILE, path};
}

Item Dir(const std::string &path)
{
    return Item{Item::DIR, path};
}

Item HeldFile(const std::string &path, DWORD share)
{
    Item item{Item::HELD_FILE, path};
    item.share = share;
    return item;
}

Item HeldDir(const std::string &path, DWORD share)
{
    Item item{Item::HELD_DIR, path};
    item.share = share;
    return item;
}

Item Program(const std::string &path, DWORD status, int stillActiveReads, long long inheritedPosition)
{
    Item item{Item::PROGRAM, path};
    item.status = status;
    item.stillActiveReads = stillActiveReads;
    item.inheritedPosition = inheritedPosition;
    return item;
}

Item SharedDllValue(const std::string &path, DWORD type, const std::string &data)
{
    Item item{Item::SHARED_DLL, path};
    item.valueType = type;
    item.data = data;
    return item;
}

Item SharedDll(const std::string &path, DWORD count)
{
    std::string data;
    for (int i = 0; i < 4; i++)
        data += (char)(count >> (8 * i));
    return SharedDllValue(path, REG_DWORD, data);
}

Item Entry(const std::string &name, bool subkey, bool displayName)
{
    Item item{Item::ENTRY, name};
    item.subkey = subkey;
    item.displayName = displayName;
    return item;
}

Item State(const std::string &path, DWORD attributes, bool loaded)
{
    Item item{Item::STATE, path};
    item.attributes = attributes;
    item.loaded = loaded;
    return item;
}

static auto Fields(const Item &i)
{
    return std::tie(i.kind, i.path, i.share, i.status, i.stillActiveReads, i.inheritedPosition, i.valueType, i.data,
                    i.subkey, i.displayName, i.attributes, i.loaded);
}

bool operator==(const Item &a, const Item &b)
{
    return Fields(a) == Fields(b);
}

bool operator==(const Fault &a, const Fault &b)
{
    return std::tie(a.kind, a.n, a.function, a.error) == std::tie(b.kind, b.n, b.function, b.error);
}

static bool SameRecords(const std::vector<TestRecord> &a, const std::vector<TestRecord> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const TestRecord &x, const TestRecord &y) {
        return std::tie(x.type, x.primary, x.secondary) == std::tie(y.type, y.primary, y.secondary);
    });
}

bool operator==(const SimulatedRun &a, const SimulatedRun &b)
{
    return std::tie(a.items, a.wininit, a.comspec, a.win32s, a.codePage932, a.exeCorrupt, a.logPath, a.tail,
                    a.commandTail, a.confirm, a.restartYes, a.progman, a.otherRunUnderWay, a.fault) ==
               std::tie(b.items, b.wininit, b.comspec, b.win32s, b.codePage932, b.exeCorrupt, b.logPath, b.tail,
                        b.commandTail, b.confirm, b.restartYes, b.progman, b.otherRunUnderWay, b.fault) &&
           SameRecords(a.records, b.records);
}

SimulatedRun ToolRun()
{
    SimulatedRun run;
    run.records = {{0, "Tool", ""}, {1, TOOL_APP "\\tool.exe", ""}, {2, TOOL_APP, ""}};
    run.items = {File(TOOL_APP "\\tool.exe"), File("C:\\Program Files\\Other\\keep.txt"),
                 File("C:\\Apps\\Other\\keep.txt"), Entry("Tool"), Entry("Other App")};
    return run;
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
        if (sim::DirExists(path))
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
    setup.commandTail = run.commandTail;
    setup.exeIntact = !run.exeCorrupt;
    for (const auto &held : shares) {
        if (held.second & FILE_SHARE_READ)
            continue;
        if (SamePlace(held.first, EXE_PATH))
            setup.exeIntact = false;
        if (SamePlace(held.first, run.commandTail))
            setup.logHeld = true;
    }
    setup.confirm = run.confirm;
    setup.restartYes = run.restartYes;
    setup.progman = run.progman;
    // The other run's guard is named by the log's identity.
    setup.otherRunUnderWay = run.otherRunUnderWay && sim::FileExists(run.commandTail);
    ApplySetup(setup);
    return setup;
}

void InjectFault(const Fault &fault)
{
    switch (fault.kind) {
    case Fault::NONE:
        break;
    case Fault::NTH_CALL:
        sim::FailNthCall(fault.n, fault.error);
        break;
    case Fault::NTH_OF_FUNCTION:
        sim::FailCall(fault.function, fault.error, fault.n);
        break;
    case Fault::EVERY_CALL: {
        bool once = fault.function == "EndDialog" || fault.function == "MsgWaitForMultipleObjects";
        sim::FailCall(fault.function, fault.error, once ? 1 : 0);
        break;
    }
    }
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

}  // namespace hardening
