// Starting a Windows program and waiting for its end.
#ifndef DRIVER_PROCESS_H
#define DRIVER_PROCESS_H

#include <windows.h>

#include <string>

namespace driver {

// One started program at a time. A program still running when its Program
// goes away is ended, so that a failing test leaves nothing behind.
class Program {
public:
    Program() = default;
    ~Program();
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    // Starts the command line as it stands (CreateProcessA, no application
    // name, no handle inheritance), in currentDirectory when one is given.
    bool StartCommandLine(const std::string &commandLine, std::string *error,
                          const std::string &currentDirectory = "");

    // Starts exePath with the command line `"<exePath>" <rest>`: the program's
    // name in quotes, one blank, then rest exactly as given (no blank when
    // rest is empty).
    bool Start(const std::string &exePath, const std::string &rest, std::string *error,
               const std::string &currentDirectory = "");

    const std::string &commandLine() const { return commandLine_; }
    DWORD pid() const { return pid_; }
    HANDLE handle() const { return process_; }
    bool Running() const;

    // Waits at most limitMs for the end; true with the exit code when it ended.
    bool WaitForExit(DWORD limitMs, DWORD *exitCode);

    // Ends the program if it still runs and waits for that.
    void Terminate();

private:
    HANDLE process_ = NULL;
    DWORD pid_ = 0;
    std::string commandLine_;
};

}  // namespace driver

#endif
