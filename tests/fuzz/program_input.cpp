#include "program_input.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

using hardening::Fault;
using hardening::Item;
using hardening::SimulatedRun;

namespace {

const char *const kTexts[] = {
    "C:\\Program Files\\Tool", "C:\\Program Files\\Tool\\tool.exe", "C:\\Program Files\\Tool\\Sub Folder",
    "C:\\Program Files\\Tool\\Sub Folder\\Long File Name.txt", "C:\\Program Files\\Tool\\private.dll",
    "C:\\WINDOWS\\system32\\common.dll", "C:\\WINDOWS\\system32\\shared.dll", "C:\\Program Files\\Tool\\undo.exe",
    "C:\\Program Files\\Tool\\undo.com", "C:\\Program Files\\Tool\\cleanup.bat", "C:\\Program Files\\Tool\\undo",
    "C:\\Program Files\\Tool\\cleanup", "C:\\WINDOWS\\system32\\cmd.exe", "C:\\WINDOWS\\run.bat",
    "C:\\WINDOWS\\COMMAND.COM", "C:\\Program Files\\Other\\keep.txt", "C:\\Program Files", "C:\\Apps\\Tool",
    "C:\\Apps\\Tool\\install.log", "C:\\Apps", "C:\\PROGRA~1\\Tool\\tool.exe", "c:\\program files\\tool\\TOOL.EXE",
    "C:\\Program Files\\Tool\\..\\Tool\\tool.exe", WININIT_PATH, EXE_PATH, "C:\\",
    "C:", "D:\\Data\\x.txt", "C:\\Program Files\\Tool\\tool.exe\\", "C:/Program Files/Tool/Sub Folder/", "tool.exe",
    "\\\\server\\share\\x.txt", "Tool", "Other App", "50% Tool", "Other App\\Sub", "Tool Group", "Broken \"Group\"",
    "%s%s%n", "-q", "/quiet", "", " ", "UNDO.BAT", "C:\\APP.V2\\UNDO", "C:\\Program Files\\Tool\\undo.exe.com",
    "C:\\WINDOWS", "C:\\WINDOWS\\system32", "C:\\A\\install.log", "C:\\A", "C:\\Program Files\\Tool\\a.txt:stream",
    "C:\\Program Files\\Tool\\*.txt", "C:\\Program Files\\Tool\\Percent %s %n %d.txt",
    "C:\\Program Files\\Tool\\nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn",
    "C:\\Program Files\\Tool\\nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn\\ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff.txt",
    "C:\\Program Files\\Tool\\ddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddd",
    "Long Name", ".", "..", "Keep\\..\\..", "\\Tools", "C:Group", "Tools*", "notes.ini", "sub", "shared.dll",
    "C:drive.ini", "C:\\notes.ini", "C:\\sub", "C:\\shared.dll", "C:\\drive.ini",
    // ソフト表示 (software display) in code page 932: 83 5C 83 74 83 67 95 5C 8E A6
    "\x83\x5C\x83\x74\x83\x67\x95\x5C\x8E\xA6", "C:\\Program Files\\\x83\x5C\x83\x74\x83\x67",
    "C:\\Program Files\\\x83\x5C\x83\x74\x83\x67\\\x95\x5C\x8E\xA6.txt",
    "C:\\WINDOWS\\system32\\\x83\x5C\x83\x74\x83\x67.dll", "\x83\x5C\x83\x74\x83\x67",
    "C:\\\x83\x5C\x83\x74\x83\x67",
    // The hardening scenario's; a batch file in the current folder
    "C:\\Apps\\Other\\keep.txt", "C:\\Program Files\\Tool\\busy.dll", "C:\\Program Files\\Tool\\loaded.dll",
    "C:\\Program Files\\Tool\\Sub Folder\\From CD.txt", "C:\\WINDOWS\\system32\\triple.dll",
    "C:\\WINDOWS\\system32\\other.dll", "Tool\\Extra\\Deeper", "Tool\\Extra\\Beside", "C:\\UNDO.BAT",
    // The user's own file among the application's, a folder to start in,
    // and the log in the application's folder in another spelling
    "C:\\Program Files\\Tool\\Sub Folder\\notes.txt", "C:\\Program Files\\Tool\\Data",
    "C:\\Program Files\\Tool\\Data\\x.dat", "c:\\progra~1\\tool\\INSTALL.LOG",
};

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

// What the command line holds before the tail: nothing, the switches of an
// unattended run, and one the program must take for part of the path.
const char *const kSwitches[] = {"", "/S ", "/quiet ", "/Quiet\t"};

// COMSPEC; nullptr: unset.
const char *const kComspecs[] = {
    SIM_COMSPEC,
    nullptr,
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
    "RemoveDirectoryA", "SendDlgItemMessageA", "SetDefaultDllDirectories", "SetDlgItemTextA", "SetFileAttributesA",
    "ShowWindow", "WaitForSingleObject", "WritePrivateProfileSectionA",
    // Listing a folder and leaving the one the program was started in
    "FindFirstFileA", "FindNextFileA", "FindClose", "SetCurrentDirectoryA",
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
const long long kInheritedPositions[] = {-1, 516, 64 * 516, 1 << 20};

const char *const kWininits[] = {
    nullptr,
    "[boot]\r\nshell=explorer\r\n[Rename]\r\nNUL=C:\\OTHER~1.TMP\r\nC:\\NEW.DLL=C:\\OLD.DLL\r\n",
    "",
    "[Rename]\r\n",
};

const hardening::Progman kProgmans[] = {hardening::PROGMAN_ACCEPTS, hardening::PROGMAN_REFUSES,
                                        hardening::PROGMAN_ABSENT, hardening::PROGMAN_TOO_SLOW};

const DWORD kAttributes[] = {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM};

const std::string kCut(256, 'A');   // a field without its terminating zero

template <typename T, size_t N>
uint8_t IndexOf(const T (&table)[N], const T &value, const char *what)
{
    for (size_t i = 0; i < N; i++)
        if (table[i] == value)
            return (uint8_t)i;
    throw std::invalid_argument(std::string("no such ") + what + " in the fuzzer's table");
}

template <size_t N>
uint8_t IndexOf(const char *const (&table)[N], const std::string &value, const char *what)
{
    for (size_t i = 0; i < N; i++)
        if (table[i] != nullptr && value == table[i])
            return (uint8_t)i;
    throw std::invalid_argument(std::string("no ") + what + " \"" + value + "\" in the fuzzer's table");
}

std::optional<std::string> Optional(const char *text)
{
    return text ? std::optional<std::string>(text) : std::nullopt;
}

// The layout's two ends: reading an input, where a byte past its end reads
// as 0, or writing one, which appends the byte it is given. Either way
// each call returns the value that the bytes hold.
class Codec {
public:
    Codec() : writing_(true) {}
    Codec(const uint8_t *data, size_t size) : writing_(false), data_(data), size_(size) {}
    uint8_t Byte(uint8_t value)
    {
        if (writing_)
            out += (char)value;
        return writing_ ? value : pos_ < size_ ? data_[pos_++] : 0;
    }
    uint32_t Little(int bytes, uint32_t value)
    {
        uint32_t v = 0;
        for (int i = 0; i < bytes; i++)
            v |= (uint32_t)Byte((uint8_t)(value >> (8 * i))) << (8 * i);
        return v;
    }
    std::string Bytes(size_t n, const std::string &value)
    {
        std::string bytes;
        for (size_t i = 0; i < n; i++)
            bytes += (char)Byte(i < value.size() ? value[i] : 0);
        return bytes;
    }
    std::string Rest(const std::string &value)
    {
        return Bytes(writing_ ? value.size() : pos_ < size_ ? size_ - pos_ : 0, value);
    }
    std::string out;

private:
    bool writing_;
    const uint8_t *data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
};

// A record's field: an entry of kTexts, empty, L bytes, or 256 bytes
// without their terminating zero.
std::string FieldLayout(Codec &io, const std::string &text)
{
    size_t index = std::find(std::begin(kTexts), std::end(kTexts), text) - std::begin(kTexts);
    uint8_t b = io.Byte(text.empty() ? 0x80 : text == kCut ? 0x82 : index < std::size(kTexts) ? index : 0x81);
    if (b < 0x80)
        return kTexts[b % std::size(kTexts)];
    if (b == 0x81)
        return io.Bytes(io.Byte((uint8_t)text.size()), text);
    return b == 0x82 ? kCut : "";
}

// The byte after an item's kind and text.
uint8_t ItemArg(const Item &item)
{
    uint8_t arg = 0;
    switch (item.kind) {
    case Item::HELD_FILE:
        return (uint8_t)item.share;
    case Item::HELD_DIR:
        return (uint8_t)(item.share | (item.current ? 8 : 0));
    case Item::PROGRAM:
        return IndexOf(kStatuses, item.status, "exit status") | item.stillActiveReads << 3 |
               IndexOf(kInheritedPositions, item.inheritedPosition, "inherited position") << 5;
    case Item::SHARED_DLL:
        return IndexOf(kValueTypes, item.valueType, "value type") | item.data.size() << 2;
    case Item::ENTRY:
        return (item.subkey ? 1 : 0) | (item.displayName ? 2 : 0);
    case Item::STATE:
        for (size_t i = 0; i < std::size(kAttributes); i++)
            arg |= item.attributes & kAttributes[i] ? 1 << i : 0;
        return arg | (item.loaded ? 8 : 0);
    default:
        return 0;
    }
}

Item ItemLayout(Codec &io, const Item &item)
{
    uint8_t kind = io.Byte(item.kind) % 8;
    std::string path = kTexts[io.Byte(IndexOf(kTexts, item.path, "text")) % std::size(kTexts)];
    uint8_t arg = io.Byte(ItemArg(item));
    switch (kind) {
    case 0: return hardening::File(path);
    case 1: return hardening::Dir(path);
    case 2: return hardening::HeldFile(path, arg & 7);
    case 3:
        return hardening::Program(path, kStatuses[arg % 8], (arg >> 3) & 3, kInheritedPositions[(arg >> 5) & 3]);
    case 4: return hardening::SharedDllValue(path, kValueTypes[arg & 3], io.Bytes((arg >> 2) % 9, item.data));
    case 5: return hardening::Entry(path, arg & 1, arg & 2);
    case 6: return arg & 8 ? hardening::StartFolder(path) : hardening::HeldDir(path, arg & 7);
    default: {
        DWORD attributes = 0;
        for (size_t i = 0; i < std::size(kAttributes); i++)
            attributes |= arg & (1 << i) ? kAttributes[i] : 0;
        return hardening::State(path, attributes, arg & 8);
    }
    }
}

// The layout itself, field by field: each byte is written from the run's
// fields, and the fields are read back from it.
void Layout(Codec &io, SimulatedRun &run)
{
    uint8_t options = io.Byte((run.exeCorrupt ? 1 : 0) | (run.confirm ? 0 : 2) | (run.restartYes ? 4 : 0) |
                              IndexOf(kProgmans, run.progman, "Program Manager") << 3 |
                              (run.comspec ? IndexOf(kComspecs, *run.comspec, "COMSPEC") : 1) << 5 |
                              (run.win32s ? 0x80 : 0));
    run.exeCorrupt = options & 1;
    run.confirm = !(options & 2);
    run.restartYes = options & 4;
    run.progman = kProgmans[(options >> 3) & 3];
    run.comspec = Optional(kComspecs[(options >> 5) & 3]);
    run.win32s = options & 0x80;

    uint8_t log = io.Byte(IndexOf(kLogPaths, run.commandTail, "log path") |
                          (run.logPath != run.commandTail ? 0x80 : 0));
    run.commandTail = kLogPaths[(log & 0x7F) % std::size(kLogPaths)];
    run.logPath = log & 0x80 ? kLogPaths[0] : run.commandTail;

    Fault &f = run.fault;
    bool ofFunction = f.kind == Fault::NTH_OF_FUNCTION || f.kind == Fault::EVERY_CALL;
    uint8_t failure = io.Byte(f.kind | IndexOf(kSwitches, run.commandSwitch, "switch") << 2 |
                              (run.otherRunUnderWay ? 0x80 : 0));
    uint32_t n = io.Little(2, f.kind == Fault::NTH_CALL || f.kind == Fault::NTH_OF_FUNCTION ? f.n - 1 : 0);
    std::string function = kFunctions[io.Byte(ofFunction ? IndexOf(kFunctions, f.function, "function") : 0) %
                                      std::size(kFunctions)];
    DWORD error = kErrors[io.Byte(f.kind == Fault::NONE ? 0 : IndexOf(kErrors, f.error, "error")) % std::size(kErrors)];
    switch (failure & 3) {
    case 1: f = Fault{Fault::NTH_CALL, (int)(n % 512) + 1, "", error}; break;
    case 2: f = Fault{Fault::NTH_OF_FUNCTION, (int)(n % 8) + 1, function, error}; break;
    case 3: f = Fault{Fault::EVERY_CALL, 0, function, error}; break;
    default: f = Fault{}; break;
    }
    run.commandSwitch = kSwitches[(failure >> 2) & 3];
    run.otherRunUnderWay = failure & 0x80;

    uint8_t wininit = io.Byte((run.wininit ? IndexOf(kWininits, *run.wininit, "WININIT.INI") : 0) |
                              (run.codePage932 ? 0x80 : 0));
    run.wininit = Optional(kWininits[wininit % 4]);
    run.codePage932 = wininit & 0x80;

    std::vector<Item> items = run.items;
    items.resize(io.Byte((uint8_t)items.size()) % 32);
    for (Item &item : items)
        item = ItemLayout(io, item);
    run.items = items;
    run.records.resize(io.Byte((uint8_t)run.records.size()) % 64);
    for (TestRecord &rec : run.records) {
        uint8_t type = io.Byte(rec.type < 10 ? rec.type : 0xF0);
        rec.type = type < 0xF0 ? type % 10 : io.Little(4, rec.type);
        rec.primary = FieldLayout(io, rec.primary);
        rec.secondary = FieldLayout(io, rec.secondary);
    }
    run.tail = io.Rest(run.tail);
}

}  // namespace

SimulatedRun DecodeProgramInput(const uint8_t *data, size_t size)
{
    Codec reader(data, size);
    SimulatedRun run;
    Layout(reader, run);
    return run;
}

std::string EncodeProgramInput(const SimulatedRun &run)
{
    Codec writer;
    SimulatedRun readBack = run;
    Layout(writer, readBack);
    // What the layout cannot hold (too many items, a field too long, a
    // value out of its bits) reads back otherwise.
    if (!(readBack == run))
        throw std::invalid_argument("a run that reads back otherwise");
    return writer.out;
}
