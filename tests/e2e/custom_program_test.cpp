// Custom uninstall programs: each runs with its name, one blank and its
// argument text as command line, and is waited for, before anything is
// removed; a batch file runs through COMSPEC with /c; a program that fails
// stops the removal with two warnings and leaves everything in place.
//
// The programs are copies of the recording program, which writes down the
// command line it got and what it found. Most live in a folder without
// blanks, where the command line is the name as it stands; names with a
// blank are put in double quotes by the uninstaller.
#include "uninstaller_test.h"

#include "console_program.h"
#include "files.h"
#include "install_log.h"
#include "recording_program.h"
#include "registry.h"
#include "restart.h"

namespace {

class CustomProgram : public UninstallerTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(UninstallerTest::SetUp());
        const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
        plain_ = std::string("C:\\MorvaneE2E\\") + info->test_suite_name() + "." + info->name();
        journal_ = plain_ + "\\journal.txt";
        std::string error;
        ASSERT_TRUE(e2e::RemoveTree(plain_, &error)) << error;
        ASSERT_TRUE(e2e::CreateDirectories(plain_, &error)) << error;
        ASSERT_TRUE(SetEnvironmentVariableA(e2e::kJournalVariable, journal_.c_str()));
        char comspec[MAX_PATH] = "";
        GetEnvironmentVariableA("COMSPEC", comspec, sizeof(comspec));
        comspec_ = comspec;
    }

    void TearDown() override
    {
        std::string error;
        for (const std::string &path : outside_)
            EXPECT_TRUE(e2e::RemoveTree(path, &error)) << error;
        SetEnvironmentVariableA(e2e::kJournalVariable, NULL);
        SetEnvironmentVariableA("COMSPEC", comspec_.empty() ? NULL : comspec_.c_str());
    }

    void Place(const std::string &path, int exitStatus, const std::vector<std::string> &probeFiles = {},
               const std::string &logToInspect = "", int recordsToRead = 0)
    {
        e2e::RecordingProgram program;
        program.exitStatus = exitStatus;
        program.probeFiles = probeFiles;
        program.logToInspect = logToInspect;
        program.recordsToRead = recordsToRead;
        std::string error;
        ASSERT_TRUE(e2e::PlaceRecordingProgram(path, program, &error)) << error;
    }

    // Adds a custom-program record right after the name record, or at the
    // end of the log.
    void AddProgram(const std::string &primary, const std::string &secondary, bool atEnd = false)
    {
        e2e::LogRecord record{kCustomProgram, primary, secondary};
        if (atEnd)
            app_.log.push_back(record);
        else
            app_.log.insert(app_.log.begin() + 1 + programs_++, record);
    }

    // The programs that ran, in order, as they wrote themselves down.
    std::vector<std::string> Journal() const
    {
        std::vector<std::string> lines;
        std::vector<unsigned char> bytes;
        std::string ignored;
        if (!e2e::ReadBytes(journal_, &bytes, &ignored))
            return lines;
        std::string text(bytes.begin(), bytes.end());
        for (size_t start = 0, end; start < text.size(); start = end + 2) {
            end = text.find("\r\n", start);
            if (end == std::string::npos)
                end = text.size();
            lines.push_back(text.substr(start, end - start));
        }
        return lines;
    }

    // The run answered Yes and the removal went to its end.
    ::testing::AssertionResult RemovalCompleted(const driver::RunRecord &run) const
    {
        ::testing::AssertionResult ended = EndedWith(run, 0);
        if (!ended)
            return ended;
        ::testing::AssertionResult boxes = CompletionBoxes(run, 1, app_.name + " Uninstall", false);
        return boxes ? AppRemoved() : boxes;
    }

    // Installs, answers Yes, and checks the two warnings of a stopped
    // removal, with the progress dialog as it was created under both, and
    // that nothing was removed.
    ::testing::AssertionResult RemovalStopped()
    {
        ::testing::AssertionResult installed = InstallTestApp();
        if (!installed)
            return installed;
        std::vector<driver::ProgressView> underBoxes;
        std::vector<bool> dialogFound;
        driver::RunRecord run = RunUninstaller(app_.logPath, [&](const driver::MessageBoxView &box) {
            if (box.text != kConfirm) {
                driver::ProgressView view;
                HWND dialog = driver::FindProgressDialog(program_.pid());
                dialogFound.push_back(dialog != NULL && driver::ReadProgressDialog(dialog, &view));
                underBoxes.push_back(view);
            }
            return AnswerYes(box);
        });
        ::testing::AssertionResult ended = EndedWith(run, 0);
        if (!ended)
            return ended;
        ::testing::AssertionResult aborted = ShowsBoxesOf(run, END_ABORTED, app_.name + " Uninstall");
        if (!aborted)
            return aborted;
        for (size_t i = 0; i < underBoxes.size(); i++) {
            const driver::ProgressView &view = underBoxes[i];
            if (!dialogFound[i] || !view.visible || view.status != kLoadingLog || view.detail != kPleaseWait ||
                view.position != 0 || view.high != 120)
                return ::testing::AssertionFailure()
                       << "under warning " << i + 1 << " the progress dialog is not the one created"
                       << (dialogFound[i] ? "" : " (there is none)") << ": " << (view.visible ? "shown" : "hidden")
                       << " [" << view.status << "] [" << view.detail << "] at " << view.position << " of "
                       << view.high;
        }
        ::testing::AssertionResult untouched = AppUntouched();
        return untouched ? NothingScheduled() : untouched;
    }

    std::string plain_;    // a folder of this test's without blanks in its path
    std::vector<std::string> outside_;   // what a test placed outside plain_
    std::string journal_;
    std::string comspec_;  // as the test found it
    int programs_ = 0;
};

