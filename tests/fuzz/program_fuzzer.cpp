// Fuzz target: the whole program on the simulated Windows. The input decides
// the log's bytes and the world: which files and directories exist and which
// are held by other processes, the SharedDLLs values with their types and
// sizes, the Uninstall entries, which custom programs exist and how they
// end, COMSPEC, whether Program Manager answers in time, accepts or refuses,
// the user's answers to the confirmation and the restart dialog, and which
// platform call fails. After each run the invariants of
// tests/hardening/invariants.h must hold; a violation aborts.
//
// Input layout (a byte past the end reads as 0):
//   0      options: bit 0 executable corrupt; bit 1 No to the confirmation;
//          bit 2 Yes in the restart dialog; bits 3-4 Program Manager
//          (0 accepts, 1 refuses, 2 absent, 3 answers after the time-out); bits 5-6 COMSPEC
//          (0 kComspecs[0], 1 unset, 2 and 3 kComspecs[1] and [2]); bit 7 Win32s
//   1      log path: kLogPaths[b % count]
//   2      failure: 0 none; 1 the n-th call of the run; 2 the n-th call of
//          one function; 3 every call of one function
//   3-4    n, little-endian
//   5      function: kFunctions[b % count]
//   6      error: kErrors[b % count]
//   7      WININIT.INI (b % 4): 0 absent; 1 with others' lines; 2 empty; 3
//          [Rename] only; bit 7: the ANSI code page is 932 (Japanese), in
//          which the second byte of a character may be a backslash
//   8      number of world entries (% 32), then per entry: kind, text, arg
//            kind % 8: 0 file; 1 directory; 2 file held (share = arg & 7);
//            3 program ending with kStatuses[arg % 8] after (arg >> 3) & 3
//            reads that find it running, which reads the log it inherits
//            as kInheritedReads[(arg >> 5) & 3] says; 4 SharedDLLs value named by the
//            text, type kValueTypes[arg & 3], (arg >> 2) % 9 data bytes that
//            follow; 5 Uninstall entry named by the text (with a subkey when
//            arg & 1); 6 directory held; 7 nothing
//          text: kTexts[b % count]
//   then   number of records (% 64), then per record: type (b < 0xF0: b % 10;
//          otherwise 4 bytes follow), primary field, secondary field
//            field b < 0x80: kTexts[b % count]; 0x80 empty; 0x81 length L,
//            then L bytes; 0x82 256 bytes with no terminating zero; others
//            empty
//   rest   appended to the log as it is: a short tail or garbage
#include "hardening/invariants.h"
#include "sim/sim.h"
#include "support/log_builder.h"
#include "support/program_world.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// texts begin
const char *const kTexts[] = {
    "C:\\Program Files\\Tool",
    "C:\\Program Files\\Tool\\tool.exe",
    "C:\\Program Files\\Tool\\Sub Folder",
    "C:\\Program Files\\Tool\\Sub Folder\\Long File Name.txt",
    "C:\\Program Files\\Tool\\private.dll",
    "C:\\WINDOWS\\system32\\common.dll",
    "C:\\WINDOWS\\system32\\shared.dll",
    "C:\\Program Files\\Tool\\undo.exe",
    "C:\\Program Files\\Tool\\undo.com",
    "C:\\Program Files\\Tool\\cleanup.bat",
    "C:\\Program Files\\Tool\\undo",
    "C:\\Program Files\\Tool\\cleanup",
    "C:\\WINDOWS\\system32\\cmd.exe",
    "C:\\WINDOWS\\run.bat",
    "C:\\WINDOWS\\COMMAND.COM",
    "C:\\Program Files\\Other\\keep.txt",
    "C:\\Program Files",
    "C:\\Apps\\Tool",
    "C:\\Apps\\Tool\\install.log",
    "C:\\Apps",
    "C:\\PROGRA~1\\Tool\\tool.exe",
    "c:\\program files\\tool\\TOOL.EXE",
    "C:\\Program Files\\Tool\\..\\Tool\\tool.exe",
    "C:\\WINDOWS\\WININIT.INI",
    "C:\\Program Files\\App\\uninstall.exe",
    "C:\\",
    "C:",
    "D:\\Data\\x.txt",
    "C:\\Program Files\\Tool\\tool.exe\\",
    "C:/Program Files/Tool/Sub Folder/",
    "tool.exe",
    "\\\\server\\share\\x.txt",
    "Tool",
    "Other App",
    "50% Tool",
    "Other App\\Sub",
    "Tool Group",
    "Broken \"Group\"",
    "%s%s%n",
    "-q",
    "/quiet",
    "",
    " ",
    "UNDO.BAT",
    "C:\\APP.V2\\UNDO",
    "C:\\Program Files\\Tool\\undo.exe.com",
    "C:\\WINDOWS",
    "C:\\WINDOWS\\system32",
    "C:\\A\\install.log",
    "C:\\A",
    "C:\\Program Files\\Tool\\a.txt:stream",
    "C:\\Program Files\\Tool\\*.txt",
    "C:\\Program Files\\Tool\\Percent %s %n %d.txt",
    "C:\\Program Files\\Tool\\nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn",
    "C:\\Program Files\\Tool\\nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn\\ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff.txt",
    "C:\\Program Files\\Tool\\ddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddd",
    "Long Name",
    ".",
    "..",
    "Keep\\..\\..",
    "\\Tools",
    "C:Group",
    "Tools*",
    "notes.ini",
    "sub",
    "shared.dll",
    "C:drive.ini",
    "C:\\notes.ini",
    "C:\\sub",
    "C:\\shared.dll",
    "C:\\drive.ini",
    // ソフト表示 (software display) in code page 932: 83 5C 83 74 83 67 95 5C 8E A6
    "\x83\x5C\x83\x74\x83\x67\x95\x5C\x8E\xA6",
    "C:\\Program Files\\\x83\x5C\x83\x74\x83\x67",
    "C:\\Program Files\\\x83\x5C\x83\x74\x83\x67\\\x95\x5C\x8E\xA6.txt",
    "C:\\WINDOWS\\system32\\\x83\x5C\x83\x74\x83\x67.dll",
    "\x83\x5C\x83\x74\x83\x67",
    "C:\\\x83\x5C\x83\x74\x83\x67",
};
// texts end

