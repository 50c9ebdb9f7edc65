// The order plan gives is the order of the uninstaller's passes, and it
// says what becomes of every record.
#include "run_instlog.h"
#include "support/log_builder.h"
#include "support/machine_names.h"
#include "res/product.h"

class Plan : public InstlogTest {
protected:
    RunResult PlanOf(const std::vector<TestRecord> &records, const std::string &tail = "")
    {
        WriteFile("plan.log", LogBytes(records) + tail);
        RunResult r = Run({"plan", "plan.log"});
        EXPECT_EQ(0, r.exitCode) << r.err;
        EXPECT_EQ("", r.err);
        return r;
    }
};

// Where part first appears in text, failing the test when it does not.
static size_t At(const std::string &text, const std::string &part)
{
    size_t pos = text.find(part);
    EXPECT_NE(std::string::npos, pos) << "\"" << part << "\" not in:\n" << text;
    return pos;
}

TEST_F(Plan, AWholeSmallLog)
{
    RunResult r = PlanOf({{kAppName, "Acme", ""},
                          {kFile, "C:\\Acme\\a.exe", ""},
                          {kDirectory, "C:\\Acme", ""},
                          {kSharedDll, "C:\\WINDOWS\\SYSTEM\\ACME.DLL", ""},
                          {kProgramGroup, "", "Acme"},
                          {kStatusOnly, "", ""},
                          {kCustomProgram, "C:\\Acme\\undo.exe", "-q"},
                          {kNoAction, "", ""},
                          {12, "", ""}},
                         "zz");
    EXPECT_EQ("Install log \"plan.log\": 9 records\n"
              "Application name: \"Acme\" (record 0)\n"
              "Caption of the message boxes: \"Acme Uninstall\"\n"
              "\n"
              "Pass A: custom uninstall programs, each waited for; the first that fails stops the removal\n"
              "  record 6: run \"C:\\Acme\\undo.exe\" with argument text \"-q\"\n"
              "Pass B: files, shared DLLs and program groups, in log order\n"
              "  record 1: delete file \"C:\\Acme\\a.exe\", or schedule it for deletion at restart\n"
              "  record 3: release shared DLL \"C:\\WINDOWS\\SYSTEM\\ACME.DLL\": its count goes down by 1; at 0 the "
              "count and the file are removed\n"
              "  record 4: delete program group \"Acme\": DDE command [DeleteGroup(\"Acme\")]\n"
              "  record 5: status only: \"Removing System Registry Entrys\"\n"
              "Pass C: directories\n"
              "  record 2: remove directory \"C:\\Acme\", again after the other directories while it is not "
              "empty; then, when all it still holds waits for the restart, schedule it for removal at restart, "
              "else leave it\n"
              "Pass D: the system-file step; status \"Preparing SystemFile removal\"\n"
              "  nothing\n"
              "Uninstall key: delete \"" UNINSTALL_KEY "\\Acme\" under "
              "HKEY_LOCAL_MACHINE\n"
              "No action\n"
              "  record 0: APPNAME: the application's name\n"
              "  record 7: TYPE3\n"
              "  record 8: type 12 (unknown)\n"
              "Never read: 2 bytes after the last whole record, at offset 4644\n",
              r.out);
}

TEST_F(Plan, ACustomProgramAfterFilesStillRunsFirstAndDirectoriesComeAfterFiles)
{
    RunResult r = PlanOf({{kAppName, "App", ""},
                          {kDirectory, "C:\\App", ""},
                          {kFile, "C:\\App\\one.txt", ""},
                          {kCustomProgram, "C:\\App\\undo.exe", ""},
                          {kFile, "C:\\App\\two.txt", ""}});
    size_t run = At(r.out, "run \"C:\\App\\undo.exe\"");
    size_t one = At(r.out, "delete file \"C:\\App\\one.txt\"");
    size_t two = At(r.out, "delete file \"C:\\App\\two.txt\"");
    size_t dir = At(r.out, "remove directory \"C:\\App\"");
    size_t key = At(r.out, "Uninstall key:");
    EXPECT_LT(run, one);
    EXPECT_LT(one, two);
    EXPECT_LT(two, dir);
    EXPECT_LT(dir, key);
}

