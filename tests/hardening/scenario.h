// The hardening suite's runs: a log that uses every record type and a world
// in which each of them has something to do.
#ifndef TESTS_HARDENING_SCENARIO_H
#define TESTS_HARDENING_SCENARIO_H

#include "simulated_run.h"

namespace hardening {

enum ScenarioKind {
    SCENARIO_COMPLETED,   // everything goes, read-only or not; files in use wait for the restart
    SCENARIO_WIN32S,      // the same on Win32s, with Program Manager refusing
    SCENARIO_DECLINED,    // the user answers No
    SCENARIO_ABORTED,     // the first custom program fails
    SCENARIO_SECOND_START // the completed one, started while another run on its log is under way
};

const char *ScenarioName(ScenarioKind kind);

SimulatedRun Scenario(ScenarioKind kind);

}  // namespace hardening

#endif
