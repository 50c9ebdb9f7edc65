#!/usr/bin/env python3
"""Writes the fuzzers' seed corpus: the cases of the unit tests, encoded in
the input layouts that log_fuzzer.cpp and program_fuzzer.cpp describe, and
executables for exe_check_fuzzer.cpp.

Run from anywhere, after building the host preset's instlog, which writes
the logs; it rewrites tests/fuzz/corpus/log, .../program and .../exe_check.
The tables it needs (kTexts, kFunctions) are read from program_fuzzer.cpp,
so the two cannot drift apart."""
import ast
import os
import pathlib
import re
import struct
import subprocess
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
SOURCE = (HERE / "program_fuzzer.cpp").read_text()


def c_strings(block):
    return [ast.literal_eval(s) for s in re.findall(r'"(?:[^"\\]|\\.)*"', block)]


TEXTS = c_strings(SOURCE.split("// texts begin")[1].split("// texts end")[0])
FUNCTIONS = c_strings(SOURCE.split("kFunctions[] = {")[1].split("};")[0])
ERRORS = {"FILE_NOT_FOUND": 0, "PATH_NOT_FOUND": 1, "ACCESS_DENIED": 2, "NOT_ENOUGH_MEMORY": 3,
          "SHARING_VIOLATION": 4, "BAD_EXE_FORMAT": 5, "INVALID_NAME": 6, "INVALID_PARAMETER": 7}
STATUS = {0: 0, 1: 3, 2: 4, 3: 5, -1: 6, 255: 7}
TYPES = {"REG_DWORD": 0, "REG_BINARY": 1, "REG_SZ": 2, "REG_NONE": 3}
LOGS = {"C:\\Apps\\Tool\\install.log": 0, "C:\\Program Files\\Tool\\install.log": 1, "C:\\A\\install.log": 2,
        "C:\\install.log": 3, "install.log": 4, "quoted": 5, "": 6, "short": 7, "double-byte": 8}
APP = "C:\\Program Files\\Tool"

# Record types
APPNAME, FILE, DIR, TYPE3, SHAREDDLL, PMGROUP, SYSREG, CUSTOMRUN = range(8)


def field(value):
    if value is None:
        return bytes([0x82])           # 256 bytes without a terminating zero
    if value == "":
        return bytes([0x80])
    if value in TEXTS:
        return bytes([TEXTS.index(value)])
    raw = value.encode("latin-1")
    return bytes([0x81, len(raw)]) + raw


def text(value):
    return TEXTS.index(value)


def program(options=0, log="C:\\Apps\\Tool\\install.log", fault=None, wininit=0, world=(), records=(),
            tail=b""):
    """fault: (kind, n, function, error); world entries:
    ("file", path) ("dir", path) ("held", path, share) ("helddir", path, share)
    ("program", path, status, still_active_reads[, inherited_read]) ("dll", name, type, data)
    ("entry", name, with_subkey); inherited_read: 1 rewinds the log and reads a record, 2 reads it to the end"""
    kind, n, function, error = fault or (0, 0, FUNCTIONS[0], "FILE_NOT_FOUND")
    out = bytes([options, LOGS[log], kind]) + struct.pack("<H", n)
    out += bytes([FUNCTIONS.index(function), ERRORS[error], wininit, len(world)])
    for entry in world:
        what, path = entry[0], text(entry[1])
        if what == "file":
            out += bytes([0, path, 0])
        elif what == "dir":
            out += bytes([1, path, 0])
        elif what == "held":
            out += bytes([2, path, entry[2]])
        elif what == "program":
            out += bytes([3, path, STATUS[entry[2]] | (entry[3] << 3) | ((entry[4] if len(entry) > 4 else 0) << 5)])
        elif what == "dll":
            data = entry[3]
            out += bytes([4, path, TYPES[entry[2]] | (len(data) << 2)]) + data
        elif what == "entry":
            out += bytes([5, path, 1 if entry[2] else 0])
        elif what == "helddir":
            out += bytes([6, path, entry[2]])
    out += bytes([len(records)])
    for rec in records:
        rtype, primary, secondary = rec
        out += bytes([rtype]) if rtype < 0xF0 and rtype < 10 else bytes([0xF0]) + struct.pack("<I", rtype)
        out += field(primary) + field(secondary)
    return out + tail


