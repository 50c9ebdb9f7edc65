#include "uninstaller_test.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <set>
#include <thread>

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
        << "copying " << built << ": " << driver::ErrorText(GetLastError());
}

::testing::AssertionResult UninstallerTest::InstallTestApp()
{
    std::string error;
    if (!e2e::InstallApp(app_, &error))
        return ::testing::AssertionFailure() << "installing " << app_.name << ": " << error;
    return ::testing::AssertionSuccess();
}

driver::RunRecord UninstallerTest::RunUninstaller(const std::string &rest, const driver::BoxAnswer &answer,
                                                  const RunOptions &options)
{
    driver::RunRecord record;
    std::string error;
    shown_.clear();
    if (!program_.Start(options.exe.empty() ? exe_ : options.exe, rest, &error, options.currentDirectory)) {
        record.error = error;
        return record;
    }
    // WatchRun sees boxes and the progress dialog; this looks at whatever
    // else the program might show, on a thread of its own until the watch
    // is over.
    std::atomic<bool> over(false);
    std::thread looker;
    if (options.everyWindow)
        looker = std::thread([this, &over, pid = program_.pid()] {
            std::set<HWND> noted;
            for (; !over; Sleep(1))
                for (HWND window : driver::TopLevelWindows(pid))
                    if (IsWindowVisible(window) && noted.insert(window).second)
                        shown_.push_back(driver::ClassName(window) + " \"" + driver::WindowTitle(window) + "\"");
        });
    bool watched = driver::WatchRun(program_, answer, &record, options.limitMs, options.pauseMs);
    over = true;
    if (looker.joinable())
        looker.join();
    if (!watched)
        record.error = "[" + program_.commandLine() + "]: " + record.error;
    return record;
}

driver::RunRecord UninstallerTest::RunUnattended(const std::string &rest, RunOptions options)
{
    options.everyWindow = true;
    return RunUninstaller(rest, AnswerYes, options);
}

namespace {

// Findings, one a line, for a check's failure message.
class Findings {
public:
    void Add(const std::string &finding) { text_ += "\n  " + finding; }
    ::testing::AssertionResult Result(const std::string &what) const
    {
        if (text_.empty())
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << what << ":" << text_;
    }

private:
    std::string text_;
};

}  // namespace

::testing::AssertionResult UninstallerTest::AppUntouched() const
{
    Findings findings;
    for (const std::string &file : app_.files)
        if (!e2e::FileExists(file))
            findings.Add(file + " is gone");
    for (const std::string &directory : app_.directories)
        if (!e2e::DirectoryExists(directory))
            findings.Add(directory + " is gone");
    for (const std::string &key : {app_.UninstallKey(), app_.OtherUninstallKey()})
        if (!e2e::KeyExists(HKEY_LOCAL_MACHINE, key))
            findings.Add("the entry " + key + " is gone");
    std::vector<unsigned char> log;
    std::string error;
    if (!e2e::ReadBytes(app_.logPath, &log, &error))
        findings.Add(error);
    else if (std::string(log.begin(), log.end()) != LogBytes(app_.log))
        findings.Add("the log changed; " + std::to_string(log.size()) + " bytes now");
    return findings.Result("the application was touched");
}

::testing::AssertionResult UninstallerTest::AppRemoved(const std::vector<std::string> &kept) const
{
    Findings findings;
    std::vector<std::string> unused = kept;
    auto check = [&](const std::string &item, bool exists) {
        auto keep = std::find(unused.begin(), unused.end(), item);
        bool wanted = std::find(kept.begin(), kept.end(), item) != kept.end();
        if (keep != unused.end())
            unused.erase(keep);
        if (exists && !wanted)
            findings.Add(item + " is still there");
        else if (!exists && wanted)
            findings.Add(item + " is gone, though it should stay");
    };
    for (const std::string &file : app_.files)
        check(file, e2e::FileExists(file));
    for (const std::string &directory : app_.directories)
        check(directory, e2e::DirectoryExists(directory));
    check(app_.UninstallKey(), e2e::KeyExists(HKEY_LOCAL_MACHINE, app_.UninstallKey()));
    check(app_.logPath, e2e::FileExists(app_.logPath));
    check(e2e::ParentOf(app_.logPath), e2e::DirectoryExists(e2e::ParentOf(app_.logPath)));
    for (const std::string &item : unused)
        findings.Add(item + ", to stay, is nothing of the application's");

    std::string otherName;
    if (!e2e::ReadStringValue(HKEY_LOCAL_MACHINE, app_.OtherUninstallKey(), "DisplayName", &otherName))
        findings.Add(app_.OtherUninstallKey() + " lost its DisplayName");
    else if (otherName != app_.otherAppName)
        findings.Add(app_.OtherUninstallKey() + " is named \"" + otherName + "\" now");
    return findings.Result("the application is not removed as it should be");
}