const char *const kLogPaths[] = {
    "C:\\Apps\\Tool\\install.log",
    "C:\\Program Files\\Tool\\install.log",
    "C:\\A\\install.log",
    "C:\\install.log",
    "install.log",
    "\"C:\\Apps\\Tool\\install.log\"",
    "",
    "C:\\PROGRA~1\\Tool\\Uninst Data\\install.log",
    "C:\\\x83\x5C\x83\x74\x83\x67\\\x95\x5C\x8E\xA6\\install.log",
};

const char *const kComspecs[] = {
    "C:\\WINDOWS\\system32\\cmd.exe",
    "C:\\WINDOWS\\run.bat",
    "C:\\WINDOWS\\COMMAND",
};

// Every platform function the program calls, for failures of one function.
const char *const kFunctions[] = {
    "AdjustTokenPrivileges", "AttachThreadInput", "CloseHandle", "CreateDialogParamA", "CreateFileA",
    "CreateProcessA", "CreateThread", "DdeClientTransaction", "DdeConnect", "DdeCreateDataHandle",
    "DdeCreateStringHandleA", "DdeDisconnect", "DdeFreeStringHandle", "DdeInitializeA", "DdeUninitialize",
    "DeleteFileA", "DialogBoxParamA", "EndDialog", "ExitWindowsEx", "GetEnvironmentVariableA",
    "GetExitCodeProcess", "GetFileAttributesA", "GetFileInformationByHandle", "GetModuleFileNameA", "GetModuleHandleA",
    "GetPrivateProfileSectionA", "GetProcAddress", "GetShortPathNameA", "GetSystemDirectoryA", "GetWindowRect",
    "GetWindowsDirectoryA", "LoadLibraryA", "LookupPrivilegeValueA", "MessageBeep", "MessageBoxA",
    "MoveFileExA", "MoveWindow", "MsgWaitForMultipleObjects", "OpenProcessToken", "PostThreadMessageA", "ReadFile",
    "RegCloseKey", "RegCreateKeyExA", "RegDeleteKeyA", "RegDeleteValueA", "RegOpenKeyExA", "RegQueryInfoKeyA",
    "RegQueryValueExA", "RegSetValueExA",
    "RemoveDirectoryA", "SendDlgItemMessageA", "SetDefaultDllDirectories", "SetDlgItemTextA", "SetFilePointer",
    "ShowWindow", "WaitForSingleObject", "WritePrivateProfileSectionA",
};