def dword(n):
    return struct.pack("<I", n)


NO, RESTART_YES = 2, 4
PM_REFUSES, PM_ABSENT, PM_TOO_SLOW = 1 << 3, 2 << 3, 3 << 3
COMSPEC_UNSET, COMSPEC_BATCH, COMSPEC_COMMAND = 1 << 5, 2 << 5, 3 << 5
WIN32S, CORRUPT = 0x80, 1

TOOL_WORLD = [("file", APP + "\\tool.exe"), ("file", "C:\\Program Files\\Other\\keep.txt"),
              ("entry", "Tool", False), ("entry", "Other App", False)]
TOOL_LOG = [(APPNAME, "Tool", ""), (FILE, APP + "\\tool.exe", ""), (DIR, APP, "")]

EVERYTHING_WORLD = TOOL_WORLD + [
    ("file", APP + "\\private.dll"), ("held", APP + "\\private.dll", 0), ("file", APP + "\\Sub Folder\\Long File Name.txt"),
    ("file", "C:\\WINDOWS\\system32\\common.dll"), ("file", "C:\\WINDOWS\\system32\\shared.dll"),
    ("dll", "C:\\WINDOWS\\system32\\common.dll", "REG_DWORD", dword(2)),
    ("dll", "C:\\WINDOWS\\system32\\shared.dll", "REG_DWORD", dword(1)),
    ("program", APP + "\\undo.exe", 0, 0), ("file", APP + "\\cleanup.bat"),
    ("program", "C:\\WINDOWS\\system32\\cmd.exe", 0, 0)]
EVERYTHING_LOG = [(APPNAME, "Tool", ""), (CUSTOMRUN, APP + "\\undo", "-q"), (CUSTOMRUN, APP + "\\cleanup.bat", ""),
                  (FILE, APP + "\\tool.exe", ""), (FILE, APP + "\\private.dll", ""),
                  (FILE, APP + "\\Sub Folder\\Long File Name.txt", ""),
                  (SHAREDDLL, "C:\\WINDOWS\\system32\\common.dll", ""),
                  (SHAREDDLL, "C:\\WINDOWS\\system32\\shared.dll", ""), (PMGROUP, "", "Tool Group"),
                  (SYSREG, "", ""), (TYPE3, "", ""), (DIR, APP + "\\Sub Folder", ""), (DIR, APP, "")]

