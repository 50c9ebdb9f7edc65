// Running a console program of the tests' own (instlog, wineboot) to its end.
#ifndef E2E_SUPPORT_CONSOLE_PROGRAM_H
#define E2E_SUPPORT_CONSOLE_PROGRAM_H

#include <windows.h>

#include <string>

namespace e2e {

// Runs a console program to its end, for at most limitMs, with its standard
// output and error going to a file (a pipe would be held open by Wine for
// seconds), and gives back what it wrote and its exit code.
bool RunConsoleProgram(const std::string &commandLine, DWORD limitMs, DWORD *exitCode, std::string *output,
                       std::string *error);

}  // namespace e2e

#endif
