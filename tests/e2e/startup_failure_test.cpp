// Start-up failures: a log that cannot be opened ends the run before
// anything is asked or removed, with two warnings and exit code 0.
#include "uninstaller_test.h"

#include "files.h"

namespace {

class StartupFailure : public UninstallerTest {
protected:
    // Runs with the given command-line text: the two warnings, exit code 0,
    // the progress dialog never shown and nothing of the installed
    // application changed.
    ::testing::AssertionResult LogNotFound(const std::string &rest)
    {
        ::testing::AssertionResult installed = InstallTestApp();
        if (!installed)
            return installed;
        driver::RunRecord run = RunUninstaller(rest, driver::SafestButton);
        ::testing::AssertionResult ended = EndedWith(run, 0);
        if (!ended)
            return ended;
        if (run.boxes.size() != 2)
            return ::testing::AssertionFailure() << "boxes shown for [" << program_.commandLine()
                                                 << "]:" << BoxList(run);
        for (const auto &warning : {IsWarningBox(run.boxes[0], kNoLog, kDefaultCaption),
                                    IsWarningBox(run.boxes[1], kTerminated, kDefaultCaption)})
            if (!warning)
                return warning;
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

}  // namespace
