#include "image_check.h"

#define CHUNK_SIZE 4096
#define SECTION_HEADER_SIZE 40
#define DIRECTORY_ENTRY_SIZE 8
#define SECURITY_DIRECTORY 4  // the certificate table's data-directory entry
#define CERTIFICATE_HEADER_SIZE 8
#define CERTIFICATE_ALIGNMENT 8
#define IMAGE_SIZE_LIMIT 0x40000000  // far beyond any program, far below overflow

// Where the check's fields lie in the file and where its parts end. Every
// offset is below IMAGE_SIZE_LIMIT, so no sum of two overflows.
struct ImageLayout {
    DWORD stampAt;          // the stamped value, in its own section
    DWORD imageEnd;         // where the last section ends
    DWORD tableAt;          // the certificate table; imageEnd when none
    DWORD tableEnd;         // where the file must end
};

struct ImageWalk {
    DWORD sum;        // 16-bit words added with end-around carry
    int haveOddByte;  // a word's low byte waits for its high byte
    BYTE oddByte;
    DWORD stamp;
    DWORD entryAt;      // the next certificate entry
    DWORD entryLength;  // its length field, byte by byte
    int damaged;
};

static void AddWord(ImageWalk *w, DWORD word)
{
    w->sum += word;
    w->sum = (w->sum & 0xFFFF) + (w->sum >> 16);
}

static void AddByte(ImageWalk *w, BYTE byte)
{
    if (w->haveOddByte)
        AddWord(w, w->oddByte | ((DWORD)byte << 8));
    else
        w->oddByte = byte;
    w->haveOddByte = !w->haveOddByte;
}

static DWORD FinishSum(ImageWalk *w, DWORD length)
{
    if (w->haveOddByte)
        AddWord(w, w->oddByte);
    return ((w->sum & 0xFFFF) + (w->sum >> 16)) + length;
}

static DWORD ReadWord(const BYTE *p)
{
    return p[0] | ((DWORD)p[1] << 8);
}

static DWORD ReadDword(const BYTE *p)
{
    return ReadWord(p) | (ReadWord(p + 2) << 16);
}

// The section's name fills its header's eight bytes, the zero included.
static int IsStampSection(const BYTE *header)
{
    for (int i = 0; i < 8; i++)
        if (header[i] != (BYTE)IMAGE_SUM_SECTION[i])
            return 0;
    return 1;
}

static int Within(DWORD at, DWORD start, DWORD size)
{
    return at >= start && at - start < size;
}

static void ZeroField(BYTE *field, DWORD size)
{
    for (DWORD i = 0; i < size; i++)
        field[i] = 0;
}

// Reads the layout from the file's first chunk and zeroes there the two
// fields that signing tools rewrite: the header CheckSum and the certificate
// table's directory entry. 0 when the chunk does not hold whole PE headers
// with that entry and the stamp's section, or when the certificate table
// does not follow the image as signing tools place it: on an 8-byte boundary
// within 7 bytes after the image's end.
static int ParseHeaders(BYTE *chunk, DWORD size, ImageLayout *layout)
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
    if (optionalSize < 2 || sections > size || (size - sections) / SECTION_HEADER_SIZE < sectionCount)
        return 0;
    DWORD magic = ReadWord(chunk + optional);
    DWORD directories = optional + (magic == 0x20B ? 112 : 96);
    if ((magic != 0x10B && magic != 0x20B) ||
        optionalSize < directories - optional + (SECURITY_DIRECTORY + 1) * DIRECTORY_ENTRY_SIZE ||
        ReadDword(chunk + directories - 4) <= SECURITY_DIRECTORY)
        return 0;

    layout->stampAt = 0;
    layout->imageEnd = 0;
    for (DWORD i = 0; i < sectionCount; i++) {
        const BYTE *header = chunk + sections + i * SECTION_HEADER_SIZE;
        DWORD rawSize = ReadDword(header + 16);
        DWORD rawAt = ReadDword(header + 20);
        if (rawSize >= IMAGE_SIZE_LIMIT || rawAt >= IMAGE_SIZE_LIMIT)
            return 0;
        if (rawSize != 0 && rawAt + rawSize > layout->imageEnd)
            layout->imageEnd = rawAt + rawSize;
        if (layout->stampAt == 0 && rawSize >= 4 && IsStampSection(header))
            layout->stampAt = rawAt;
    }

    BYTE *securityEntry = chunk + directories + SECURITY_DIRECTORY * DIRECTORY_ENTRY_SIZE;
    DWORD tableAt = ReadDword(securityEntry);
    DWORD tableSize = ReadDword(securityEntry + 4);
    ZeroField(chunk + optional + 64, 4);
    ZeroField(securityEntry, DIRECTORY_ENTRY_SIZE);
    if (layout->imageEnd == 0 || layout->stampAt == 0)
        return 0;
    if (tableAt == 0 && tableSize == 0) {
        layout->tableAt = layout->imageEnd;
        layout->tableEnd = layout->imageEnd;
        return 1;
    }
    layout->tableAt = tableAt;
    layout->tableEnd = tableAt + tableSize;
    return tableSize != 0 && tableAt < IMAGE_SIZE_LIMIT && tableSize < IMAGE_SIZE_LIMIT &&
           tableAt % CERTIFICATE_ALIGNMENT == 0 && tableAt >= layout->imageEnd &&
           tableAt - layout->imageEnd < CERTIFICATE_ALIGNMENT;
}

