#include "self_check.h"

#include "platform/image_check.h"
#include "platform/sizes.h"

// The build stamps the image's checksum here, in a section of its own that
// no signing tool writes; signing rewrites the header CheckSum, and some
// tools leave that stale.
__attribute__((section(IMAGE_SUM_SECTION), used)) static const DWORD g_imageSum = 0;

int CheckOwnIntegrity(void)
{
    char path[PATH_SIZE];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof(path));
    if (length == 0 || length >= sizeof(path))
        return 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    int intact = ImageFileChecksum(file) != 0;
    CloseHandle(file);
    return intact;
}
