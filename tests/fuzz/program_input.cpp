#include "program_input.h"

#include <stdexcept>

using hardening::Fault;
using hardening::Item;
using hardening::SimulatedRun;

namespace {

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
    WININIT_PATH,
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
    // The hardening scenario's
    "C:\\Apps\\Other\\keep.txt",
    "C:\\Program Files\\Tool\\busy.dll",
    "C:\\Program Files\\Tool\\loaded.dll",
    "C:\\Program Files\\Tool\\Sub Folder\\From CD.txt",
    "C:\\WINDOWS\\system32\\triple.dll",
    "C:\\WINDOWS\\system32\\other.dll",
    "Tool\\Extra\\Deeper",
    "Tool\\Extra\\Beside",
    "C:\\UNDO.BAT",
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

template <typename T, size_t N>
constexpr size_t Count(T (&)[N])
{
    return N;
}

// ---- Reading -----------------------------------------------------------------

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

Item ReadItem(Input &in)
{
    uint8_t kind = in.Byte() % 8;
    std::string path = Text(in.Byte());
    uint8_t arg = in.Byte();
    switch (kind) {
    case 0: return hardening::File(path);
    case 1: return hardening::Dir(path);
    case 2: return hardening::HeldFile(path, arg & 7);
    case 3:
        return hardening::Program(path, kStatuses[arg % 8], (arg >> 3) & 3, kInheritedPositions[(arg >> 5) & 3]);
    case 4: return hardening::SharedDllValue(path, kValueTypes[arg & 3], in.Bytes((arg >> 2) % 9));
    case 5: return hardening::Entry(path, arg & 1, arg & 2);
    case 6: return hardening::HeldDir(path, arg & 7);
    default: {
        DWORD attributes = 0;
        for (size_t i = 0; i < Count(kAttributes); i++)
            if (arg & (1 << i))
                attributes |= kAttributes[i];
        return hardening::State(path, attributes, arg & 8);
    }
    }
}

// ---- Writing -----------------------------------------------------------------

[[noreturn]] void Refuse(const std::string &what)
{
    throw std::invalid_argument(what);
}

template <typename T, size_t N>
uint8_t IndexOf(const T (&table)[N], const T &value, const std::string &what)
{
    for (size_t i = 0; i < N; i++)
        if (table[i] == value)
            return (uint8_t)i;
    Refuse("no " + what + " in the fuzzer's table");
}

template <size_t N>
uint8_t IndexOf(const char *const (&table)[N], const std::string &value, const std::string &what)
{
    for (size_t i = 0; i < N; i++)
        if (table[i] != nullptr && value == table[i])
            return (uint8_t)i;
    Refuse("no " + what + " \"" + value + "\" in the fuzzer's table");
}

std::string FieldBytes(const std::string &text)
{
    if (text.empty())
        return "\x80";
    if (text == std::string(256, 'A'))
        return "\x82";
    for (size_t i = 0; i < Count(kTexts); i++)
        if (text == kTexts[i])
            return std::string(1, (char)i);
    if (text.size() > 255)
        Refuse("a field of " + std::to_string(text.size()) + " bytes");
    return "\x81" + std::string(1, (char)text.size()) + text;
}

std::string ItemBytes(const Item &item)
{
    uint8_t arg = 0;
    std::string data;
    switch (item.kind) {
    case Item::FILE:
    case Item::DIR:
        break;
    case Item::HELD_FILE:
    case Item::HELD_DIR:
        if (item.share > 7)
            Refuse("a share of " + std::to_string(item.share));
        arg = (uint8_t)item.share;
        break;
    case Item::PROGRAM:
        if (item.stillActiveReads > 3)
            Refuse("a program found running " + std::to_string(item.stillActiveReads) + " times");
        arg = IndexOf(kStatuses, item.status, "status " + std::to_string(item.status)) |
              item.stillActiveReads << 3 |
              IndexOf(kInheritedPositions, item.inheritedPosition, "position " + std::to_string(item.inheritedPosition))
                  << 5;
        break;
    case Item::SHARED_DLL:
        if (item.data.size() > 8)
            Refuse("a SharedDLLs value of " + std::to_string(item.data.size()) + " bytes");
        arg = IndexOf(kValueTypes, item.valueType, "value type") | item.data.size() << 2;
        data = item.data;
        break;
    case Item::ENTRY:
        arg = (item.subkey ? 1 : 0) | (item.displayName ? 2 : 0);
        break;
    case Item::STATE: {
        DWORD left = item.attributes;
        for (size_t i = 0; i < Count(kAttributes); i++)
            if (item.attributes & kAttributes[i]) {
                arg |= 1 << i;
                left &= ~kAttributes[i];
            }
        if (left != 0)
            Refuse("attributes " + std::to_string(left));
        arg |= item.loaded ? 8 : 0;
        break;
    }
    }
    return std::string{(char)item.kind, (char)IndexOf(kTexts, item.path, "text"), (char)arg} + data;
}

}  // namespace