PROGRAM_SEEDS = {
    "every_record_type": program(RESTART_YES, wininit=1, world=EVERYTHING_WORLD, records=EVERYTHING_LOG),
    "every_record_type_win32s_progman_refusing": program(
        WIN32S | PM_REFUSES, wininit=1,
        world=[w if w[0] != "program" else (w[0], w[1], w[2], 2) for w in EVERYTHING_WORLD], records=EVERYTHING_LOG),
    "declined": program(NO, world=TOOL_WORLD, records=TOOL_LOG),
    "answering_yes": program(0, world=TOOL_WORLD, records=TOOL_LOG),
    "log_path_names_a_directory": program(0, world=TOOL_WORLD + [("dir", "C:\\Apps\\Tool\\install.log")],
                                          records=TOOL_LOG),
    "quoted_log_path": program(0, log="quoted", world=TOOL_WORLD, records=TOOL_LOG),
    "empty_command_line": program(0, log="", world=TOOL_WORLD, records=TOOL_LOG),
    "log_held_without_sharing": program(0, world=TOOL_WORLD + [("file", "C:\\Apps\\Tool\\install.log"),
                                                               ("held", "C:\\Apps\\Tool\\install.log", 0)],
                                        records=TOOL_LOG),
    "corrupt_executable": program(CORRUPT, world=TOOL_WORLD, records=TOOL_LOG),
    "empty_log": program(0, world=TOOL_WORLD, records=[]),
    "two_records_and_one_byte": program(0, world=TOOL_WORLD, records=TOOL_LOG[:2], tail=b"\x01"),
    "two_names_alpha_beta": program(0, world=TOOL_WORLD + [("entry", "Tool", True)],
                                    records=[(APPNAME, "Alpha", ""), (APPNAME, "Beta", ""), (FILE, APP + "\\tool.exe", "")]),
    "percent_name": program(0, records=[(APPNAME, "50% Tool", ""), (APPNAME, "%s%s%n", "")]),
    "type_9_and_unterminated": program(0, world=TOOL_WORLD, records=[(9, "", ""), (FILE, None, ""),
                                                                    (FILE, APP + "\\tool.exe", None), (0xFFFFFFFF, "", "")]),
    "no_name_keeps_uninstall_key": program(0, world=TOOL_WORLD, records=[(FILE, APP + "\\tool.exe", "")]),
    "name_reaching_into_another_entry": program(0, world=[("entry", "Other App", True)],
                                                records=[(APPNAME, "Other App\\Sub", "")]),
    "long_name_caption": program(0, records=[(APPNAME, "N" * 250, "")]),
    "file_in_use_restart_yes": program(RESTART_YES, world=TOOL_WORLD + [("held", APP + "\\tool.exe", 0)],
                                       records=TOOL_LOG),
    "file_in_use_restart_no": program(0, wininit=1, world=TOOL_WORLD + [("held", APP + "\\tool.exe", 1)],
                                      records=TOOL_LOG),
    "files_before_their_directories": program(
        0, world=[("file", APP + "\\Sub Folder\\Long File Name.txt"), ("file", APP + "\\tool.exe")],
        records=[(APPNAME, "Tool", ""), (DIR, APP, ""), (DIR, APP + "\\Sub Folder", ""),
                 (FILE, APP + "\\Sub Folder\\Long File Name.txt", ""), (FILE, APP + "\\tool.exe", "")]),
    "names_in_other_forms": program(0, world=TOOL_WORLD, records=[
        (FILE, "C:\\PROGRA~1\\Tool\\tool.exe", ""), (FILE, "c:\\program files\\tool\\TOOL.EXE", ""),
        (FILE, "C:\\Program Files\\Tool\\..\\Tool\\tool.exe", ""), (FILE, "C:\\", ""), (DIR, "C:", ""),
        (FILE, "tool.exe", ""), (FILE, "\\\\server\\share\\x.txt", ""), (DIR, "C:/Program Files/Tool/Sub Folder/", "")]),
    "log_and_wininit_named": program(0, wininit=1, world=TOOL_WORLD, records=TOOL_LOG + [
        (FILE, "C:\\Apps\\Tool\\install.log", ""), (FILE, "C:\\WINDOWS\\WININIT.INI", ""), (DIR, "C:\\Apps", "")]),
    "shared_dll_counts": program(0, world=[
        ("file", "C:\\WINDOWS\\system32\\common.dll"), ("file", "C:\\WINDOWS\\system32\\shared.dll"),
        ("file", APP + "\\private.dll"), ("file", APP + "\\tool.exe"),
        ("dll", "C:\\WINDOWS\\system32\\common.dll", "REG_DWORD", dword(3)),
        ("dll", "C:\\WINDOWS\\system32\\shared.dll", "REG_BINARY", dword(2)),
        ("dll", APP + "\\private.dll", "REG_DWORD", dword(0)),
        ("dll", APP + "\\tool.exe", "REG_DWORD", b"\x01\x00\x00\x00\x00\x00\x00\x00")],
        records=[(SHAREDDLL, "C:\\WINDOWS\\system32\\common.dll", ""), (SHAREDDLL, "C:\\WINDOWS\\system32\\shared.dll", ""),
                 (SHAREDDLL, APP + "\\private.dll", ""), (SHAREDDLL, APP + "\\tool.exe", ""),
                 (SHAREDDLL, "C:\\PROGRA~1\\Tool\\private.dll", "")]),
    "shared_dll_twice": program(0, world=[
        ("file", "C:\\WINDOWS\\system32\\common.dll"), ("file", "C:\\WINDOWS\\system32\\shared.dll"),
        ("dll", "C:\\WINDOWS\\system32\\common.dll", "REG_DWORD", dword(2)),
        ("dll", "C:\\WINDOWS\\system32\\shared.dll", "REG_DWORD", dword(1))],
        records=[(SHAREDDLL, "C:\\WINDOWS\\system32\\common.dll", "")] * 2 +
                [(SHAREDDLL, "C:\\WINDOWS\\system32\\shared.dll", "")] * 2),
    "shared_dll_short_values": program(0, world=[
        ("file", "C:\\WINDOWS\\system32\\common.dll"), ("file", "C:\\WINDOWS\\system32\\shared.dll"),
        ("dll", "C:\\WINDOWS\\system32\\common.dll", "REG_BINARY", b"\x01"),
        ("dll", "C:\\WINDOWS\\system32\\shared.dll", "REG_SZ", b"")],
        records=[(SHAREDDLL, "C:\\WINDOWS\\system32\\common.dll", ""), (SHAREDDLL, "C:\\WINDOWS\\system32\\shared.dll", "")]),
    "shared_dll_in_use": program(RESTART_YES, world=[
        ("file", APP + "\\private.dll"), ("held", APP + "\\private.dll", 0),
        ("dll", APP + "\\private.dll", "REG_DWORD", dword(1))],
        records=[(APPNAME, "Tool", ""), (SHAREDDLL, APP + "\\private.dll", "")]),
    "progman_groups": program(0, records=[(PMGROUP, "ignored", "Tool Group"), (PMGROUP, "", ""),
                                         (PMGROUP, "", "Broken \"Group\""), (PMGROUP, "", "G" * 250)]),
    "progman_absent": program(PM_ABSENT, records=[(APPNAME, "Tool", ""), (PMGROUP, "", "Tool Group"),
                                                  (PMGROUP, "", "Other App")]),
    "progman_too_slow": program(PM_TOO_SLOW, records=[(APPNAME, "Tool", ""), (PMGROUP, "", "Tool Group"),
                                                      (FILE, APP + "\\tool.exe", "")], world=TOOL_WORLD),
    "progman_refusing": program(PM_REFUSES, records=[(PMGROUP, "", "Tool Group"), (FILE, APP + "\\tool.exe", "")],
                                world=TOOL_WORLD),
    "custom_undo_exe_only": program(0, world=TOOL_WORLD + [("program", APP + "\\undo.exe", 0, 0)],
                                    records=TOOL_LOG + [(CUSTOMRUN, APP + "\\undo", "-q")]),
    "custom_com_before_exe": program(0, world=[("program", APP + "\\undo.exe", 1, 0),
                                               ("program", APP + "\\undo.com", 0, 0)],
                                     records=[(CUSTOMRUN, APP + "\\undo", "")]),
    "custom_bat_through_command_com": program(
        COMSPEC_COMMAND, world=[("file", APP + "\\cleanup.bat"), ("program", "C:\\WINDOWS\\COMMAND.COM", 0, 0)],
        records=[(CUSTOMRUN, APP + "\\cleanup", "-q"), (CUSTOMRUN, APP + "\\cleanup.bat", "/quiet")]),
    "custom_bat_no_interpreter": program(COMSPEC_UNSET, world=[("file", APP + "\\cleanup.bat")],
                                        records=[(CUSTOMRUN, APP + "\\cleanup.bat", "")]),
    "custom_bat_interpreter_is_batch": program(COMSPEC_BATCH, world=[("file", APP + "\\cleanup.bat"),
                                                                     ("file", "C:\\WINDOWS\\run.bat")],
                                              records=[(CUSTOMRUN, APP + "\\cleanup.bat", "")]),
    "custom_missing_and_empty": program(0, records=[(CUSTOMRUN, "", ""), (CUSTOMRUN, APP + "\\undo.exe.com", "")]),
    "custom_two_second_fails": program(0, world=TOOL_WORLD + [("program", APP + "\\undo.exe", 0, 0),
                                                              ("program", APP + "\\undo.com", 1, 0)],
                                       records=TOOL_LOG + [(CUSTOMRUN, APP + "\\undo.exe", ""),
                                                           (CUSTOMRUN, APP + "\\undo.com", "")]),
    "custom_fails_minus_one": program(0, world=[("program", APP + "\\undo.exe", -1, 0)],
                                      records=[(CUSTOMRUN, APP + "\\undo.exe", "")]),
    "custom_relative_batch": program(0, world=[("file", "C:\\UNDO.BAT"), ("program", "C:\\WINDOWS\\system32\\cmd.exe", 0, 0)]
                                     if "C:\\UNDO.BAT" in TEXTS else [("program", "C:\\WINDOWS\\system32\\cmd.exe", 0, 0)],
                                     records=[(CUSTOMRUN, "UNDO.BAT", ""), (CUSTOMRUN, "C:\\APP.V2\\UNDO", "")]),
    "custom_win32s_polling": program(WIN32S, world=[("program", APP + "\\undo.exe", 0, 3)],
                                     records=[(CUSTOMRUN, APP + "\\undo.exe", "")]),
    "log_in_one_letter_folder": program(0, log="C:\\A\\install.log", world=[("dir", "C:\\A")],
                                        records=[(APPNAME, "Tool", "")]),
    "relative_log": program(0, log="install.log", records=[(APPNAME, "Tool", "")]),
    "directory_held": program(0, world=[("dir", APP + "\\Sub Folder"), ("helddir", APP + "\\Sub Folder", 0)],
                              records=[(DIR, APP + "\\Sub Folder", "")]),
    "other_drive": program(0, world=[("file", "D:\\Data\\x.txt")], records=[(FILE, "D:\\Data\\x.txt", "")]),
    "relative_paths_name_nothing": program(0, world=[
        ("file", "C:\\notes.ini"), ("file", "C:\\drive.ini"), ("file", "C:\\shared.dll"), ("dir", "C:\\sub"),
        ("dll", "shared.dll", "REG_DWORD", dword(1))],
        records=[(APPNAME, "Tool", ""), (FILE, "notes.ini", ""), (FILE, "C:drive.ini", ""), (DIR, "sub", ""),
                 (SHAREDDLL, "shared.dll", "")]),
    "group_names_naming_no_group": program(0, records=[(APPNAME, "Tool", "")] + [
        (PMGROUP, "", name) for name in ["", ".", "..", "Keep\\..\\..", "\\Tools", "C:Group", "Tools*", " ",
                                         "Tool Group"]]),
    "custom_programs_reading_the_log": program(0, world=TOOL_WORLD + [
        ("program", APP + "\\undo.exe", 0, 0, 1), ("program", APP + "\\undo.com", 0, 0, 2)],
        records=TOOL_LOG + [(CUSTOMRUN, APP + "\\undo.exe", ""), (CUSTOMRUN, APP + "\\undo.com", "")]),
    # "ソフト表示" in code page 932, whose second bytes 5C are backslashes.
    "double_byte_names": program(0, log="double-byte", wininit=0x80, world=[
        ("file", "C:\\Program Files\\\x83\x5C\x83\x74\x83\x67\\\x95\x5C\x8E\xA6.txt"),
        ("file", "C:\\WINDOWS\\system32\\\x83\x5C\x83\x74\x83\x67.dll"),
        ("dll", "C:\\WINDOWS\\system32\\\x83\x5C\x83\x74\x83\x67.dll", "REG_DWORD", dword(1)),
        ("entry", "\x83\x5C\x83\x74\x83\x67\x95\x5C\x8E\xA6", False), ("entry", "Other App", False)],
        records=[(APPNAME, "\x83\x5C\x83\x74\x83\x67\x95\x5C\x8E\xA6", ""),
                 (FILE, "C:\\Program Files\\\x83\x5C\x83\x74\x83\x67\\\x95\x5C\x8E\xA6.txt", ""),
                 (SHAREDDLL, "C:\\WINDOWS\\system32\\\x83\x5C\x83\x74\x83\x67.dll", ""),
                 (PMGROUP, "", "\x83\x5C\x83\x74\x83\x67"),
                 (DIR, "C:\\Program Files\\\x83\x5C\x83\x74\x83\x67", "")]),
    "custom_program_text_cut": program(0, world=TOOL_WORLD + [("program", APP + "\\undo.exe", 0, 0)],
                                       records=TOOL_LOG + [(CUSTOMRUN, APP + "\\undo.exe", None)]),
}



