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
        bool intact = ImageFileIsIntact(file) != 0;
        CloseHandle(file);
        return intact;
    }
};

TEST_F(SelfCheck, AStampedImageIsIntact)
{
    EXPECT_TRUE(Intact(Stamped(UnstampedImage())));
}

TEST_F(SelfCheck, EverySingleFlippedByteIsFound)
{
    std::string good = Stamped(UnstampedImage());
    for (size_t i = 0; i < good.size(); i++) {
        for (unsigned char flip : {0x01, 0x80, 0xFF}) {
            std::string bad = good;
            bad[i] = (char)(bad[i] ^ flip);
            ASSERT_FALSE(Intact(bad)) << "byte " << i << " xor " << (int)flip;
        }
    }
}

TEST_F(SelfCheck, ACutOrExtendedFileIsFound)
{
    std::string good = Stamped(UnstampedImage());
    EXPECT_FALSE(Intact(good.substr(0, good.size() - 1)));
    EXPECT_FALSE(Intact(good.substr(0, good.size() - 0x200)));
    EXPECT_FALSE(Intact(good + std::string(1, '\0')));
    EXPECT_FALSE(Intact(good + std::string(2, '\0')));
    // Two bytes whose word makes up for the longer length still fail.
    EXPECT_FALSE(Intact(good + std::string("\xFD\xFF", 2)));
}

TEST_F(SelfCheck, AnUnstampedImageFails)
{
    std::string image = UnstampedImage();
    EXPECT_FALSE(Intact(image));
}

TEST_F(SelfCheck, ImagesItCannotReadFail)
{
    std::string good = Stamped(UnstampedImage());
    EXPECT_FALSE(Intact(""));
    EXPECT_FALSE(Intact(good.substr(0, 0x40)));
    std::string farHeader = good;
    farHeader[0x3C] = (char)0xF0;
    farHeader[0x3D] = (char)0xFF;
    EXPECT_FALSE(Intact(Stamped(farHeader)));
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