const DWORD kErrors[] = {
    ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY,
    ERROR_SHARING_VIOLATION, ERROR_BAD_EXE_FORMAT, ERROR_INVALID_NAME, ERROR_INVALID_PARAMETER,
};

// No status of 259 (STILL_ACTIVE): on Win32s the program polls until the
// status differs from it, so a program that ends with it is never seen to end.
const DWORD kStatuses[] = {0, 0, 0, 1, 2, 3, 0xFFFFFFFF, 255};

const DWORD kValueTypes[] = {REG_DWORD, REG_BINARY, REG_SZ, REG_NONE};

// Where a custom program leaves the position of the log's handle it
// inherits: untouched, after rewinding and reading one record, at the end,
// past the end.
const long long kInheritedReads[] = {-1, 516, 64 * 516, 1 << 20};

template <typename T, size_t N>
constexpr size_t Count(T (&)[N])
{
    return N;
}

class Input {
public:
    Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint32_t Dword()
    {
        uint32_t v = Byte();
        v |= (uint32_t)Byte() << 8;
        v |= (uint32_t)Byte() << 16;
        return v | (uint32_t)Byte() << 24;
    }
    std::string Bytes(size_t n)
    {
        std::string out;
        while (n-- > 0)
            out += (char)Byte();
        return out;
    }
    std::string Rest()
    {
        std::string out = pos_ < size_ ? std::string((const char *)data_ + pos_, size_ - pos_) : "";
        pos_ = size_;
        return out;
    }

private:
    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
};

std::string Text(uint8_t b)
{
    return kTexts[b % Count(kTexts)];
}

// A world entry may not turn a file into a directory or put anything
// inside a file; the simulation's set-up would not refuse it.
bool CanCreate(const std::string &path)
{
    for (size_t at = path.find_first_of("\\/"); at != std::string::npos; at = path.find_first_of("\\/", at + 1))
        if (at > 0 && sim::FileExists(path.substr(0, at)))
            return false;
    return true;
}

std::string Upper(std::string text)
{
    for (char &c : text)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
    return text;
}

bool SamePlace(const std::string &a, const std::string &b)
{
    std::optional<std::string> ra = sim::ResolvePath(a), rb = sim::ResolvePath(b);
    return ra && rb && Upper(*ra) == Upper(*rb);
}