# The end-to-end tests' bad input (tests/e2e/bad_input_test.cpp), in the
# simulated world.
def pseudo_random_bytes(count, seed=0x2545F491):
    """The end-to-end test's fixed bytes: xorshift32, the top byte of each state."""
    out, state = bytearray(), seed
    while len(out) < count:
        state ^= (state << 13) & 0xFFFFFFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFFFFFF
        out.append(state >> 24)
    return bytes(out)


# Seven records' worth of them and the 100-byte tail: the end-to-end test
# writes 300 records' worth, more than the short fuzzing runs take.
RANDOM_LOG = pseudo_random_bytes(7 * 516 + 100)
NESTED = APP + "\\" + "n" * 100
LONGEST_FILE = next(t for t in TEXTS if t.startswith(NESTED + "\\"))
LONGEST_DIR = APP + "\\" + "d" * (255 - len(APP) - 1)
LONGEST_NAME = "Long Name " + "".join(chr(ord("a") + i % 26) for i in range(10, 255))
DEVICES = ["CON", "NUL", "COM1", "LPT1", APP + "\\NUL", APP + "\\CON.txt", "\\\\.\\PhysicalDrive0", "\\\\.\\C:"]
ODD_ENDINGS = [APP + "\\tool.exe.", APP + "\\private.dll ", APP + "\\Missing. . ."]
PERCENT_NAME = "50%s %n %x%% Tool"
assert len(LONGEST_FILE) == len(LONGEST_DIR) == len(LONGEST_NAME) == 255

