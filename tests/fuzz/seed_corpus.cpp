// The fuzzers' seed corpus, tests/fuzz/corpus/{program,log,exe_check}: the
// whole runs of the unit tests and the hardening scenario, some with a
// failing call, and the end-to-end tests' bad input, each described as a
// hardening::SimulatedRun and written in the program fuzzer's layout by
// EncodeProgramInput, beside the decoder the fuzzer reads them with; their
// logs and more for the log reader; and executables for the self-check.
//   seed_corpus write DIR   rewrites DIR/program, DIR/log and DIR/exe_check
//   seed_corpus check DIR   exits 1 when they hold anything else
#include "program_input.h"

#include "hardening/scenario.h"
#include "support/pe_image.h"
#include "support/program_world.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

using namespace hardening;

namespace {

typedef std::map<std::string, std::string> Seeds;   // file name -> bytes

const std::string kApp = TOOL_APP;
const std::string kCommon = SIM_SYSTEM_DIR "\\common.dll";
const std::string kShared = SIM_SYSTEM_DIR "\\shared.dll";
const std::string kCut(256, 'A');   // a field without its terminating zero

std::string Dword(DWORD n)
{
    return std::string((const char *)&n, 4);
}

// The end-to-end tests' fixed bytes (tests/e2e/bad_input_test.cpp):
// xorshift32, the top byte of each state.
std::string PseudoRandomBytes(size_t count, uint32_t state = 0x2545F491)
{
    std::string out;
    while (out.size() < count) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        out += (char)(state >> 24);
    }
    return out;
}

// A run changed by change: from Tool's, or from one with nothing on the
// machine and nothing in the log.
template <typename F> SimulatedRun Tool(F change)
{
    SimulatedRun run = ToolRun();
    change(run);
    return run;
}

template <typename F> SimulatedRun Bare(F change)
{
    SimulatedRun run;
    change(run);
    return run;
}

void Add(std::vector<Item> &items, std::initializer_list<Item> more)
{
    items.insert(items.end(), more);
}