::testing::AssertionResult UninstallerTest::NoWindowSeen(const driver::RunRecord &run) const
{
    Findings findings;
    for (const driver::MessageBoxView &box : run.boxes)
        findings.Add("the box [" + box.caption + "] " + box.text);
    if (run.progressDialogShown)
        findings.Add("the progress dialog");
    for (const std::string &window : shown_)
        findings.Add("the window " + window);
    return findings.Result("[" + program_.commandLine() + "] showed");
}

::testing::AssertionResult EndedWith(const driver::RunRecord &run, DWORD exitCode)
{
    if (!run.ended)
        return ::testing::AssertionFailure() << "the run did not end by itself: " << run.error
                                             << "\nboxes:" << BoxList(run);
    if (run.exitCode != exitCode)
        return ::testing::AssertionFailure() << "the run ended with exit code " << run.exitCode << ", not "
                                             << exitCode << "\nboxes:" << BoxList(run);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult NothingScheduled()
{
    Findings findings;
    for (const std::string &line : e2e::WininitRenameLines())
        findings.Add("WININIT.INI: " + line);
    std::vector<e2e::PendingOperation> pending;
    std::string error;
    if (!e2e::ReadPendingOperations(&pending, &error))
        findings.Add(error);
    for (const e2e::PendingOperation &operation : pending)
        findings.Add("pending: " + operation.from);
    return findings.Result("something waits for the restart");
}

::testing::AssertionResult IsWarningBox(const driver::MessageBoxView &box, const std::string &text,
                                        const std::string &caption)
{
    Findings findings;
    if (box.text != text)
        findings.Add("its text is not \"" + text + "\"");
    if (box.caption != caption)
        findings.Add("its caption is not \"" + caption + "\"");
    if (!box.hasIcon)
        findings.Add("it has no icon");
    else if (box.shownIcon != "warning")
        findings.Add("it shows the icon " + box.shownIcon + ", not the warning");
    if (box.buttonIds != std::vector<int>{IDOK}) {
        std::string buttons;
        for (int id : box.buttonIds)
            buttons += " " + std::to_string(id);
        findings.Add("its buttons are" + (buttons.empty() ? std::string(" none") : buttons) + ", not OK alone");
    }
    if (box.owner != NULL)
        findings.Add("it has an owner window");
    return findings.Result("the box [" + box.caption + "] \"" + box.text + "\" is not the warning wanted");
}

::testing::AssertionResult ShowsBoxesOf(const driver::RunRecord &run, RunEnd end, const std::string &logCaption)
{
    std::vector<ShownBox> wanted = BoxesOf(end);
    if (run.boxes.size() != wanted.size())
        return ::testing::AssertionFailure() << run.boxes.size() << " boxes, not " << wanted.size() << ":"
                                             << BoxList(run);
    for (size_t i = 0; i < wanted.size(); i++) {
        const std::string caption = wanted[i].defaultCaption ? kDefaultCaption : logCaption;
        const driver::MessageBoxView &box = run.boxes[i];
        if (std::string(wanted[i].text) == kConfirm) {
            if (box.text != kConfirm || box.caption != caption)
                return ::testing::AssertionFailure() << "not the question [" << caption << "]:" << BoxList(run);
            continue;
        }
        ::testing::AssertionResult warning = IsWarningBox(box, wanted[i].text, caption);
        if (!warning)
            return warning;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult CompletionBoxes(const driver::RunRecord &run, size_t first, const std::string &caption,
                                           bool restartOffered)
{
    if (run.boxes.size() != first + (restartOffered ? 2 : 1))
        return ::testing::AssertionFailure()
               << run.boxes.size() << " boxes, where the success box was to be box " << first + 1
               << (restartOffered ? ", followed by the restart dialog alone" : " and the last") << ":" << BoxList(run);
    if (first > 0 && (run.boxes[0].text != kConfirm || run.boxes[0].caption != caption))
        return ::testing::AssertionFailure() << "the first box is not the question, captioned \"" << caption
                                             << "\":" << BoxList(run);
    ::testing::AssertionResult success = IsWarningBox(run.boxes[first], kRemoved, caption);
    if (!success)
        return ::testing::AssertionFailure() << "the success box: " << success.message();
    if (run.boxes[first].restartDialog)
        return ::testing::AssertionFailure() << "the success box is taken for the restart dialog";
    if (restartOffered) {
        const driver::MessageBoxView &restart = run.boxes[first + 1];
        if (!restart.restartDialog || restart.caption != kRestartTitle || restart.text != kRestartText)
            return ::testing::AssertionFailure() << "not the restart dialog: [" << restart.caption << "] "
                                                 << restart.text;
    }
    return ::testing::AssertionSuccess();
}

std::string BoxList(const driver::RunRecord &run)
{
    std::vector<std::string> boxes;
    for (const driver::MessageBoxView &box : run.boxes)
        boxes.push_back("[" + box.caption + "] " + box.text);
    return Lines(boxes);
}

std::string Lines(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &line : lines)
        text += "\n  " + line;
    return text.empty() ? " none" : text;
}

int AnswerYes(const driver::MessageBoxView &box)
{
    return box.text == kConfirm ? IDYES : driver::SafestButton(box);
}