// One byte of the file. The image's bytes go into the sum, the stamp itself
// counting as zero; the padding before the certificate table must be zero;
// in the table, the entries' lengths, each rounded up to 8, must lead from
// one entry to the next and to the table's end.
static void TakeByte(ImageWalk *w, const ImageLayout *layout, DWORD at, BYTE byte)
{
    if (at < layout->imageEnd) {
        if (Within(at, layout->stampAt, 4)) {
            w->stamp |= (DWORD)byte << (8 * (at - layout->stampAt));
            byte = 0;
        }
        AddByte(w, byte);
    } else if (at < layout->tableAt) {
        if (byte != 0)
            w->damaged = 1;
    } else if (Within(at, w->entryAt, 4)) {
        w->entryLength |= (DWORD)byte << (8 * (at - w->entryAt));
        if (at - w->entryAt == 3) {
            if (w->entryLength < CERTIFICATE_HEADER_SIZE)
                w->damaged = 1;
            // A length that overflows leaves entryAt short of the table's end.
            w->entryAt += (w->entryLength + CERTIFICATE_ALIGNMENT - 1) & ~(CERTIFICATE_ALIGNMENT - 1);
            w->entryLength = 0;
        }
    }
}

DWORD ImageFileChecksum(HANDLE file)
{
    BYTE chunk[CHUNK_SIZE];
    DWORD got = 0;
    if (!ReadFile(file, chunk, sizeof(chunk), &got, NULL))
        return 0;

    ImageLayout layout;
    if (!ParseHeaders(chunk, got, &layout))
        return 0;

    ImageWalk walk = {0, 0, 0, 0, layout.tableAt, 0, 0};
    DWORD total = 0;
    while (got > 0) {
        for (DWORD i = 0; i < got; i++)
            TakeByte(&walk, &layout, total + i, chunk[i]);
        total += got;
        if (total > layout.tableEnd || !ReadFile(file, chunk, sizeof(chunk), &got, NULL))
            return 0;
    }
    int intact = !walk.damaged && total == layout.tableEnd && walk.entryAt == layout.tableEnd &&
                 FinishSum(&walk, layout.imageEnd) == walk.stamp;
    return intact ? walk.stamp : 0;
}

#ifdef IMAGE_CHECK_TOOLS
DWORD ImageBytesChecksum(const BYTE *bytes, DWORD size, DWORD *stampAt, int *isSigned)
{
    BYTE headers[CHUNK_SIZE];
    DWORD headerSize = size < CHUNK_SIZE ? size : CHUNK_SIZE;
    for (DWORD i = 0; i < headerSize; i++)
        headers[i] = bytes[i];
    ImageLayout layout;
    if (!ParseHeaders(headers, headerSize, &layout))
        return 0;
    ImageWalk walk = {0, 0, 0, 0, layout.tableAt, 0, 0};
    for (DWORD i = 0; i < size; i++)
        TakeByte(&walk, &layout, i, i < headerSize ? headers[i] : bytes[i]);
    if (walk.damaged || size != layout.tableEnd || walk.entryAt != layout.tableEnd)
        return 0;
    *stampAt = layout.stampAt;
    *isSigned = layout.tableEnd != layout.imageEnd;
    return FinishSum(&walk, layout.imageEnd);
}

DWORD HeaderChecksum(const BYTE *bytes, DWORD size, DWORD *checksumAt)
{
    DWORD pe = size >= 0x40 ? ReadDword(bytes + 0x3C) : size;
    if (pe >= size || size - pe < 24 + 64 + 4)
        return 0;
    *checksumAt = pe + 24 + 64;
    ImageWalk walk = {0, 0, 0, 0, 0, 0, 0};
    for (DWORD i = 0; i < size; i++)
        AddByte(&walk, Within(i, *checksumAt, 4) ? 0 : bytes[i]);
    return FinishSum(&walk, size);
}
#endif
