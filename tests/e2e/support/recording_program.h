// The recording program (tests/e2e/programs/custom_program.cpp), which the
// tests place under any name as a custom uninstall program: what it is told
// to do goes into <path>.in, what it saw comes back from <path>.out.
#ifndef E2E_SUPPORT_RECORDING_PROGRAM_H
#define E2E_SUPPORT_RECORDING_PROGRAM_H

#include <string>
#include <vector>

namespace e2e {

// The environment variable naming the file to which every run adds its path.
extern const char kJournalVariable[];

// The built recording program (Windows path), from E2E_RECORDING_PROGRAM_EXE.
std::string BuiltRecordingProgram();

struct RecordingProgram {
    int exitStatus = 0;
    std::vector<std::string> probeFiles;  // "exists" lines: report whether each exists
    std::string logToInspect;             // "log" line: the install log to look at, if any
    int recordsToRead = 0;                // when not 0, a "read" line on logToInspect instead
    std::string waitFor;                  // "wait" line: run until this file is made
};

// Copies the recording program to path (creating its folder) with its
// instructions beside it, and removes any record of an earlier run.
bool PlaceRecordingProgram(const std::string &path, const RecordingProgram &program, std::string *error);

// The lines the program at path wrote, in order; none when it never ran.
std::vector<std::string> RecordedLines(const std::string &path);

// Whether the program at path ran at all.
bool HasRun(const std::string &path);

// Its "command line: " line without that prefix; "" when it never ran.
std::string RecordedCommandLine(const std::string &path);

}  // namespace e2e

#endif
