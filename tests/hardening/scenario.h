// Whole runs for the hardening tests: a log that uses every record type and
// a world in which each of them has something to do.
#ifndef TESTS_HARDENING_SCENARIO_H
#define TESTS_HARDENING_SCENARIO_H

#include "invariants.h"

#include <string>
#include <vector>

namespace hardening {

#define SCENARIO_LOG "C:\\Apps\\Tool\\install.log"
#define SCENARIO_APP "C:\\Program Files\\Tool"

enum ScenarioKind {
    SCENARIO_COMPLETED,   // everything goes, read-only or not; files in use wait for the restart
    SCENARIO_WIN32S,      // the same on Win32s, with Program Manager refusing
    SCENARIO_DECLINED,    // the user answers No
    SCENARIO_ABORTED,     // the first custom program fails
    SCENARIO_SECOND_START // the completed one, started while another run on its log is under way
};

const char *ScenarioName(ScenarioKind kind);

// Builds the world of the scenario in a prepared simulated Windows and
// returns how the run is to go.
RunSetup BuildScenario(ScenarioKind kind);

// The result of one run: its exit code and every invariant it broke.
struct RunResult {
    int exitCode;
    Outcome outcome;
    std::vector<std::string> violations;
};

// Prepares the world, builds the scenario, lets fault add failures, runs the
// program and checks it.
RunResult RunScenario(ScenarioKind kind, int failNthCall = 0, DWORD error = 0);

}  // namespace hardening

#endif
