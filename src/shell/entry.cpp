// The executable's entry point. The program needs nothing of a C runtime's
// start-up, so it hands WinMain the command line's tail itself and ends the
// process with WinMain's result.
#include "command_line.h"
#include "startup.h"

extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup(void)
{
    char *logPath = SkipProgramName(GetCommandLineA());
    ExitProcess((UINT)WinMain(GetModuleHandleA(NULL), NULL, logPath, SW_SHOWDEFAULT));
}
