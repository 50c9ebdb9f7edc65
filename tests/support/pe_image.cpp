#include "pe_image.h"

#include <cstring>

static const size_t kPeOffset = 0x80;

static void Put16(std::string &s, size_t at, uint16_t v)
{
    s[at] = (char)(v & 0xFF);
    s[at + 1] = (char)(v >> 8);
}

static void Put32(std::string &s, size_t at, uint32_t v)
{
    Put16(s, at, (uint16_t)(v & 0xFFFF));
    Put16(s, at + 2, (uint16_t)(v >> 16));
}

size_t ChecksumOffset()
{
    return kPeOffset + 24 + 64;
}

std::string UnstampedImage()
{
    std::string image(0x600, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, kPeOffset);
    memcpy(&image[kPeOffset], "PE\0\0", 4);
    Put16(image, kPeOffset + 4, 0x8664);    // machine
    Put16(image, kPeOffset + 6, 2);         // sections
    Put16(image, kPeOffset + 20, 240);      // optional header size
    Put16(image, kPeOffset + 24, 0x20B);    // PE32+
    size_t sections = kPeOffset + 24 + 240;
    memcpy(&image[sections], ".text", 5);
    Put32(image, sections + 16, 0x200);     // raw size
    Put32(image, sections + 20, 0x200);     // raw data offset
    memcpy(&image[sections + 40], ".rsrc", 5);
    Put32(image, sections + 40 + 16, 0x200);
    Put32(image, sections + 40 + 20, 0x400);
    for (size_t i = 0x200; i < image.size(); i++)
        image[i] = (char)(i * 7 + 3);
    return image;
}

uint32_t ComputeChecksum(const std::string &image)
{
    uint64_t sum = 0;
    for (size_t i = 0; i < image.size(); i += 2) {
        if (i >= ChecksumOffset() && i < ChecksumOffset() + 4)
            continue;
        uint32_t word = (unsigned char)image[i];
        if (i + 1 < image.size())
            word |= (uint32_t)(unsigned char)image[i + 1] << 8;
        sum += word;
    }
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return (uint32_t)sum + (uint32_t)image.size();
}

std::string Stamped(std::string image)
{
    Put32(image, ChecksumOffset(), ComputeChecksum(image));
    return image;
}
