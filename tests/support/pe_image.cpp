#include "pe_image.h"

#include "platform/image_check.h"

#include <cstring>

static const size_t kPeOffset = 0x80;
static const size_t kSections = 3;

static uint32_t Get16(const std::string &s, size_t at)
{
    return (unsigned char)s[at] | (uint32_t)(unsigned char)s[at + 1] << 8;
}

static void Put16(std::string &s, size_t at, uint16_t v)
{
    s[at] = (char)(v & 0xFF);
    s[at + 1] = (char)(v >> 8);
}

void Put32(std::string &s, size_t at, uint32_t v)
{
    Put16(s, at, (uint16_t)(v & 0xFFFF));
    Put16(s, at + 2, (uint16_t)(v >> 16));
}

static bool IsPe32(const std::string &image)
{
    return Get16(image, kPeOffset + 24) == 0x10B;
}

static size_t OptionalSize(bool pe32)
{
    return pe32 ? 224 : 240;
}

size_t ChecksumOffset()
{
    return kPeOffset + 24 + 64;
}

size_t SecurityEntryOffset(const std::string &image)
{
    return kPeOffset + 24 + (IsPe32(image) ? 96 : 112) + 4 * 8;
}

size_t StampOffset()
{
    return 0x600;
}

std::string UnstampedImage(bool pe32, uint32_t stampSectionSize)
{
    std::string image(StampOffset() + stampSectionSize, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, kPeOffset);
    memcpy(&image[kPeOffset], "PE\0\0", 4);
    Put16(image, kPeOffset + 4, pe32 ? 0x14C : 0x8664);  // machine
    Put16(image, kPeOffset + 6, kSections);
    Put16(image, kPeOffset + 20, (uint16_t)OptionalSize(pe32));
    size_t optional = kPeOffset + 24;
    Put16(image, optional, pe32 ? 0x10B : 0x20B);
    Put32(image, optional + (pe32 ? 92 : 108), 16);      // data directories
    size_t sections = optional + OptionalSize(pe32);
    const char *names[kSections] = {".text", ".rsrc", ".imgsum"};
    for (size_t i = 0; i < kSections; i++) {
        memcpy(&image[sections + 40 * i], names[i], strlen(names[i]));
        Put32(image, sections + 40 * i + 16, i + 1 < kSections ? 0x200 : stampSectionSize);
        Put32(image, sections + 40 * i + 20, 0x200 * (i + 1));
    }
    for (size_t i = 0x200; i < StampOffset(); i++)
        image[i] = (char)(i * 7 + 3);
    return image;
}

uint32_t ComputeChecksum(const std::string &image)
{
    DWORD at;
    return HeaderChecksum((const BYTE *)image.data(), (DWORD)image.size(), &at);
}

std::string Stamped(std::string image)
{
    DWORD stampAt = (DWORD)StampOffset();
    int isSigned;
    Put32(image, stampAt, ImageBytesChecksum((const BYTE *)image.data(), (DWORD)image.size(), &stampAt, &isSigned));
    Put32(image, ChecksumOffset(), ComputeChecksum(image));
    return image;
}

std::string Signed(std::string image, const std::vector<uint32_t> &entryLengths, bool keepChecksum)
{
    image.resize((image.size() + 7) & ~(size_t)7, '\0');
    size_t table = image.size();
    for (uint32_t length : entryLengths) {
        std::string entry((length + 7) & ~7u, '\0');
        Put32(entry, 0, length);
        Put32(entry, 4, 0x00020200);  // WIN_CERT_REVISION_2_0, WIN_CERT_TYPE_PKCS_SIGNED_DATA
        for (size_t i = 8; i < length; i++)
            entry[i] = (char)(i * 13 + 5);
        image += entry;
    }
    Put32(image, SecurityEntryOffset(image), (uint32_t)table);
    Put32(image, SecurityEntryOffset(image) + 4, (uint32_t)(image.size() - table));
    if (!keepChecksum)
        Put32(image, ChecksumOffset(), ComputeChecksum(image));
    return image;
}
