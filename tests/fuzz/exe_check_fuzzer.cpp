// Fuzz target: the check of the program's own executable on arbitrary
// bytes. The check exists for a damaged file, so it must read any file
// safely (AddressSanitizer watches that), and it must pass exactly the files
// that an independent reading finds intact: a PE image whose headers lie in
// its first 4096 bytes, whose stamped checksum is nonzero and equals the
// checksum of all its bytes, and which ends where its last section ends.
#include "platform/sim/sim.h"
#include "shell/self_check.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#define EXE "C:\\Program Files\\App\\uninstall.exe"

static uint32_t Get16(const std::string &b, size_t at)
{
    return (unsigned char)b[at] | (uint32_t)(unsigned char)b[at + 1] << 8;
}

static uint32_t Get32(const std::string &b, size_t at)
{
    return Get16(b, at) | Get16(b, at + 2) << 16;
}

static bool IntactByIndependentReading(const std::string &file)
{
    std::string head = file.substr(0, 4096);
    if (head.size() < 0x40 || head[0] != 'M' || head[1] != 'Z')
        return false;
    uint64_t pe = Get32(head, 0x3C);
    if (pe + 24 > head.size() || head.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        return false;
    uint64_t sections = Get16(head, pe + 6);
    uint64_t optional = Get16(head, pe + 20);
    uint64_t table = pe + 24 + optional;
    if (optional < 68 || table + 40 * sections > head.size())
        return false;
    uint64_t checksumAt = pe + 24 + 64;
    uint64_t end = 0;
    for (uint64_t i = 0; i < sections; i++) {
        uint64_t rawSize = Get32(head, table + 40 * i + 16);
        uint64_t rawStart = Get32(head, table + 40 * i + 20);
        if (rawSize != 0 && rawStart + rawSize > end)
            end = rawStart + rawSize;
    }
    if (end == 0 || end != file.size())
        return false;
    uint64_t sum = 0;
    for (uint64_t i = 0; i < file.size(); i += 2) {
        uint32_t word = (unsigned char)file[i];
        if (i + 1 < file.size())
            word |= (uint32_t)(unsigned char)file[i + 1] << 8;
        if (i >= checksumAt && i < checksumAt + 4)
            word = 0;
        sum += word;
    }
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    uint32_t stamped = Get32(head, checksumAt);
    return stamped != 0 && (uint32_t)(sum + file.size()) == stamped;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string file((const char *)data, size);
    sim::Reset();
    sim::AddFile(EXE, file);
    sim::SetModuleFileName(EXE);
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