TEST_F(CustomProgram, CommandLineIsNameBlankArgumentText)
{
    // The argument text goes on the command line unchanged, blanks and all.
    const std::string first = plain_ + "\\undo.exe";
    const std::string argument = "-q /log=C:\\Some Folder\\x.txt  \"two\"";
    ASSERT_NO_FATAL_FAILURE(Place(first, 0));
    AddProgram(first, argument);
    // No extension: .com is looked for first, then .exe runs. An empty
    // argument text leaves the one blank at the end.
    const std::string second = plain_ + "\\second";
    ASSERT_NO_FATAL_FAILURE(Place(second + ".exe", 0));
    AddProgram(second, "");

    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUninstaller(app_.logPath);
    EXPECT_EQ(first + " " + argument, e2e::RecordedCommandLine(first));
    EXPECT_EQ(second + ".exe ", e2e::RecordedCommandLine(second + ".exe"));
    EXPECT_EQ((std::vector<std::string>{first, second + ".exe"}), Journal());
    EXPECT_TRUE(RemovalCompleted(run));
}

TEST_F(CustomProgram, RunsBeforeAnythingIsRemoved)
{
    // Last in the log, and still first to act.
    const std::string program = plain_ + "\\undo.exe";
    std::vector<std::string> probes = app_.files;
    probes.insert(probes.end(), app_.directories.begin(), app_.directories.end());
    ASSERT_NO_FATAL_FAILURE(Place(program, 0, probes));
    AddProgram(program, "-last", true);

    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUninstaller(app_.logPath);
    std::vector<std::string> expected = {"command line: " + program + " -last"};
    for (const std::string &probe : probes)
        expected.push_back("exists: " + probe);
    EXPECT_EQ(expected, e2e::RecordedLines(program));
    EXPECT_TRUE(RemovalCompleted(run));
}

