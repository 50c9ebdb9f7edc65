// The test fixture for the product on the simulated Windows: a fresh world
// with the program's dialog templates, an intact executable file, and the
// product's globals cleared.
#ifndef TESTS_SUPPORT_SIM_FIXTURE_H
#define TESTS_SUPPORT_SIM_FIXTURE_H

#include "hardening/named_runs.h"
#include "log_builder.h"
#include "sim/sim.h"
#include "program_world.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Whether a whole run kept every invariant and ended as expected; the
// message says what it broke.
::testing::AssertionResult EndedAs(const hardening::RunResult &result, hardening::Outcome expected);

class SimTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes a log file into the simulated file system.
    void WriteLog(const std::string &path, const std::vector<TestRecord> &records);

    // Opens the log at path into g_logFile, runs the start-up scan and
    // identifies the log, as start-up does.
    void OpenAndScan(const std::string &path);

    // Texts of the message boxes shown, in order.
    std::vector<std::string> BoxTexts();
};

#endif
