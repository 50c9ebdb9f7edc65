// A DLL for the end-to-end tests to load, as a running program has its
// libraries loaded: Windows then refuses to delete the file, though it lets
// it be renamed.
#include <windows.h>

extern "C" __declspec(dllexport) int LoadedLibraryOfTheTests(void)
{
    return 1;
}
