#include "removal/custom_program.h"
#include "support/error_kinds.h"
#include "support/sim_fixture.h"

#define CMD SIM_COMSPEC

class CustomProgram : public SimTest {
protected:
    // A program that exits with status and records nothing else.
    void Program(const std::string &path, DWORD status, int stillActiveReads = 0)
    {
        sim::AddProgram(path, [status](const sim::ProgramRun &) { return status; }, stillActiveReads);
    }

    std::vector<std::string> Ran()
    {
        std::vector<std::string> lines;
        for (const sim::ProgramRun &run : sim::ProgramRuns())
            lines.push_back(run.commandLine);
        return lines;
    }
};

TEST_F(CustomProgram, ANameWithoutExtensionRunsItsComElseItsExe)
{
    Program("C:\\APP\\UNDO.EXE", 0);
    EXPECT_EQ(0, RunCustomProgram("C:\\APP\\UNDO", "-q"));
    EXPECT_TRUE(sim::OpenHandles().empty());
    Program("C:\\APP\\UNDO.COM", 0);
    EXPECT_EQ(0, RunCustomProgram("C:\\APP\\UNDO", ""));
    EXPECT_EQ((std::vector<std::string>{"C:\\APP\\UNDO.exe -q", "C:\\APP\\UNDO.com "}), Ran());
}

TEST_F(CustomProgram, StartsWithTheFixedProcessArguments)
{
    Program("C:\\APP\\UNDO.EXE", 0);
    RunCustomProgram("C:\\APP\\UNDO.EXE", "a b");
    std::vector<sim::Call> starts = sim::CallsTo("CreateProcessA");
    ASSERT_EQ(1u, starts.size());
    // No application name, no security, handles inherited, no flags, the
    // uninstaller's own environment and folder, default start-up information.
    EXPECT_EQ((std::vector<std::string>{"(null)", "C:\\APP\\UNDO.EXE a b", "(null)", "(null)", "1", "0x0", "(null)",
                                        "(null)", "defaults"}),
              starts[0].args);
}

TEST_F(CustomProgram, ANonzeroStatusIsTheResultAndNothingIsRetried)
{
    Program("C:\\APP\\UNDO.COM", 1);
    Program("C:\\APP\\UNDO.EXE", 0);
    EXPECT_EQ(1, RunCustomProgram("C:\\APP\\UNDO", ""));
    EXPECT_EQ(std::vector<std::string>{"C:\\APP\\UNDO.com "}, Ran());
    Program("C:\\APP\\MINUS.EXE", (DWORD)-1);
    EXPECT_EQ(-1, RunCustomProgram("C:\\APP\\MINUS.EXE", ""));
}

// Each candidate is seen to come after the ones before it: they are added
// one by one, the last first.
TEST_F(CustomProgram, AMissingNameWithAnExtensionGetsTheSuffixesAfterIt)
{
    for (const std::string name : {"C:\\APP\\GONE.EXE", "C:\\APP\\UNDO.BAT"}) {
        SetUp();
        EXPECT_EQ(-1, RunCustomProgram(name.c_str(), "x")) << name;
        Program(CMD, 0);
        sim::AddFile(name + ".bat");
        EXPECT_EQ(0, RunCustomProgram(name.c_str(), "x")) << name;
        Program(name + ".exe", 0);
        EXPECT_EQ(0, RunCustomProgram(name.c_str(), "x")) << name;
        Program(name + ".com", 0);
        EXPECT_EQ(0, RunCustomProgram(name.c_str(), "x")) << name;
        EXPECT_EQ((std::vector<std::string>{CMD " /c " + name + ".bat x", name + ".exe x", name + ".com x"}), Ran());
    }
}

TEST_F(CustomProgram, AnEmptyNameTriesTheRelativeCandidates)
{
    EXPECT_EQ(-1, RunCustomProgram("", ""));
    Program("C:\\.exe", 0);
    EXPECT_EQ(0, RunCustomProgram("", ""));
    EXPECT_EQ(std::vector<std::string>{".exe "}, Ran());
}