TEST_F(Plan, InertRecordsAreSkippedInTheirPass)
{
    std::string full(256, 'x');
    RunResult r = PlanOf({{kAppName, "App", ""}, {kCustomProgram, full, ""}, {kProgramGroup, "", full}, {kDirectory, full, ""}, {kStatusOnly, "", full},
                          {kFile, "notes.ini", ""}, {kProgramGroup, "", "Keep\\..\\.."}, {kProgramGroup, "", "My \"Best\" Tools"}});
    EXPECT_EQ("  record 1: the removal stops here, as after a failing program: the primary text has no terminating "
              "zero\n",
              LinesWith(r.out, "record 1:"));
    EXPECT_EQ("  record 2: skipped, PMGROUP record is inert: the secondary text has no terminating zero\n",
              LinesWith(r.out, "record 2:"));
    EXPECT_EQ("  record 3: skipped, DIR record is inert: the primary text has no terminating zero\n",
              LinesWith(r.out, "record 3:"));
    EXPECT_EQ("  record 4: status only: \"Removing System Registry Entrys\"\n", LinesWith(r.out, "record 4:"));
    EXPECT_NE("", LinesWith(r.out, "record 5: skipped, FILE record is inert: its path \"notes.ini\" is not fully"));
    EXPECT_NE("", LinesWith(r.out, "record 6: skipped, PMGROUP record is inert: the group name \"Keep\\..\\..\""));
    EXPECT_NE(std::string::npos, r.out.find("DDE command [DeleteGroup(\"My \"Best\" Tools\")]\n")) << r.out;
    EXPECT_LT(At(r.out, "record 1:"), At(r.out, "Pass B"));
    EXPECT_LT(At(r.out, "Pass C"), At(r.out, "record 3:"));
}

TEST_F(Plan, TheUninstallKeyStepAndItsSkips)
{
    struct Case {
        std::vector<TestRecord> records;
        std::string line;
    } cases[] = {
        {{{kAppName, "Alpha", ""}, {kAppName, "Beta", ""}},
         "Uninstall key: delete \"" UNINSTALL_KEY "\\Beta\" under "
         "HKEY_LOCAL_MACHINE\n"},
        {{{kFile, "C:\\a", ""}}, "Uninstall key: skipped, the log has no usable APPNAME record, so the name is empty\n"},
        {{{kAppName, "", ""}}, "Uninstall key: skipped, the application's name is empty\n"},
        {{{kAppName, "Acme\\Tools", ""}}, "Uninstall key: skipped, the application's name holds a backslash\n"},
        {{{kAppName, "Good", ""}, {kAppName, std::string(256, 'N'), ""}},
         "Uninstall key: delete \"" UNINSTALL_KEY "\\Good\" under "
         "HKEY_LOCAL_MACHINE\n"},
    };
    for (const Case &c : cases) {
        RunResult r = PlanOf(c.records);
        EXPECT_EQ(c.line, LinesWith(r.out, "Uninstall key:")) << r.out;
    }
}

// A document named by mistake: the uninstaller stops at start-up.
TEST_F(Plan, AFileWithoutALogRecordIsNoLog)
{
    RunResult r = PlanOf({}, "Dear Sir,\r\nthank you for your letter.\r\n");
    EXPECT_EQ("Install log \"plan.log\": 0 records\n"
              "Not an install log: no whole record has a type from 0 to 7 and texts that end within their "
              "fields; the uninstaller reports that it cannot find its log and changes nothing\n",
              r.out);
}

TEST_F(Plan, TheCaptionIsTheUninstallersOwn)
{
    RunResult r = PlanOf({{kFile, "C:\\a", ""}});
    EXPECT_EQ("Caption of the message boxes: \"Uninstall (Morvane " PRODUCT_VERSION ")\"\n", LinesWith(r.out, "Caption"));

    r = PlanOf({{kAppName, "50% Tool", ""}});
    EXPECT_EQ("Caption of the message boxes: \"50% Tool Uninstall\"\n", LinesWith(r.out, "Caption"));

    // A long name is cut so that the caption, 255 characters, still ends in
    // " Uninstall".
    r = PlanOf({{kAppName, std::string(250, 'N'), ""}});
    EXPECT_EQ("Caption of the message boxes: \"" + std::string(245, 'N') + " Uninstall\"\n",
              LinesWith(r.out, "Caption"));
}
