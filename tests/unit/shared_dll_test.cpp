#include "removal/shared_dll.h"
#include "removal/delete_or_schedule.h"
#include "support/sim_fixture.h"

#define DLL "C:\\Program Files\\Common Files\\Shared Library.dll"

class SharedDll : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        sim::AddFile(DLL, "dll");
    }

    void Count(const std::string &data, DWORD type = REG_DWORD)
    {
        sim::SetRegValue(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, DLL, type, data);
    }

    static std::string Dword(DWORD v) { return std::string((const char *)&v, 4); }

    std::optional<sim::RegValue> Stored() { return sim::GetRegValue(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, DLL); }

    void ExpectKeyClosed() { EXPECT_TRUE(sim::OpenHandles().empty()); }
};

TEST_F(SharedDll, ACountAboveOneIsLoweredAndTheDllStays)
{
    Count(Dword(3));
    EXPECT_EQ(1, ReleaseSharedDll(DLL));
    ASSERT_TRUE(Stored());
    EXPECT_EQ((DWORD)REG_DWORD, Stored()->type);
    EXPECT_EQ(Dword(2), Stored()->data);
    EXPECT_TRUE(sim::FileExists(DLL));
    ExpectKeyClosed();
    std::vector<sim::Call> opens = sim::CallsTo("RegOpenKeyExA");
    ASSERT_EQ(1u, opens.size());
    EXPECT_EQ((std::vector<std::string>{"HKEY_LOCAL_MACHINE", SHARED_DLLS_KEY_PATH, "0", "0xF003F"}), opens[0].args);
}

// Ended at any of its calls, the release never leaves the DLL gone while its
// count stays.
TEST_F(SharedDll, TheLastReferenceDeletesTheCountThenTheDll)
{
    Count(Dword(1));
    EXPECT_EQ(1, ReleaseSharedDll(DLL));
    EXPECT_FALSE(Stored());
    EXPECT_FALSE(sim::FileExists(DLL));
    EXPECT_EQ(0, g_rebootNeeded);
    ExpectKeyClosed();

    for (int n = 1;; n++) {
        SetUp();
        Count(Dword(1));
        sim::EndRunAtCall(n);
        try {
            ReleaseSharedDll(DLL);
            break;
        } catch (const sim::RunEnded &) {
        }
        EXPECT_TRUE(sim::FileExists(DLL) || !Stored()) << "ended at call " << n;
    }
}

TEST_F(SharedDll, ALastReferenceToADllInUseSchedulesIt)
{
    Count(Dword(1));
    sim::HoldFile(DLL);
    EXPECT_EQ(1, ReleaseSharedDll(DLL));
    EXPECT_FALSE(Stored());
    EXPECT_TRUE(sim::FileExists(DLL));
    EXPECT_EQ(std::vector<std::string>{sim::ShortPath(DLL)}, sim::PendingDeletes());
    EXPECT_EQ(1, g_rebootNeeded);
}

TEST_F(SharedDll, WithoutACountNothingChanges)
{
    sim::SetRegDword(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, "C:\\other.dll", 1);
    EXPECT_EQ(0, ReleaseSharedDll(DLL));
    EXPECT_TRUE(sim::FileExists(DLL));
    EXPECT_TRUE(sim::GetRegValue(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH, "C:\\other.dll"));
    ExpectKeyClosed();
}

TEST_F(SharedDll, WithoutTheKeyNothingIsCreated)
{
    EXPECT_EQ(0, ReleaseSharedDll(DLL));
    EXPECT_FALSE(sim::RegKeyExists(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY_PATH));
    EXPECT_TRUE(sim::FileExists(DLL));
}

TEST_F(SharedDll, ACountTooLongForFourBytesIsLeftAlone)
{
    Count(std::string("\x01\0\0\0\0\0\0\0", 8), REG_QWORD);
    EXPECT_EQ(0, ReleaseSharedDll(DLL));
    EXPECT_EQ(8u, Stored()->data.size());
    EXPECT_TRUE(sim::FileExists(DLL));
    ExpectKeyClosed();
}

TEST_F(SharedDll, ABinaryCountStaysBinary)
{
    Count(Dword(2), REG_BINARY);
    EXPECT_EQ(1, ReleaseSharedDll(DLL));
    EXPECT_EQ((DWORD)REG_BINARY, Stored()->type);
    EXPECT_EQ(Dword(1), Stored()->data);
}

TEST_F(SharedDll, TheSamePathTwice)
{
    Count(Dword(2));
    EXPECT_EQ(1, ReleaseSharedDll(DLL));
    EXPECT_TRUE(sim::FileExists(DLL));
    EXPECT_EQ(1, ReleaseSharedDll(DLL));
    EXPECT_FALSE(Stored());
    EXPECT_FALSE(sim::FileExists(DLL));

    sim::AddFile(DLL, "dll");
    Count(Dword(1));
    EXPECT_EQ(1, ReleaseSharedDll(DLL));
    EXPECT_EQ(0, ReleaseSharedDll(DLL));
    ExpectKeyClosed();
}

