// Start-up failures: a log that cannot be opened ends the run before
// anything is asked or removed, with two warnings and exit code 0.
#include "uninstaller_test.h"

#include "files.h"

namespace {

class StartupFailure : public UninstallerTest {
protected:
    // Runs with the given command-line text and checks the two warnings, the
    // exit code, that the progress dialog never showed and that nothing of
    // the installed application changed.
    void ExpectLogNotFound(const std::string &rest)
    {
        ASSERT_NO_FATAL_FAILURE(InstallTestApp());
        e2e::RunRecord run = RunUninstaller(rest, e2e::SafestButton);
        ASSERT_TRUE(run.ended) << run.error;

        EXPECT_EQ(0u, run.exitCode);
        ASSERT_EQ(2u, run.boxes.size()) << "boxes shown for [" << program_.commandLine() << "]:"
                                        << BoxList(run);
        {
            SCOPED_TRACE("first box");
            ExpectWarningBox(run.boxes[0], kNoLog, kDefaultCaption);
        }
        {
            SCOPED_TRACE("second box");
            ExpectWarningBox(run.boxes[1], kTerminated, kDefaultCaption);
        }
        EXPECT_FALSE(run.progressDialogShown) << "the progress dialog was shown";
        ExpectAppUntouched();
    }
};

TEST_F(StartupFailure, MissingLogIsReportedTwice)
{
    std::string missing = folder_ + "\\Setup Log\\no such install.log";
    ExpectLogNotFound(missing);
    EXPECT_FALSE(e2e::FileExists(missing)) << "the missing log was created";
}

// Quotes are part of the name, so the log beside them is not found.
TEST_F(StartupFailure, QuotedLogPathIsNotFound)
{
    ExpectLogNotFound("\"" + app_.logPath + "\"");
}

TEST_F(StartupFailure, EmptyCommandLineFindsNoLog)
{
    ExpectLogNotFound("");
}

}  // namespace