PROGRAM_SEEDS.update({
    "bad_input_random_bytes": program(0, world=TOOL_WORLD, records=[], tail=RANDOM_LOG),
    "bad_input_device_names_trailing_dots_and_blanks": program(
        RESTART_YES, wininit=1,
        world=TOOL_WORLD + [("file", APP + "\\private.dll"), ("dir", APP + "\\Sub Folder")],
        records=[(APPNAME, "Tool Odd", "")] + [(FILE, path, "") for path in DEVICES + ODD_ENDINGS] +
                [(DIR, APP + "\\Sub Folder.", "")]),
    "bad_input_format_directives": program(
        PM_REFUSES, world=TOOL_WORLD + [("file", APP + "\\Percent %s %n %d.txt")],
        records=[(APPNAME, PERCENT_NAME, ""), (FILE, APP + "\\Percent %s %n %d.txt", ""),
                 (PMGROUP, "", "%s %n Group"), (FILE, APP + "\\tool.exe", ""), (DIR, APP, "")]),
    "bad_input_longest_paths_and_name": program(
        0, world=[("file", LONGEST_FILE), ("dir", LONGEST_DIR), ("entry", "Long Name", False)],
        records=[(APPNAME, LONGEST_NAME, ""), (FILE, LONGEST_FILE, ""), (DIR, LONGEST_DIR, ""), (DIR, NESTED, "")]),
    "bad_input_no_name_record": program(0, world=TOOL_WORLD, records=TOOL_LOG[1:]),
})

