#include "removal/progman.h"
#include "support/sim_fixture.h"
#include "driver/program_texts.h"

static const std::string kNotSent = DdeFailedText("[DeleteGroup(\"Tools\")]");

class Progman : public SimTest {
protected:
    std::vector<std::string> commands;
    std::vector<std::string> openWhileShown;   // DDE objects open while the last box showed

    void SetUp() override
    {
        SimTest::SetUp();
        sim::SetMessageBoxHandler([this](const sim::MessageBoxRecord &) {
            openWhileShown = sim::OpenHandles();
            return IDOK;
        });
    }

    void RunProgramManager(bool accept = true)
    {
        sim::SetProgramManager([this, accept](const std::string &command) {
            commands.push_back(command);
            return accept;
        });
    }

    // A failed command is shown while its conversation (when there is one)
    // is still open, and everything is closed once the box is answered.
    void ExpectFailureShown(bool connected = true)
    {
        std::vector<sim::MessageBoxRecord> boxes = sim::MessageBoxes();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(kNotSent, boxes[0].text);
        EXPECT_EQ(kSetupCaption, boxes[0].caption);
        EXPECT_EQ((UINT)MB_OK, boxes[0].type) << "an OK button and no icon";
        EXPECT_EQ(nullptr, boxes[0].owner);
        std::vector<std::string> open{"dde instance", "dde string PROGMAN"};
        if (connected)
            open.push_back("dde conversation");
        EXPECT_EQ(open, openWhileShown);
        EXPECT_TRUE(sim::OpenHandles().empty());
    }
};

TEST_F(Progman, DeletesAGroupInOneWholeConversation)
{
    RunProgramManager();
    EXPECT_EQ(1, ProgmanDeleteGroup("Tools"));
    EXPECT_EQ(std::vector<std::string>{"[DeleteGroup(\"Tools\")]"}, commands);
    EXPECT_EQ(std::vector<std::string>{std::string("[DeleteGroup(\"Tools\")]\0", 23)}, sim::DdeExecuteData());
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_TRUE(sim::OpenHandles().empty());
}

// What DDEML is told beside the command, which no answer of Program Manager
// shows: a client-only instance, names in the Windows ANSI code page, the
// conversation's context and text data.
TEST_F(Progman, SendsTheFixedArguments)
{
    RunProgramManager();
    ProgmanDeleteGroup("Tools");
    EXPECT_EQ("0x10", sim::CallsTo("DdeInitializeA").at(0).args[2]) << "APPCMD_CLIENTONLY";
    EXPECT_EQ("1004", sim::CallsTo("DdeCreateStringHandleA").at(0).args[2]) << "CP_WINANSI";
    EXPECT_EQ("cb 32, rest 0", sim::CallsTo("DdeConnect").at(0).args[3]);
    EXPECT_EQ("1", sim::CallsTo("DdeCreateDataHandle").at(0).args[5]) << "CF_TEXT";
}

TEST_F(Progman, NamesAreSentAsTheyAre)
{
    RunProgramManager();
    ProgmanDeleteGroup("");
    ProgmanDeleteGroup("My \"Best\" Tools, (v2) [x]");
    std::string longName(255, 'g');
    ProgmanDeleteGroup(longName.c_str());
    ASSERT_EQ(3u, commands.size());
    EXPECT_EQ("[DeleteGroup(\"\")]", commands[0]);
    EXPECT_EQ("[DeleteGroup(\"My \"Best\" Tools, (v2) [x]\")]", commands[1]);
    EXPECT_EQ("[DeleteGroup(\"" + longName + "\")]", commands[2]);
    EXPECT_EQ(273u, sim::DdeExecuteData()[2].size()) << "272 characters and the zero, never cut";
}

TEST_F(Progman, WithoutDdemlOnlyTheFirstBoxShows)
{
    RunProgramManager();
    sim::FailCall("DdeInitializeA", DMLERR_SYS_ERROR);
    EXPECT_EQ(0, ProgmanDeleteGroup("Tools"));
    ASSERT_EQ(1u, sim::MessageBoxes().size());
    EXPECT_EQ(kDdeInitFailed, sim::MessageBoxes()[0].text);
    EXPECT_EQ(kSetupCaption, sim::MessageBoxes()[0].caption);
    EXPECT_EQ((UINT)MB_OK, sim::MessageBoxes()[0].type);
    EXPECT_TRUE(commands.empty());
}

TEST_F(Progman, WithoutAStringHandleNothingIsSentOrShown)
{
    RunProgramManager();
    sim::FailCall("DdeCreateStringHandleA", DMLERR_SYS_ERROR);
    EXPECT_EQ(1, ProgmanDeleteGroup("Tools"));
    EXPECT_TRUE(commands.empty());
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_TRUE(sim::OpenHandles().empty());
}

TEST_F(Progman, WithoutProgramManagerTheCommandIsShownInBrackets)
{
    EXPECT_EQ(1, ProgmanDeleteGroup("Tools"));
    ExpectFailureShown(false);
}

TEST_F(Progman, ARefusedCommandOrAMissingDataHandleIsShown)
{
    RunProgramManager(false);
    EXPECT_EQ(1, ProgmanDeleteGroup("Tools"));
    ExpectFailureShown();

    SetUp();
    commands.clear();
    RunProgramManager();
    sim::FailCall("DdeCreateDataHandle", DMLERR_SYS_ERROR);
    EXPECT_EQ(1, ProgmanDeleteGroup("Tools"));
    ExpectFailureShown();
    EXPECT_TRUE(commands.empty());
}

// Program Manager that takes longer than the 10 seconds the program waits
// may still carry the command out, but the program cannot know.
TEST_F(Progman, AnAnswerIsAwaitedTenSeconds)
{
    RunProgramManager();
    sim::SetProgramManagerAnswerTime(10000);
    EXPECT_EQ(1, ProgmanDeleteGroup("Tools"));
    EXPECT_TRUE(sim::MessageBoxes().empty());

    SetUp();
    commands.clear();
    RunProgramManager();
    sim::SetProgramManagerAnswerTime(10001);
    EXPECT_EQ(1, ProgmanDeleteGroup("Tools"));
    EXPECT_EQ(std::vector<std::string>{"[DeleteGroup(\"Tools\")]"}, commands);
    ExpectFailureShown();
}

TEST_F(Progman, EveryGroupGetsAWholeCycleOfItsOwn)
{
    sim::FailCall("DdeClientTransaction", DMLERR_SYS_ERROR, 1);
    RunProgramManager();
    EXPECT_EQ(1, ProgmanDeleteGroup("First"));
    EXPECT_EQ(1, ProgmanDeleteGroup("Second"));
    EXPECT_EQ(std::vector<std::string>{"[DeleteGroup(\"Second\")]"}, commands);
    EXPECT_EQ(1u, sim::MessageBoxes().size());
    EXPECT_TRUE(sim::OpenHandles().empty());
}
