// The fuzzers' seed corpus, tests/fuzz/corpus/{program,log,exe_check}: the
// whole runs of the unit tests and the hardening scenario, some with a
// failing call, and the end-to-end tests' bad input, each described as a
// hardening::SimulatedRun and written in the program fuzzer's layout by
// EncodeProgramInput, beside the decoder the fuzzer reads them with; their
// logs and more for the log reader; and executables for the self-check.
//   seed_corpus write DIR   rewrites DIR/program, DIR/log and DIR/exe_check
//   seed_corpus check DIR   exits 1 when they hold anything else
#include "program_input.h"

#include "support/pe_image.h"
#include "support/program_world.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

using namespace hardening;

namespace {

typedef std::map<std::string, std::string> Seeds;   // file name -> bytes

const std::string kCut(256, 'A');   // a field without its terminating zero

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

// A run of records on a machine of items; Tool's with more of each; a run
// changed by change.
SimulatedRun Bare(std::vector<Item> items, std::vector<TestRecord> records)
{
    SimulatedRun run;
    run.items = items;
    run.records = records;
    return run;
}

SimulatedRun ToolWith(std::vector<Item> items, std::vector<TestRecord> records = {})
{
    SimulatedRun run = ToolRun();
    run.items.insert(run.items.end(), items.begin(), items.end());
    run.records.insert(run.records.end(), records.begin(), records.end());
    return run;
}

template <typename F> SimulatedRun With(SimulatedRun run, F change)
{
    change(run);
    return run;
}

const char kOthersLines[] =
    "[boot]\r\nshell=explorer\r\n[Rename]\r\nNUL=C:\\OTHER~1.TMP\r\nC:\\NEW.DLL=C:\\OLD.DLL\r\n";

std::vector<std::pair<std::string, SimulatedRun>> ProgramRuns()
{
    const std::string app = TOOL_APP, common = SIM_SYSTEM_DIR "\\common.dll", shared = SIM_SYSTEM_DIR "\\shared.dll";
    const std::string tool = app + "\\tool.exe", priv = app + "\\private.dll", undo = app + "\\undo";
    const std::string sub = app + "\\Sub Folder", text = sub + "\\Long File Name.txt";
    const std::string nested = app + "\\" + std::string(100, 'n');
    const std::string longestFile = nested + "\\" + std::string(255 - nested.size() - 5, 'f') + ".txt";
    const std::string longestDir = app + "\\" + std::string(255 - app.size() - 1, 'd');
    std::string longestName = "Long Name ";
    for (int i = 10; i < 255; i++)
        longestName += (char)('a' + i % 26);
    // "ソフト表示" in code page 932, whose second bytes 5C are backslashes.
    const std::string software = "\x83\x5C\x83\x74\x83\x67", display = "\x95\x5C\x8E\xA6";
    const std::string dbFolder = "C:\\Program Files\\" + software, dbText = dbFolder + "\\" + display + ".txt";
    const std::string dbDll = SIM_SYSTEM_DIR "\\" + software + ".dll";
    const TestRecord toolName{0, "Tool", ""};
    std::vector<TestRecord> groups{toolName}, devices{{0, "Tool Odd", ""}};
    for (const char *name : {"", ".", "..", "Keep\\..\\..", "\\Tools", "C:Group", "Tools*", " ", "Tool Group"})
        groups.push_back({5, "", name});
    for (const std::string &path : {std::string("CON"), std::string("NUL"), std::string("COM1"), std::string("LPT1"),
                                    app + "\\NUL", app + "\\CON.txt", std::string("\\\\.\\PhysicalDrive0"),
                                    std::string("\\\\.\\C:"), tool + ".", priv + " ", app + "\\Missing. . ."})
        devices.push_back({1, path, ""});
    devices.push_back({2, sub + ".", ""});
    auto onlyRecords = [](std::vector<TestRecord> records) { return Bare({}, records); };

    std::vector<std::pair<std::string, SimulatedRun>> runs = {
        {"scenario_completed", Scenario(SCENARIO_COMPLETED)},
        {"scenario_win32s_progman_refusing", Scenario(SCENARIO_WIN32S)},
        {"scenario_declined", Scenario(SCENARIO_DECLINED)},
        {"scenario_aborted", Scenario(SCENARIO_ABORTED)},
        {"scenario_second_start", Scenario(SCENARIO_SECOND_START)},
        {"scenario_unattended", Scenario(SCENARIO_UNATTENDED)},
        {"unattended_aborted", With(Scenario(SCENARIO_ABORTED), [](SimulatedRun &r) { r.commandSwitch = "/S "; })},
        {"unattended_second_start",
         With(Scenario(SCENARIO_SECOND_START), [](SimulatedRun &r) { r.commandSwitch = "/S "; })},
        {"unattended_missing_log", With(ToolRun(), [](SimulatedRun &r) {
             r.commandSwitch = "/S ";
             r.commandTail = "C:\\install.log";
         })},
        {"unattended_corrupt_exe", With(ToolRun(), [](SimulatedRun &r) {
             r.commandSwitch = "/quiet ";
             r.exeCorrupt = true;
         })},
        {"switch_before_a_relative_path", With(ToolRun(), [](SimulatedRun &r) {
             r.commandSwitch = "/S ";
             r.commandTail = "install.log";
         })},
        {"declined", With(ToolRun(), [](SimulatedRun &r) { r.confirm = false; })},
        {"answering_yes", ToolRun()},
        {"log_path_names_a_directory", ToolWith({Dir(TOOL_LOG)})},
        {"quoted_log_path", With(ToolRun(), [](SimulatedRun &r) { r.commandTail = "\"" TOOL_LOG "\""; })},
        {"missing_log", With(ToolRun(), [](SimulatedRun &r) { r.commandTail = "C:\\install.log"; })},
        {"empty_command_line", With(ToolRun(), [](SimulatedRun &r) { r.commandTail = ""; })},
        {"log_held_without_sharing", ToolWith({HeldFile(TOOL_LOG)})},
        {"corrupt_executable", With(ToolRun(), [](SimulatedRun &r) { r.exeCorrupt = true; })},
        {"empty_log", With(ToolRun(), [](SimulatedRun &r) { r.records.clear(); })},
        {"two_records_and_one_byte", With(ToolRun(), [](SimulatedRun &r) {
             r.records.pop_back();
             r.tail = "\x01";
         })},
        {"two_names_alpha_beta", With(ToolWith({Entry("Tool", true)}), [&](SimulatedRun &r) {
             r.records = {{0, "Alpha", ""}, {0, "Beta", ""}, {1, tool, ""}};
         })},
        {"percent_name", onlyRecords({{0, "50% Tool", ""}, {0, "%s%s%n", ""}})},
        {"type_9_and_unterminated", With(ToolRun(), [&](SimulatedRun &r) {
             r.records = {{9, "", ""}, {1, kCut, ""}, {1, tool, kCut}, {0xFFFFFFFF, "", ""}};
         })},
        {"no_name_keeps_uninstall_key", With(ToolRun(), [](SimulatedRun &r) { r.records = {r.records[1]}; })},
        {"name_reaching_into_another_entry", Bare({Entry("Other App", true)}, {{0, "Other App\\Sub", ""}})},
        {"long_name_caption", onlyRecords({{0, std::string(250, 'N'), ""}})},
        {"file_in_use_restart_yes", With(ToolWith({HeldFile(tool)}), [](SimulatedRun &r) { r.restartYes = true; })},
        {"file_in_use_restart_no",
         With(ToolWith({HeldFile(tool, FILE_SHARE_READ)}), [](SimulatedRun &r) { r.wininit = kOthersLines; })},
        {"files_before_their_directories",
         Bare({File(text), File(tool)}, {toolName, {2, app, ""}, {2, sub, ""}, {1, text, ""}, {1, tool, ""}})},
        {"names_in_other_forms", With(ToolRun(), [](SimulatedRun &r) {
             r.records = {{1, "C:\\PROGRA~1\\Tool\\tool.exe", ""}, {1, "c:\\program files\\tool\\TOOL.EXE", ""},
                          {1, "C:\\Program Files\\Tool\\..\\Tool\\tool.exe", ""}, {1, "C:\\", ""}, {2, "C:", ""},
                          {1, "tool.exe", ""}, {1, "\\\\server\\share\\x.txt", ""},
                          {2, "C:/Program Files/Tool/Sub Folder/", ""}};
         })},
        {"log_and_wininit_named",
         With(ToolWith({}, {{1, TOOL_LOG, ""}, {1, WININIT_PATH, ""}, {2, "C:\\Apps", ""}}),
              [](SimulatedRun &r) { r.wininit = ""; })},
        {"shared_dll_counts",
         Bare({File(common), File(shared), File(priv), File(tool), SharedDll(common, 3),
               SharedDllValue(shared, REG_BINARY, std::string("\x02\0\0\0", 4)), SharedDll(priv, 0),
               SharedDllValue(tool, REG_DWORD, std::string("\x01\0\0\0\0\0\0\0", 8))},
              {{4, common, ""}, {4, shared, ""}, {4, priv, ""}, {4, tool, ""},
               {4, "C:\\PROGRA~1\\Tool\\private.dll", ""}})},
        {"shared_dll_twice", Bare({File(common), File(shared), SharedDll(common, 2), SharedDll(shared, 1)},
                                  {{4, common, ""}, {4, common, ""}, {4, shared, ""}, {4, shared, ""}})},
        {"shared_dll_short_values",
         Bare({File(common), File(shared), SharedDllValue(common, REG_BINARY, "\x01"),
               SharedDllValue(shared, REG_SZ, "")},
              {{4, common, ""}, {4, shared, ""}})},
        {"shared_dll_in_use", With(Bare({HeldFile(priv), SharedDll(priv, 1)}, {toolName, {4, priv, ""}}),
                                   [](SimulatedRun &r) { r.restartYes = true; })},
        {"progman_groups", onlyRecords({{5, "ignored", "Tool Group"}, {5, "", ""}, {5, "", "Broken \"Group\""},
                                        {5, "", std::string(250, 'G')}})},
        {"progman_absent", With(onlyRecords({toolName, {5, "", "Tool Group"}, {5, "", "Other App"}}),
                                [](SimulatedRun &r) { r.progman = PROGMAN_ABSENT; })},
        {"progman_too_slow", With(ToolRun(), [&](SimulatedRun &r) {
             r.progman = PROGMAN_TOO_SLOW;
             r.records = {toolName, {5, "", "Tool Group"}, {1, tool, ""}};
         })},
        {"progman_refusing", With(ToolRun(), [&](SimulatedRun &r) {
             r.progman = PROGMAN_REFUSES;
             r.records = {{5, "", "Tool Group"}, {1, tool, ""}};
         })},
        {"custom_undo_exe_only", ToolWith({Program(undo + ".exe")}, {{7, undo, "-q"}})},
        {"custom_com_before_exe", Bare({Program(undo + ".exe", 1), Program(undo + ".com")}, {{7, undo, ""}})},
        {"custom_bat_through_command_com",
         With(Bare({File(app + "\\cleanup.bat"), Program(SIM_WINDOWS_DIR "\\COMMAND.COM")},
                   {{7, app + "\\cleanup", "-q"}, {7, app + "\\cleanup.bat", "/quiet"}}),
              [](SimulatedRun &r) { r.comspec = SIM_WINDOWS_DIR "\\COMMAND"; })},
        {"custom_bat_no_interpreter", With(Bare({File(app + "\\cleanup.bat")}, {{7, app + "\\cleanup.bat", ""}}),
                                           [](SimulatedRun &r) { r.comspec = std::nullopt; })},
        {"custom_bat_interpreter_is_batch",
         With(Bare({File(app + "\\cleanup.bat"), File(SIM_WINDOWS_DIR "\\run.bat")}, {{7, app + "\\cleanup.bat", ""}}),
              [](SimulatedRun &r) { r.comspec = SIM_WINDOWS_DIR "\\run.bat"; })},
        {"custom_missing_and_empty", onlyRecords({{7, "", ""}, {7, undo + ".exe.com", ""}})},
        {"custom_two_second_fails", ToolWith({Program(undo + ".exe"), Program(undo + ".com", 1)},
                                             {{7, undo + ".exe", ""}, {7, undo + ".com", ""}})},
        {"custom_fails_minus_one", Bare({Program(undo + ".exe", (DWORD)-1)}, {{7, undo + ".exe", ""}})},
        {"custom_relative_batch_missing",
         Bare({Program(SIM_COMSPEC)}, {{7, "UNDO.BAT", ""}, {7, "C:\\APP.V2\\UNDO", ""}})},
        {"custom_relative_batch",
         Bare({File("C:\\UNDO.BAT"), Program(SIM_COMSPEC)}, {{7, "UNDO.BAT", ""}, {7, "C:\\APP.V2\\UNDO", ""}})},
        {"custom_win32s_polling", With(Bare({Program(undo + ".exe", 0, 3)}, {{7, undo + ".exe", ""}}),
                                       [](SimulatedRun &r) { r.win32s = true; })},
        {"log_in_one_letter_folder",
         With(Bare({Dir("C:\\A")}, {toolName}), [](SimulatedRun &r) { r.LogAt("C:\\A\\install.log"); })},
        {"relative_log", With(onlyRecords({toolName}), [](SimulatedRun &r) { r.LogAt("install.log"); })},
        // Its release note is named by the path resolved at start-up, before
        // the removal leaves the folder it was started in.
        {"relative_log_releasing_a_dll", With(Bare({File(common), SharedDll(common, 2)}, {toolName, {4, common, ""}}),
                                              [](SimulatedRun &r) { r.LogAt("install.log"); })},
        {"directory_held", Bare({HeldDir(sub)}, {{2, sub, ""}})},
        {"other_drive", Bare({File("D:\\Data\\x.txt")}, {{1, "D:\\Data\\x.txt", ""}})},
        {"relative_paths_name_nothing",
         Bare({File("C:\\notes.ini"), File("C:\\drive.ini"), File("C:\\shared.dll"), Dir("C:\\sub"),
               SharedDll("shared.dll", 1)},
              {toolName, {1, "notes.ini", ""}, {1, "C:drive.ini", ""}, {2, "sub", ""}, {4, "shared.dll", ""}})},
        {"group_names_naming_no_group", onlyRecords(groups)},
        {"custom_programs_reading_the_log",
         ToolWith({Program(undo + ".exe", 0, 0, 516), Program(undo + ".com", 0, 0, 64 * 516)},
                  {{7, undo + ".exe", ""}, {7, undo + ".com", ""}})},
        {"double_byte_names",
         With(Bare({File(dbText), File(dbDll), SharedDll(dbDll, 1), Entry(software + display), Entry("Other App")},
                   {{0, software + display, ""}, {1, dbText, ""}, {4, dbDll, ""}, {5, "", software},
                    {2, dbFolder, ""}}),
              [&](SimulatedRun &r) {
                  r.LogAt("C:\\" + software + "\\" + display + "\\install.log");
                  r.codePage932 = true;
              })},
        // Another process has 表示.txt loaded, so it goes aside within ソフト (表
        // ends in the byte 5C, where a reading by bytes would end the folder);
        // ソフト.dll and its count, which no record releases, stay.
        {"double_byte_file_loaded_as_dll",
         With(Bare({File(dbText), State(dbText, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, true), File(dbDll),
                    SharedDll(dbDll, 0x59454B48)},
                   {{2, dbText, ""}}),
              [&](SimulatedRun &r) {
                  r.LogAt("C:\\" + software + "\\" + display + "\\install.log");
                  r.codePage932 = true;
              })},
        {"custom_program_text_cut", ToolWith({Program(undo + ".exe")}, {{7, undo + ".exe", kCut}})},
        // Folders listed parents first, the user's own notes in one, the log
        // in the application's folder naming itself, the uninstaller started
        // in another folder: no restart can help.
        {"restart_only_when_it_helps",
         With(Bare({File(tool), File(sub + "\\notes.txt"), File(app + "\\Data\\x.dat"), StartFolder(app + "\\Data")},
                   {toolName, {2, app, ""}, {2, sub, ""}, {2, app + "\\Data", ""}, {1, tool, ""},
                    {1, app + "\\Data\\x.dat", ""}, {1, "c:\\progra~1\\tool\\INSTALL.LOG", ""}}),
              [&](SimulatedRun &r) { r.LogAt(app + "\\install.log"); })},
        // A file named twice whose first deletion fails once: renamed aside
        // and scheduled, it is found there by the second record, and left.
        {"named_twice_first_deletion_failing", With(ToolRun(), [&](SimulatedRun &r) {
             r.records.push_back({2, tool, ""});
             r.fault = Fault{Fault::NTH_OF_FUNCTION, 1, "DeleteFileA", ERROR_ACCESS_DENIED};
         })},
        {"log_in_its_listed_folder_held", With(ToolWith({HeldDir(app)}), [&](SimulatedRun &r) {
             r.LogAt(app + "\\install.log");
         })},
        // The log names itself, and its identity cannot be read: its short
        // path tells it, and it is left to the end, never scheduled.
        {"log_naming_itself_identity_unread", With(ToolRun(), [](SimulatedRun &r) {
             r.records.push_back({1, TOOL_LOG, ""});
             r.fault = Fault{Fault::NTH_OF_FUNCTION, 1, "GetFileInformationByHandle", ERROR_ACCESS_DENIED};
         })},
        // A held folder whose every scheduling fails, beside a folder that
        // keeps what is not the application's: the directories' pass reads
        // the log again no more often than the log lists directories.
        {"directory_held_scheduling_failing", With(Bare({HeldDir(sub)}, {toolName, {2, sub, ""}, {2, SIM_WINDOWS_DIR, ""}}),
                                                    [](SimulatedRun &r) {
                                                        r.fault = Fault{Fault::EVERY_CALL, 0, "MoveFileExA",
                                                                        ERROR_ACCESS_DENIED};
                                                    })},
        {"document_named_by_mistake", With(ToolRun(), [](SimulatedRun &r) {
             r.records.clear();
             r.tail = "Dear Sir,\r\nthank you for your letter of the 3rd.\r\n";
         })},

        // The end-to-end tests' bad input (tests/e2e/bad_input_test.cpp): seven
        // records' worth of its bytes and the 100-byte tail, where it writes 300
        // records' worth, more than the short fuzzing runs take.
        {"bad_input_random_bytes", With(ToolRun(), [](SimulatedRun &r) {
             r.records.clear();
             r.tail = PseudoRandomBytes(7 * 516 + 100);
         })},
        {"bad_input_device_names_trailing_dots_and_blanks",
         With(ToolWith({File(priv), Dir(sub)}), [&](SimulatedRun &r) {
                  r.restartYes = true;
                  r.wininit = kOthersLines;
                  r.records = devices;
              })},
        {"bad_input_format_directives", With(ToolWith({File(app + "\\Percent %s %n %d.txt")}), [&](SimulatedRun &r) {
             r.progman = PROGMAN_REFUSES;
             r.records = {{0, "50%s %n %x%% Tool", ""}, {1, app + "\\Percent %s %n %d.txt", ""},
                          {5, "", "%s %n Group"}, {1, tool, ""}, {2, app, ""}};
         })},
        {"bad_input_longest_paths_and_name",
         Bare({File(longestFile), Dir(longestDir), Entry("Long Name")},
              {{0, longestName, ""}, {1, longestFile, ""}, {2, longestDir, ""}, {2, nested, ""}})},
        {"bad_input_no_name_record", With(ToolRun(), [](SimulatedRun &r) { r.records.erase(r.records.begin()); })},
    };

    // The hardening scenario with one failing call each.
    SimulatedRun failing = Scenario(SCENARIO_COMPLETED);
    failing.fault = Fault{Fault::EVERY_CALL, 0, "EndDialog", ERROR_INVALID_PARAMETER};
    runs.push_back({"fault_EndDialog_every_call", failing});
    const std::pair<const char *, int> faults[] = {
        {"MsgWaitForMultipleObjects", 1}, {"PostThreadMessageA", 1}, {"GetPrivateProfileSectionA", 1},
        {"GetWindowRect", 1}, {"CreateThread", 1}, {"DdeInitializeA", 1}, {"CreateDialogParamA", 1},
        {"ReadFile", 3}, {"SetFileAttributesA", 1}, {"GetShortPathNameA", 1}, {"RegDeleteValueA", 1},
        {"CloseHandle", 2}, {"MessageBoxA", 1}, {"CreateProcessA", 1}, {"FindFirstFileA", 1}};
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
    const std::string s256(256, 'S');
    std::vector<TestRecord> everyType;
    for (uint32_t type = 0; type < 8; type++)
        everyType.push_back({type, TOOL_APP "\\x", "Group"});
    Seeds seeds = {
        {"empty", ""},
        {"one_byte", "x"},
        {"two_records_and_one_byte", LogBytes({{0, "Tool", ""}, {1, "C:\\APP\\a.txt", ""}}) + "\x07"},
        {"alpha_then_beta", LogBytes({{0, "Alpha", ""}, {0, "Beta", ""}})},
        {"percent_name", LogBytes({{0, "50% Tool", ""}})},
        {"unterminated_name", LogBytes({{0, std::string(256, 'N'), ""}, {0, "Kept", s256}})},
        {"long_name", LogBytes({{0, std::string(255, 'N'), ""}})},
        {"type_9", LogBytes({{9, "", ""}, {0xFFFFFFFF, "x", "y"}})},
        {"every_type", LogBytes(everyType)},
        {"records_naming_nothing", LogBytes({{1, "notes.ini", ""}, {2, "C:sub", ""}, {5, "", ".."}, {5, "", ""},
                                             {7, "undo", kCut}, {1, "C:\\Tool\\a.txt", s256}})},
    };
    for (const auto &run : runs)
        if (run.first.compare(0, 10, "bad_input_") == 0)
            seeds[run.first] = LogBytes(run.second.records) + run.second.tail;
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

// What the directory holds.
Seeds Held(const std::filesystem::path &dir)
{
    Seeds held;
    if (std::filesystem::is_directory(dir))
        for (const auto &entry : std::filesystem::directory_iterator(dir)) {
            std::ostringstream bytes;
            bytes << std::ifstream(entry.path(), std::ios::binary).rdbuf();
            held[entry.path().filename().string()] = bytes.str();
        }
    return held;
}

}  // namespace

int main(int argc, char **argv)
{
    bool check = argc == 3 && strcmp(argv[1], "check") == 0;
    if (argc != 3 || (!check && strcmp(argv[1], "write") != 0)) {
        fprintf(stderr, "usage: seed_corpus write|check DIR\n");
        return 2;
    }
    std::vector<std::pair<std::string, SimulatedRun>> runs = ProgramRuns();
    std::map<std::string, Seeds> corpus;
    try {
        corpus = {{"program", ProgramSeeds(runs)}, {"log", LogSeeds(runs)}, {"exe_check", ExeCheckSeeds()}};
    } catch (const std::runtime_error &e) {
        fprintf(stderr, "seed_corpus: %s\n", e.what());
        return 1;
    }
    bool same = true;
    for (const auto &target : corpus) {
        std::filesystem::path dir = std::filesystem::path(argv[2]) / target.first;
        if (check) {
            const Seeds held = Held(dir), &seeds = target.second;
            std::set<std::string> names;
            for (const Seeds *m : {&held, &seeds})
                for (const auto &file : *m)
                    names.insert(file.first);
            for (const std::string &name : names)
                if (held.count(name) == 0 || seeds.count(name) == 0 || held.at(name) != seeds.at(name)) {
                    fprintf(stderr, "%s: %s\n", (dir / name).c_str(),
                            held.count(name) == 0 ? "missing" : seeds.count(name) == 0 ? "no seed" : "other bytes");
                    same = false;
                }
            continue;
        }
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        for (const auto &seed : target.second)
            std::ofstream(dir / seed.first, std::ios::binary) << seed.second;
        printf("%zu %s seeds\n", target.second.size(), target.first.c_str());
    }
    if (!same)
        fprintf(stderr, "%s is not the seed corpus: seed_corpus write %s writes it\n", argv[2], argv[2]);
    return same ? 0 : 1;
}