std::vector<std::pair<std::string, SimulatedRun>> ProgramRuns()
{
    const std::string nested = kApp + "\\" + std::string(100, 'n');
    const std::string longestFile = nested + "\\" + std::string(255 - nested.size() - 5, 'f') + ".txt";
    const std::string longestDir = kApp + "\\" + std::string(255 - kApp.size() - 1, 'd');
    std::string longestName = "Long Name ";
    for (int i = 10; i < 255; i++)
        longestName += (char)('a' + i % 26);
    // "ソフト表示" in code page 932, whose second bytes 5C are backslashes.
    const std::string software = "\x83\x5C\x83\x74\x83\x67", display = "\x95\x5C\x8E\xA6";
    std::vector<std::pair<std::string, SimulatedRun>> runs = {
        {"scenario_completed", Scenario(SCENARIO_COMPLETED)},
        {"scenario_win32s_progman_refusing", Scenario(SCENARIO_WIN32S)},
        {"scenario_declined", Scenario(SCENARIO_DECLINED)},
        {"scenario_aborted", Scenario(SCENARIO_ABORTED)},
        {"scenario_second_start", Scenario(SCENARIO_SECOND_START)},
        {"declined", Tool([](SimulatedRun &r) { r.confirm = false; })},
        {"answering_yes", ToolRun()},
        {"log_path_names_a_directory", Tool([](SimulatedRun &r) { r.items.push_back(Dir(TOOL_LOG)); })},
        {"quoted_log_path", Tool([](SimulatedRun &r) { r.commandTail = "\"" TOOL_LOG "\""; })},
        {"missing_log", Tool([](SimulatedRun &r) { r.commandTail = "C:\\install.log"; })},
        {"empty_command_line", Tool([](SimulatedRun &r) { r.commandTail = ""; })},
        {"log_held_without_sharing", Tool([](SimulatedRun &r) { r.items.push_back(HeldFile(TOOL_LOG)); })},
        {"corrupt_executable", Tool([](SimulatedRun &r) { r.exeCorrupt = true; })},
        {"empty_log", Tool([](SimulatedRun &r) { r.records.clear(); })},
        {"two_records_and_one_byte", Tool([](SimulatedRun &r) {
             r.records.pop_back();
             r.tail = "\x01";
         })},
        {"two_names_alpha_beta", Tool([&](SimulatedRun &r) {
             r.items.push_back(Entry("Tool", true));
             r.records = {{0, "Alpha", ""}, {0, "Beta", ""}, {1, kApp + "\\tool.exe", ""}};
         })},
        {"percent_name", Bare([](SimulatedRun &r) { r.records = {{0, "50% Tool", ""}, {0, "%s%s%n", ""}}; })},
        {"type_9_and_unterminated", Tool([&](SimulatedRun &r) {
             r.records = {{9, "", ""}, {1, kCut, ""}, {1, kApp + "\\tool.exe", kCut}, {0xFFFFFFFF, "", ""}};
         })},
        {"no_name_keeps_uninstall_key", Tool([](SimulatedRun &r) { r.records.erase(r.records.begin()); })},
        {"name_reaching_into_another_entry", Bare([](SimulatedRun &r) {
             r.items = {Entry("Other App", true)};
             r.records = {{0, "Other App\\Sub", ""}};
         })},
        {"long_name_caption", Bare([](SimulatedRun &r) { r.records = {{0, std::string(250, 'N'), ""}}; })},
        {"file_in_use_restart_yes", Tool([&](SimulatedRun &r) {
             r.restartYes = true;
             r.items.push_back(HeldFile(kApp + "\\tool.exe"));
         })},
        {"file_in_use_restart_no", Tool([&](SimulatedRun &r) {
             r.wininit = "[boot]\r\nshell=explorer\r\n[Rename]\r\nNUL=C:\\OTHER~1.TMP\r\nC:\\NEW.DLL=C:\\OLD.DLL\r\n";
             r.items.push_back(HeldFile(kApp + "\\tool.exe", FILE_SHARE_READ));
         })},
        {"files_before_their_directories", Bare([&](SimulatedRun &r) {
             const std::string text = kApp + "\\Sub Folder\\Long File Name.txt";
             r.items = {File(text), File(kApp + "\\tool.exe")};
             r.records = {{0, "Tool", ""}, {2, kApp, ""}, {2, kApp + "\\Sub Folder", ""}, {1, text, ""},
                          {1, kApp + "\\tool.exe", ""}};
         })},
        {"names_in_other_forms", Tool([](SimulatedRun &r) {
             r.records = {{1, "C:\\PROGRA~1\\Tool\\tool.exe", ""}, {1, "c:\\program files\\tool\\TOOL.EXE", ""},
                          {1, "C:\\Program Files\\Tool\\..\\Tool\\tool.exe", ""}, {1, "C:\\", ""}, {2, "C:", ""},
                          {1, "tool.exe", ""}, {1, "\\\\server\\share\\x.txt", ""},
                          {2, "C:/Program Files/Tool/Sub Folder/", ""}};
         })},
        {"log_and_wininit_named", Tool([](SimulatedRun &r) {
             r.wininit = "";
             r.records.insert(r.records.end(), {{1, TOOL_LOG, ""}, {1, WININIT_PATH, ""}, {2, "C:\\Apps", ""}});
         })},
        {"shared_dll_counts", Bare([&](SimulatedRun &r) {
             const std::string priv = kApp + "\\private.dll", tool = kApp + "\\tool.exe";
             r.items = {File(kCommon), File(kShared), File(priv), File(tool), SharedDll(kCommon, 3),
                        SharedDllValue(kShared, REG_BINARY, Dword(2)), SharedDll(priv, 0),
                        SharedDllValue(tool, REG_DWORD, std::string("\x01\0\0\0\0\0\0\0", 8))};
             r.records = {{4, kCommon, ""}, {4, kShared, ""}, {4, priv, ""}, {4, tool, ""},
                          {4, "C:\\PROGRA~1\\Tool\\private.dll", ""}};
         })},
        {"shared_dll_twice", Bare([&](SimulatedRun &r) {
             r.items = {File(kCommon), File(kShared), SharedDll(kCommon, 2), SharedDll(kShared, 1)};
             r.records = {{4, kCommon, ""}, {4, kCommon, ""}, {4, kShared, ""}, {4, kShared, ""}};
         })},
        {"shared_dll_short_values", Bare([&](SimulatedRun &r) {
             r.items = {File(kCommon), File(kShared), SharedDllValue(kCommon, REG_BINARY, "\x01"),
                        SharedDllValue(kShared, REG_SZ, "")};
             r.records = {{4, kCommon, ""}, {4, kShared, ""}};
         })},
        {"shared_dll_in_use", Bare([&](SimulatedRun &r) {
             r.restartYes = true;
             r.items = {HeldFile(kApp + "\\private.dll"), SharedDll(kApp + "\\private.dll", 1)};
             r.records = {{0, "Tool", ""}, {4, kApp + "\\private.dll", ""}};
         })},
        {"progman_groups", Bare([](SimulatedRun &r) {
             r.records = {{5, "ignored", "Tool Group"}, {5, "", ""}, {5, "", "Broken \"Group\""},
                          {5, "", std::string(250, 'G')}};
         })},
        {"progman_absent", Bare([](SimulatedRun &r) {
             r.progman = PROGMAN_ABSENT;
             r.records = {{0, "Tool", ""}, {5, "", "Tool Group"}, {5, "", "Other App"}};
         })},
        {"progman_too_slow", Tool([&](SimulatedRun &r) {
             r.progman = PROGMAN_TOO_SLOW;
             r.records = {{0, "Tool", ""}, {5, "", "Tool Group"}, {1, kApp + "\\tool.exe", ""}};
         })},
        {"progman_refusing", Tool([&](SimulatedRun &r) {
             r.progman = PROGMAN_REFUSES;
             r.records = {{5, "", "Tool Group"}, {1, kApp + "\\tool.exe", ""}};
         })},
        {"custom_undo_exe_only", Tool([&](SimulatedRun &r) {
             r.items.push_back(Program(kApp + "\\undo.exe"));
             r.records.push_back({7, kApp + "\\undo", "-q"});
         })},
        {"custom_com_before_exe", Bare([&](SimulatedRun &r) {
             r.items = {Program(kApp + "\\undo.exe", 1), Program(kApp + "\\undo.com")};
             r.records = {{7, kApp + "\\undo", ""}};
         })},
        {"custom_bat_through_command_com", Bare([&](SimulatedRun &r) {
             r.comspec = SIM_WINDOWS_DIR "\\COMMAND";
             r.items = {File(kApp + "\\cleanup.bat"), Program(SIM_WINDOWS_DIR "\\COMMAND.COM")};
             r.records = {{7, kApp + "\\cleanup", "-q"}, {7, kApp + "\\cleanup.bat", "/quiet"}};
         })},
        {"custom_bat_no_interpreter", Bare([&](SimulatedRun &r) {
             r.comspec = std::nullopt;
             r.items = {File(kApp + "\\cleanup.bat")};
             r.records = {{7, kApp + "\\cleanup.bat", ""}};
         })},
        {"custom_bat_interpreter_is_batch", Bare([&](SimulatedRun &r) {
             r.comspec = SIM_WINDOWS_DIR "\\run.bat";
             r.items = {File(kApp + "\\cleanup.bat"), File(SIM_WINDOWS_DIR "\\run.bat")};
             r.records = {{7, kApp + "\\cleanup.bat", ""}};
         })},
        {"custom_missing_and_empty",
         Bare([&](SimulatedRun &r) { r.records = {{7, "", ""}, {7, kApp + "\\undo.exe.com", ""}}; })},
        {"custom_two_second_fails", Tool([&](SimulatedRun &r) {
             Add(r.items, {Program(kApp + "\\undo.exe"), Program(kApp + "\\undo.com", 1)});
             r.records.insert(r.records.end(), {{7, kApp + "\\undo.exe", ""}, {7, kApp + "\\undo.com", ""}});
         })},
        {"custom_fails_minus_one", Bare([&](SimulatedRun &r) {
             r.items = {Program(kApp + "\\undo.exe", (DWORD)-1)};
             r.records = {{7, kApp + "\\undo.exe", ""}};
         })},
        {"custom_relative_batch_missing", Bare([](SimulatedRun &r) {
             r.items = {Program(SIM_COMSPEC)};
             r.records = {{7, "UNDO.BAT", ""}, {7, "C:\\APP.V2\\UNDO", ""}};
         })},
        {"custom_relative_batch", Bare([](SimulatedRun &r) {
             r.items = {File("C:\\UNDO.BAT"), Program(SIM_COMSPEC)};
             r.records = {{7, "UNDO.BAT", ""}, {7, "C:\\APP.V2\\UNDO", ""}};
         })},
        {"custom_win32s_polling", Bare([&](SimulatedRun &r) {
             r.win32s = true;
             r.items = {Program(kApp + "\\undo.exe", 0, 3)};
             r.records = {{7, kApp + "\\undo.exe", ""}};
         })},
        {"log_in_one_letter_folder", Bare([](SimulatedRun &r) {
             r.LogAt("C:\\A\\install.log");
             r.items = {Dir("C:\\A")};
             r.records = {{0, "Tool", ""}};
         })},
        {"relative_log", Bare([](SimulatedRun &r) {
             r.LogAt("install.log");
             r.records = {{0, "Tool", ""}};
         })},
        {"directory_held", Bare([&](SimulatedRun &r) {
             r.items = {HeldDir(kApp + "\\Sub Folder")};
             r.records = {{2, kApp + "\\Sub Folder", ""}};
         })},
        {"other_drive", Bare([](SimulatedRun &r) {
             r.items = {File("D:\\Data\\x.txt")};
             r.records = {{1, "D:\\Data\\x.txt", ""}};
         })},
        {"relative_paths_name_nothing", Bare([](SimulatedRun &r) {
             r.items = {File("C:\\notes.ini"), File("C:\\drive.ini"), File("C:\\shared.dll"), Dir("C:\\sub"),
                        SharedDll("shared.dll", 1)};
             r.records = {{0, "Tool", ""}, {1, "notes.ini", ""}, {1, "C:drive.ini", ""}, {2, "sub", ""},
                          {4, "shared.dll", ""}};
         })},
        {"group_names_naming_no_group", Bare([](SimulatedRun &r) {
             r.records = {{0, "Tool", ""}};
             for (const char *name : {"", ".", "..", "Keep\\..\\..", "\\Tools", "C:Group", "Tools*", " ", "Tool Group"})
                 r.records.push_back({5, "", name});
         })},
        {"custom_programs_reading_the_log", Tool([&](SimulatedRun &r) {
             Add(r.items, {Program(kApp + "\\undo.exe", 0, 0, 516), Program(kApp + "\\undo.com", 0, 0, 64 * 516)});
             r.records.insert(r.records.end(), {{7, kApp + "\\undo.exe", ""}, {7, kApp + "\\undo.com", ""}});
         })},
        {"double_byte_names", Bare([&](SimulatedRun &r) {
             const std::string folder = "C:\\Program Files\\" + software, text = folder + "\\" + display + ".txt";
             const std::string dll = SIM_SYSTEM_DIR "\\" + software + ".dll";
             r.LogAt("C:\\" + software + "\\" + display + "\\install.log");
             r.codePage932 = true;
             r.items = {File(text), File(dll), SharedDll(dll, 1), Entry(software + display), Entry("Other App")};
             r.records = {{0, software + display, ""}, {1, text, ""}, {4, dll, ""}, {5, "", software}, {2, folder, ""}};
         })},
        {"custom_program_text_cut", Tool([&](SimulatedRun &r) {
             r.items.push_back(Program(kApp + "\\undo.exe"));
             r.records.push_back({7, kApp + "\\undo.exe", kCut});
         })},

        // The end-to-end tests' bad input (tests/e2e/bad_input_test.cpp): seven
        // records' worth of its bytes and the 100-byte tail, where it writes 300
        // records' worth, more than the short fuzzing runs take.
        {"bad_input_random_bytes", Tool([](SimulatedRun &r) {
             r.records.clear();
             r.tail = PseudoRandomBytes(7 * 516 + 100);
         })},
        {"bad_input_device_names_trailing_dots_and_blanks", Tool([&](SimulatedRun &r) {
             r.restartYes = true;
             r.wininit = "[boot]\r\nshell=explorer\r\n[Rename]\r\nNUL=C:\\OTHER~1.TMP\r\nC:\\NEW.DLL=C:\\OLD.DLL\r\n";
             Add(r.items, {File(kApp + "\\private.dll"), Dir(kApp + "\\Sub Folder")});
             r.records = {{0, "Tool Odd", ""}};
             for (const std::string &path : {std::string("CON"), std::string("NUL"), std::string("COM1"),
                                             std::string("LPT1"), kApp + "\\NUL", kApp + "\\CON.txt",
                                             std::string("\\\\.\\PhysicalDrive0"), std::string("\\\\.\\C:"),
                                             kApp + "\\tool.exe.", kApp + "\\private.dll ", kApp + "\\Missing. . ."})
                 r.records.push_back({1, path, ""});
             r.records.push_back({2, kApp + "\\Sub Folder.", ""});
         })},
        {"bad_input_format_directives", Tool([&](SimulatedRun &r) {
             const std::string percent = kApp + "\\Percent %s %n %d.txt";
             r.progman = PROGMAN_REFUSES;
             r.items.push_back(File(percent));
             r.records = {{0, "50%s %n %x%% Tool", ""}, {1, percent, ""}, {5, "", "%s %n Group"},
                          {1, kApp + "\\tool.exe", ""}, {2, kApp, ""}};
         })},
        {"bad_input_longest_paths_and_name", Bare([&](SimulatedRun &r) {
             r.items = {File(longestFile), Dir(longestDir), Entry("Long Name")};
             r.records = {{0, longestName, ""}, {1, longestFile, ""}, {2, longestDir, ""}, {2, nested, ""}};
         })},
        {"bad_input_no_name_record", Tool([](SimulatedRun &r) { r.records.erase(r.records.begin()); })},
    };

    // The hardening scenario with one failing call each.
    SimulatedRun failing = Scenario(SCENARIO_COMPLETED);
    failing.fault = Fault{Fault::EVERY_CALL, 0, "EndDialog", ERROR_INVALID_PARAMETER};
    runs.push_back({"fault_EndDialog_every_call", failing});
    const std::pair<const char *, int> faults[] = {
        {"MsgWaitForMultipleObjects", 1}, {"PostThreadMessageA", 1}, {"GetPrivateProfileSectionA", 1},
        {"GetWindowRect", 1}, {"CreateThread", 1}, {"DdeInitializeA", 1}, {"CreateDialogParamA", 1},
        {"ReadFile", 3}, {"SetFilePointer", 1}, {"GetShortPathNameA", 1}, {"RegDeleteValueA", 1},
        {"CloseHandle", 2}, {"MessageBoxA", 1}, {"CreateProcessA", 1}};
    for (const auto &f : faults)
        for (DWORD error : {ERROR_NOT_ENOUGH_MEMORY, ERROR_FILE_NOT_FOUND}) {
            failing.fault = Fault{Fault::NTH_OF_FUNCTION, f.second, f.first, error};
            runs.push_back({std::string("fault_") + f.first + "_" + std::to_string(f.second) +
                                (error == ERROR_FILE_NOT_FOUND ? "_file_not_found" : "_not_enough_memory"),
                            failing});
        }
    return runs;
}

