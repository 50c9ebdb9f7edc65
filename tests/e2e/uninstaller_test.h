// What the end-to-end tests share: each test gets its own folder under
// C:\Morvane E2E with a fresh copy of uninstall.exe, nothing scheduled for
// the next restart, and helpers to install its application and run the
// program on it.
#ifndef E2E_UNINSTALLER_TEST_H
#define E2E_UNINSTALLER_TEST_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "process.h"
#include "test_app.h"
#include "ui.h"
#include "support/program_texts.h"

// Limit for one run of the program; a run takes well under a second.
constexpr DWORD kRunLimitMs = 30000;

class UninstallerTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Installs app_ (call with ASSERT_NO_FATAL_FAILURE).
    void InstallTestApp();

    // Starts the uninstaller copy with `"<exe>" <rest>` and watches it to its
    // end, answering boxes with answer. Fails the test if it does not end.
    e2e::RunRecord RunUninstaller(const std::string &rest, const e2e::BoxAnswer &answer);
    e2e::RunRecord RunUninstallerAt(const std::string &exe, const std::string &rest,
                                    const e2e::BoxAnswer &answer);
    // The same with a limit of its own, a current directory (the test's
    // when empty) and a pause between looks (none when 0).
    e2e::RunRecord RunUninstallerWith(const std::string &rest, const e2e::BoxAnswer &answer, DWORD limitMs,
                                      const std::string &currentDirectory, DWORD pauseMs = 0);

    // Installs app_, runs the uninstaller on its log answering boxes with
    // answer, and checks that the run ended with exit code 0.
    e2e::RunRecord InstallAndRun(const e2e::BoxAnswer &answer);

    // Checks that every listed file and folder, the Uninstall entry and the
    // log are still as installed.
    void ExpectAppUntouched();

    // Checks that every listed file and folder, the Uninstall entry, the log
    // and the log's folder are gone, and the other application's entry stays.
    void ExpectAppRemoved();

    // Checks that nothing waits for a restart: no line in WININIT.INI's
    // [Rename] section, no pending file rename.
    void ExpectNothingScheduled();

    std::string folder_;  // this test's own folder
    std::string exe_;     // this test's copy of uninstall.exe
    e2e::TestApp app_;    // described, not yet installed
    e2e::Program program_;
};

// uninstall.exe as the build made it (Windows path), from E2E_UNINSTALL_EXE.
std::string BuiltUninstaller();

// Checks one message box: text, caption, the warning icon on screen, only an
// OK button, no owner window.
void ExpectWarningBox(const e2e::MessageBoxView &box, const std::string &text,
                      const std::string &caption);

// The boxes of a run, for failure messages: caption and text of each.
std::string BoxList(const e2e::RunRecord &run);

// Answers the question with Yes and any other box with its safest button
// (the restart dialog with "&No").
int AnswerYes(const e2e::MessageBoxView &box);

// Checks the boxes that end a completed removal: the success box, then the
// restart dialog when something waits for the restart. first is the index
// of the success box in run.boxes; nothing may follow.
void ExpectCompletionBoxes(const e2e::RunRecord &run, size_t first, const std::string &caption,
                           bool restartOffered);

#endif
