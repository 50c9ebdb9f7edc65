#include "self_check.h"

#define CHUNK_SIZE 4096
#define SECTION_HEADER_SIZE 40

struct Checksum {
    DWORD sum;        // 16-bit words added with end-around carry
    DWORD length;     // bytes seen
    int haveOddByte;  // a word's low byte waits for its high byte
    BYTE oddByte;
};

static void AddWord(Checksum *c, DWORD word)
{
    c->sum += word;
    c->sum = (c->sum & 0xFFFF) + (c->sum >> 16);
}

static void AddBytes(Checksum *c, const BYTE *bytes, DWORD count)
{
    for (DWORD i = 0; i < count; i++) {
        if (c->haveOddByte)
            AddWord(c, c->oddByte | ((DWORD)bytes[i] << 8));
        else
            c->oddByte = bytes[i];
        c->haveOddByte = !c->haveOddByte;
    }
    c->length += count;
}

static DWORD FinishChecksum(Checksum *c)
{
    if (c->haveOddByte)
        AddWord(c, c->oddByte);
    return ((c->sum & 0xFFFF) + (c->sum >> 16)) + c->length;
}

static DWORD ReadWord(const BYTE *p)
{
    return p[0] | ((DWORD)p[1] << 8);
}

static DWORD ReadDword(const BYTE *p)
{
    return ReadWord(p) | (ReadWord(p + 2) << 16);
}

// Reads the headers from the file's first chunk: the offset of the checksum
// field and where the image's last section ends. 0 when the chunk does not
// hold a whole PE header.
static int ParseHeaders(const BYTE *chunk, DWORD size, DWORD *checksumOffset,
                        unsigned long long *imageEnd)
{
    if (size < 0x40 || chunk[0] != 'M' || chunk[1] != 'Z')
        return 0;
    DWORD pe = ReadDword(chunk + 0x3C);
    if (pe > size || size - pe < 24 || ReadDword(chunk + pe) != 0x00004550)
        return 0;
    DWORD sectionCount = ReadWord(chunk + pe + 6);
    DWORD optionalSize = ReadWord(chunk + pe + 20);
    DWORD optional = pe + 24;
    DWORD sections = optional + optionalSize;
    if (optionalSize < 68 || sections > size ||
        (size - sections) / SECTION_HEADER_SIZE < sectionCount)
        return 0;

    *checksumOffset = optional + 64;
    *imageEnd = 0;
    for (DWORD i = 0; i < sectionCount; i++) {
        const BYTE *header = chunk + sections + i * SECTION_HEADER_SIZE;
        unsigned long long end = (unsigned long long)ReadDword(header + 20) + ReadDword(header + 16);
        if (ReadDword(header + 16) != 0 && end > *imageEnd)
            *imageEnd = end;
    }
    return *imageEnd != 0;
}

int ImageFileIsIntact(HANDLE file)
{
    BYTE chunk[CHUNK_SIZE];
    DWORD got = 0;
    if (!ReadFile(file, chunk, sizeof(chunk), &got, NULL))
        return 0;

    DWORD checksumOffset;
    unsigned long long imageEnd;
    if (!ParseHeaders(chunk, got, &checksumOffset, &imageEnd))
        return 0;
    DWORD stamped = ReadDword(chunk + checksumOffset);
    // The checksum field itself counts as zero.
    chunk[checksumOffset] = chunk[checksumOffset + 1] = 0;
    chunk[checksumOffset + 2] = chunk[checksumOffset + 3] = 0;

    Checksum sum = {0, 0, 0, 0};
    unsigned long long total = 0;
    while (got > 0) {
        AddBytes(&sum, chunk, got);
        total += got;
        if (!ReadFile(file, chunk, sizeof(chunk), &got, NULL))
            return 0;
    }
    return stamped != 0 && total == imageEnd && FinishChecksum(&sum) == stamped;
}

int CheckOwnIntegrity(void)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof(path));
    if (length == 0 || length >= sizeof(path))
        return 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    int intact = ImageFileIsIntact(file);
    CloseHandle(file);
    return intact;
}
