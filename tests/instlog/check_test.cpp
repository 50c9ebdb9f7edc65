// check reports each kind of problem on a line naming its record, and tells
// a clean log from one with problems by its exit code.
#include "check.h"
#include "log/record_check.h"
#include "res/product.h"
#include "run_instlog.h"
#include "support/log_builder.h"

class Check : public InstlogTest {
protected:
    RunResult CheckOf(const std::string &log)
    {
        WriteFile("check.log", log);
        RunResult r = Run({"check", "check.log"});
        EXPECT_EQ("", r.err);
        return r;
    }
};

TEST_F(Check, ACleanLogHasNoProblems)
{
    RunResult r = CheckOf(LogBytes({{kAppName, "Acme", ""},
                                    {kFile, "C:\\Acme\\a.exe", ""},
                                    {kFile, "\\\\server\\share\\a.txt", ""},
                                    {kDirectory, "C:\\Acme", ""},
                                    {kSharedDll, "c:\\windows\\system\\acme.dll", ""},
                                    {kProgramGroup, "", "Acme"},
                                    {kStatusOnly, "", ""},
                                    {kNoAction, "", ""},
                                    {kCustomProgram, "C:\\Acme\\undo.exe", "relative.txt"}}));
    EXPECT_EQ(0, r.exitCode);
    EXPECT_EQ("no problems found\n", r.out);
}

TEST_F(Check, EachProblemOnItsOwnLine)
{
    std::string full(256, 'x');
    struct Case {
        std::string log;
        std::string line;
        int problems = 1;
    } cases[] = {
        {LogBytes({{kAppName, "A", ""}}) + "abc",
         "tail: warning: 3 bytes at offset 516 after the last whole record: a truncated record that the "
         "uninstaller never reads\n"},
        {LogBytes({{kAppName, "A", ""}, {kFile, full, ""}}),
         "record 1: error: FILE record is inert, never acted on: the primary text has no terminating zero\n"},
        {LogBytes({{kAppName, "A", ""}, {kCustomProgram, "C:\\undo.exe", full}}),
         "record 1: error: CUSTOMRUN record stops the removal, as a failing program does: the secondary text has "
         "no terminating zero\n"},
        {LogBytes({{kAppName, "A", ""}, {8, "", ""}}),
         "record 1: warning: unknown type 8: counted, but the uninstaller does nothing with it\n"},
        {LogBytes({{kAppName, "A", ""}, {kFile, "a.txt", ""}}),
         "record 1: error: FILE record is inert, never acted on: its path \"a.txt\" is not fully qualified: only a "
         "drive letter with a backslash (C:\\...) or a UNC path (\\\\server\\share\\...) names the same item "
         "whatever folder the uninstaller was started in\n"},
        {LogBytes({{kAppName, "A", ""}, {kDirectory, "C:Acme", ""}}),
         "record 1: error: DIR record is inert, never acted on: its path \"C:Acme\" is not fully qualified"},
        {LogBytes({{kAppName, "A", ""}, {kSharedDll, "\\WINDOWS\\a.dll", ""}}),
         "record 1: error: SHAREDDLL record is inert, never acted on: its path \"\\WINDOWS\\a.dll\" is not fully "
         "qualified"},
        {LogBytes({{kAppName, "A", ""}, {kCustomProgram, "undo", "-q"}}), "record 1: error: custom program \"undo\" is relative"},
        {LogBytes({{kAppName, "A", ""}, {kFile, "", ""}}),
         "record 1: error: FILE record is inert, never acted on: its path \"\" is not fully qualified"},
        {LogBytes({{kAppName, "A", ""}, {kProgramGroup, "", ""}}),
         "record 1: error: PMGROUP record is inert, never acted on: the group name \"\" names no one group below "
         "Programs"},
        {LogBytes({{kAppName, "A", ""}, {kProgramGroup, "", "Keep\\..\\.."}}),
         "record 1: error: PMGROUP record is inert, never acted on: the group name \"Keep\\..\\..\" names no one "
         "group below Programs"},
        {LogBytes({{kFile, "C:\\a", ""}}),
         "log: error: no usable APPNAME record: the boxes keep the caption \"Uninstall (Morvane " PRODUCT_VERSION ")\" and the "
         "application's Uninstall key is not deleted\n"},
        {LogBytes({{kAppName, full, ""}}), "log: error: no usable APPNAME record", 3},
        {"Dear Sir,\r\n",
         "log: error: no whole record has a type from 0 to 7 and texts that end within their fields: the "
         "uninstaller takes the file for no install log and removes nothing\n",
         3},
        {LogBytes({{kAppName, "", ""}}),
         "record 0: error: the application's name is empty (\"\"): the application's Uninstall key is not "
         "deleted\n"},
        {LogBytes({{kAppName, "A\\B", ""}}),
         "record 0: error: the application's name holds a backslash (\"A\\B\"): the application's Uninstall key "
         "is not deleted\n"},
        {LogBytes({{kAppName, "Alpha", ""}, {kFile, "C:\\a", ""}, {kAppName, "Beta", ""}}),
         "record 2: warning: another APPNAME record: the last one wins, so \"Beta\" replaces \"Alpha\" of record "
         "0\n"},
    };
    for (const Case &c : cases) {
        RunResult r = CheckOf(c.log);
        EXPECT_EQ(1, r.exitCode) << r.out;
        std::string found = LinesWith(r.out, c.line.substr(0, c.line.size() - (c.line.back() == '\n')));
        EXPECT_NE("", found) << "expected: " << c.line << "\ngot:\n" << r.out;
        if (c.line.back() == '\n')
            EXPECT_EQ(c.line, found) << r.out;
        EXPECT_EQ(c.problems == 1 ? "1 problem found\n" : std::to_string(c.problems) + " problems found\n",
                  LinesWith(r.out, "found"))
            << r.out;
    }
}

TEST_F(Check, FindingsAreCounted)
{
    RunResult r = CheckOf(LogBytes({{kFile, "a", ""}, {9, "", ""}}) + "t");
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ("4 problems found\n", LinesWith(r.out, "found")) << r.out;
}

TEST(CheckPaths, OnlyDriveAndUncFormsAreFullyQualified)
{
    struct Case {
        const char *path;
        bool absolute;
    } cases[] = {
        {"C:\\", true},          {"c:\\x", true},           {"Z:\\a\\b", true},        {"\\\\srv\\share", true},
        {"\\\\srv\\share\\a", true}, {"", false},          {"C:", false},             {"C:x", false},
        {"C:/x", true},         {"\\x", false},            {"/x", false},             {"x\\y", false},
        {"\\\\", false},         {"\\\\srv", false},        {"\\\\srv\\", false},      {"\\\\\\share", false},
        {"\\\\srv\\\\x", false}, {"1:\\x", false},          {"..\\x", false},        {"//srv/share", true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.absolute, PathIsFullyQualified(c.path) != 0) << "path \"" << c.path << "\"";
}