TEST_F(CustomProgram, FailingProgramStopsTheRemoval)
{
    // The first ends with 0, the second with 3: both ran, in log order; the
    // third never runs and nothing is removed, attended or not.
    const std::vector<std::string> programs = {plain_ + "\\first.exe", plain_ + "\\second.exe",
                                               plain_ + "\\third.exe"};
    const int statuses[] = {0, 3, 0};
    for (size_t i = 0; i < programs.size(); i++) {
        ASSERT_NO_FATAL_FAILURE(Place(programs[i], statuses[i]));
        AddProgram(programs[i], "");
    }
    EXPECT_TRUE(RemovalStopped());
    EXPECT_EQ((std::vector<std::string>{programs[0], programs[1]}), Journal());
    EXPECT_FALSE(e2e::HasRun(programs[2]));

    // Unattended, it stops the same way, with nothing on screen and exit
    // code 1603.
    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUnattended("/S " + app_.logPath);
    EXPECT_TRUE(EndedWith(run, 1603));
    EXPECT_TRUE(NoWindowSeen(run));
    EXPECT_FALSE(e2e::HasRun(programs[2]));
    EXPECT_TRUE(AppUntouched());
    EXPECT_TRUE(NothingScheduled());
}

TEST_F(CustomProgram, ProgramThatCannotBeFoundOrWhoseTextIsCutStopsTheRemoval)
{
    // Neither gone.exe nor gone.exe.com, .exe or .bat exists: nothing runs.
    AddProgram(plain_ + "\\gone.exe", "-q");
    EXPECT_TRUE(RemovalStopped());
    // undo.exe is there, but its argument text fills its 256 bytes with no
    // terminating zero: it is not started.
    const std::string program = plain_ + "\\undo.exe";
    ASSERT_NO_FATAL_FAILURE(Place(program, 0));
    app_.log[1] = e2e::LogRecord{kCustomProgram, program, std::string(e2e::kTextSize, 'q')};
    EXPECT_TRUE(RemovalStopped());
    EXPECT_EQ(std::vector<std::string>(), Journal());
}

TEST_F(CustomProgram, BatchFileRunsThroughTheCommandInterpreter)
{
    // Wine's own cmd.exe, which COMSPEC names; its exit status 0 lets the
    // removal go on.
    const std::string batch = plain_ + "\\undo.bat";
    const std::string output = plain_ + "\\batch-arguments.txt";
    std::string error;
    ASSERT_TRUE(e2e::WriteText(batch, "@echo off\r\necho %*> " + output + "\r\nexit 0\r\n", &error)) << error;
    AddProgram(batch, "one two");

    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUninstaller(app_.logPath);
    std::vector<unsigned char> written;
    ASSERT_TRUE(e2e::ReadBytes(output, &written, &error)) << "the batch file did not run: " << error;
    EXPECT_EQ("one two\r\n", std::string(written.begin(), written.end()));
    EXPECT_TRUE(RemovalCompleted(run));
}

TEST_F(CustomProgram, BatchFileExitStatusIsTheResult)
{
    const std::string batch = plain_ + "\\undo.bat";
    std::string error;
    ASSERT_TRUE(e2e::WriteText(batch, "@echo off\r\nexit 5\r\n", &error)) << error;
    AddProgram(batch, "");
    EXPECT_TRUE(RemovalStopped());
}

TEST_F(CustomProgram, BatchFileInFolderWithBlankTakesQuotedArguments)
{
    // A batch file whose folder has a blank, with an argument text that
    // holds double quotes, as a path with blanks needs them. cmd /c strips
    // the first and the last double quote of its command when there are
    // more than two (Wine's cmd.exe as Windows' does), so the quoted name
    // alone does not keep the batch file's name whole.
    const std::string batch = plain_ + "\\My Apps\\undo.bat";
    const std::string output = plain_ + "\\batch-arguments.txt";
    const std::string argument = "\"C:\\Program Files\\Sample\" -q";
    std::string error;
    ASSERT_TRUE(e2e::CreateDirectories(e2e::ParentOf(batch), &error)) << error;
    ASSERT_TRUE(e2e::WriteText(batch, "@echo off\r\necho %*> " + output + "\r\nexit 0\r\n", &error)) << error;
    AddProgram(batch, argument);

    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUninstaller(app_.logPath);
    std::vector<unsigned char> written;
    EXPECT_TRUE(e2e::ReadBytes(output, &written, &error)) << "the batch file did not run: " << error;
    EXPECT_EQ(argument + "\r\n", std::string(written.begin(), written.end()));
    EXPECT_TRUE(RemovalCompleted(run));
}