Seeds ProgramSeeds(const std::vector<std::pair<std::string, SimulatedRun>> &runs)
{
    Seeds seeds;
    for (const auto &run : runs) {
        try {
            seeds[run.first] = EncodeProgramInput(run.second);
        } catch (const std::invalid_argument &e) {
            throw std::runtime_error("the seed " + run.first + " holds " + e.what());
        }
    }
    return seeds;
}

// Logs for the log reader: those of the bad input, and a few more.
Seeds LogSeeds(const std::vector<std::pair<std::string, SimulatedRun>> &runs)
{
    Seeds seeds;
    for (const auto &run : runs)
        if (run.first.compare(0, 10, "bad_input_") == 0)
            seeds[run.first] = LogBytes(run.second.records) + run.second.tail;
    const std::string s256(256, 'S');
    const std::map<std::string, std::pair<std::vector<TestRecord>, std::string>> logs = {
        {"empty", {{}, ""}},
        {"one_byte", {{}, "x"}},
        {"two_records_and_one_byte", {{{0, "Tool", ""}, {1, "C:\\APP\\a.txt", ""}}, "\x07"}},
        {"alpha_then_beta", {{{0, "Alpha", ""}, {0, "Beta", ""}}, ""}},
        {"percent_name", {{{0, "50% Tool", ""}}, ""}},
        {"unterminated_name", {{{0, std::string(256, 'N'), ""}, {0, "Kept", s256}}, ""}},
        {"long_name", {{{0, std::string(255, 'N'), ""}}, ""}},
        {"type_9", {{{9, "", ""}, {0xFFFFFFFF, "x", "y"}}, ""}},
        {"records_naming_nothing",
         {{{1, "notes.ini", ""}, {2, "C:sub", ""}, {5, "", ".."}, {5, "", ""}, {7, "undo", std::string(256, 'A')},
           {1, "C:\\Tool\\a.txt", s256}},
          ""}},
    };
    for (const auto &log : logs)
        seeds[log.first] = LogBytes(log.second.first) + log.second.second;
    std::vector<TestRecord> everyType;
    for (uint32_t type = 0; type < 8; type++)
        everyType.push_back({type, kApp + "\\x", "Group"});
    seeds["every_type"] = LogBytes(everyType);
    return seeds;
}