TEST_F(CustomProgram, BatchFilesRunThroughComspec)
{
    sim::SetEnvironmentVariable("ComSpec", std::string("C:\\WINDOWS\\COMMAND.COM"));
    Program("C:\\WINDOWS\\COMMAND.COM", 7);
    sim::AddFile("C:\\APP\\UNDO.BAT", "@exit 7");
    EXPECT_EQ(7, RunCustomProgram("C:\\APP\\UNDO.BAT", "-q"));
    EXPECT_EQ(std::vector<std::string>{"C:\\WINDOWS\\COMMAND.COM /c C:\\APP\\UNDO.BAT -q"}, Ran());

    EXPECT_EQ(7, RunCustomProgram("C:\\APP\\UNDO", ""));
    EXPECT_EQ("C:\\WINDOWS\\COMMAND.COM /c C:\\APP\\UNDO.bat ", Ran().back());

    EXPECT_EQ(7, RunCustomProgram("C:\\APP\\UNDO.Bat", ""));
    EXPECT_EQ("C:\\WINDOWS\\COMMAND.COM /c C:\\APP\\UNDO.Bat ", Ran().back());
    EXPECT_TRUE(sim::OpenHandles().empty());
}

TEST_F(CustomProgram, AnInterpreterWithoutExtensionIsSearchedLikeAProgram)
{
    sim::SetEnvironmentVariable("COMSPEC", std::string("C:\\WINDOWS\\COMMAND"));
    Program("C:\\WINDOWS\\COMMAND.EXE", 0);
    sim::AddFile("C:\\APP\\UNDO.BAT");
    EXPECT_EQ(0, RunCustomProgram("C:\\APP\\UNDO.BAT", "-q"));
    Program("C:\\WINDOWS\\COMMAND.COM", 0);
    EXPECT_EQ(0, RunCustomProgram("C:\\APP\\UNDO.BAT", "-q"));
    EXPECT_EQ((std::vector<std::string>{"C:\\WINDOWS\\COMMAND.exe /c C:\\APP\\UNDO.BAT -q",
                                        "C:\\WINDOWS\\COMMAND.com /c C:\\APP\\UNDO.BAT -q"}),
              Ran());
}

TEST_F(CustomProgram, ACmdFileIsStartedAsAProgram)
{
    Program("C:\\APP\\UNDO.CMD", 0);
    EXPECT_EQ(0, RunCustomProgram("C:\\APP\\UNDO.CMD", ""));
    EXPECT_EQ(std::vector<std::string>{"C:\\APP\\UNDO.CMD "}, Ran());
}

TEST_F(CustomProgram, ExtensionsBelongToTheLastComponentOnly)
{
    Program("C:\\APP.V2\\UNDO.EXE", 0);
    EXPECT_EQ(0, RunCustomProgram("C:\\APP.V2\\UNDO", ""));
    sim::AddFile("C:\\APP\\UNDO.BAT");
    Program(CMD, 0);
    EXPECT_EQ(0, RunCustomProgram("C:/APP/UNDO.BAT", ""));
    EXPECT_EQ((std::vector<std::string>{"C:\\APP.V2\\UNDO.exe ", CMD " /c C:/APP/UNDO.BAT "}), Ran());
}

TEST_F(CustomProgram, ARelativeBatchNameIsLookedForInTheCurrentFolderOnly)
{
    Program(CMD, 0);
    sim::AddFile("C:\\WINDOWS\\system32\\UNDO.BAT");
    EXPECT_EQ(-1, RunCustomProgram("UNDO.BAT", ""));
    sim::AddFile("C:\\UNDO.BAT");
    EXPECT_EQ(0, RunCustomProgram("UNDO.BAT", ""));
    EXPECT_EQ(std::vector<std::string>{CMD " /c UNDO.BAT "}, Ran());
}

TEST_F(CustomProgram, NamesWithBlanksAreQuotedSoNoShorterNameCanStart)
{
    Program("C:\\Program.exe", 99);
    Program("C:\\Program Files\\App\\undo.exe", 0);
    EXPECT_EQ(0, RunCustomProgram("C:\\Program Files\\App\\undo.exe", "-q"));
    EXPECT_EQ(std::vector<std::string>{"\"C:\\Program Files\\App\\undo.exe\" -q"}, Ran());

    sim::SetEnvironmentVariable("COMSPEC", std::string("C:\\Command Shell\\cmd.exe"));
    Program("C:\\Command Shell\\cmd.exe", 0);
    sim::AddFile("C:\\My Apps\\undo.bat");
    EXPECT_EQ(0, RunCustomProgram("C:\\My Apps\\undo", "a \"b\""));
    // The interpreter strips one pair of quotes from what follows /c.
    EXPECT_EQ("\"C:\\Command Shell\\cmd.exe\" /c \"\"C:\\My Apps\\undo.bat\" a \"b\"\"", Ran().back());
}

