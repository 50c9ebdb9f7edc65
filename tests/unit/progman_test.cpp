#include "removal/progman.h"
#include "support/sim_fixture.h"

static const char kNotSent[] = "Unable to update Start Menu\nDdeClientTransaction Failed\n[[DeleteGroup(\"Tools\")]]";

class Progman : public SimTest {
protected:
    std::vector<std::string> commands;

    void RunProgramManager(bool accept = true)
    {
        sim::SetProgramManager([this, accept](const std::string &command) {
            commands.push_back(command);
            return accept;
        });
    }

    // The DDEML calls and the boxes, in order.
    std::vector<std::string> DdeCallsAndBoxes()
    {
        std::vector<std::string> names;
        for (const sim::Call &c : sim::Calls())
            if (c.function.compare(0, 3, "Dde") == 0 || c.function == "MessageBoxA")
                names.push_back(c.function);
        return names;
    }

    // A failed command is shown while its conversation is still open: the
    // box comes after the transaction and before every clean-up call.
    void ExpectBoxBeforeCleanUp()
    {
        EXPECT_EQ((std::vector<std::string>{"DdeInitializeA", "DdeCreateStringHandleA", "DdeConnect",
                                            "DdeCreateDataHandle", "DdeClientTransaction", "MessageBoxA",
                                            "DdeFreeStringHandle", "DdeDisconnect", "DdeUninitialize"}),
                  DdeCallsAndBoxes());
    }

    std::vector<std::string> DdeCalls()
    {
        std::vector<std::string> names;
        for (const sim::Call &c : sim::Calls())
            if (c.function.compare(0, 3, "Dde") == 0)
                names.push_back(c.function);
        return names;
    }

    void ExpectOneBox(const std::string &text)
    {
        std::vector<sim::MessageBoxRecord> boxes = sim::MessageBoxes();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(text, boxes[0].text);
        EXPECT_EQ("Setup", boxes[0].caption);
        EXPECT_EQ((UINT)MB_OK, boxes[0].type) << "an OK button and no icon";
        EXPECT_EQ(nullptr, boxes[0].owner);
    }
};

TEST_F(Progman, DeletesAGroupInOneWholeConversation)
{
    RunProgramManager();
    EXPECT_EQ(1, ProgmanDeleteGroup("Tools"));
    EXPECT_EQ(std::vector<std::string>{"[DeleteGroup(\"Tools\")]"}, commands);
    EXPECT_EQ(std::vector<std::string>{std::string("[DeleteGroup(\"Tools\")]\0", 23)}, sim::DdeExecuteData());
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_EQ(0u, g_ddeInst);
    EXPECT_TRUE(sim::OpenHandles().empty());
    EXPECT_EQ((std::vector<std::string>{"DdeInitializeA", "DdeCreateStringHandleA", "DdeConnect",
                                        "DdeCreateDataHandle", "DdeClientTransaction", "DdeFreeStringHandle",
                                        "DdeDisconnect", "DdeUninitialize"}),
              DdeCalls());
}

TEST_F(Progman, SendsTheFixedArguments)
{
    RunProgramManager();
    ProgmanDeleteGroup("Tools");
    EXPECT_EQ((std::vector<std::string>{"0", "callback", "0x10", "0"}), sim::CallsTo("DdeInitializeA")[0].args);
    std::vector<std::string> text = sim::CallsTo("DdeCreateStringHandleA")[0].args;
    EXPECT_EQ("PROGMAN", text[1]);
    EXPECT_EQ("1004", text[2]);
    std::vector<std::string> connect = sim::CallsTo("DdeConnect")[0].args;
    EXPECT_EQ((std::vector<std::string>{"PROGMAN", "PROGMAN", "cb 32, rest 0"}),
              std::vector<std::string>(connect.begin() + 1, connect.end()));
    std::vector<std::string> data = sim::CallsTo("DdeCreateDataHandle")[0].args;
    // 22 characters sent as 23 bytes, offset 0, no item, CF_TEXT, no flags.
    EXPECT_EQ((std::vector<std::string>{"23", "0", "0x0", "1", "0x0"}),
              std::vector<std::string>(data.begin() + 2, data.end()));
    std::vector<std::string> transaction = sim::CallsTo("DdeClientTransaction")[0].args;
    EXPECT_EQ((std::vector<std::string>{"0xFFFFFFFF"}), std::vector<std::string>(transaction.begin() + 1,
                                                                                 transaction.begin() + 2));
    EXPECT_EQ((std::vector<std::string>{"0x0", "0", "0x4050", "10000"}),
              std::vector<std::string>(transaction.begin() + 3, transaction.end()));
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
    ExpectOneBox("DDEML Initialization Failure");
    EXPECT_EQ(std::vector<std::string>{"DdeInitializeA"}, DdeCalls());
    EXPECT_TRUE(commands.empty());
}