FAULTS = [("MsgWaitForMultipleObjects", 1), ("PostThreadMessageA", 1), ("GetPrivateProfileSectionA", 1), ("GetWindowRect", 1),
          ("CreateThread", 1), ("DdeInitializeA", 1), ("CreateDialogParamA", 1), ("ReadFile", 3),
          ("SetFilePointer", 1), ("GetShortPathNameA", 1), ("RegDeleteValueA", 1), ("CloseHandle", 2),
          ("MessageBoxA", 1), ("CreateProcessA", 1)]
# Every EndDialog failing is taken as its first failing: the restart offer
# could never be ended otherwise.
PROGRAM_SEEDS["fault_EndDialog_every_call"] = program(RESTART_YES, fault=(3, 0, "EndDialog", "INVALID_PARAMETER"),
                                                      wininit=1, world=EVERYTHING_WORLD, records=EVERYTHING_LOG)
for function, occurrence in FAULTS:
    for error in ("NOT_ENOUGH_MEMORY", "FILE_NOT_FOUND"):
        name = "fault_%s_%d_%s" % (function, occurrence, error.lower())
        PROGRAM_SEEDS[name] = program(RESTART_YES, fault=(2, occurrence - 1, function, error), wininit=1,
                                      world=EVERYTHING_WORLD, records=EVERYTHING_LOG)