// A failed start, or a failed existence test (which knows fewer kinds),
// goes on to the next candidate only for an error that means "not there".
TEST_F(CustomProgram, OnlyNotFoundErrorsGoOnToTheNextCandidate)
{
    std::vector<DWORD> errors = kMissingForStart;
    errors.insert(errors.end(), kFailures.begin(), kFailures.end());
    for (DWORD error : errors) {
        for (bool start : {true, false}) {
            SetUp();
            Program(start ? "C:\\APP\\UNDO.EXE" : "C:\\APP\\UNDO.BAT.EXE", 0);
            sim::FailCall(start ? "CreateProcessA" : "GetFileAttributesA", error, 1);
            bool missing = Among(start ? kMissingForStart : kMissingForExistence, error);
            EXPECT_EQ(missing ? 0 : -1, RunCustomProgram(start ? "C:\\APP\\UNDO" : "C:\\APP\\UNDO.BAT", ""))
                << (start ? "start" : "existence test") << " failing with " << error;
        }
    }
}

TEST_F(CustomProgram, WithoutComspecABatchFileCannotRun)
{
    sim::SetEnvironmentVariable("COMSPEC", std::nullopt);
    Program(CMD, 0);
    sim::AddFile("C:\\APP\\UNDO.BAT");
    EXPECT_EQ(-1, RunCustomProgram("C:\\APP\\UNDO.BAT", ""));
}

// Windows would start a batch file given as a program; the program never
// gives it one as its interpreter.
TEST_F(CustomProgram, AComspecThatNamesABatchFileNeverNests)
{
    sim::SetEnvironmentVariable("COMSPEC", std::string("C:\\APP\\UNDO.BAT"));
    Program("C:\\APP\\UNDO.BAT", 0);
    EXPECT_EQ(-1, RunCustomProgram("C:\\APP\\UNDO.BAT", ""));

    sim::SetEnvironmentVariable("COMSPEC", std::string("C:\\APP\\SHELL"));
    Program("C:\\APP\\SHELL.BAT", 0);
    EXPECT_EQ(-1, RunCustomProgram("C:\\APP\\UNDO.BAT", ""));
    EXPECT_TRUE(Ran().empty());
}

TEST_F(CustomProgram, AFailedWaitOrStatusReadIsAFailure)
{
    Program("C:\\APP\\UNDO.EXE", 0);
    sim::FailCall("WaitForSingleObject", ERROR_INVALID_HANDLE, 1);
    EXPECT_EQ(-1, RunCustomProgram("C:\\APP\\UNDO.EXE", ""));
    EXPECT_TRUE(sim::OpenHandles().empty());

    sim::FailCall("GetExitCodeProcess", ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(-1, RunCustomProgram("C:\\APP\\UNDO.EXE", ""));
    EXPECT_TRUE(sim::OpenHandles().empty());
    EXPECT_EQ(2u, sim::ProgramRuns().size()) << "a failure is never retried";
}

// Win32s cannot wait for a process: the pauses between the reads of its
// status, which only the calls show, let it run.
TEST_F(CustomProgram, Win32sPollsTheExitStatus)
{
    g_win32s = 1;
    Program("C:\\APP\\UNDO.EXE", 3, 3);
    EXPECT_EQ(3, RunCustomProgram("C:\\APP\\UNDO.EXE", ""));
    std::vector<std::string> pauses;
    for (const sim::Call &c : sim::CallsTo("Sleep"))
        pauses.push_back(c.args[0]);
    EXPECT_EQ((std::vector<std::string>{"1000", "100", "100", "100"}), pauses);

    sim::FailCall("GetExitCodeProcess", ERROR_ACCESS_DENIED, 2);
    Program("C:\\APP\\SLOW.EXE", 0, 5);
    EXPECT_EQ(-1, RunCustomProgram("C:\\APP\\SLOW.EXE", ""));
    EXPECT_TRUE(sim::OpenHandles().empty());
}
