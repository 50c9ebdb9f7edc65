// Every way of calling instlog wrongly ends with a message on standard error
// and the exit code of its kind.
#include "run_instlog.h"

#include <filesystem>

#include "support/log_builder.h"

class Arguments : public InstlogTest {};

TEST_F(Arguments, HelpGoesToStandardOutput)
{
    for (const char *help : {"--help", "-h"}) {
        RunResult r = Run({help});
        EXPECT_EQ(0, r.exitCode);
        EXPECT_EQ(0u, r.out.find("Usage: instlog COMMAND ARGUMENTS\n")) << r.out;
        EXPECT_NE(std::string::npos, r.out.find("  4  TEXT is not in the text form")) << r.out;
        EXPECT_EQ("", r.err);
    }
    RunResult r = Run({"plan", "--help"});
    EXPECT_EQ(0, r.exitCode);
    EXPECT_EQ(0u, r.out.find("Usage:")) << r.out;
}

TEST_F(Arguments, BadCommandLinesExitWithTwo)
{
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{}, "instlog: no command given\n"},
        {{"show", "a.log"}, "instlog: unknown command \"show\"\n"},
        {{"DUMP", "a.log"}, "instlog: unknown command \"DUMP\"\n"},
        {{"dump"}, "instlog: dump needs the path of an install log\n"},
        {{"plan"}, "instlog: plan needs the path of an install log\n"},
        {{"check"}, "instlog: check needs the path of an install log\n"},
        {{"build"}, "instlog: build needs a text file and the log to write\n"},
        {{"build", "a.txt"}, "instlog: build needs a text file and the log to write\n"},
        {{"dump", "a.log", "b.log"}, "instlog: dump takes one argument, 2 were given\n"},
        {{"check", "a", "b", "c"}, "instlog: check takes one argument, 3 were given\n"},
        {{"build", "a", "b", "c"}, "instlog: build takes two arguments, 3 were given\n"},
        {{"--verbose"}, "instlog: unknown option \"--verbose\"\n"},
        {{"dump", "-v", "a.log"}, "instlog: unknown option \"-v\"\n"},
        {{"bad\x01"}, "instlog: unknown command \"bad<01>\"\n"},
    };
    for (const Case &c : cases) {
        RunResult r = Run(c.args);
        EXPECT_EQ(2, r.exitCode) << c.message;
        EXPECT_EQ(c.message + "Try \"instlog --help\".\n", r.err);
        EXPECT_EQ("", r.out);
    }
}

TEST_F(Arguments, AnUnreadableLogExitsWithThree)
{
    for (const char *command : {"dump", "plan", "check"}) {
        RunResult r = Run({command, "missing.log"});
        EXPECT_EQ(3, r.exitCode) << command;
        EXPECT_EQ("instlog: cannot open \"missing.log\": no such file (error 2)\n", r.err) << command;

        r = Run({command, "."});
        EXPECT_EQ(3, r.exitCode) << command;
        EXPECT_EQ("instlog: cannot open \".\": access denied, or a folder (error 5)\n", r.err) << command;
    }
    RunResult r = Run({"build", "missing.txt", "out.log"});
    EXPECT_EQ(3, r.exitCode);
    EXPECT_EQ(0u, r.err.find("instlog: cannot open \"missing.txt\": ")) << r.err;
    EXPECT_FALSE(Exists("out.log"));
}

TEST_F(Arguments, MalformedTextExitsWithFourNamesTheLineAndWritesNothing)
{
    WriteFile("bad.txt", "# a log\nrecord FILE\n  primary \"C:\\a\"\n  secundary \"x\"\n");
    WriteFile("out.log", "old");
    RunResult r = Run({"build", "bad.txt", "out.log"});
    EXPECT_EQ(4, r.exitCode);
    EXPECT_EQ("instlog: bad.txt:4: expected a line starting with \"record\", \"primary\", \"secondary\", \"tail\" or "
              "\"#\", found \"secundary\"\n",
              r.err);
    EXPECT_EQ("old", ReadFile("out.log"));

    WriteFile("bad.txt", "record FILE\n  primary \"C:\\a\" unterminated\n");
    r = Run({"build", "-", "out.log"}, "bad.txt");
    EXPECT_EQ(4, r.exitCode);
    EXPECT_EQ("instlog: (standard input):2: an unterminated text fills all 256 bytes of its field; this one has 4\n",
              r.err);
}

TEST_F(Arguments, AnUnwritableLogExitsWithFive)
{
    WriteFile("ok.txt", "record FILE\n");
    RunResult r = Run({"build", "ok.txt", "no/such/folder/out.log"});
    EXPECT_EQ(5, r.exitCode);
    EXPECT_EQ(0u, r.err.find("instlog: cannot write \"no/such/folder/out.log\": ")) << r.err;
}

TEST_F(Arguments, AnOutputThatCannotBeOpenedIsLeftAsItIs)
{
    WriteFile("ok.txt", "record FILE\n");
    std::filesystem::create_directory(Path("folder"));
    RunResult r = Run({"build", "ok.txt", "folder"});
    EXPECT_EQ(5, r.exitCode);
    EXPECT_EQ(0u, r.err.find("instlog: cannot write \"folder\": ")) << r.err;
    EXPECT_TRUE(std::filesystem::is_directory(Path("folder")));
}

TEST_F(Arguments, BuildReadsStandardInput)
{
    WriteFile("in.txt", "record 0 at 0: APPNAME\n  primary \"App\"\r\nrecord DIR\n");
    RunResult r = Run({"build", "-", "out.log"}, "in.txt");
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(LogBytes({{kAppName, "App", ""}, {kDirectory, "", ""}}), ReadFile("out.log"));
}