TEST_F(Progman, WithoutAStringHandleNothingIsSentOrShown)
{
    RunProgramManager();
    sim::FailCall("DdeCreateStringHandleA", DMLERR_SYS_ERROR);
    EXPECT_EQ(1, ProgmanDeleteGroup("Tools"));
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_EQ((std::vector<std::string>{"DdeInitializeA", "DdeCreateStringHandleA", "DdeUninitialize"}), DdeCalls());
    EXPECT_EQ(0u, g_ddeInst);
    EXPECT_TRUE(sim::OpenHandles().empty());
}

TEST_F(Progman, WithoutProgramManagerTheCommandIsShownInBrackets)
{
    EXPECT_EQ(1, ProgmanDeleteGroup("Tools"));
    ExpectOneBox(kNotSent);
    ExpectBoxBeforeCleanUp();
    EXPECT_EQ(0u, g_ddeInst);
}

TEST_F(Progman, ARefusedCommandOrAMissingDataHandleIsShown)
{
    RunProgramManager(false);
    EXPECT_EQ(1, ProgmanDeleteGroup("Tools"));
    ExpectOneBox(kNotSent);
    ExpectBoxBeforeCleanUp();
    EXPECT_EQ(0u, g_ddeInst);

    SetUp();
    commands.clear();
    RunProgramManager();
    sim::FailCall("DdeCreateDataHandle", DMLERR_SYS_ERROR);
    EXPECT_EQ(1, ProgmanDeleteGroup("Tools"));
    ExpectOneBox(kNotSent);
    ExpectBoxBeforeCleanUp();
    EXPECT_TRUE(commands.empty());
}

TEST_F(Progman, ATransactionThatTimesOutIsShown)
{
    // Program Manager takes longer than the 10 seconds the program waits:
    // the command may still be carried out, but the program cannot know.
    RunProgramManager();
    sim::SetProgramManagerAnswerTime(10001);
    EXPECT_EQ(1, ProgmanDeleteGroup("Tools"));
    EXPECT_EQ(std::vector<std::string>{"[DeleteGroup(\"Tools\")]"}, commands);
    std::vector<sim::Call> uninitialize = sim::CallsTo("DdeUninitialize");
    ASSERT_EQ(1u, uninitialize.size());
    EXPECT_EQ((UINT)DMLERR_EXECACKTIMEOUT, sim::DdeLastError((DWORD)std::stoul(uninitialize[0].args[0], nullptr, 16)));
    ExpectOneBox(kNotSent);
    ExpectBoxBeforeCleanUp();
    EXPECT_EQ(0u, g_ddeInst);
    EXPECT_TRUE(sim::OpenHandles().empty());
}

TEST_F(Progman, AnAnswerWithinTheTimeOutIsNotShown)
{
    RunProgramManager();
    sim::SetProgramManagerAnswerTime(10000);
    EXPECT_EQ(1, ProgmanDeleteGroup("Tools"));
    EXPECT_EQ(std::vector<std::string>{"[DeleteGroup(\"Tools\")]"}, commands);
    EXPECT_TRUE(sim::MessageBoxes().empty());
}

TEST_F(Progman, EveryGroupGetsAWholeCycleOfItsOwn)
{
    sim::FailCall("DdeClientTransaction", DMLERR_SYS_ERROR, 1);
    RunProgramManager();
    EXPECT_EQ(1, ProgmanDeleteGroup("First"));
    EXPECT_EQ(1, ProgmanDeleteGroup("Second"));
    std::vector<sim::Call> inits = sim::CallsTo("DdeInitializeA");
    ASSERT_EQ(2u, inits.size());
    EXPECT_EQ("0", inits[0].args[0]);
    EXPECT_EQ("0", inits[1].args[0]);
    EXPECT_EQ(2u, sim::CallsTo("DdeUninitialize").size());
    EXPECT_EQ(std::vector<std::string>{"[DeleteGroup(\"Second\")]"}, commands);
    EXPECT_EQ(1u, sim::MessageBoxes().size());
    EXPECT_TRUE(sim::OpenHandles().empty());
}
