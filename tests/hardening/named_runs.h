// The catalogue of named whole runs: the hardening scenarios, the worlds of
// the unit tests, the end-to-end tests' bad input and runs the fuzzers
// found. The seed corpus writes every one of them; a unit test runs one by
// its name through the invariant checker and checks only what the checker
// does not.
#ifndef TESTS_HARDENING_NAMED_RUNS_H
#define TESTS_HARDENING_NAMED_RUNS_H

#include "simulated_run.h"

#include <string>
#include <utility>
#include <vector>

namespace hardening {

// A record text without its terminating zero: 256 "A"s.
extern const std::string kCut;

// The end-to-end tests' fixed bytes (tests/e2e/bad_input_test.cpp):
// xorshift32 from a fixed state, the top byte of each state.
std::string PseudoRandomBytes(size_t count);

const std::vector<std::pair<std::string, SimulatedRun>> &NamedRuns();

// The run of that name; std::out_of_range for none.
SimulatedRun NamedRun(const std::string &name);

}  // namespace hardening

#endif
