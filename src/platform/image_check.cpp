#include "image_check.h"

#include <stddef.h>

#define CHUNK_SIZE 4096
// A certificate table's entry begins with its length, its revision and its
// type: 8 bytes.
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

// Where the header CheckSum lies from the start of the PE header: the same
// in a PE32 and a PE32+ image.
#define CHECKSUM_AT offsetof(IMAGE_NT_HEADERS32, OptionalHeader.CheckSum)
static_assert(CHECKSUM_AT == offsetof(IMAGE_NT_HEADERS64, OptionalHeader.CheckSum),
              "PE32 and PE32+ images keep the CheckSum at the same offset");
#define OPTIONAL_HEADER_AT offsetof(IMAGE_NT_HEADERS32, OptionalHeader)
static_assert(OPTIONAL_HEADER_AT == offsetof(IMAGE_NT_HEADERS64, OptionalHeader),
              "PE32 and PE32+ images begin their optional header at the same offset");

// The section's name fills its header's eight bytes, the zero included.
static int IsStampSection(const BYTE *header)
{
    static_assert(sizeof(IMAGE_SUM_SECTION) <= IMAGE_SIZEOF_SHORT_NAME, "a section's name has 8 bytes");
    for (int i = 0; i < IMAGE_SIZEOF_SHORT_NAME; i++)
        if (header[offsetof(IMAGE_SECTION_HEADER, Name) + i] != (BYTE)IMAGE_SUM_SECTION[i])
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
    if (size < sizeof(IMAGE_DOS_HEADER) || ReadWord(chunk) != IMAGE_DOS_SIGNATURE)
        return 0;
    DWORD pe = ReadDword(chunk + offsetof(IMAGE_DOS_HEADER, e_lfanew));
    if (pe > size || size - pe < OPTIONAL_HEADER_AT || ReadDword(chunk + pe) != IMAGE_NT_SIGNATURE)
        return 0;
    DWORD sectionCount = ReadWord(chunk + pe + offsetof(IMAGE_NT_HEADERS32, FileHeader.NumberOfSections));
    DWORD optionalSize = ReadWord(chunk + pe + offsetof(IMAGE_NT_HEADERS32, FileHeader.SizeOfOptionalHeader));
    DWORD optional = pe + OPTIONAL_HEADER_AT;
    DWORD sections = optional + optionalSize;
    if (optionalSize < sizeof(WORD) || sections > size ||
        (size - sections) / sizeof(IMAGE_SECTION_HEADER) < sectionCount)
        return 0;
    // The magic tells a PE32+ image, with 64-bit fields before the
    // directories, from a PE32 one.
    DWORD magic = ReadWord(chunk + optional + offsetof(IMAGE_OPTIONAL_HEADER32, Magic));
    int plus = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    DWORD directories = optional + (plus ? offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory)
                                         : offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory));
    DWORD directoryCount = optional + (plus ? offsetof(IMAGE_OPTIONAL_HEADER64, NumberOfRvaAndSizes)
                                            : offsetof(IMAGE_OPTIONAL_HEADER32, NumberOfRvaAndSizes));
    if ((magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC && !plus) ||
        optionalSize < directories - optional + (IMAGE_DIRECTORY_ENTRY_SECURITY + 1) * sizeof(IMAGE_DATA_DIRECTORY) ||
        ReadDword(chunk + directoryCount) <= IMAGE_DIRECTORY_ENTRY_SECURITY)
        return 0;

    layout->stampAt = 0;
    layout->imageEnd = 0;
    for (DWORD i = 0; i < sectionCount; i++) {
        const BYTE *header = chunk + sections + i * sizeof(IMAGE_SECTION_HEADER);
        DWORD rawSize = ReadDword(header + offsetof(IMAGE_SECTION_HEADER, SizeOfRawData));
        DWORD rawAt = ReadDword(header + offsetof(IMAGE_SECTION_HEADER, PointerToRawData));
        if (rawSize >= IMAGE_SIZE_LIMIT || rawAt >= IMAGE_SIZE_LIMIT)
            return 0;
        if (rawSize != 0 && rawAt + rawSize > layout->imageEnd)
            layout->imageEnd = rawAt + rawSize;
        if (layout->stampAt == 0 && rawSize >= 4 && IsStampSection(header))
            layout->stampAt = rawAt;
    }

    // The certificate table's entry holds a file offset, not an address.
    BYTE *securityEntry = chunk + directories + IMAGE_DIRECTORY_ENTRY_SECURITY * sizeof(IMAGE_DATA_DIRECTORY);
    DWORD tableAt = ReadDword(securityEntry + offsetof(IMAGE_DATA_DIRECTORY, VirtualAddress));
    DWORD tableSize = ReadDword(securityEntry + offsetof(IMAGE_DATA_DIRECTORY, Size));
    ZeroField(chunk + pe + CHECKSUM_AT, sizeof(DWORD));
    ZeroField(securityEntry, sizeof(IMAGE_DATA_DIRECTORY));
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
    DWORD pe = size >= sizeof(IMAGE_DOS_HEADER) ? ReadDword(bytes + offsetof(IMAGE_DOS_HEADER, e_lfanew)) : size;
    if (pe >= size || size - pe < CHECKSUM_AT + sizeof(DWORD))
        return 0;
    *checksumAt = pe + CHECKSUM_AT;
    ImageWalk walk = {0, 0, 0, 0, 0, 0, 0};
    for (DWORD i = 0; i < size; i++)
        AddByte(&walk, Within(i, *checksumAt, sizeof(DWORD)) ? 0 : bytes[i]);
    return FinishSum(&walk, size);
}
#endif
