#include <cstring>

#include "log/install_log.h"
#include "platform/text.h"
#include "shell/globals.h"
#include "support/sim_fixture.h"

#define LOG "C:\\Apps\\Tool\\install.log"

class InstallLog : public SimTest {
protected:
    void TearDown() override
    {
        CloseLog();
        SimTest::TearDown();
    }
};

TEST_F(InstallLog, OpensForReadingOnlyWithAnInheritableHandle)
{
    WriteLog(LOG, {});
    ASSERT_TRUE(OpenLog(LOG));
    std::vector<sim::Call> opens = sim::CallsTo("CreateFileA");
    ASSERT_EQ(1u, opens.size());
    EXPECT_EQ((std::vector<std::string>{LOG, "0x80000000", "0x3", "inherit", "3", "0x80"}), opens[0].args);
}

TEST_F(InstallLog, AMissingLogIsNotCreated)
{
    EXPECT_FALSE(OpenLog("C:\\Apps\\missing.log"));
    EXPECT_FALSE(sim::FileExists("C:\\Apps\\missing.log"));
    EXPECT_EQ(INVALID_HANDLE_VALUE, g_logFile);
}

TEST_F(InstallLog, AShortTailIsNeverARecord)
{
    sim::AddFile(LOG, LogBytes({{1, "C:\\a", ""}, {1, "C:\\b", ""}}) + "x");
    OpenAndScan(LOG);
    EXPECT_EQ(2u, g_recordCount);

    LogRecord rec;
    RewindLog();
    ASSERT_TRUE(ReadRecord(&rec));
    EXPECT_STREQ("C:\\a", rec.primary);
    ASSERT_TRUE(ReadRecord(&rec));
    EXPECT_STREQ("C:\\b", rec.primary);
    EXPECT_FALSE(ReadRecord(&rec));
}

TEST_F(InstallLog, AnEmptyLogKeepsTheDefaultCaption)
{
    WriteLog(LOG, {});
    CopyText(g_caption, sizeof(g_caption), DEFAULT_CAPTION);
    OpenAndScan(LOG);
    EXPECT_EQ(0u, g_recordCount);
    EXPECT_STREQ("Uninstall (Morvane 1.30)", g_caption);
    EXPECT_STREQ("", g_appName);
}

TEST_F(InstallLog, TheLastNameRecordWinsAndEveryRecordCounts)
{
    WriteLog(LOG, {{0, "Alpha", ""}, {9, "", ""}, {0, "Beta", ""}, {3, "", ""}});
    OpenAndScan(LOG);
    EXPECT_EQ(4u, g_recordCount);
    EXPECT_STREQ("Beta", g_appName);
    EXPECT_STREQ("Beta Uninstall", g_caption);
}

TEST_F(InstallLog, APercentSignIsTakenLiterally)
{
    WriteLog(LOG, {{0, "50% Tool", ""}});
    OpenAndScan(LOG);
    EXPECT_STREQ("50% Tool", g_appName);
    EXPECT_STREQ("50% Tool Uninstall", g_caption);
}

TEST_F(InstallLog, ALongNameIsCutSoThatTheCaptionStillEndsInUninstall)
{
    std::string name(250, 'N');
    WriteLog(LOG, {{0, name, ""}});
    OpenAndScan(LOG);
    EXPECT_EQ(name, g_appName);
    std::string caption = g_caption;
    EXPECT_EQ(255u, caption.size());
    EXPECT_EQ(std::string(245, 'N') + " Uninstall", caption);
}

TEST_F(InstallLog, ANameFillingItsWholeFieldIsNotUsed)
{
    CopyText(g_caption, sizeof(g_caption), DEFAULT_CAPTION);
    WriteLog(LOG, {{0, "Good", ""}, {0, std::string(256, 'X'), ""}, {0, "Other", std::string(256, 'Y')}});
    OpenAndScan(LOG);
    EXPECT_EQ(3u, g_recordCount);
    EXPECT_STREQ("Good", g_appName);
    EXPECT_STREQ("Good Uninstall", g_caption);
}

TEST_F(InstallLog, ANameOf255CharactersIsKeptWhole)
{
    std::string name(255, 'a');
    WriteLog(LOG, {{0, name, ""}});
    OpenAndScan(LOG);
    EXPECT_EQ(name, g_appName);
}

TEST_F(InstallLog, AReadErrorEndsTheScanAsIfTheFileEnded)
{
    WriteLog(LOG, {{0, "A", ""}, {0, "B", ""}, {0, "C", ""}});
    sim::FailCall("ReadFile", ERROR_ACCESS_DENIED, 2);
    OpenAndScan(LOG);
    EXPECT_EQ(1u, g_recordCount);
    EXPECT_STREQ("A", g_appName);
}

TEST_F(InstallLog, UsableRecordsHaveBothTextsTerminated)
{
    LogRecord rec = {};
    EXPECT_TRUE(RecordIsUsable(&rec));
    memset(rec.secondary, 'z', sizeof(rec.secondary));
    EXPECT_FALSE(RecordIsUsable(&rec));
    rec.secondary[255] = '\0';
    EXPECT_TRUE(RecordIsUsable(&rec));
    memset(rec.primary, 'z', sizeof(rec.primary));
    EXPECT_FALSE(RecordIsUsable(&rec));
}