// A log that another program holds open can only be scheduled for deletion:
// a run on it again before the restart must not release its counts again.
// The application installed anew writes a new log at the same path, whose
// counts are released, and whose note in the release journal goes with it.
TEST_F(SharedDll, ARunAgainOnTheSameLogReleasesNothingButANewLogAtItsPathDoes)
{
    hardening::SimulatedRun run;
    run.records = {{kAppName, "Tool", ""}, {kSharedDll, DLL, ""}};
    run.items = {hardening::SharedDll(DLL, 3), hardening::HeldFile(TOOL_LOG, FILE_SHARE_READ | FILE_SHARE_WRITE)};
    hardening::RunSetup setup = hardening::Apply(run);
    for (DWORD expected : {2, 2}) {
        hardening::RunCheck check(setup);
        EXPECT_EQ(hardening::Joined({}), hardening::Joined(check.Check(RunUninstaller(TOOL_LOG))));
        EXPECT_EQ(Dword(expected), Stored()->data);
        EXPECT_TRUE(sim::FileExists(TOOL_LOG));
        EndProgramProcess();
    }

    sim::ReleaseFile(TOOL_LOG);
    WriteLog(TOOL_LOG, run.records);
    EXPECT_EQ(0, RunUninstaller(TOOL_LOG));
    EXPECT_EQ(Dword(1), Stored()->data);
    EXPECT_FALSE(sim::FileExists(TOOL_LOG));
    EXPECT_FALSE(sim::RegKeyExists(HKEY_LOCAL_MACHINE, JOURNAL_KEY));
}

// A log that another program has loaded is renamed aside to wait for the
// restart: gone from its path, it takes its note with it.
TEST_F(SharedDll, ALogRenamedAsideTakesItsNoteWithIt)
{
    hardening::SimulatedRun run;
    run.records = {{kAppName, "Tool", ""}, {kSharedDll, DLL, ""}};
    run.items = {hardening::SharedDll(DLL, 3)};
    EXPECT_TRUE(EndedAs(hardening::RunAndCheck(run, [] { sim::LoadImage(TOOL_LOG); }), hardening::RUN_COMPLETED));
    EXPECT_FALSE(sim::FileExists(TOOL_LOG));
    EXPECT_EQ(1u, sim::PendingDeletes().size());
    EXPECT_FALSE(sim::RegKeyExists(HKEY_LOCAL_MACHINE, JOURNAL_KEY));
}

TEST_F(SharedDll, AShortNameDoesNotMatchALongNameCount)
{
    Count(Dword(1));
    std::string shortName = sim::ShortPath(DLL);
    ASSERT_NE(std::string(DLL), shortName);
    EXPECT_EQ(0, ReleaseSharedDll(shortName.c_str()));
    EXPECT_TRUE(sim::FileExists(DLL));
    EXPECT_EQ(Dword(1), Stored()->data);
}

TEST_F(SharedDll, AStoredZeroOrAnEmptyValueNeverDeletesTheDll)
{
    Count(Dword(0));
    EXPECT_EQ(0, ReleaseSharedDll(DLL));
    EXPECT_EQ(Dword(0), Stored()->data);
    EXPECT_TRUE(sim::FileExists(DLL));

    Count("", REG_BINARY);
    EXPECT_EQ(0, ReleaseSharedDll(DLL));
    EXPECT_EQ("", Stored()->data);
    EXPECT_TRUE(sim::FileExists(DLL));
    ExpectKeyClosed();
}

TEST_F(SharedDll, AShortValueCountsAsItsLowOrderBytes)
{
    Count(std::string("\x02", 1), REG_BINARY);
    EXPECT_EQ(1, ReleaseSharedDll(DLL));
    EXPECT_EQ(std::string("\x01", 1), Stored()->data);
    EXPECT_TRUE(sim::FileExists(DLL));

    Count(std::string("\x00\x00\x01", 3), REG_BINARY);
    EXPECT_EQ(1, ReleaseSharedDll(DLL));
    EXPECT_EQ(std::string("\xFF\xFF\x00", 3), Stored()->data);

    Count(std::string("\x01", 1), REG_BINARY);
    EXPECT_EQ(1, ReleaseSharedDll(DLL));
    EXPECT_FALSE(Stored());
    EXPECT_FALSE(sim::FileExists(DLL));
}

TEST_F(SharedDll, AFailedWriteBackLeavesTheCount)
{
    Count(Dword(5));
    sim::FailCall("RegSetValueExA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(0, ReleaseSharedDll(DLL));
    EXPECT_EQ(Dword(5), Stored()->data);
    ExpectKeyClosed();
}

TEST_F(SharedDll, TheKeyIsClosedWhateverFails)
{
    Count(Dword(1));
    for (const char *call : {"RegQueryValueExA", "RegDeleteValueA", "DeleteFileA", "RemoveDirectoryA",
                             "GetShortPathNameA"}) {
        sim::ClearFailures();
        sim::FailCall(call, ERROR_ACCESS_DENIED);
        ReleaseSharedDll(DLL);
        EXPECT_TRUE(sim::OpenHandles().empty()) << call;
        sim::AddFile(DLL, "dll");
        Count(Dword(1));
    }
}
