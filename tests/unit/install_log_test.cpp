#include <algorithm>
#include <cstring>

#include "log/install_log.h"
#include "log/record_check.h"
#include "platform/text.h"
#include "shell/globals.h"
#include "support/sim_fixture.h"
#include "driver/program_texts.h"

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
    sim::AddFile(LOG, LogBytes({{kFile, "C:\\a", ""}, {kFile, "C:\\b", ""}}) + "x");
    OpenAndScan(LOG);
    EXPECT_EQ(2u, g_recordCount);

    LogRecord rec;
    ASSERT_TRUE(ReadRecord(1, &rec));
    EXPECT_STREQ("C:\\b", rec.primary);
    ASSERT_TRUE(ReadRecord(0, &rec));
    EXPECT_STREQ("C:\\a", rec.primary);
    EXPECT_FALSE(ReadRecord(2, &rec));
}

// A custom program inherits the log's handle, and with it the file
// position: whatever it leaves there, a record is read at its own offset.
TEST_F(InstallLog, ARecordIsReadAtItsOwnOffsetWhereverThePositionStands)
{
    WriteLog(LOG, {{kFile, "C:\\a", ""}, {kFile, "C:\\b", ""}, {kFile, "C:\\c", ""}});
    OpenAndScan(LOG);
    LogRecord rec;
    for (unsigned long long elsewhere : {0ull, 516ull, 3 * 516ull, 100000ull}) {
        sim::SetInheritedFilePositions(elsewhere);
        DropLogBlock();
        ASSERT_TRUE(ReadRecord(2, &rec)) << elsewhere;
        EXPECT_STREQ("C:\\c", rec.primary) << elsewhere;
    }
}

TEST_F(InstallLog, AnEmptyLogKeepsTheDefaultCaption)
{
    WriteLog(LOG, {});
    CopyText(g_caption, sizeof(g_caption), DEFAULT_CAPTION);
    OpenAndScan(LOG);
    EXPECT_EQ(0u, g_recordCount);
    EXPECT_STREQ(kDefaultCaption, g_caption);
    EXPECT_STREQ("", g_appName);
}

TEST_F(InstallLog, TheLastNameRecordWinsAndEveryRecordCounts)
{
    WriteLog(LOG, {{kAppName, "Alpha", ""}, {9, "", ""}, {kAppName, "Beta", ""}, {kNoAction, "", ""}});
    OpenAndScan(LOG);
    EXPECT_EQ(4u, g_recordCount);
    EXPECT_STREQ("Beta", g_appName);
    EXPECT_STREQ("Beta Uninstall", g_caption);
}

TEST_F(InstallLog, APercentSignIsTakenLiterally)
{
    WriteLog(LOG, {{kAppName, "50% Tool", ""}});
    OpenAndScan(LOG);
    EXPECT_STREQ("50% Tool", g_appName);
    EXPECT_STREQ("50% Tool Uninstall", g_caption);
}

TEST_F(InstallLog, ALongNameIsCutSoThatTheCaptionStillEndsInUninstall)
{
    std::string name(250, 'N');
    WriteLog(LOG, {{kAppName, name, ""}});
    OpenAndScan(LOG);
    EXPECT_EQ(name, g_appName);
    std::string caption = g_caption;
    EXPECT_EQ(255u, caption.size());
    EXPECT_EQ(std::string(245, 'N') + " Uninstall", caption);
}

// The name record uses its primary text alone: a cut second text does not
// matter.
TEST_F(InstallLog, ANameFillingItsWholeFieldIsNotUsed)
{
    CopyText(g_caption, sizeof(g_caption), DEFAULT_CAPTION);
    WriteLog(LOG, {{kAppName, "Other", std::string(256, 'Y')},
                   {kAppName, "Good", std::string(256, 'Y')},
                   {kAppName, std::string(256, 'X'), ""},
                   {kNoAction, "", ""}});
    OpenAndScan(LOG);
    EXPECT_EQ(4u, g_recordCount);
    EXPECT_STREQ("Good", g_appName);
    EXPECT_STREQ("Good Uninstall", g_caption);
}

// A file that holds bytes but not one record as the setup program writes
// them is no log; an empty one is an empty log; odd records among good ones
// are read as usual. A log that cannot be read is not taken for one.
TEST_F(InstallLog, AFileWithoutALogRecordIsNoLog)
{
    const std::string letters(3 * 516, 'x');
    struct Case {
        std::string bytes;
        LogScan scan;
    } cases[] = {
        {"", LOG_UNNAMED},
        {"Dear Sir,\r\n", LOG_NOT_A_LOG},
        {letters, LOG_NOT_A_LOG},
        {LogBytes({{8, "", ""}, {kAppName, "Tool", std::string(256, 'Y')}}), LOG_NOT_A_LOG},
        {letters + LogBytes({{kNoAction, "", ""}}), LOG_UNNAMED},
        {LogBytes({{kAppName, "Tool", ""}}) + letters, LOG_NAMED},
    };
    for (const Case &c : cases) {
        PrepareProgramWorld();
        sim::AddFile(LOG, c.bytes);
        ASSERT_TRUE(OpenLog(LOG));
        EXPECT_EQ(c.scan, ScanLog(g_caption, sizeof(g_caption))) << c.bytes.size() << " bytes";
        if (c.scan == LOG_NOT_A_LOG)
            EXPECT_STREQ(DEFAULT_CAPTION, g_caption);
        CloseLog();
    }
    sim::FailCall("ReadFile", ERROR_NOT_ENOUGH_MEMORY, 1);
    ASSERT_TRUE(OpenLog(LOG));
    EXPECT_EQ(LOG_NOT_A_LOG, ScanLog(g_caption, sizeof(g_caption)));
}