# Logs are written by instlog build from its text form, the one writer of
# install logs; the host build's instlog, or the one INSTLOG names.
INSTLOG = os.environ.get("INSTLOG") or str(HERE.parents[1] / "build" / "host" / "tools" / "instlog" / "instlog")
TYPE_NAMES = ["APPNAME", "FILE", "DIR", "TYPE3", "SHAREDDLL", "PMGROUP", "SYSREG", "CUSTOMRUN"]


def text_form(data):
    return '"' + "".join(chr(b) if 0x20 <= b <= 0x7E and b not in b'"<' else "<%02X>" % b for b in data) + '"'


def record(rtype, primary=b"", secondary=b""):
    """A record in the text form; a text of 256 bytes fills its field with no zero."""
    lines = ["record " + (TYPE_NAMES[rtype] if rtype < len(TYPE_NAMES) else "type %d" % rtype)]
    for name, value in (("primary", primary), ("secondary", secondary)):
        if value:
            lines.append("  %s %s%s" % (name, text_form(value), " unterminated" if len(value) == 256 else ""))
    return "\n".join(lines) + "\n"


def tail(data):
    return "tail %d bytes %s\n" % (len(data), text_form(data))


def built(text):
    with tempfile.TemporaryDirectory() as work:
        log = os.path.join(work, "log")
        subprocess.run([INSTLOG, "build", "-", log], input=text.encode("ascii"), check=True)
        return pathlib.Path(log).read_bytes()


LOG_TEXTS = {
    "empty": "",
    "one_byte": tail(b"x"),
    "two_records_and_one_byte": record(0, b"Tool") + record(1, b"C:\\APP\\a.txt") + tail(b"\x07"),
    "alpha_then_beta": record(0, b"Alpha") + record(0, b"Beta"),
    "percent_name": record(0, b"50% Tool"),
    "unterminated_name": record(0, b"N" * 256) + record(0, b"Kept", b"S" * 256),
    "long_name": record(0, b"N" * 255),
    "type_9": record(9) + record(0xFFFFFFFF, b"x", b"y"),
    "every_type": "".join(record(t, b"C:\\Program Files\\Tool\\x", b"Group") for t in range(8)),
    "records_naming_nothing": record(FILE, b"notes.ini") + record(DIR, b"C:sub") + record(PMGROUP, b"", b"..") +
                              record(PMGROUP, b"", b"") + record(CUSTOMRUN, b"undo", b"A" * 256) +
                              record(FILE, b"C:\\Tool\\a.txt", b"S" * 256),
    "bad_input_device_names_trailing_dots_and_blanks": record(0, b"Tool Odd") + "".join(
        record(FILE, path.encode()) for path in DEVICES + ODD_ENDINGS) + record(DIR, (APP + "\\Sub Folder.").encode()),
    "bad_input_format_directives": record(0, PERCENT_NAME.encode()) + record(FILE, b"C:\\Percent %s %n %d.txt") +
                                   record(PMGROUP, b"", b"%s %n Group"),
    "bad_input_longest_paths_and_name": record(0, LONGEST_NAME.encode()) + record(FILE, LONGEST_FILE.encode()) +
                                        record(DIR, LONGEST_DIR.encode()),
    "bad_input_no_name_record": record(FILE, b"C:\\Program Files\\Tool\\tool.exe") +
                                record(DIR, b"C:\\Program Files\\Tool"),
}
# Random bytes are no records: they stand as they are.
LOG_SEEDS = {name: built(text) for name, text in LOG_TEXTS.items()}
LOG_SEEDS["bad_input_random_bytes"] = RANDOM_LOG


