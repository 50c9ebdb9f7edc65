// Fuzz target: the whole program on the simulated Windows. The input is a
// run (tests/fuzz/program_input.h gives its layout): the log's bytes and the
// world, which files and directories exist and which are held by other
// processes, the SharedDLLs values with their types and sizes, the
// Uninstall entries, which custom programs exist and how they end, COMSPEC,
// whether Program Manager answers in time, accepts or refuses, the user's
// answers to the confirmation and the restart dialog, and which platform
// call fails. After each run the invariants of tests/hardening/invariants.h
// must hold; a violation aborts.
#include "program_input.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    hardening::RunResult result = hardening::RunAndCheck(DecodeProgramInput(data, size));
    if (!result.violations.empty()) {
        fprintf(stderr, "invariants broken by a %s run (exit code %d):%s\n", hardening::OutcomeName(result.outcome),
                result.exitCode, hardening::Joined(result.violations).c_str());
        abort();
    }
    return 0;
}
