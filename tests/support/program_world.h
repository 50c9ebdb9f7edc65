// A simulated Windows ready for a whole run of the program: its dialog
// templates, an intact executable file and the product's globals cleared.
// Shared by the unit tests, the fault-injection suite and the fuzzers, so it
// needs no test framework.
#ifndef TESTS_SUPPORT_PROGRAM_WORLD_H
#define TESTS_SUPPORT_PROGRAM_WORLD_H

#include "machine_names.h"

#include <string>

// Empties the world, adds the templates and the executable, and clears the
// globals that a previous run left set.
void PrepareProgramWorld();

// The program's executable with one byte changed, so that its self-check fails.
std::string CorruptExecutable();

// What RunUninstaller returns for a run ended by sim::EndRunAtCall.
#define RUN_ENDED_EXIT_CODE (-2)

// Runs the whole program with the command line's tail, as the process's
// entry point would, and waits for its threads; returns WinMain's result.
int RunUninstaller(const std::string &commandTail);

// The name of the guard that a run on the log at logPath (which must exist)
// takes (GUARD_NAME_PREFIX and the log's identity).
std::string LogGuardName(const std::string &logPath);

// Ends the program's process as a kill does, keeping the world it changed,
// and clears the globals: the program can then run again on that world.
void EndProgramProcess();

#endif
