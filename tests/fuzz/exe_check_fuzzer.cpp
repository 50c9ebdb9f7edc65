// Fuzz target: the check of the program's own executable on arbitrary
// bytes. The check exists for a damaged file, so it must read any file
// safely (AddressSanitizer watches that), and it must pass exactly the files
// that an independent reading finds intact: a PE image whose headers, with
// a certificate-table directory entry, lie in its first 4096 bytes; whose
// sections all lie below 1 GiB and include one named .imgsum (the first
// with at least 4 bytes at a nonzero offset holds the stamp); whose stamp
// equals the checksum of the image's bytes up to the end of its last
// section, with the header CheckSum, the directory entry and the stamp
// counting as zero; and which ends where the image ends when the entry is
// zero, or else holds after the image, within 7 zero bytes, on an 8-byte
// boundary, the certificate table that the entry names, which ends the file
// and whose entries' lengths (each at least 8) add up to its size when each
// is rounded up to 8. This reading is written apart from the check on
// purpose: it is the one checksum that does not share the program's code.
#include "sim/sim.h"
#include "shell/self_check.h"
#include "support/machine_names.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

static uint32_t Get16(const std::string &b, size_t at)
{
    return (unsigned char)b[at] | (uint32_t)(unsigned char)b[at + 1] << 8;
}

static uint32_t Get32(const std::string &b, size_t at)
{
    return Get16(b, at) | Get16(b, at + 2) << 16;
}

static bool IntactByIndependentReading(const std::string &original)
{
    const uint64_t kLimit = 1 << 30;
    std::string file = original;
    std::string head = file.substr(0, 4096);
    if (head.size() < 0x40 || head[0] != 'M' || head[1] != 'Z')
        return false;
    uint64_t pe = Get32(head, 0x3C);
    if (pe + 24 > head.size() || head.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        return false;
    uint64_t sections = Get16(head, pe + 6);
    uint64_t optionalSize = Get16(head, pe + 20);
    uint64_t optional = pe + 24;
    uint64_t table = optional + optionalSize;
    if (optionalSize < 2 || table + 40 * sections > head.size())
        return false;
    uint32_t magic = Get16(head, optional);
    uint64_t directories = optional + (magic == 0x20B ? 112 : 96);
    if ((magic != 0x10B && magic != 0x20B) || directories + 40 > table || Get32(head, directories - 4) < 5)
        return false;

    uint64_t end = 0;
    uint64_t stampAt = 0;
    for (uint64_t i = 0; i < sections; i++) {
        uint64_t rawSize = Get32(head, table + 40 * i + 16);
        uint64_t rawStart = Get32(head, table + 40 * i + 20);
        if (rawSize >= kLimit || rawStart >= kLimit)
            return false;
        if (rawSize != 0)
            end = std::max(end, rawStart + rawSize);
        if (stampAt == 0 && rawSize >= 4 && head.compare(table + 40 * i, 8, std::string(".imgsum\0", 8)) == 0)
            stampAt = rawStart;
    }
    uint64_t checksumAt = optional + 64;
    uint64_t entryAt = directories + 4 * 8;
    uint64_t certificatesAt = Get32(head, entryAt);
    uint64_t certificatesSize = Get32(head, entryAt + 4);
    if (end == 0 || stampAt == 0)
        return false;

    bool isSigned = certificatesAt != 0 || certificatesSize != 0;
    if (isSigned && (certificatesSize == 0 || certificatesSize >= kLimit || certificatesAt < end ||
                     certificatesAt >= end + 8 || certificatesAt % 8 != 0))
        return false;
    if ((isSigned ? certificatesAt + certificatesSize : end) != file.size())
        return false;
    if (isSigned) {
        for (uint64_t i = end; i < certificatesAt; i++)
            if (file[i] != 0)
                return false;
        uint64_t at = certificatesAt;
        while (at < file.size()) {
            if (at + 4 > file.size() || Get32(file, at) < 8)
                return false;
            at += ((uint64_t)Get32(file, at) + 7) & ~(uint64_t)7;
        }
        if (at != file.size())
            return false;
    }

    // The fields signing tools rewrite count as zero, in the stamp as well.
    file.replace(checksumAt, 4, 4, '\0');
    file.replace(entryAt, 8, 8, '\0');
    uint32_t stamp = Get32(file, stampAt);
    file.replace(stampAt, 4, 4, '\0');
    uint64_t sum = 0;
    for (uint64_t i = 0; i < end; i += 2) {
        uint32_t word = (unsigned char)file[i];
        if (i + 1 < end)
            word |= (uint32_t)(unsigned char)file[i + 1] << 8;
        sum += word;
    }
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return (uint32_t)(sum + end) == stamp;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string file((const char *)data, size);
    sim::Reset();
    sim::AddFile(EXE_PATH, file);
    sim::SetModuleFileName(EXE_PATH);
    int intact = CheckOwnIntegrity();
    bool expected = IntactByIndependentReading(file);
    if ((intact != 0) != expected) {
        fprintf(stderr, "the self-check says %s, an independent reading %s (%zu bytes)\n",
                intact ? "intact" : "damaged", expected ? "intact" : "damaged", size);
        abort();
    }
    if (!sim::OpenHandles().empty()) {
        fprintf(stderr, "the self-check leaves %s open\n", sim::OpenHandles()[0].c_str());
        abort();
    }
    return 0;
}