std::string Field(Input &in)
{
    uint8_t b = in.Byte();
    if (b < 0x80)
        return Text(b);
    if (b == 0x81)
        return in.Bytes(in.Byte());
    if (b == 0x82)
        return std::string(256, 'A');
    return "";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in(data, size);
    PrepareProgramWorld();

    hardening::RunSetup setup;
    uint8_t options = in.Byte();
    setup.exeIntact = !(options & 1);
    setup.confirm = !(options & 2);
    setup.restartYes = (options & 4) != 0;
    static const hardening::Progman progmans[] = {hardening::PROGMAN_ACCEPTS, hardening::PROGMAN_REFUSES,
                                                  hardening::PROGMAN_ABSENT, hardening::PROGMAN_TOO_SLOW};
    setup.progman = progmans[(options >> 3) & 3];
    int comspec = (options >> 5) & 3;
    if (comspec == 1)
        sim::SetEnvironmentVariable("COMSPEC", std::nullopt);
    else
        sim::SetEnvironmentVariable("COMSPEC", std::string(kComspecs[comspec == 0 ? 0 : comspec - 1]));
    if (options & 0x80)
        sim::SetVersion(0x80000A03);
    setup.commandTail = kLogPaths[in.Byte() % Count(kLogPaths)];

    uint8_t faultKind = in.Byte() % 4;
    uint32_t n = in.Byte();
    n |= (uint32_t)in.Byte() << 8;
    std::string function = kFunctions[in.Byte() % Count(kFunctions)];
    DWORD error = kErrors[in.Byte() % Count(kErrors)];
    // A modal dialog that can never be ended (the restart offer; EndDialog
    // on a dialog's own window fails on no real system) leaves nothing that
    // could end the run, and a message loop whose wait always fails spins
    // until the worker ends.
    if (faultKind == 3 && (function == "MsgWaitForMultipleObjects" || function == "EndDialog"))
        faultKind = 2;

    static const char *const wininits[] = {
        nullptr,
        "[boot]\r\nshell=explorer\r\n[Rename]\r\nNUL=C:\\OTHER~1.TMP\r\nC:\\NEW.DLL=C:\\OLD.DLL\r\n",
        "",
        "[Rename]\r\n",
    };
    uint8_t wininitByte = in.Byte();
    const char *wininit = wininits[wininitByte % 4];
    if (wininitByte & 0x80)
        sim::SetCodePage(932);
    if (wininit != nullptr)
        sim::AddFile("C:\\WINDOWS\\WININIT.INI", wininit);
    if (!setup.exeIntact)
        sim::AddFile(EXE_PATH, CorruptExecutable());

    std::vector<std::pair<std::string, DWORD>> holds;   // the last share of each held item
    int entries = in.Byte() % 32;
    for (int i = 0; i < entries; i++) {
        uint8_t kind = in.Byte() % 8;
        std::string path = Text(in.Byte());
        uint8_t arg = in.Byte();
        std::string valueData;
        if (kind == 4)
            valueData = in.Bytes((arg >> 2) % 9);
        bool isExe = SamePlace(path, EXE_PATH);
        try {
            switch (kind) {
            case 0:
                if (!isExe && CanCreate(path) && !sim::DirExists(path))
                    sim::AddFile(path, "x");
                break;
            case 1:
                if (CanCreate(path) && !sim::FileExists(path))
                    sim::AddDir(path);
                break;
            case 2:
                if (sim::FileExists(path)) {
                    sim::HoldFile(path, arg & 7);
                    holds.push_back({path, arg & 7u});
                }
                break;
            case 3:
                if (!isExe && CanCreate(path) && !sim::DirExists(path)) {
                    long long position = kInheritedReads[(arg >> 5) & 3];
                    hardening::AddCheckedProgram(path, kStatuses[arg % 8], (arg >> 3) & 3, [position] {
                        if (position >= 0)
                            sim::SetInheritedFilePositions((unsigned long long)position);
                    });
                }
                break;
            case 4:
                sim::SetRegValue(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, path, kValueTypes[arg & 3], valueData);
                break;
            case 5:
                if (!path.empty()) {
                    sim::AddRegKey(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\" + path);
                    if (arg & 1)
                        sim::AddRegKey(HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\" + path + "\\Sub");
                }
                break;
            case 6:
                if (sim::DirExists(path))
                    sim::HoldFile(path, arg & 7);
                break;
            default:
                break;
            }
        } catch (const std::exception &) {
            // Not a path the simulated file system can hold.
        }
    }

    std::vector<TestRecord> records(in.Byte() % 64);
    for (TestRecord &rec : records) {
        uint8_t type = in.Byte();
        rec.type = type < 0xF0 ? type % 10 : in.Dword();
        rec.primary = Field(in);
        rec.secondary = Field(in);
    }
    std::string log = LogBytes(records) + in.Rest();
    try {
        if (!setup.commandTail.empty() && CanCreate(setup.commandTail) && !sim::DirExists(setup.commandTail))
            sim::AddFile(setup.commandTail, log);
    } catch (const std::exception &) {
        // The log cannot be there; the program must say so.
    }
    // An item held without read sharing cannot be opened: the log, or the
    // executable for its own check.
    std::map<std::string, DWORD> lastShare;
    for (const auto &hold : holds)
        lastShare[Upper(*sim::ResolvePath(hold.first))] = hold.second;
    for (const auto &held : lastShare) {
        if (held.second & FILE_SHARE_READ)
            continue;
        if (SamePlace(held.first, EXE_PATH))
            setup.exeIntact = false;
        if (SamePlace(held.first, setup.commandTail))
            setup.logHeld = true;
    }
    hardening::ApplySetup(setup);

    hardening::RunCheck check(setup);
    switch (faultKind) {
    case 1:
        sim::FailNthCall((int)(n % 512) + 1, error);
        break;
    case 2:
        sim::FailCall(function, error, (int)(n % 8) + 1);
        break;
    case 3:
        sim::FailCall(function, error);
        break;
    default:
        break;
    }
    int exitCode = RunUninstaller(setup.commandTail);
    std::vector<std::string> violations = check.Check(exitCode);
    if (!violations.empty()) {
        fprintf(stderr, "invariants broken by a %s run (exit code %d):\n", hardening::OutcomeName(check.outcome()),
                exitCode);
        for (const std::string &v : violations)
            fprintf(stderr, "  %s\n", v.c_str());
        abort();
    }
    return 0;
}
