// Minimal PE images for the self-check tests, with a checksum computed here
// independently of the program's own code.
#ifndef TESTS_SUPPORT_PE_IMAGE_H
#define TESTS_SUPPORT_PE_IMAGE_H

#include <cstdint>
#include <string>

// A 64-bit PE file with two sections; the checksum field is zero.
std::string UnstampedImage();

// Offset of the header checksum field in images made by UnstampedImage.
size_t ChecksumOffset();

uint32_t ComputeChecksum(const std::string &image);

// image with its checksum field set to what ComputeChecksum gives.
std::string Stamped(std::string image);

#endif
