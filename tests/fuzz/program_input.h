// The program fuzzer's input: a whole run (hardening::SimulatedRun) in
// bytes. DecodeProgramInput reads any bytes as a run; EncodeProgramInput
// writes a run as the bytes that read back as it, which is how the seed
// corpus is written (seed_corpus.cpp). Both walk the one layout below
// (Layout in program_input.cpp), the one reading, the other writing.
//
// Layout (a byte past the end reads as 0):
//   0      options: bit 0 executable corrupt; bit 1 No to the confirmation;
//          bit 2 Yes in the restart dialog; bits 3-4 Program Manager
//          (0 accepts, 1 refuses, 2 absent, 3 answers after the time-out);
//          bits 5-6 COMSPEC (0 kComspecs[0], 1 unset, 2 and 3 kComspecs[1]
//          and [2]); bit 7 Win32s
//   1      bits 0-6: the command line's tail, kLogPaths[b % count]; bit 7:
//          the log lies at kLogPaths[0], else where the tail names
//   2      bits 0-1 failure: 0 none; 1 the n-th call of the run; 2 the n-th
//          call of one function; 3 every call of one function; bits 2-3:
//          the command line's switch before the tail, kSwitches[b]; bit 7:
//          another run on the log is under way
//   3-4    n, little-endian: n % 512 + 1 of the run, n % 8 + 1 of the function
//   5      function: kFunctions[b % count]
//   6      error: kErrors[b % count]
//   7      WININIT.INI (b % 4): 0 absent; 1 with others' lines; 2 empty; 3
//          [Rename] only; bit 7: the ANSI code page is 932 (Japanese), in
//          which the second byte of a character may be a backslash
//   8      number of world items (% 32), then per item: kind, text, arg
//            kind % 8: 0 file; 1 directory; 2 file held (share = arg & 7);
//            3 program ending with kStatuses[arg % 8] after (arg >> 3) & 3
//            reads that find it running, which leaves the log it inherits
//            at kInheritedPositions[(arg >> 5) & 3]; 4 SharedDLLs value
//            named by the text, type kValueTypes[arg & 3], (arg >> 2) % 9
//            data bytes that follow; 5 Uninstall entry named by the text
//            (with a subkey when arg & 1, a DisplayName when arg & 2); 6
//            directory held (share = arg & 7), or, when arg & 8, the folder
//            the program is started in; 7 the attributes of an existing item: read-only
//            (arg & 1), hidden (2), system (4), and loaded as a DLL (8)
//          text: kTexts[b % count]
//   then   number of records (% 64), then per record: type (b < 0xF0: b % 10;
//          otherwise 4 bytes follow), primary field, secondary field
//            field b < 0x80: kTexts[b % count]; 0x80 empty; 0x81 length L,
//            then L bytes; 0x82 256 bytes with no terminating zero ("A"s);
//            others empty
//   rest   appended to the log as it is: a short tail or garbage
#ifndef TESTS_FUZZ_PROGRAM_INPUT_H
#define TESTS_FUZZ_PROGRAM_INPUT_H

#include "hardening/simulated_run.h"

#include <cstdint>
#include <string>

hardening::SimulatedRun DecodeProgramInput(const uint8_t *data, size_t size);

// The bytes that DecodeProgramInput reads as run. Throws
// std::invalid_argument, saying what, when run holds something the layout
// cannot: a text or value outside its tables, too many items or records.
std::string EncodeProgramInput(const hardening::SimulatedRun &run);

#endif