// Executables for the self-check: intact, damaged, and signed as signing
// tools sign them.
Seeds ExeCheckSeeds()
{
    const std::string intact = Stamped(UnstampedImage());
    const std::string signedImage = Signed(intact, {1432}, true);
    const std::string oddEnd = Stamped(UnstampedImage(false, 0x1FB));
    auto entryLength = [&](uint32_t length) {
        std::string image = signedImage;
        Put32(image, intact.size(), length);
        return image;
    };
    // Where the check then looks for a second entry, a length of 0.
    std::string tooShort = entryLength(1424);
    Put32(tooShort, intact.size() + 1424, 0);
    return {
        {"intact", intact},
        {"intact_32_bit", Stamped(UnstampedImage(true))},
        {"unstamped", UnstampedImage()},
        {"one_byte_changed", CorruptExecutable()},
        {"cut", intact.substr(0, 0x500)},
        {"extended", intact + std::string(1, '\0')},
        {"not_pe", "MZ" + std::string(0x3E, '\0')},
        {"signed", signedImage},
        {"signed_two_entries", Signed(intact, {13, 24}, true)},
        {"odd_length", oddEnd},
        {"signed_after_padding", Signed(oddEnd, {1432}, true)},
        {"signed_then_extended", signedImage + std::string(8, '\0')},
        {"signed_entry_too_short", tooShort},
        // Rounded up to 8, the length wraps to 0 in 32 bits.
        {"signed_entry_length_wraps", entryLength(0xFFFFFFF9)},
    };
}

