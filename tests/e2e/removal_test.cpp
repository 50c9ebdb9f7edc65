// Answering Yes: the passes over the log remove what it lists.
#include "uninstaller_test.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>

#include "files.h"
#include "install_log.h"
#include "registry.h"
#include "restart.h"

namespace {

// The status lines in the order of the passes. The pass over files, shared
// DLLs and groups writes its texts in log order, so they share one step.
int StatusStep(const std::string &status)
{
    if (status == kLoadingLog)
        return 0;
    if (status == kRemovingFile || status == kUnregisteringDll ||
        status == kRemovingProgmanItem || status == kRemovingSysReg)
        return 1;
    if (status == kRemovingDirectory)
        return 2;
    if (status == kPreparingSystemFiles)
        return 3;
    if (status == kDeletingUninstallKey)
        return 4;
    return -1;
}

std::string Describe(const std::vector<driver::ProgressView> &samples)
{
    std::ostringstream out;
    const driver::ProgressView *last = NULL;
    for (const driver::ProgressView &view : samples) {
        if (last && last->visible == view.visible && last->status == view.status &&
            last->detail == view.detail && last->position == view.position)
            continue;
        out << "\n  " << (view.visible ? "shown " : "hidden") << " [" << view.status << "] ["
            << view.detail << "] " << view.position;
        last = &view;
    }
    return out.str();
}

class Removal : public UninstallerTest {};

TEST_F(Removal, YesRemovesListedFilesFoldersAndEntry)
{
    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUninstaller(app_.logPath);
    ASSERT_TRUE(EndedWith(run, 0));

    // The question, then, since everything went at once, the success box
    // and no restart dialog.
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", false));

    // The other application keeps its entry, with its values; the log goes
    // last, with its folder, which holds nothing else.
    EXPECT_TRUE(AppRemoved());
    EXPECT_TRUE(e2e::KeyExists(HKEY_LOCAL_MACHINE, e2e::kUninstallKey));

    // The test's folder above the log's holds the uninstaller and stays.
    EXPECT_TRUE(e2e::DirectoryExists(folder_)) << folder_;
    EXPECT_TRUE(e2e::FileExists(exe_));

    // Everything could be deleted at once, so nothing waits for a restart.
    EXPECT_TRUE(NothingScheduled());
}

// The dialog is watched as often as the test can look; what is asserted
// holds for any selection of looks. 200 records with no action follow the
// name record: they make the passes longer, so that more looks see the
// dialog at work.
TEST_F(Removal, ProgressDialogFollowsThePasses)
{
    app_.log.insert(app_.log.begin() + 1, 200, e2e::LogRecord{kNoAction, "", ""});
    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUninstaller(app_.logPath);
    ASSERT_TRUE(EndedWith(run, 0));
    ASSERT_TRUE(run.progressDialogShown) << "the progress dialog was never seen shown:"
                                         << Describe(run.progress);

    // Texts the detail line can hold: its first text, the listed paths, or empty.
    std::set<std::string> details = {kPleaseWait, ""};
    details.insert(app_.files.begin(), app_.files.end());
    details.insert(app_.directories.begin(), app_.directories.end());
    // Positions the bar can take: 100 * k / records, truncated.
    std::set<long> positions;
    const unsigned records = static_cast<unsigned>(app_.log.size());
    for (unsigned k = 0; k <= records; k++)
        positions.insert(static_cast<long>(100 * k / records));

    int step = 0;
    long position = 0;
    int shown = 0;
    for (const driver::ProgressView &view : run.progress) {
        EXPECT_EQ(kProgressTitle, view.title);
        EXPECT_EQ(0, view.low);
        EXPECT_EQ(120, view.high);
        EXPECT_EQ("&Cancel", view.button);
        if (!view.visible)
            continue;
        shown++;
        int viewStep = StatusStep(view.status);
        EXPECT_NE(-1, viewStep) << "unknown status [" << view.status << "]";
        EXPECT_LE(step, viewStep) << "status [" << view.status << "] after an earlier step:"
                                  << Describe(run.progress);
        step = std::max(step, viewStep);
        EXPECT_TRUE(details.count(view.detail)) << "unexpected detail [" << view.detail << "]";
        EXPECT_TRUE(positions.count(view.position)) << "bar at " << view.position;
        EXPECT_LE(position, view.position) << "the bar went back:" << Describe(run.progress);
        position = std::max(position, view.position);
    }
    EXPECT_GE(100, position);
    std::cout << run.progress.size() << " looks at the dialog, " << shown << " while shown:"
              << Describe(run.progress) << std::endl;
}

// An application as years leave it: files copied from a CD-ROM, read-only
// and one hidden as well, a read-only folder and a read-only shared DLL at
// its last count, and an Uninstall entry that grew keys of its own. It all
// goes at once, with nothing left for a restart, and the other
// application's entry stays.
TEST_F(Removal, ReadOnlyItemsAndAnEntryWithSubkeysGoWhole)
{
    const std::string dll = folder_ + "\\System Files\\Read Only Shared.dll";
    app_.log.insert(app_.log.end() - 1, e2e::LogRecord{kSharedDll, dll, ""});
    ASSERT_TRUE(InstallTestApp());
    std::string error;
    ASSERT_TRUE(e2e::CreateDirectories(e2e::ParentOf(dll), &error)) << error;
    ASSERT_TRUE(e2e::WriteText(dll, "a shared library of the tests\r\n", &error)) << error;
    ASSERT_TRUE(e2e::SetValue(HKEY_LOCAL_MACHINE, e2e::kSharedDllsKey, dll, e2e::DwordValue(1), &error)) << error;
    for (const std::string &path : {app_.files[0], dll})
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY)) << path;
    ASSERT_TRUE(SetFileAttributesA(app_.files[3].c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    // Wine keeps no read-only attribute on a folder; Windows does.
    SetFileAttributesA(app_.directories[0].c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(e2e::CreateKeyWithValues(HKEY_LOCAL_MACHINE, app_.UninstallKey() + "\\Extra\\Deeper",
                                         {{"Setting", "kept by the application"}}, &error))
        << error;
    ASSERT_TRUE(e2e::CreateKeyWithValues(HKEY_LOCAL_MACHINE, app_.UninstallKey() + "\\More", {}, &error)) << error;

    driver::RunRecord run = RunUninstaller(app_.logPath);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", false));
    EXPECT_TRUE(AppRemoved());
    EXPECT_FALSE(e2e::FileExists(dll)) << dll;
    e2e::RegistryValue count;
    EXPECT_FALSE(e2e::ReadValue(HKEY_LOCAL_MACHINE, e2e::kSharedDllsKey, dll, &count)) << e2e::Describe(count);
    EXPECT_TRUE(NothingScheduled());
}

// Nothing a restart could do is left for one. The setup logged the folders
// as it made them, parents first, and the log itself, kept in the
// application's folder, in another spelling; the uninstaller is started in
// that folder, as a program group item names it the working folder. Each
// of these alone used to leave a folder, or the log, waiting for a restart.
TEST_F(Removal, NoRestartIsOfferedWhereNoneCanHelp)
{
    const std::string home = app_.directories[2];
    app_.logPath = home + "\\install.log";
    std::reverse(app_.log.begin() + 1, app_.log.begin() + 1 + app_.directories.size());
    std::string otherSpelling = app_.logPath;
    for (char &c : otherSpelling)
        c = (char)toupper((unsigned char)c);
    app_.log.push_back({kFile, otherSpelling, ""});
    ASSERT_TRUE(InstallTestApp());

    RunOptions inHome;
    inHome.currentDirectory = home;
    driver::RunRecord run = RunUninstaller(app_.logPath, AnswerYes, inHome);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", false));
    EXPECT_TRUE(AppRemoved());
    EXPECT_TRUE(NothingScheduled());
}

}  // namespace