TEST_F(CustomProgram, InterpreterCommandLineNamesTheBatchFile)
{
    // COMSPEC names the recording program in place of cmd.exe, which shows
    // the interpreter's command line exactly: name, "/c", the batch file,
    // the argument text.
    const std::string interpreter = plain_ + "\\shell.exe";
    ASSERT_NO_FATAL_FAILURE(Place(interpreter, 0));
    ASSERT_TRUE(SetEnvironmentVariableA("COMSPEC", interpreter.c_str()));
    std::string error;
    const std::string batch = plain_ + "\\undo.bat";
    ASSERT_TRUE(e2e::WriteText(batch, "exit 0\r\n", &error)) << error;
    AddProgram(batch, "-q");
    // No extension and only a .bat beside it: the batch file is found by
    // its suffix, and an empty argument text leaves one blank at the end.
    const std::string other = plain_ + "\\other";
    ASSERT_TRUE(e2e::WriteText(other + ".bat", "exit 0\r\n", &error)) << error;
    AddProgram(other, "");

    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUninstaller(app_.logPath);
    EXPECT_EQ((std::vector<std::string>{interpreter, interpreter}), Journal());
    std::vector<std::string> commandLines;
    for (const std::string &line : e2e::RecordedLines(interpreter))
        commandLines.push_back(line);
    EXPECT_EQ((std::vector<std::string>{"command line: " + interpreter + " /c " + batch + " -q",
                                        "command line: " + interpreter + " /c " + other + ".bat "}),
              commandLines);
    EXPECT_TRUE(RemovalCompleted(run));
}

TEST_F(CustomProgram, NameWithBlankIsQuoted)
{
    // Unquoted, "C:\...\My Apps\undo.exe -q" would start C:\...\My.exe, and
    // "C:\Program Files\...\undo.exe" C:\Program.exe, which Wine does, as
    // Windows does. The uninstaller puts such names in double quotes, so the
    // planted programs never run.
    const std::string folder = "C:\\Program Files\\MorvaneE2E Undo";
    const std::string planted = "C:\\Program.exe";
    outside_ = {folder, planted, planted + ".in", planted + ".out"};
    ASSERT_FALSE(e2e::FileExists(planted)) << planted << " is there before the test";
    const struct {
        std::string program, planted, argument;
    } cases[] = {
        {plain_ + "\\My Apps\\undo.exe", plain_ + "\\My.exe", "-q"},
        {folder + "\\undo.exe", planted, ""},
    };
    for (const auto &c : cases) {
        ASSERT_NO_FATAL_FAILURE(Place(c.program, 0));
        ASSERT_NO_FATAL_FAILURE(Place(c.planted, 0));
        AddProgram(c.program, c.argument);
    }

    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUninstaller(app_.logPath);
    for (const auto &c : cases) {
        EXPECT_FALSE(e2e::HasRun(c.planted)) << c.planted << " ran with [" << e2e::RecordedCommandLine(c.planted)
                                             << "]";
        EXPECT_EQ("\"" + c.program + "\" " + c.argument, e2e::RecordedCommandLine(c.program));
    }
    EXPECT_EQ((std::vector<std::string>{cases[0].program, cases[1].program}), Journal());
    EXPECT_TRUE(RemovalCompleted(run));
}

