// What the end-to-end tests share: each test gets its own folder under
// C:\Morvane E2E with a fresh copy of uninstall.exe, nothing scheduled for
// the next restart, and helpers to install its application, run the program
// on it and check the outcome. The checks return their findings
// (EXPECT_TRUE(AppRemoved())), so that a failure points at the test's line.
#ifndef E2E_UNINSTALLER_TEST_H
#define E2E_UNINSTALLER_TEST_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/process.h"
#include "driver/ui.h"
#include "test_app.h"
#include "driver/program_texts.h"

// Limit for one run of the program; a run takes well under a second.
constexpr DWORD kRunLimitMs = 30000;

// Answers the question with Yes and any other box with its safest button
// (the restart dialog with "&No").
int AnswerYes(const driver::MessageBoxView &box);

// How a run differs from the usual one.
struct RunOptions {
    std::string exe;               // the program started; the test's copy when empty
    std::string currentDirectory;  // the test program's own when empty
    DWORD limitMs = kRunLimitMs;   // the run fails when it takes longer
    DWORD pauseMs = 0;             // between looks at the windows; none when 0
    bool everyWindow = false;      // also note every window of the program on screen (shown_)
};

class UninstallerTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Installs app_: ASSERT_TRUE(InstallTestApp()).
    ::testing::AssertionResult InstallTestApp();

    // The one way a test runs the uninstaller: starts it with
    // `"<exe>" <rest>` and watches it to its end, answering each box with
    // answer. Whether it ended, and how: EndedWith.
    driver::RunRecord RunUninstaller(const std::string &rest, const driver::BoxAnswer &answer = AnswerYes,
                                     const RunOptions &options = RunOptions());

    // A run that nobody watches: RunUninstaller with every window noted,
    // any box answered as AnswerYes does. rest starts with the switch.
    driver::RunRecord RunUnattended(const std::string &rest, RunOptions options = RunOptions());

    // Nothing of the last run's was ever on screen: no box, no progress
    // dialog, no window at all (RunUnattended notes them).
    ::testing::AssertionResult NoWindowSeen(const driver::RunRecord &run) const;

    // Every listed file and folder, the Uninstall entry and the log are as
    // installed, and so is the other application's entry.
    ::testing::AssertionResult AppUntouched() const;

    // Every listed file and folder, the Uninstall entry, the log and the
    // log's folder are gone, and the other application's entry stays with
    // its name. What kept names of them (a path, or app_.UninstallKey())
    // must still be there instead.
    ::testing::AssertionResult AppRemoved(const std::vector<std::string> &kept = {}) const;

    std::string folder_;  // this test's own folder
    std::string exe_;     // this test's copy of uninstall.exe
    e2e::TestApp app_;    // described, not yet installed
    driver::Program program_;
    // Each window of the last run that was on screen at some look, as
    // class "title"; noted only with RunOptions::everyWindow.
    std::vector<std::string> shown_;
};

// uninstall.exe as the build made it (Windows path), from E2E_UNINSTALL_EXE.
std::string BuiltUninstaller();

// The run ended by itself, with this exit code.
::testing::AssertionResult EndedWith(const driver::RunRecord &run, DWORD exitCode);

// Nothing waits for a restart: no line in WININIT.INI's [Rename] section, no
// pending file rename.
::testing::AssertionResult NothingScheduled();

// One message box: text, caption, the warning icon on screen, only an OK
// button, no owner window.
::testing::AssertionResult IsWarningBox(const driver::MessageBoxView &box, const std::string &text,
                                        const std::string &caption);

// The boxes of a run that ended so (BoxesOf), and no others: each text in
// turn, with the default caption or logCaption; each warning with an OK
// button alone and no owner window.
::testing::AssertionResult ShowsBoxesOf(const driver::RunRecord &run, RunEnd end,
                                        const std::string &logCaption = "");

// The boxes of a completed removal: the question first, with the caption
// given (unless first is 0: it was asked before run), the success box at
// index first with that caption, then the restart dialog when something
// waits for the restart, and nothing after.
::testing::AssertionResult CompletionBoxes(const driver::RunRecord &run, size_t first, const std::string &caption,
                                           bool restartOffered);

// The boxes of a run, for failure messages: caption and text of each.
std::string BoxList(const driver::RunRecord &run);

// Lines for a failure message, each on one of its own.
std::string Lines(const std::vector<std::string> &lines);

#endif
