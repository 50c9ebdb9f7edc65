#include "sim_fixture.h"

#include "log/install_log.h"
#include "removal/delete_or_schedule.h"
#include "removal/release_journal.h"
#include "shell/globals.h"

#include <vector>

::testing::AssertionResult EndedAs(const hardening::RunResult &result, hardening::Outcome expected)
{
    if (result.outcome == expected && result.violations.empty())
        return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    failure << "a " << hardening::OutcomeName(result.outcome) << " run (exit code " << result.exitCode << ")";
    if (result.outcome != expected)
        failure << ", where a " << hardening::OutcomeName(expected) << " one was due";
    return result.violations.empty() ? failure : failure << ", and broke:" << hardening::Joined(result.violations);
}

void SimTest::SetUp()
{
    PrepareProgramWorld();
}

void SimTest::TearDown()
{
    sim::JoinThreads();
}

void SimTest::WriteLog(const std::string &path, const std::vector<TestRecord> &records)
{
    sim::AddFile(path, LogBytes(records));
}

void SimTest::OpenAndScan(const std::string &path)
{
    ASSERT_TRUE(OpenLog(path.c_str())) << path;
    ScanLog(g_caption, sizeof(g_caption));
    BY_HANDLE_FILE_INFORMATION information;
    const BY_HANDLE_FILE_INFORMATION *log = GetFileInformationByHandle(g_logFile, &information) ? &information : NULL;
    IdentifyLog(path.c_str(), log);
    InitDeletions(path.c_str(), log);
}

std::vector<std::string> SimTest::BoxTexts()
{
    std::vector<std::string> texts;
    for (const sim::MessageBoxRecord &box : sim::MessageBoxes())
        texts.push_back(box.text);
    return texts;
}
