// Minimal PE images for the self-check tests, stamped with the checksum of
// the program's own check as the build stamps uninstall.exe (the fuzzer's
// reading of the rule is the independent one), and signed forms of them
// with certificate tables laid out as signing tools lay them out.
#ifndef TESTS_SUPPORT_PE_IMAGE_H
#define TESTS_SUPPORT_PE_IMAGE_H

#include <cstdint>
#include <string>
#include <vector>

// A 64-bit PE file (a 32-bit one with pe32) with three sections, the last
// one .imgsum, of stampSectionSize bytes, at StampOffset(); the header
// CheckSum and the stamp are zero.
std::string UnstampedImage(bool pe32 = false, uint32_t stampSectionSize = 0x200);

// Offsets in images made by UnstampedImage: the header CheckSum, the
// certificate table's directory entry, the stamp.
size_t ChecksumOffset();
size_t SecurityEntryOffset(const std::string &image);
size_t StampOffset();

// The header CheckSum's value: over the whole file, the field as zero.
uint32_t ComputeChecksum(const std::string &image);

// image with its stamp and its header CheckSum set; a stamp of 0 where the
// check cannot read the image.
std::string Stamped(std::string image);

// image signed: zero padding to an 8-byte boundary, then one certificate
// entry of each length given (each padded to 8), the directory entry set to
// them, and the header CheckSum stamped again unless keepChecksum.
std::string Signed(std::string image, const std::vector<uint32_t> &entryLengths = {1432},
                   bool keepChecksum = false);

void Put32(std::string &image, size_t at, uint32_t value);

#endif
