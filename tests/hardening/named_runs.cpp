#include "named_runs.h"

#include "support/machine_names.h"

#include <stdexcept>

namespace hardening {

const std::string kCut(256, 'A');

std::string PseudoRandomBytes(size_t count)
{
    uint32_t state = 0x2545F491;
    std::string out;
    while (out.size() < count) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        out += (char)(state >> 24);
    }
    return out;
}

namespace {

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

std::vector<std::pair<std::string, SimulatedRun>> MakeNamedRuns()
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
    const TestRecord toolName{kAppName, "Tool", ""};
    std::vector<TestRecord> groups{toolName}, devices{{kAppName, "Tool Odd", ""}};
    for (const char *name : {"", ".", "..", "Keep\\..\\..", "\\Tools", "C:Group", "Tools*", " ", "Tool Group"})
        groups.push_back({kProgramGroup, "", name});
    for (const std::string &path : {std::string("CON"), std::string("NUL"), std::string("COM1"), std::string("LPT1"),
                                    app + "\\NUL", app + "\\CON.txt", std::string("\\\\.\\PhysicalDrive0"),
                                    std::string("\\\\.\\C:"), tool + ".", priv + " ", app + "\\Missing. . ."})
        devices.push_back({kFile, path, ""});
    devices.push_back({kDirectory, sub + ".", ""});
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
             r.records = {{kAppName, "Alpha", ""}, {kAppName, "Beta", ""}, {kFile, tool, ""}};
         })},
        {"percent_name", onlyRecords({{kAppName, "50% Tool", ""}, {kAppName, "%s%s%n", ""}})},
        {"type_9_and_unterminated", With(ToolRun(), [&](SimulatedRun &r) {
             r.records = {{9, "", ""}, {kFile, kCut, ""}, {kFile, tool, kCut}, {0xFFFFFFFF, "", ""}};
         })},
        {"no_name_keeps_uninstall_key", With(ToolRun(), [](SimulatedRun &r) { r.records = {r.records[1]}; })},
        {"name_reaching_into_another_entry", Bare({Entry("Other App", true)}, {{kAppName, "Other App\\Sub", ""}})},
        {"long_name_caption", onlyRecords({{kAppName, std::string(250, 'N'), ""}})},
        {"file_in_use_restart_yes", With(ToolWith({HeldFile(tool)}), [](SimulatedRun &r) { r.restartYes = true; })},
        {"file_in_use_restart_no",
         With(ToolWith({HeldFile(tool, FILE_SHARE_READ)}), [](SimulatedRun &r) { r.wininit = kOthersLines; })},
        {"files_before_their_directories",
         Bare({File(text), File(tool)}, {toolName, {kDirectory, app, ""}, {kDirectory, sub, ""}, {kFile, text, ""}, {kFile, tool, ""}})},
        {"names_in_other_forms", With(ToolRun(), [](SimulatedRun &r) {
             r.records = {{kFile, "C:\\PROGRA~1\\Tool\\tool.exe", ""}, {kFile, "c:\\program files\\tool\\TOOL.EXE", ""},
                          {kFile, "C:\\Program Files\\Tool\\..\\Tool\\tool.exe", ""}, {kFile, "C:\\", ""}, {kDirectory, "C:", ""},
                          {kFile, "tool.exe", ""}, {kFile, "\\\\server\\share\\x.txt", ""},
                          {kDirectory, "C:/Program Files/Tool/Sub Folder/", ""}};
         })},
        {"log_and_wininit_named",
         With(ToolWith({}, {{kFile, TOOL_LOG, ""}, {kFile, WININIT_PATH, ""}, {kDirectory, "C:\\Apps", ""}}),
              [](SimulatedRun &r) { r.wininit = ""; })},
        {"shared_dll_counts",
         Bare({File(common), File(shared), File(priv), File(tool), SharedDll(common, 3),
               SharedDllValue(shared, REG_BINARY, std::string("\x02\0\0\0", 4)), SharedDll(priv, 0),
               SharedDllValue(tool, REG_DWORD, std::string("\x01\0\0\0\0\0\0\0", 8))},
              {{kSharedDll, common, ""}, {kSharedDll, shared, ""}, {kSharedDll, priv, ""}, {kSharedDll, tool, ""},
               {kSharedDll, "C:\\PROGRA~1\\Tool\\private.dll", ""}})},
        {"shared_dll_twice", Bare({File(common), File(shared), SharedDll(common, 2), SharedDll(shared, 1)},
                                  {{kSharedDll, common, ""}, {kSharedDll, common, ""}, {kSharedDll, shared, ""}, {kSharedDll, shared, ""}})},
        {"shared_dll_short_values",
         Bare({File(common), File(shared), SharedDllValue(common, REG_BINARY, "\x01"),
               SharedDllValue(shared, REG_SZ, "")},
              {{kSharedDll, common, ""}, {kSharedDll, shared, ""}})},
        {"shared_dll_in_use", With(Bare({HeldFile(priv), SharedDll(priv, 1)}, {toolName, {kSharedDll, priv, ""}}),
                                   [](SimulatedRun &r) { r.restartYes = true; })},
        {"progman_groups", onlyRecords({{kProgramGroup, "ignored", "Tool Group"}, {kProgramGroup, "", ""}, {kProgramGroup, "", "Broken \"Group\""},
                                        {kProgramGroup, "", std::string(250, 'G')}})},
        {"progman_absent", With(onlyRecords({toolName, {kProgramGroup, "", "Tool Group"}, {kProgramGroup, "", "Other App"}}),
                                [](SimulatedRun &r) { r.progman = PROGMAN_ABSENT; })},
        {"progman_too_slow", With(ToolRun(), [&](SimulatedRun &r) {
             r.progman = PROGMAN_TOO_SLOW;
             r.records = {toolName, {kProgramGroup, "", "Tool Group"}, {kFile, tool, ""}};
         })},
        {"progman_refusing", With(ToolRun(), [&](SimulatedRun &r) {
             r.progman = PROGMAN_REFUSES;
             r.records = {{kProgramGroup, "", "Tool Group"}, {kFile, tool, ""}};
         })},
        {"custom_undo_exe_only", ToolWith({Program(undo + ".exe")}, {{kCustomProgram, undo, "-q"}})},
        {"custom_com_before_exe", Bare({Program(undo + ".exe", 1), Program(undo + ".com")}, {{kCustomProgram, undo, ""}})},
        {"custom_bat_through_command_com",
         With(Bare({File(app + "\\cleanup.bat"), Program(SIM_WINDOWS_DIR "\\COMMAND.COM")},
                   {{kCustomProgram, app + "\\cleanup", "-q"}, {kCustomProgram, app + "\\cleanup.bat", "/quiet"}}),
              [](SimulatedRun &r) { r.comspec = SIM_WINDOWS_DIR "\\COMMAND"; })},
        {"custom_bat_no_interpreter", With(Bare({File(app + "\\cleanup.bat")}, {{kCustomProgram, app + "\\cleanup.bat", ""}}),
                                           [](SimulatedRun &r) { r.comspec = std::nullopt; })},
        {"custom_bat_interpreter_is_batch",
         With(Bare({File(app + "\\cleanup.bat"), File(SIM_WINDOWS_DIR "\\run.bat")}, {{kCustomProgram, app + "\\cleanup.bat", ""}}),
              [](SimulatedRun &r) { r.comspec = SIM_WINDOWS_DIR "\\run.bat"; })},
        {"custom_missing_and_empty", onlyRecords({{kCustomProgram, "", ""}, {kCustomProgram, undo + ".exe.com", ""}})},
        {"custom_two_second_fails", ToolWith({Program(undo + ".exe"), Program(undo + ".com", 1)},
                                             {{kCustomProgram, undo + ".exe", ""}, {kCustomProgram, undo + ".com", ""}})},
        {"custom_fails_minus_one", Bare({Program(undo + ".exe", (DWORD)-1)}, {{kCustomProgram, undo + ".exe", ""}})},
        {"custom_relative_batch_missing",
         Bare({Program(SIM_COMSPEC)}, {{kCustomProgram, "UNDO.BAT", ""}, {kCustomProgram, "C:\\APP.V2\\UNDO", ""}})},
        {"custom_relative_batch",
         Bare({File("C:\\UNDO.BAT"), Program(SIM_COMSPEC)}, {{kCustomProgram, "UNDO.BAT", ""}, {kCustomProgram, "C:\\APP.V2\\UNDO", ""}})},
        {"custom_win32s_polling", With(Bare({Program(undo + ".exe", 0, 3)}, {{kCustomProgram, undo + ".exe", ""}}),
                                       [](SimulatedRun &r) { r.win32s = true; })},
        {"log_in_one_letter_folder",
         With(Bare({Dir("C:\\A")}, {toolName}), [](SimulatedRun &r) { r.LogAt("C:\\A\\install.log"); })},
        {"relative_log", With(onlyRecords({toolName}), [](SimulatedRun &r) { r.LogAt("install.log"); })},
        // Its release note is named by the path resolved at start-up, before
        // the removal leaves the folder it was started in.
        {"relative_log_releasing_a_dll", With(Bare({File(common), SharedDll(common, 2)}, {toolName, {kSharedDll, common, ""}}),
                                              [](SimulatedRun &r) { r.LogAt("install.log"); })},
        {"directory_held", Bare({HeldDir(sub)}, {{kDirectory, sub, ""}})},
        {"other_drive", Bare({File("D:\\Data\\x.txt")}, {{kFile, "D:\\Data\\x.txt", ""}})},
        {"relative_paths_name_nothing",
         Bare({File("C:\\notes.ini"), File("C:\\drive.ini"), File("C:\\shared.dll"), Dir("C:\\sub"),
               SharedDll("shared.dll", 1)},
              {toolName, {kFile, "notes.ini", ""}, {kFile, "C:drive.ini", ""}, {kDirectory, "sub", ""}, {kSharedDll, "shared.dll", ""}})},
        {"group_names_naming_no_group", onlyRecords(groups)},
        {"custom_programs_reading_the_log",
         ToolWith({Program(undo + ".exe", 0, 0, 516), Program(undo + ".com", 0, 0, 64 * 516)},
                  {{kCustomProgram, undo + ".exe", ""}, {kCustomProgram, undo + ".com", ""}})},
        {"double_byte_names",
         With(Bare({File(dbText), File(dbDll), SharedDll(dbDll, 1), Entry(software + display), Entry("Other App")},
                   {{kAppName, software + display, ""}, {kFile, dbText, ""}, {kSharedDll, dbDll, ""}, {kProgramGroup, "", software},
                    {kDirectory, dbFolder, ""}}),
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
                   {{kDirectory, dbText, ""}}),
              [&](SimulatedRun &r) {
                  r.LogAt("C:\\" + software + "\\" + display + "\\install.log");
                  r.codePage932 = true;
              })},
        {"custom_program_text_cut", ToolWith({Program(undo + ".exe")}, {{kCustomProgram, undo + ".exe", kCut}})},
        // Folders listed parents first, the user's own notes in one, the log
        // in the application's folder naming itself, the uninstaller started
        // in another folder: no restart can help.
        {"restart_only_when_it_helps",
         With(Bare({File(tool), File(sub + "\\notes.txt"), File(app + "\\Data\\x.dat"), StartFolder(app + "\\Data")},
                   {toolName, {kDirectory, app, ""}, {kDirectory, sub, ""}, {kDirectory, app + "\\Data", ""}, {kFile, tool, ""},
                    {kFile, app + "\\Data\\x.dat", ""}, {kFile, "c:\\progra~1\\tool\\INSTALL.LOG", ""}}),
              [&](SimulatedRun &r) { r.LogAt(app + "\\install.log"); })},
        // A file named twice whose first deletion fails once: renamed aside
        // and scheduled, it is found there by the second record, and left.
        {"named_twice_first_deletion_failing", With(ToolRun(), [&](SimulatedRun &r) {
             r.records.push_back({kDirectory, tool, ""});
             r.fault = Fault{Fault::NTH_OF_FUNCTION, 1, "DeleteFileA", ERROR_ACCESS_DENIED};
         })},
        {"log_in_its_listed_folder_held", With(ToolWith({HeldDir(app)}), [&](SimulatedRun &r) {
             r.LogAt(app + "\\install.log");
         })},
        // The log names itself, and its identity cannot be read: its short
        // path tells it, and it is left to the end, never scheduled.
        {"log_naming_itself_identity_unread", With(ToolRun(), [](SimulatedRun &r) {
             r.records.push_back({kFile, TOOL_LOG, ""});
             r.fault = Fault{Fault::NTH_OF_FUNCTION, 1, "GetFileInformationByHandle", ERROR_ACCESS_DENIED};
         })},
        // The log names itself, and its attributes cannot be read: it is
        // still the open log, left to the end, never scheduled.
        {"log_naming_itself_attributes_unread", With(ToolRun(), [](SimulatedRun &r) {
             r.records.push_back({kFile, TOOL_LOG, ""});
             r.fault = Fault{Fault::NTH_OF_FUNCTION, 1, "GetFileAttributesA", ERROR_ACCESS_DENIED};
         })},
        // A held folder whose every scheduling fails, beside a folder that
        // keeps what is not the application's: the directories' pass reads
        // the log again no more often than the log lists directories.
        {"directory_held_scheduling_failing", With(Bare({HeldDir(sub)}, {toolName, {kDirectory, sub, ""}, {kDirectory, SIM_WINDOWS_DIR, ""}}),
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
             r.records = {{kAppName, "50%s %n %x%% Tool", ""}, {kFile, app + "\\Percent %s %n %d.txt", ""},
                          {kProgramGroup, "", "%s %n Group"}, {kFile, tool, ""}, {kDirectory, app, ""}};
         })},
        {"bad_input_longest_paths_and_name",
         Bare({File(longestFile), Dir(longestDir), Entry("Long Name")},
              {{kAppName, longestName, ""}, {kFile, longestFile, ""}, {kDirectory, longestDir, ""}, {kDirectory, nested, ""}})},
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

}  // namespace

const std::vector<std::pair<std::string, SimulatedRun>> &NamedRuns()
{
    static const std::vector<std::pair<std::string, SimulatedRun>> runs = MakeNamedRuns();
    return runs;
}

SimulatedRun NamedRun(const std::string &name)
{
    for (const auto &run : NamedRuns())
        if (run.first == name)
            return run.second;
    throw std::out_of_range("no run is named " + name);
}

}  // namespace hardening