def pe_image(pe32=False, stamp_section_size=0x200):
    """The image of tests/support/pe_image.cpp: three sections, the last one
    .imgsum at 0x600, and the offsets of the header CheckSum, the
    certificate table's directory entry and the stamp."""
    image = bytearray(0x600 + stamp_section_size)
    image[0:2] = b"MZ"
    pe = 0x80
    optional_size = 224 if pe32 else 240
    struct.pack_into("<I", image, 0x3C, pe)
    image[pe:pe + 4] = b"PE\0\0"
    struct.pack_into("<HH", image, pe + 4, 0x14C if pe32 else 0x8664, 3)
    struct.pack_into("<H", image, pe + 20, optional_size)
    struct.pack_into("<H", image, pe + 24, 0x10B if pe32 else 0x20B)
    directories = pe + 24 + (96 if pe32 else 112)
    struct.pack_into("<I", image, directories - 4, 16)
    table = pe + 24 + optional_size
    for i, name in enumerate([b".text", b".rsrc", b".imgsum"]):
        image[table + 40 * i:table + 40 * i + len(name)] = name
        struct.pack_into("<II", image, table + 40 * i + 16, 0x200 if i < 2 else stamp_section_size, 0x200 * (i + 1))
    for i in range(0x200, 0x600):
        image[i] = (i * 7 + 3) & 0xFF
    return image, pe + 24 + 64, directories + 32, 0x600


def word_sum(data, zeroed):
    data = bytearray(data)
    for at, size in zeroed:
        data[at:at + size] = bytes(size)
    total = sum(data[i] | (data[i + 1] << 8 if i + 1 < len(data) else 0) for i in range(0, len(data), 2))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def stamped(layout):
    image, checksum_at, entry_at, stamp_at = layout
    image = bytearray(image)
    struct.pack_into("<I", image, stamp_at, word_sum(image, [(checksum_at, 4), (entry_at, 8), (stamp_at, 4)]))
    struct.pack_into("<I", image, checksum_at, word_sum(image, [(checksum_at, 4)]))
    return bytes(image)


def signed(image, entry_at, lengths=(1432,)):
    """image with zero padding to 8 and a certificate table of entries of
    the given lengths; the header CheckSum is left as it was."""
    image = bytearray(image) + bytes(-len(image) % 8)
    table = len(image)
    for length in lengths:
        entry = bytearray((length + 7) & ~7)
        struct.pack_into("<IHH", entry, 0, length, 0x200, 2)
        image += entry
    struct.pack_into("<II", image, entry_at, table, len(image) - table)
    return bytes(image)


LAYOUT = pe_image()
IMAGE, CHECKSUM_AT, ENTRY_AT, STAMP_AT = LAYOUT
GOOD = stamped(LAYOUT)
SIGNED = signed(GOOD, ENTRY_AT)
ODD_END = stamped(pe_image(stamp_section_size=0x1FB))
EXE_CHECK_SEEDS = {
    "intact": GOOD,
    "intact_32_bit": stamped(pe_image(pe32=True)),
    "unstamped": bytes(IMAGE),
    "one_byte_changed": GOOD[:0x250] + bytes([GOOD[0x250] ^ 0x10]) + GOOD[0x251:],
    "cut": GOOD[:0x500],
    "extended": GOOD + b"\0",
    "not_pe": b"MZ" + b"\0" * 0x3E,
    "signed": SIGNED,
    "signed_two_entries": signed(GOOD, ENTRY_AT, (13, 24)),
    "odd_length": ODD_END,
    "signed_after_padding": signed(ODD_END, ENTRY_AT),
    "signed_then_extended": SIGNED + b"\0" * 8,
    "signed_entry_too_short": SIGNED[:len(GOOD)] + struct.pack("<I", 1424) + SIGNED[len(GOOD) + 4:],
    # Rounded up to 8, the length wraps to 0 in 32 bits.
    "signed_entry_length_wraps": SIGNED[:len(GOOD)] + struct.pack("<I", 0xFFFFFFF9) + SIGNED[len(GOOD) + 4:],
}


def write(directory, seeds):
    directory.mkdir(parents=True, exist_ok=True)
    for old in directory.iterdir():
        old.unlink()
    for name, data in seeds.items():
        (directory / name).write_bytes(data)


write(HERE / "corpus" / "program", PROGRAM_SEEDS)
write(HERE / "corpus" / "log", LOG_SEEDS)
write(HERE / "corpus" / "exe_check", EXE_CHECK_SEEDS)
print("%d program seeds, %d log seeds, %d executable seeds" % (len(PROGRAM_SEEDS), len(LOG_SEEDS),
                                                                len(EXE_CHECK_SEEDS)))