TEST_F(InstallLog, ANameOf255CharactersIsKeptWhole)
{
    std::string name(255, 'a');
    WriteLog(LOG, {{kAppName, name, ""}});
    OpenAndScan(LOG);
    EXPECT_EQ(name, g_appName);
}

// The second read is of the second block.
TEST_F(InstallLog, AReadErrorEndsTheScanAsIfTheFileEnded)
{
    std::vector<TestRecord> records(LOG_BLOCK_RECORDS + 2, {kAppName, "B", ""});
    records[LOG_BLOCK_RECORDS - 1].primary = "A";
    WriteLog(LOG, records);
    sim::FailCall("ReadFile", ERROR_ACCESS_DENIED, 2);
    OpenAndScan(LOG);
    EXPECT_EQ((DWORD)LOG_BLOCK_RECORDS, g_recordCount);
    EXPECT_STREQ("A", g_appName);
}

// Only the texts a record's type uses must end within their fields; paths
// of files, folders and shared DLLs must name their item whatever the
// current folder; a group name must name one group below Programs.
TEST_F(InstallLog, WhichRecordsMayBeActedOn)
{
    const std::string cut(256, 'z');
    struct Case {
        DWORD type;
        std::string primary, secondary;
        RecordState state;
    } cases[] = {
        {LOGREC_APPNAME, "Tool", cut, RECORD_USABLE},
        {LOGREC_APPNAME, cut, "", RECORD_TEXT_UNENDED},
        {LOGREC_FILE, "C:\\Tool\\a.txt", cut, RECORD_USABLE},
        {LOGREC_FILE, cut, "", RECORD_TEXT_UNENDED},
        {LOGREC_FILE, "notes.ini", "", RECORD_PATH_NOT_QUALIFIED},
        {LOGREC_FILE, "C:drive.ini", "", RECORD_PATH_NOT_QUALIFIED},
        {LOGREC_FILE, "\\Tool\\a.txt", "", RECORD_PATH_NOT_QUALIFIED},
        {LOGREC_FILE, "", "", RECORD_PATH_NOT_QUALIFIED},
        {LOGREC_DIR, "sub", "", RECORD_PATH_NOT_QUALIFIED},
        {LOGREC_DIR, "C:\\Tool", cut, RECORD_USABLE},
        {LOGREC_SHAREDDLL, "shared.dll", "", RECORD_PATH_NOT_QUALIFIED},
        {LOGREC_SHAREDDLL, "C:\\WINDOWS\\shared.dll", cut, RECORD_USABLE},
        {LOGREC_PMGROUP, cut, "Tool Group", RECORD_USABLE},
        {LOGREC_PMGROUP, "", cut, RECORD_TEXT_UNENDED},
        {LOGREC_PMGROUP, "", "Tools, \"Extra\" (Old)\\Sub", RECORD_USABLE},
        {LOGREC_PMGROUP, "", "Tool...s\\", RECORD_USABLE},
        {LOGREC_PMGROUP, "", std::string(255, 'g'), RECORD_USABLE},
        {LOGREC_PMGROUP, "", "", RECORD_GROUP_NOT_ONE},
        {LOGREC_PMGROUP, "", ".", RECORD_GROUP_NOT_ONE},
        {LOGREC_PMGROUP, "", "..", RECORD_GROUP_NOT_ONE},
        {LOGREC_PMGROUP, "", "Keep\\..\\..", RECORD_GROUP_NOT_ONE},
        {LOGREC_PMGROUP, "", "Keep/. .", RECORD_GROUP_NOT_ONE},
        {LOGREC_PMGROUP, "", " ", RECORD_GROUP_NOT_ONE},
        {LOGREC_PMGROUP, "", "\\Tools", RECORD_GROUP_NOT_ONE},
        {LOGREC_PMGROUP, "", "/Tools", RECORD_GROUP_NOT_ONE},
        {LOGREC_PMGROUP, "", "C:Tools", RECORD_GROUP_NOT_ONE},
        {LOGREC_PMGROUP, "", "Tools*", RECORD_GROUP_NOT_ONE},
        {LOGREC_CUSTOMRUN, "undo", "", RECORD_USABLE},
        {LOGREC_CUSTOMRUN, "undo", cut, RECORD_TEXT_UNENDED},
        {LOGREC_CUSTOMRUN, cut, "", RECORD_TEXT_UNENDED},
        {LOGREC_SYSREG, cut, cut, RECORD_USABLE},
        {9, cut, cut, RECORD_USABLE},
    };
    for (const Case &c : cases) {
        LogRecord rec = {};
        rec.type = c.type;
        memcpy(rec.primary, c.primary.data(), std::min<size_t>(c.primary.size(), LOG_TEXT_SIZE));
        memcpy(rec.secondary, c.secondary.data(), std::min<size_t>(c.secondary.size(), LOG_TEXT_SIZE));
        EXPECT_EQ(c.state, ExamineRecord(&rec)) << "type " << c.type << " [" << c.primary.substr(0, 40) << "] ["
                                                << c.secondary.substr(0, 40) << "]";
    }
}