std::string Read(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Writes seeds into dir, or, when checking, says how dir differs from them.
bool Sync(const std::filesystem::path &dir, const Seeds &seeds, bool check)
{
    bool same = true;
    if (!check)
        std::filesystem::create_directories(dir);
    std::vector<std::filesystem::path> present;
    if (std::filesystem::is_directory(dir))
        for (const auto &entry : std::filesystem::directory_iterator(dir))
            present.push_back(entry.path());
    for (const std::filesystem::path &path : present)
        if (seeds.count(path.filename().string()) == 0) {
            same = false;
            if (check)
                fprintf(stderr, "%s: no seed is written there\n", path.c_str());
            else
                std::filesystem::remove(path);
        }
    for (const auto &seed : seeds) {
        std::filesystem::path path = dir / seed.first;
        if (std::filesystem::exists(path) && Read(path) == seed.second)
            continue;
        same = false;
        if (check)
            fprintf(stderr, "%s: not the seed's bytes\n", path.c_str());
        else
            std::ofstream(path, std::ios::binary) << seed.second;
    }
    return same;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3 || (strcmp(argv[1], "write") != 0 && strcmp(argv[1], "check") != 0)) {
        fprintf(stderr, "usage: seed_corpus write|check DIR\n");
        return 2;
    }
    bool check = strcmp(argv[1], "check") == 0;
    std::filesystem::path dir = argv[2];
    std::vector<std::pair<std::string, SimulatedRun>> runs = ProgramRuns();
    Seeds program, log = LogSeeds(runs), exe = ExeCheckSeeds();
    try {
        program = ProgramSeeds(runs);
    } catch (const std::runtime_error &e) {
        fprintf(stderr, "seed_corpus: %s\n", e.what());
        return 1;
    }
    bool same = Sync(dir / "program", program, check);
    same = Sync(dir / "log", log, check) && same;
    same = Sync(dir / "exe_check", exe, check) && same;
    if (check && !same)
        fprintf(stderr, "the seed corpus is not what seed_corpus writes: run seed_corpus write %s\n", argv[2]);
    if (!check)
        printf("%zu program seeds, %zu log seeds, %zu executable seeds\n", program.size(), log.size(), exe.size());
    return check && !same ? 1 : 0;
}