SimulatedRun DecodeProgramInput(const uint8_t *data, size_t size)
{
    Input in(data, size);
    SimulatedRun run;
    uint8_t options = in.Byte();
    run.exeCorrupt = options & 1;
    run.confirm = !(options & 2);
    run.restartYes = options & 4;
    run.progman = kProgmans[(options >> 3) & 3];
    int comspec = (options >> 5) & 3;
    run.comspec = comspec == 1 ? std::nullopt : std::optional<std::string>(kComspecs[comspec == 0 ? 0 : comspec - 1]);
    run.win32s = options & 0x80;

    uint8_t log = in.Byte();
    run.commandTail = kLogPaths[(log & 0x7F) % Count(kLogPaths)];
    run.logPath = log & 0x80 ? kLogPaths[0] : run.commandTail;

    uint8_t failure = in.Byte();
    uint32_t n = in.Byte();
    n |= (uint32_t)in.Byte() << 8;
    std::string function = kFunctions[in.Byte() % Count(kFunctions)];
    DWORD error = kErrors[in.Byte() % Count(kErrors)];
    switch (failure & 3) {
    case 1: run.fault = Fault{Fault::NTH_CALL, (int)(n % 512) + 1, "", error}; break;
    case 2: run.fault = Fault{Fault::NTH_OF_FUNCTION, (int)(n % 8) + 1, function, error}; break;
    case 3: run.fault = Fault{Fault::EVERY_CALL, 0, function, error}; break;
    default: break;
    }
    run.otherRunUnderWay = failure & 0x80;

    uint8_t wininit = in.Byte();
    if (kWininits[wininit % 4] != nullptr)
        run.wininit = kWininits[wininit % 4];
    run.codePage932 = wininit & 0x80;

    for (int items = in.Byte() % 32; items > 0; items--)
        run.items.push_back(ReadItem(in));
    run.records.resize(in.Byte() % 64);
    for (TestRecord &rec : run.records) {
        uint8_t type = in.Byte();
        rec.type = type < 0xF0 ? type % 10 : in.Dword();
        rec.primary = Field(in);
        rec.secondary = Field(in);
    }
    run.tail = in.Rest();
    return run;
}

std::string EncodeProgramInput(const SimulatedRun &run)
{
    std::string out;
    int comspec = run.comspec ? IndexOf(kComspecs, *run.comspec, "COMSPEC") : 0;
    comspec = !run.comspec ? 1 : comspec == 0 ? 0 : comspec + 1;
    out += (char)((run.exeCorrupt ? 1 : 0) | (run.confirm ? 0 : 2) | (run.restartYes ? 4 : 0) |
                  IndexOf(kProgmans, run.progman, "Program Manager") << 3 | comspec << 5 |
                  (run.win32s ? 0x80 : 0));
    uint8_t tail = IndexOf(kLogPaths, run.commandTail, "log path");
    if (run.logPath != run.commandTail && run.logPath != kLogPaths[0])
        Refuse("a log at " + run.logPath + " for the command line " + run.commandTail);
    out += (char)(tail | (run.logPath != run.commandTail ? 0x80 : 0));

    const Fault &f = run.fault;
    bool ofFunction = f.kind == Fault::NTH_OF_FUNCTION || f.kind == Fault::EVERY_CALL;
    int limit = f.kind == Fault::NTH_CALL ? 512 : f.kind == Fault::NTH_OF_FUNCTION ? 8 : 1;
    if (f.kind != Fault::NONE && f.kind != Fault::EVERY_CALL && (f.n < 1 || f.n > limit))
        Refuse("a failure of call " + std::to_string(f.n));
    uint32_t n = f.kind == Fault::NONE || f.kind == Fault::EVERY_CALL ? 0 : f.n - 1;
    out += (char)((int)f.kind | (run.otherRunUnderWay ? 0x80 : 0));
    out += (char)(n & 0xFF);
    out += (char)(n >> 8);
    out += (char)(ofFunction ? IndexOf(kFunctions, f.function, "function") : 0);
    out += (char)(f.kind == Fault::NONE ? 0 : IndexOf(kErrors, f.error, "error " + std::to_string(f.error)));

    uint8_t wininit = run.wininit ? IndexOf(kWininits, *run.wininit, "WININIT.INI") : 0;
    out += (char)(wininit | (run.codePage932 ? 0x80 : 0));

    if (run.items.size() >= 32)
        Refuse(std::to_string(run.items.size()) + " items");
    out += (char)run.items.size();
    for (const Item &item : run.items)
        out += ItemBytes(item);
    if (run.records.size() >= 64)
        Refuse(std::to_string(run.records.size()) + " records");
    out += (char)run.records.size();
    for (const TestRecord &rec : run.records) {
        if (rec.type < 10)
            out += (char)rec.type;
        else
            out += std::string{'\xF0', (char)rec.type, (char)(rec.type >> 8), (char)(rec.type >> 16), (char)(rec.type >> 24)};
        out += FieldBytes(rec.primary) + FieldBytes(rec.secondary);
    }
    out += run.tail;
    if (!(DecodeProgramInput((const uint8_t *)out.data(), out.size()) == run))
        Refuse("a run that reads back otherwise");
    return out;
}
