// The integrity check of an executable file, of the program's own and, in
// the release tools, of a built or signed copy.
#ifndef PLATFORM_IMAGE_CHECK_H
#define PLATFORM_IMAGE_CHECK_H

#include "platform/platform.h"

// The section whose first four bytes hold the value the build stamps.
#define IMAGE_SUM_SECTION ".imgsum"

// The open file is intact when it is a PE image whose stamped value equals
// the checksum of its image (the bytes up to the end of its last section,
// with the header CheckSum, the certificate table's directory entry and the
// stamp counting as zero), and which ends where the image ends or, when it is
// signed, where its certificate table ends. Those are the bytes an
// Authenticode signature covers: signing keeps a copy intact, with the
// checksum of its unsigned build, while a flipped byte, a cut or an extended
// file fails. Returns that checksum for an intact file, 0 for any other: the
// checksum adds the image's length, so it is never 0.
DWORD ImageFileChecksum(HANDLE file);

#ifdef IMAGE_CHECK_TOOLS
// For the build machine's stamper and the tests, never in the program: the
// same checksum computed over a whole file in memory, whatever it stamps,
// with where its stamp lies and whether the file is signed; 0 when the check
// could not read the file.
DWORD ImageBytesChecksum(const BYTE *bytes, DWORD size, DWORD *stampAt, int *isSigned);

// The PE header CheckSum of a whole file in memory: the same 16-bit sum over
// all its bytes, the field itself counting as zero, plus the file's length;
// 0 when the file has no PE header. *checksumAt is where the field lies.
DWORD HeaderChecksum(const BYTE *bytes, DWORD size, DWORD *checksumAt);
#endif

#endif