TEST_F(CustomProgram, ProgramsReadingTheInheritedLogRunOnceEach)
{
    // The first program runs while the uninstaller holds the log open, and
    // reads the application's name through the handle it inherited. The
    // handle shares its position with the uninstaller's: the second leaves
    // it after the first record, the third at the end of the log. Each runs
    // once, in log order, and so does the fourth.
    const std::vector<std::string> programs = {plain_ + "\\undo.exe", plain_ + "\\rewinds.exe",
                                               plain_ + "\\reads-all.exe", plain_ + "\\follows.exe"};
    ASSERT_NO_FATAL_FAILURE(Place(programs[0], 0, {}, app_.logPath));
    ASSERT_NO_FATAL_FAILURE(Place(programs[1], 0, {}, app_.logPath, 1));
    ASSERT_NO_FATAL_FAILURE(Place(programs[2], 0, {}, app_.logPath, 1000));
    ASSERT_NO_FATAL_FAILURE(Place(programs[3], 0));
    for (const std::string &program : programs)
        AddProgram(program, "");

    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUninstaller(app_.logPath);
    EXPECT_EQ((std::vector<std::string>{"command line: " + programs[0] + " ", "log in use: yes",
                                        "inherited log: " + app_.name}),
              e2e::RecordedLines(programs[0]));
    EXPECT_EQ((std::vector<std::string>{"command line: " + programs[1] + " ",
                                        "records read through the inherited log: 1"}),
              e2e::RecordedLines(programs[1]));
    EXPECT_EQ((std::vector<std::string>{"command line: " + programs[2] + " ",
                                        "records read through the inherited log: " + std::to_string(app_.log.size())}),
              e2e::RecordedLines(programs[2]));
    EXPECT_EQ(programs, Journal());
    EXPECT_TRUE(RemovalCompleted(run));
}

// A logoff during the removal, here while a slow custom program runs, is
// held off: the progress dialog refuses Windows' end-of-session round, which
// then ends nothing, and the removal goes on to its end. Before Yes and at
// the end the dialog lets the session end.
TEST_F(CustomProgram, ALogoffDuringTheRemovalIsHeldOff)
{
    const std::string slow = plain_ + "\\slow.exe";
    const std::string go = plain_ + "\\go";
    e2e::RecordingProgram waiting;
    waiting.waitFor = go;
    std::string error;
    ASSERT_TRUE(e2e::PlaceRecordingProgram(slow, waiting, &error)) << error;
    AddProgram(slow, "");
    ASSERT_TRUE(InstallTestApp());
    auto sessionAnswer = [this]() -> std::string {
        HWND dialog = driver::FindProgressDialog(program_.pid());
        DWORD_PTR agrees = 0;
        if (dialog == NULL || !SendMessageTimeoutA(dialog, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG,
                                                   5000, &agrees))
            return "no answer";
        return agrees ? "ends" : "held";
    };

    std::vector<std::string> answers;
    driver::RunRecord asked;
    ASSERT_TRUE(program_.Start(exe_, app_.logPath, &error)) << error;
    EXPECT_FALSE(driver::WatchRun(program_, [&](const driver::MessageBoxView &) { return 0; }, &asked, kRunLimitMs));
    ASSERT_EQ(1u, asked.boxes.size()) << asked.error;
    answers.push_back("question: " + sessionAnswer());
    ASSERT_TRUE(driver::PressButton(asked.boxes[0].window, IDYES));
    for (int tenths = 0; tenths < 300 && !e2e::FileExists(slow + ".waiting"); tenths++)
        Sleep(100);
    ASSERT_TRUE(e2e::FileExists(slow + ".waiting")) << "the custom program does not run";

    answers.push_back("custom program: " + sessionAnswer());
    DWORD wineboot = 0;
    std::string output;
    ASSERT_TRUE(e2e::RunConsoleProgram("wineboot.exe --end-session", kRunLimitMs, &wineboot, &output, &error))
        << error;
    EXPECT_NE(0u, wineboot) << "the session ended: " << output;
    EXPECT_TRUE(program_.Running());
    ASSERT_TRUE(e2e::WriteText(go, "", &error)) << error;

    driver::RunRecord run;
    driver::WatchRun(program_, [&](const driver::MessageBoxView &box) {
        answers.push_back("success: " + sessionAnswer());
        return AnswerYes(box);
    }, &run, kRunLimitMs);
    EXPECT_TRUE(EndedWith(run, 0));
    EXPECT_EQ((std::vector<std::string>{"question: ends", "custom program: held", "success: ends"}), answers);
    EXPECT_EQ((std::vector<std::string>{"command line: " + slow + " ", "waited: yes"}), e2e::RecordedLines(slow));
    EXPECT_TRUE(CompletionBoxes(run, 0, app_.name + " Uninstall", false));
    EXPECT_TRUE(AppRemoved());
}

}  // namespace
