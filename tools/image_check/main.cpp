// image_check: judges copies of uninstall.exe as the program judges its own
// file at start-up, so that a copy that would show the corrupt-executable
// alert is caught on the build machine, before it ships; and prints the
// checksum that a signed release shares with an unsigned rebuild.
#include <stdio.h>
#include <string.h>

#include "platform/image_check.h"

#define CHECK_INTACT 0
#define CHECK_DAMAGED 1
#define CHECK_USAGE 2
#define CHECK_UNREADABLE 3

static const char kUsage[] =
    "Usage: image_check FILE.exe...\n"
    "       image_check --sum FILE.exe...\n"
    "\n"
    "Checks each FILE as uninstall.exe checks itself at start-up: its image\n"
    "checksum and, when it is signed, the layout of its certificate table.\n"
    "With --sum it prints that checksum for each intact FILE, before its name:\n"
    "it covers the bytes an Authenticode signature covers, so a signed release\n"
    "and an unsigned rebuild of its commit print the same.\n"
    "\n"
    "Exit codes: 0 every FILE is intact; 1 some FILE is damaged, and the\n"
    "program would refuse to run from it; 2 bad command line; 3 some FILE\n"
    "cannot be opened.\n";

int main(int argc, char **argv)
{
    if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        fputs(kUsage, stdout);
        return CHECK_INTACT;
    }
    int printSum = argc > 1 && strcmp(argv[1], "--sum") == 0;
    int first = printSum ? 2 : 1;
    if (argc <= first || argv[first][0] == '-') {
        fputs(kUsage, stderr);
        return CHECK_USAGE;
    }
    int result = CHECK_INTACT;
    for (int i = first; i < argc; i++) {
        HANDLE file = CreateFileA(argv[i], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        if (file == INVALID_HANDLE_VALUE) {
            fprintf(stderr, "image_check: %s cannot be opened (error %lu)\n", argv[i],
                    (unsigned long)GetLastError());
            result = CHECK_UNREADABLE;
            continue;
        }
        DWORD sum = ImageFileChecksum(file);
        CloseHandle(file);
        if (sum != 0 && printSum)
            printf("%08lx  %s\n", (unsigned long)sum, argv[i]);
        else
            printf("%s: %s\n", argv[i], sum != 0 ? "intact" : "damaged: the program would refuse to run from it");
        if (sum == 0 && result == CHECK_INTACT)
            result = CHECK_DAMAGED;
    }
    return result;
}
