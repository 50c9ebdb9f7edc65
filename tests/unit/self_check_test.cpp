#include "platform/image_check.h"
#include "shell/self_check.h"
#include "support/pe_image.h"
#include "support/sim_fixture.h"

#define IMAGE "C:\\Program Files\\App\\copy.exe"

class SelfCheck : public SimTest {
protected:
    bool Intact(const std::string &bytes)
    {
        sim::AddFile(IMAGE, bytes);
        HANDLE file = CreateFileA(IMAGE, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, file);
        bool intact = ImageFileChecksum(file) != 0;
        CloseHandle(file);
        return intact;
    }
};

static std::string WithDword(std::string image, size_t at, uint32_t value)
{
    Put32(image, at, value);
    return image;
}

TEST_F(SelfCheck, WhatPassesAndWhatFails)
{
    const std::string good = Stamped(UnstampedImage());
    const std::string signed1 = Signed(good);
    const size_t table = good.size();                      // the certificate table in signed1
    const size_t directory = SecurityEntryOffset(good);    // its address, then its size
    const std::string oddEnd = Stamped(UnstampedImage(false, 0x1FB));  // the image ends at 0x7FB
    std::string renamed = good;
    renamed.replace(renamed.find(".imgsum"), 7, ".imgsux");
    std::string farHeader = good;
    Put32(farHeader, 0x3C, 0xFFF0);

    const struct {
        const char *what;
        std::string bytes;
        bool intact;
    } cases[] = {
        {"as built", good, true},
        {"as built, 32-bit", Stamped(UnstampedImage(true)), true},
        {"header CheckSum zero", WithDword(good, ChecksumOffset(), 0), true},
        {"signed", signed1, true},
        {"signed, 32-bit", Signed(Stamped(UnstampedImage(true))), true},
        {"signed again, a longer signature in place of the first", Signed(good, {2897}), true},
        {"signed with two certificate entries", Signed(good, {13, 24}), true},
        {"signed, header CheckSum left as before signing", Signed(good, {1432}, true), true},
        {"signed after 5 bytes of zero padding", Signed(oddEnd), true},

        {"unstamped", UnstampedImage(), false},
        {"stamp zero", WithDword(good, StampOffset(), 0), false},
        {"no .imgsum section", Stamped(renamed), false},
        {"no certificate-table entry", Stamped(WithDword(UnstampedImage(), directory - 36, 4)), false},
        {"cut by a byte", good.substr(0, good.size() - 1), false},
        {"cut by a section", good.substr(0, good.size() - 0x200), false},
        {"a zero byte added", good + std::string(1, '\0'), false},
        {"two zero bytes added", good + std::string(2, '\0'), false},
        // Their word makes up for the longer length in a header CheckSum.
        {"a word added that keeps the sum", good + std::string("\xFD\xFF", 2), false},
        {"empty", "", false},
        {"a DOS header alone", good.substr(0, 0x40), false},
        {"PE header beyond the first chunk", Stamped(farHeader), false},

        {"signed, cut by a byte", signed1.substr(0, signed1.size() - 1), false},
        {"signed, a byte after the table", signed1 + "x", false},
        {"signed, 8 zero bytes after the table", signed1 + std::string(8, '\0'), false},
        {"signed, the table's last entry outside the directory",
         WithDword(Signed(good, {1432, 16}), directory + 4, 1432), false},
        {"signed, the directory beyond the file's end", WithDword(signed1, directory + 4, 1440), false},
        {"signed, entry lengths short of the directory's size", WithDword(signed1, table, 1424), false},
        {"signed, an entry length beyond the table", WithDword(signed1, table, 1433), false},
        {"signed, an entry length that overflows", WithDword(signed1, table, 0xFFFFFFF9), false},
        {"signed, an entry length below its own header", WithDword(Signed(good, {1432, 8}), table + 1432, 4), false},
        {"signed, the directory 2 bytes past the last entry",
         WithDword(signed1 + std::string(2, '\0'), directory + 4, 1434), false},
        {"signed, the table 8 bytes after the image's end",
         WithDword(signed1.substr(0, table) + std::string(8, '\0') + signed1.substr(table), directory, (uint32_t)table + 8), false},
        {"signed, padding that is not zero", [&] {
             std::string s = Signed(oddEnd);
             s[0x7FD] = 1;
             return s;
         }(), false},
        {"signed, the table off an 8-byte boundary", [&] {
             std::string s = Signed(oddEnd);
             s.erase(0x7FB, 5);
             return WithDword(s, directory, 0x7FB);
         }(), false},
        {"signed, the directory inside the image",
         WithDword(WithDword(signed1, directory, 0x600), directory + 4, (uint32_t)(signed1.size() - 0x600)), false},
        {"signed, the directory's address zero", WithDword(signed1, directory, 0), false},
        {"the directory's size zero", WithDword(good, directory, (uint32_t)good.size()), false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.intact, Intact(c.bytes)) << c.what << " (" << c.bytes.size() << " bytes)";
}

// Every byte of the image counts, the header CheckSum alone excepted; of the
// certificate table, only the entries' lengths do, since the bytes a
// signature holds are Windows' to judge.
TEST_F(SelfCheck, EverySingleFlippedByteIsFound)
{
    const std::string unsignedImage = Stamped(UnstampedImage());
    for (const std::string &good : {unsignedImage, Signed(unsignedImage)}) {
        for (size_t i = 0; i < good.size(); i++) {
            bool counted = (i < ChecksumOffset() || i >= ChecksumOffset() + 4) &&
                           (i < unsignedImage.size() + 4);
            for (unsigned char flip : {0x01, 0x80, 0xFF}) {
                std::string bad = good;
                bad[i] = (char)(bad[i] ^ flip);
                ASSERT_EQ(!counted, Intact(bad)) << good.size() << "-byte image, byte " << i << " xor "
                                                 << (int)flip;
            }
        }
    }
}

TEST_F(SelfCheck, TheProgramChecksItsOwnFile)
{
    EXPECT_EQ(1, CheckOwnIntegrity());
    std::string bad = Stamped(UnstampedImage());
    bad[0x300] ^= 1;
    sim::AddFile(EXE_PATH, bad);
    EXPECT_EQ(0, CheckOwnIntegrity());
    EXPECT_TRUE(sim::OpenHandles().empty());
}

TEST_F(SelfCheck, TheLongestPathWindowsAllowsIsChecked)
{
    std::string path = "C:\\" + std::string(242, 'd') + "\\uninstall.exe";
    ASSERT_EQ(259u, path.size());
    sim::AddFile(path, Stamped(UnstampedImage()));
    sim::SetModuleFileName(path);
    EXPECT_EQ(1, CheckOwnIntegrity());
}
