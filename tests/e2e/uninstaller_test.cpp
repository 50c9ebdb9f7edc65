#include "uninstaller_test.h"

#include <cstdlib>

#include "files.h"
#include "install_log.h"
#include "registry.h"
#include "restart.h"

std::string BuiltUninstaller()
{
    const char *hostPath = std::getenv("E2E_UNINSTALL_EXE");
    return hostPath && *hostPath ? e2e::WindowsPathOfHostPath(hostPath) : "";
}

void UninstallerTest::SetUp()
{
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::string("C:\\Morvane E2E\\") + info->test_suite_name() + " " + info->name();
    exe_ = folder_ + "\\Uninstaller\\uninstall.exe";
    app_ = e2e::DescribeApp(folder_, std::string("Sample App ") + info->name());

    std::string error;
    ASSERT_TRUE(e2e::RemoveTree(folder_, &error)) << error;
    ASSERT_TRUE(e2e::ClearScheduledDeletions(&error)) << error;
    const std::string built = BuiltUninstaller();
    ASSERT_FALSE(built.empty()) << "E2E_UNINSTALL_EXE names no uninstall.exe";
    ASSERT_TRUE(e2e::CreateDirectories(e2e::ParentOf(exe_), &error)) << error;
    ASSERT_TRUE(CopyFileA(built.c_str(), exe_.c_str(), FALSE))
        << "copying " << built << ": " << e2e::ErrorText(GetLastError());
}

void UninstallerTest::InstallTestApp()
{
    std::string error;
    ASSERT_TRUE(e2e::InstallApp(app_, &error)) << error;
}

e2e::RunRecord UninstallerTest::RunUninstaller(const std::string &rest, const e2e::BoxAnswer &answer)
{
    return RunUninstallerAt(exe_, rest, answer);
}

e2e::RunRecord UninstallerTest::RunUninstallerAt(const std::string &exe, const std::string &rest,
                                                 const e2e::BoxAnswer &answer)
{
    e2e::RunRecord record;
    std::string error;
    if (!program_.Start(exe, rest, &error)) {
        ADD_FAILURE() << error;
        return record;
    }
    if (!e2e::WatchRun(program_, answer, &record, kRunLimitMs))
        ADD_FAILURE() << "[" << program_.commandLine() << "]: " << record.error;
    return record;
}

e2e::RunRecord UninstallerTest::RunUninstallerWith(const std::string &rest, const e2e::BoxAnswer &answer,
                                                   DWORD limitMs, const std::string &currentDirectory,
                                                   DWORD pauseMs)
{
    e2e::RunRecord record;
    std::string error;
    if (!program_.Start(exe_, rest, &error, currentDirectory)) {
        ADD_FAILURE() << error;
        return record;
    }
    if (!e2e::WatchRun(program_, answer, &record, limitMs, pauseMs))
        ADD_FAILURE() << "[" << program_.commandLine() << "]: " << record.error;
    return record;
}

e2e::RunRecord UninstallerTest::InstallAndRun(const e2e::BoxAnswer &answer)
{
    e2e::RunRecord run;
    InstallTestApp();
    if (HasFatalFailure())
        return run;
    run = RunUninstaller(app_.logPath, answer);
    EXPECT_TRUE(run.ended) << run.error;
    EXPECT_EQ(0u, run.exitCode);
    return run;
}

void UninstallerTest::ExpectNothingScheduled()
{
    EXPECT_EQ(std::vector<std::string>(), e2e::IniSectionLines(e2e::WininitPath(), "Rename"));
    std::vector<e2e::PendingOperation> pending;
    std::string error;
    ASSERT_TRUE(e2e::ReadPendingOperations(&pending, &error)) << error;
    EXPECT_EQ(0u, pending.size()) << "first: " << (pending.empty() ? "" : pending[0].from);
}

void UninstallerTest::ExpectAppUntouched()
{
    for (const std::string &file : app_.files)
        EXPECT_TRUE(e2e::FileExists(file)) << file << " is gone";
    for (const std::string &directory : app_.directories)
        EXPECT_TRUE(e2e::DirectoryExists(directory)) << directory << " is gone";
    EXPECT_TRUE(e2e::KeyExists(HKEY_LOCAL_MACHINE, app_.UninstallKey())) << app_.UninstallKey();
    EXPECT_TRUE(e2e::KeyExists(HKEY_LOCAL_MACHINE, app_.OtherUninstallKey())) << app_.OtherUninstallKey();
    std::vector<unsigned char> log;
    std::string error;
    ASSERT_TRUE(e2e::ReadBytes(app_.logPath, &log, &error)) << error;
    EXPECT_TRUE(std::string(log.begin(), log.end()) == LogBytes(app_.log))
        << "the log changed; " << log.size() << " bytes now";
}

void UninstallerTest::ExpectAppRemoved()
{
    for (const std::string &file : app_.files)
        EXPECT_FALSE(e2e::FileExists(file)) << file << " is still there";
    for (const std::string &directory : app_.directories)
        EXPECT_FALSE(e2e::DirectoryExists(directory)) << directory << " is still there";
    EXPECT_FALSE(e2e::KeyExists(HKEY_LOCAL_MACHINE, app_.UninstallKey())) << app_.UninstallKey();
    std::string otherName;
    EXPECT_TRUE(e2e::ReadStringValue(HKEY_LOCAL_MACHINE, app_.OtherUninstallKey(), "DisplayName", &otherName))
        << app_.OtherUninstallKey() << " lost its DisplayName";
    EXPECT_EQ(app_.otherAppName, otherName);
    EXPECT_FALSE(e2e::FileExists(app_.logPath)) << app_.logPath << " is still there";
    EXPECT_FALSE(e2e::DirectoryExists(e2e::ParentOf(app_.logPath))) << e2e::ParentOf(app_.logPath);
}

void ExpectWarningBox(const e2e::MessageBoxView &box, const std::string &text, const std::string &caption)
{
    EXPECT_EQ(text, box.text);
    EXPECT_EQ(caption, box.caption);
    EXPECT_TRUE(box.hasIcon) << "the box \"" << box.text << "\" has no icon";
    EXPECT_EQ("warning", box.shownIcon) << "icon of the box \"" << box.text << "\"";
    EXPECT_EQ(std::vector<int>{IDOK}, box.buttonIds) << "buttons of \"" << box.text << "\"";
    EXPECT_EQ(NULL, box.owner) << "the box \"" << box.text << "\" has an owner";
}

std::string BoxList(const e2e::RunRecord &run)
{
    std::string list;
    for (const e2e::MessageBoxView &box : run.boxes)
        list += "\n  [" + box.caption + "] " + box.text;
    return list.empty() ? " none" : list;
}

int AnswerYes(const e2e::MessageBoxView &box)
{
    return box.text == kConfirm ? IDYES : e2e::SafestButton(box);
}

void ExpectCompletionBoxes(const e2e::RunRecord &run, size_t first, const std::string &caption,
                           bool restartOffered)
{
    ASSERT_EQ(first + (restartOffered ? 2 : 1), run.boxes.size()) << "boxes:" << BoxList(run);
    {
        SCOPED_TRACE("success box");
        ExpectWarningBox(run.boxes[first], kRemoved, caption);
        EXPECT_FALSE(run.boxes[first].restartDialog);
    }
    if (restartOffered) {
        const e2e::MessageBoxView &restart = run.boxes[first + 1];
        EXPECT_TRUE(restart.restartDialog) << "not the restart dialog: [" << restart.caption << "] "
                                           << restart.text;
        EXPECT_EQ(kRestartTitle, restart.caption);
        EXPECT_EQ(kRestartText, restart.text);
    }
}
