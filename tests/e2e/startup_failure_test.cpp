// Start-up failures: a log that cannot be opened ends the run before
// anything is asked or removed, with two warnings and exit code 0.
#include "uninstaller_test.h"

#include "files.h"

namespace {

class StartupFailure : public UninstallerTest {
protected:
    // Runs with the given command-line text (in the folder given, if one
    // is): the two warnings, exit code 0, the progress dialog never shown
    // and nothing of the installed application changed.
    ::testing::AssertionResult LogNotFound(const std::string &rest, const std::string &currentDirectory = "")
    {
        ::testing::AssertionResult installed = InstallTestApp();
        if (!installed)
            return installed;
        RunOptions options;
        options.currentDirectory = currentDirectory;
        driver::RunRecord run = RunUninstaller(rest, driver::SafestButton, options);
        ::testing::AssertionResult ended = EndedWith(run, 0);
        if (!ended)
            return ended;
        ::testing::AssertionResult boxes = ShowsBoxesOf(run, END_NO_LOG);
        if (!boxes)
            return boxes << " for [" << program_.commandLine() << "]";
        if (run.progressDialogShown)
            return ::testing::AssertionFailure() << "the progress dialog was shown";
        return AppUntouched();
    }
};

TEST_F(StartupFailure, MissingLogIsReportedTwice)
{
    std::string missing = folder_ + "\\Setup Log\\no such install.log";
    EXPECT_TRUE(LogNotFound(missing));
    EXPECT_FALSE(e2e::FileExists(missing)) << "the missing log was created";
}

// Quotes are part of the name, so the log beside them is not found.
TEST_F(StartupFailure, QuotedLogPathIsNotFound)
{
    EXPECT_TRUE(LogNotFound("\"" + app_.logPath + "\""));
}

TEST_F(StartupFailure, EmptyCommandLineFindsNoLog)
{
    EXPECT_TRUE(LogNotFound(""));
}

// The switch makes a run unattended only when one blank and a fully
// qualified path follow it; otherwise it is part of the log's path, as any
// text is, and the run goes as ever. The relative path would name the log.
TEST_F(StartupFailure, SwitchWithoutAFullyQualifiedPathIsPartOfTheLogPath)
{
    EXPECT_TRUE(LogNotFound("/S"));
    EXPECT_TRUE(LogNotFound("/S Setup Log\\install.log", folder_));
    EXPECT_TRUE(LogNotFound("/S \"" + app_.logPath + "\""));
    EXPECT_TRUE(LogNotFound("/quiet  " + app_.logPath));
}

// Unattended, a log that is not there ends the run with 1603 and nothing
// on screen, whether the path names a drive or a server's share.
TEST_F(StartupFailure, UnattendedMissingLogEndsWith1603Unseen)
{
    ASSERT_TRUE(InstallTestApp());
    for (const std::string &rest : {"/S " + folder_ + "\\Setup Log\\no such install.log",
                                   std::string("/s \\\\E2E-SERVER\\Share\\Setup Log\\install.log")}) {
        driver::RunRecord run = RunUnattended(rest);
        EXPECT_TRUE(EndedWith(run, 1603)) << rest;
        EXPECT_TRUE(NoWindowSeen(run));
    }
    EXPECT_TRUE(AppUntouched());
}

}  // namespace
