// instlog: shows, plans, checks and builds install logs for installer
// authors and support engineers. The log is read by the uninstaller's own
// reader, so what instlog shows is what the uninstaller sees.
#include <string.h>

#include <iostream>
#include <string>

#include "build.h"
#include "check.h"
#include "dump.h"
#include "escape.h"
#include "exit_codes.h"
#include "plan.h"

static const char kUsage[] =
    "Usage: instlog COMMAND ARGUMENTS\n"
    "\n"
    "  instlog dump LOG         every record of LOG in a readable text form\n"
    "  instlog plan LOG         what the uninstaller would do with LOG, in order\n"
    "  instlog check LOG        problems in LOG, one per line\n"
    "  instlog build TEXT LOG   writes LOG from TEXT, which is in the form that\n"
    "                           dump prints; TEXT \"-\" reads standard input\n"
    "  instlog --help           this text\n"
    "\n"
    "Exit codes:\n"
    "  0  done; for check: no problems found\n"
    "  1  check found problems\n"
    "  2  bad command line: unknown command or option, missing or extra arguments\n"
    "  3  an input file cannot be opened or read\n"
    "  4  TEXT is not in the text form (the message names the line)\n"
    "  5  LOG or the output cannot be written\n";

static int UsageError(const std::string &message)
{
    std::cerr << "instlog: " << message << "\nTry \"instlog --help\".\n";
    return INSTLOG_USAGE;
}

static bool IsHelp(const char *arg)
{
    return strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0;
}

// An argument that looks like an option: none is known beyond --help, and
// "-" alone names standard input.
static bool IsOption(const char *arg)
{
    return arg[0] == '-' && arg[1] != '\0';
}

int main(int argc, char **argv)
{
    if (argc < 2)
        return UsageError("no command given");
    const char *command = argv[1];
    if (IsHelp(command)) {
        std::cout << kUsage;
        return INSTLOG_OK;
    }
    for (int i = 2; i < argc; i++) {
        if (IsHelp(argv[i])) {
            std::cout << kUsage;
            return INSTLOG_OK;
        }
        if (IsOption(argv[i]))
            return UsageError("unknown option \"" + EscapeBytes(argv[i], strlen(argv[i])) + "\"");
    }
    if (IsOption(command))
        return UsageError("unknown option \"" + EscapeBytes(command, strlen(command)) + "\"");

    int given = argc - 2;
    bool oneLog = strcmp(command, "dump") == 0 || strcmp(command, "plan") == 0 || strcmp(command, "check") == 0;
    bool build = strcmp(command, "build") == 0;
    if (!oneLog && !build)
        return UsageError("unknown command \"" + EscapeBytes(command, strlen(command)) + "\"");
    int wanted = build ? 2 : 1;
    if (given < wanted)
        return UsageError(std::string(command) + (build ? " needs a text file and the log to write" : " needs the path of an install log"));
    if (given > wanted)
        return UsageError(std::string(command) + (build ? " takes two arguments, " : " takes one argument, ") +
                          std::to_string(given) + " were given");

    int result;
    if (strcmp(command, "dump") == 0)
        result = RunDump(argv[2], std::cout, std::cerr);
    else if (strcmp(command, "plan") == 0)
        result = RunPlan(argv[2], std::cout, std::cerr);
    else if (strcmp(command, "check") == 0)
        result = RunCheck(argv[2], std::cout, std::cerr);
    else
        result = RunBuild(argv[2], argv[3], std::cin, std::cerr);
    std::cout.flush();
    if (!std::cout.good() && result != INSTLOG_UNREADABLE) {
        std::cerr << "instlog: cannot write the output\n";
        result = INSTLOG_UNWRITABLE;
    }
    return result;
}
