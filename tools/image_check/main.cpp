// image_check: judges copies of uninstall.exe as the program judges its own
// file at start-up, so that a copy that would show the corrupt-executable
// alert is caught on the build machine, before it ships; prints the
// checksum that a signed release shares with an unsigned rebuild; and
// stamps a newly linked uninstall.exe with it.
#include <stdio.h>
#include <string.h>

#include <vector>

#include "platform/image_check.h"

#define CHECK_INTACT 0
#define CHECK_DAMAGED 1
#define CHECK_USAGE 2
#define CHECK_UNREADABLE 3

static const char kUsage[] =
    "Usage: image_check FILE.exe...\n"
    "       image_check --sum FILE.exe...\n"
    "       image_check --stamp FILE.exe\n"
    "\n"
    "Checks each FILE as uninstall.exe checks itself at start-up: its image\n"
    "checksum and, when it is signed, the layout of its certificate table.\n"
    "With --sum it prints that checksum for each intact FILE, before its name:\n"
    "it covers the bytes an Authenticode signature covers, so a signed release\n"
    "and an unsigned rebuild of its commit print the same.\n"
    "With --stamp it writes that checksum into FILE's .imgsum section, and\n"
    "then the header CheckSum, for the tools that look at it; FILE must not\n"
    "be signed yet.\n"
    "\n"
    "Exit codes: 0 every FILE is intact (or stamped); 1 some FILE is damaged,\n"
    "and the program would refuse to run from it (or cannot be stamped); 2 bad\n"
    "command line; 3 some FILE cannot be opened.\n";

static void Put32(std::vector<BYTE> &bytes, DWORD at, DWORD value)
{
    for (int i = 0; i < 4; i++)
        bytes[at + i] = (BYTE)(value >> (8 * i));
}

static int Stamp(const char *path)
{
    FILE *file = fopen(path, "rb");
    if (file == NULL) {
        fprintf(stderr, "image_check: %s cannot be opened\n", path);
        return CHECK_UNREADABLE;
    }
    std::vector<BYTE> bytes;
    BYTE chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    fclose(file);
    DWORD stampAt = 0;
    DWORD checksumAt = 0;
    int isSigned = 0;
    DWORD sum = ImageBytesChecksum(bytes.data(), (DWORD)bytes.size(), &stampAt, &isSigned);
    if (sum == 0 || isSigned) {
        fprintf(stderr, "image_check: %s %s\n", path,
                isSigned ? "is signed: stamp it before signing" : "is no image the check can read");
        return CHECK_DAMAGED;
    }
    Put32(bytes, stampAt, sum);
    DWORD header = HeaderChecksum(bytes.data(), (DWORD)bytes.size(), &checksumAt);
    Put32(bytes, checksumAt, header);
    file = fopen(path, "r+b");
    if (file == NULL || fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || fclose(file) != 0) {
        fprintf(stderr, "image_check: %s cannot be written\n", path);
        return CHECK_UNREADABLE;
    }
    return CHECK_INTACT;
}

int main(int argc, char **argv)
{
    if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        fputs(kUsage, stdout);
        return CHECK_INTACT;
    }
    if (argc == 3 && strcmp(argv[1], "--stamp") == 0)
        return Stamp(argv[2]);
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
