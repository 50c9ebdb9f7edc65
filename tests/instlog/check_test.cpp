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
    RunResult r = CheckOf(LogBytes({{0, "Acme", ""},
                                    {1, "C:\\Acme\\a.exe", ""},
                                    {1, "\\\\server\\share\\a.txt", ""},
                                    {2, "C:\\Acme", ""},
                                    {4, "c:\\windows\\system\\acme.dll", ""},
                                    {5, "", "Acme"},
                                    {6, "", ""},
                                    {3, "", ""},
                                    {7, "C:\\Acme\\undo.exe", "relative.txt"}}));
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
        {LogBytes({{0, "A", ""}}) + "abc",
         "tail: warning: 3 bytes at offset 516 after the last whole record: a truncated record that the "
         "uninstaller never reads\n"},
        {LogBytes({{0, "A", ""}, {1, full, ""}}),
         "record 1: error: FILE record is inert, never acted on: the primary text has no terminating zero\n"},
        {LogBytes({{0, "A", ""}, {7, "C:\\undo.exe", full}}),
         "record 1: error: CUSTOMRUN record stops the removal, as a failing program does: the secondary text has "
         "no terminating zero\n"},
        {LogBytes({{0, "A", ""}, {8, "", ""}}),
         "record 1: warning: unknown type 8: counted, but the uninstaller does nothing with it\n"},
        {LogBytes({{0, "A", ""}, {1, "a.txt", ""}}),
         "record 1: error: FILE record is inert, never acted on: its path \"a.txt\" is not fully qualified: only a "
         "drive letter with a backslash (C:\\...) or a UNC path (\\\\server\\share\\...) names the same item "
         "whatever folder the uninstaller was started in\n"},
        {LogBytes({{0, "A", ""}, {2, "C:Acme", ""}}),
         "record 1: error: DIR record is inert, never acted on: its path \"C:Acme\" is not fully qualified"},
        {LogBytes({{0, "A", ""}, {4, "\\WINDOWS\\a.dll", ""}}),
         "record 1: error: SHAREDDLL record is inert, never acted on: its path \"\\WINDOWS\\a.dll\" is not fully "
         "qualified"},
        {LogBytes({{0, "A", ""}, {7, "undo", "-q"}}), "record 1: error: custom program \"undo\" is relative"},
        {LogBytes({{0, "A", ""}, {1, "", ""}}),
         "record 1: error: FILE record is inert, never acted on: its path \"\" is not fully qualified"},
        {LogBytes({{0, "A", ""}, {5, "", ""}}),
         "record 1: error: PMGROUP record is inert, never acted on: the group name \"\" names no one group below "
         "Programs"},
        {LogBytes({{0, "A", ""}, {5, "", "Keep\\..\\.."}}),
         "record 1: error: PMGROUP record is inert, never acted on: the group name \"Keep\\..\\..\" names no one "
         "group below Programs"},
        {LogBytes({{1, "C:\\a", ""}}),
         "log: error: no usable APPNAME record: the boxes keep the caption \"Uninstall (Morvane " PRODUCT_VERSION ")\" and the "
         "application's Uninstall key is not deleted\n"},
        {LogBytes({{0, full, ""}}), "log: error: no usable APPNAME record", 3},
        {"Dear Sir,\r\n",
         "log: error: no whole record has a type from 0 to 7 and texts that end within their fields: the "
         "uninstaller takes the file for no install log and removes nothing\n",
         3},
        {LogBytes({{0, "", ""}}),
         "record 0: error: the application's name is empty (\"\"): the application's Uninstall key is not "
         "deleted\n"},
        {LogBytes({{0, "A\\B", ""}}),
         "record 0: error: the application's name holds a backslash (\"A\\B\"): the application's Uninstall key "
         "is not deleted\n"},
        {LogBytes({{0, "Alpha", ""}, {1, "C:\\a", ""}, {0, "Beta", ""}}),
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
    RunResult r = CheckOf(LogBytes({{1, "a", ""}, {9, "", ""}}) + "t");
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
