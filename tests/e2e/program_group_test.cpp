// Program Manager groups, deleted over DDE by Wine's own Program Manager:
// the session's virtual desktop (explorer) serves PROGMAN, and a group is
// a folder under the per-user Start Menu\Programs. A command that fails is
// reported in a "Setup" box without an icon, and the removal goes on.
// Names that must never reach Wine's are sent to one of the test's own.
#include "uninstaller_test.h"

#include <ddeml.h>

#include "files.h"
#include "install_log.h"
#include "progman.h"
#include "registry.h"

namespace {

std::string FailedCommandText(const std::string &group)
{
    return DdeFailedText("[DeleteGroup(\"" + group + "\")]");
}

class ProgramGroup : public UninstallerTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(UninstallerTest::SetUp());
        programs_ = e2e::ProgramsFolder();
        ASSERT_FALSE(programs_.empty()) << "no Start Menu\\Programs folder";
    }

    void TearDown() override
    {
        std::string error;
        EXPECT_TRUE(outOfReach_.Restore(&error)) << error;
        for (const std::string &group : made_)
            EXPECT_TRUE(e2e::RemoveTree(GroupFolder(group), &error)) << error;
    }

    std::string GroupFolder(const std::string &group) const { return programs_ + "\\" + group; }

    // Makes the group as Program Manager keeps it, a folder with an item,
    // directly: quicker than over DDE, and the group is not empty.
    void MakeGroup(const std::string &group)
    {
        std::string error;
        made_.push_back(group);
        ASSERT_TRUE(e2e::RemoveTree(GroupFolder(group), &error)) << error;
        ASSERT_TRUE(e2e::CreateDirectories(GroupFolder(group), &error)) << error;
        ASSERT_TRUE(e2e::WriteText(GroupFolder(group) + "\\Read Me.txt", "an item of the group\r\n", &error))
            << error;
    }

    void ListGroup(const std::string &group)
    {
        app_.log.insert(app_.log.end() - 1, e2e::LogRecord{kProgramGroup, "", group});
    }

    // Answers Yes (and OK to every other box), and keeps the progress dialog
    // as it stands under each "Setup" box.
    driver::BoxAnswer NotingSetupBoxes()
    {
        return [this](const driver::MessageBoxView &box) {
            if (box.caption == kSetupCaption) {
                driver::ProgressView view;
                HWND dialog = driver::FindProgressDialog(program_.pid());
                underSetupBoxes_.push_back(dialog != NULL && driver::ReadProgressDialog(dialog, &view)
                                               ? view
                                               : driver::ProgressView());
            }
            return AnswerYes(box);
        };
    }

    // Removes the application, whose log lists group, which Program Manager
    // refuses: the question, the group's box and the success message.
    void RemoveWithGroupRefused(const std::string &group)
    {
        ListGroup(group);
        ASSERT_TRUE(InstallTestApp());
        driver::RunRecord run = RunUninstaller(app_.logPath, NotingSetupBoxes());
        ASSERT_TRUE(EndedWith(run, 0));
        ASSERT_EQ(3u, run.boxes.size()) << "boxes:" << BoxList(run);
        EXPECT_TRUE(IsSetupBox(run.boxes[1], group));
        EXPECT_TRUE(CompletionBoxes(run, 2, app_.name + " Uninstall", false));
    }

    // A "Setup" box: OK only, no icon at all, no owner.
    static ::testing::AssertionResult IsSetupBox(const driver::MessageBoxView &box, const std::string &group)
    {
        if (box.text != FailedCommandText(group) || box.caption != kSetupCaption)
            return ::testing::AssertionFailure() << "not the Setup box for " << group << ": [" << box.caption
                                                 << "] " << box.text;
        if (box.hasIcon || box.shownIcon != "none")
            return ::testing::AssertionFailure() << "the Setup box shows an icon: " << box.shownIcon;
        if (box.buttonIds != std::vector<int>{IDOK})
            return ::testing::AssertionFailure() << "the Setup box has more than its OK button";
        if (box.owner != NULL)
            return ::testing::AssertionFailure() << "the Setup box has an owner";
        return ::testing::AssertionSuccess();
    }

    std::string programs_;
    std::vector<std::string> made_;
    e2e::ProgramManagerOutOfReach outOfReach_;
    std::vector<driver::ProgressView> underSetupBoxes_;
};

TEST_F(ProgramGroup, ListedGroupsAreDeleted)
{
    ASSERT_EQ(static_cast<UINT>(DMLERR_NO_ERROR), e2e::ProbeProgramManager()) << "PROGMAN does not answer";
    ASSERT_NO_FATAL_FAILURE(MakeGroup("E2E Sample Tools"));
    ASSERT_NO_FATAL_FAILURE(MakeGroup("E2E Sample Extras"));
    ASSERT_NO_FATAL_FAILURE(MakeGroup("E2E Another Application"));
    ListGroup("E2E Sample Tools");
    ListGroup("E2E Sample Extras");

    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUninstaller(app_.logPath, NotingSetupBoxes());
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", false));
    EXPECT_FALSE(e2e::DirectoryExists(GroupFolder("E2E Sample Tools")));
    EXPECT_FALSE(e2e::DirectoryExists(GroupFolder("E2E Sample Extras")));
    EXPECT_TRUE(e2e::FileExists(GroupFolder("E2E Another Application") + "\\Read Me.txt"))
        << "a group the log does not name went";
    EXPECT_TRUE(AppRemoved());
}

TEST_F(ProgramGroup, GroupsMadeByProgramManagerAreDeleted)
{
    std::string error;
    const std::vector<std::string> groups = {"E2E Made Over DDE", "E2E Kept Over DDE"};
    made_ = groups;
    ASSERT_TRUE(e2e::CreateProgramGroups(groups, &error)) << error;
    for (const std::string &group : groups)
        ASSERT_TRUE(e2e::DirectoryExists(GroupFolder(group))) << "Program Manager made no folder for " << group;
    ListGroup("E2E Made Over DDE");

    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUninstaller(app_.logPath, NotingSetupBoxes());
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", false));
    EXPECT_FALSE(e2e::DirectoryExists(GroupFolder("E2E Made Over DDE")));
    EXPECT_TRUE(e2e::DirectoryExists(GroupFolder("E2E Kept Over DDE"))) << "a group the log does not name went";
    EXPECT_TRUE(AppRemoved());
}

TEST_F(ProgramGroup, WithoutProgramManagerEachGroupIsReported)
{
    ASSERT_NO_FATAL_FAILURE(MakeGroup("Tools"));
    ASSERT_NO_FATAL_FAILURE(MakeGroup("Second Group"));
    ListGroup("Tools");
    ListGroup("Second Group");
    std::string error;
    ASSERT_TRUE(outOfReach_.Hide(&error)) << error;

    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUninstaller(app_.logPath, NotingSetupBoxes());
    ASSERT_TRUE(EndedWith(run, 0));
    ASSERT_TRUE(outOfReach_.Restore(&error)) << error;
    ASSERT_EQ(4u, run.boxes.size()) << "boxes:" << BoxList(run);
    EXPECT_TRUE(IsSetupBox(run.boxes[1], "Tools"));
    EXPECT_TRUE(IsSetupBox(run.boxes[2], "Second Group"));
    EXPECT_TRUE(CompletionBoxes(run, 3, app_.name + " Uninstall", false));

    // While a box is up the dialog shows the group step, with no detail.
    ASSERT_EQ(2u, underSetupBoxes_.size());
    for (const driver::ProgressView &view : underSetupBoxes_) {
        EXPECT_TRUE(view.visible);
        EXPECT_EQ(kRemovingProgmanItem, view.status);
        EXPECT_EQ("", view.detail);
    }
    // Nobody deleted the groups; everything else went.
    EXPECT_TRUE(e2e::DirectoryExists(GroupFolder("Tools")));
    EXPECT_TRUE(e2e::DirectoryExists(GroupFolder("Second Group")));
    EXPECT_TRUE(AppRemoved());
}

TEST_F(ProgramGroup, GroupProgramManagerRefusesIsReportedUnlessUnattended)
{
    // Wine's Program Manager fails DeleteGroup for a group it does not
    // have; the failure is reported like an absent Program Manager.
    const std::string group = "E2E Group Never Made";
    std::string error;
    ASSERT_TRUE(e2e::RemoveTree(GroupFolder(group), &error)) << error;
    ASSERT_NO_FATAL_FAILURE(RemoveWithGroupRefused(group));
    EXPECT_TRUE(AppRemoved());

    // Unattended, the removal goes to its end with no box at all, the
    // question, the group's failure and the success message included.
    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUnattended("/QuIeT " + app_.logPath);
    EXPECT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(NoWindowSeen(run));
    EXPECT_TRUE(AppRemoved());
    EXPECT_TRUE(NothingScheduled());
}

TEST_F(ProgramGroup, NamesOfNoOneGroupAreNeverSent)
{
    // Wine's Program Manager takes "" for the whole Programs folder and "."
    // or ".." for the Start Menu, so such names are never sent, nor names
    // with a leading separator or a drive colon; they get no box either.
    // The test's own Program Manager records what is sent: the one real
    // name, quotes, commas and parentheses as they stand.
    const std::string real = "E2E Tools \"2.0\", Extras (Beta)";
    for (const char *group : {"", ".", "..", real.c_str(), "Keep\\..\\..", "\\Tools", "C:Tools"})
        ListGroup(group);
    std::string error;
    ASSERT_TRUE(outOfReach_.Hide(&error)) << error;
    e2e::RecordingProgramManager progman;
    ASSERT_TRUE(progman.Start(nullptr, &error)) << error;

    ASSERT_TRUE(InstallTestApp());
    driver::RunRecord run = RunUninstaller(app_.logPath, NotingSetupBoxes());
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(CompletionBoxes(run, 1, app_.name + " Uninstall", false));
    EXPECT_EQ(std::vector<std::string>{"[DeleteGroup(\"" + real + "\")]" + '\0'}, progman.Commands());
    EXPECT_TRUE(AppRemoved());
}

TEST_F(ProgramGroup, LongGroupNameIsSentWhole)
{
    // 255 characters, the most a log holds: the command keeps the whole
    // name. Wine refuses a group whose folder path would be longer than
    // MAX_PATH, so the failure box shows the command as it was sent.
    std::string group = "E2E Long Group ";
    while (group.size() < 255)
        group += static_cast<char>('a' + group.size() % 26);
    RemoveWithGroupRefused(group);
}

}  // namespace
