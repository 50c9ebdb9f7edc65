// dump then build gives back the very same bytes, whatever the log holds.
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "build.h"
#include "dump.h"
#include "exit_codes.h"
#include "run_instlog.h"
#include "support/log_builder.h"

class RoundTrip : public InstlogTest {
protected:
    // Dumps log with the program, builds the dump back, and expects the
    // built log to equal log byte for byte.
    void ExpectRoundTrip(const std::string &log)
    {
        WriteFile("in.log", log);
        RunResult dump = Run({"dump", "in.log"});
        ASSERT_EQ(0, dump.exitCode) << dump.err;
        WriteFile("dump.txt", dump.out);
        RunResult build = Run({"build", "dump.txt", "out.log"});
        ASSERT_EQ(0, build.exitCode) << build.err << "\nfor the dump\n" << dump.out;
        std::string back = ReadFile("out.log");
        ASSERT_EQ(log.size(), back.size()) << dump.out;
        for (size_t i = 0; i < log.size(); i++)
            ASSERT_EQ((unsigned char)log[i], (unsigned char)back[i]) << "first difference at byte " << i << "\n"
                                                                     << dump.out;
    }
};

// The bytes of a record with every byte of both fields given.
static std::string RawRecord(uint32_t type, const std::string &primary, const std::string &secondary)
{
    std::string rec = RecordBytes({type, "", ""});
    rec.replace(4, primary.size(), primary);
    rec.replace(260, secondary.size(), secondary);
    return rec;
}

static std::string AllByteValues()
{
    std::string bytes;
    for (int i = 1; i < 256; i++)
        bytes += (char)i;
    return bytes;
}

TEST_F(RoundTrip, EveryType)
{
    ExpectRoundTrip(LogBytes({{kAppName, "Acme Tools", ""},
                              {kFile, "C:\\Program Files\\Acme\\acme.exe", ""},
                              {kDirectory, "C:\\Program Files\\Acme", ""},
                              {kNoAction, "", ""},
                              {kSharedDll, "C:\\WINDOWS\\SYSTEM\\ACMEUI.DLL", ""},
                              {kProgramGroup, "", "Acme \"Tools\" <1>"},
                              {kStatusOnly, "", ""},
                              {kCustomProgram, "C:\\Acme\\undo.exe", "/q /log=C:\\x.txt"}}));
}

TEST_F(RoundTrip, UnknownTypes)
{
    ExpectRoundTrip(LogBytes({{8, "a", "b"}, {9, "", ""}, {0x80000000u, "x", ""}, {0xFFFFFFFFu, "", "y"},
                              {0x100u, "", ""}}));
}

TEST_F(RoundTrip, UnterminatedTexts)
{
    std::string full(256, 'P');
    ExpectRoundTrip(LogBytes({{kFile, full, ""}, {kProgramGroup, "", full}, {kCustomProgram, full, std::string(256, '\xFF')}}));
}

TEST_F(RoundTrip, EveryByteValueInTexts)
{
    std::string bytes = AllByteValues();   // 255 bytes, no zero
    ExpectRoundTrip(LogBytes({{kFile, bytes, ""}, {kFile, "", bytes}, {kDirectory, std::string(1, '\xFF') + bytes, ""}}));
}

TEST_F(RoundTrip, BytesAfterTheTerminatingZero)
{
    std::string leftover = std::string("C:\\A\0ld\\longer\\path.exe", 24);
    std::string lastByteOnly(256, '\0');
    lastByteOnly[255] = 'z';
    std::string zerosBetween = std::string("ab\0\0\0c\0\0\x01\0", 10);
    ExpectRoundTrip(RawRecord(1, leftover, "") + RawRecord(5, "", leftover) + RawRecord(2, lastByteOnly, lastByteOnly) +
                    RawRecord(7, zerosBetween, std::string(1, '\0') + AllByteValues()));
}

TEST_F(RoundTrip, TruncatedTail)
{
    std::string log = LogBytes({{kAppName, "App", ""}, {kFile, "C:\\a", ""}});
    ExpectRoundTrip(log + "x");
    ExpectRoundTrip(log + RecordBytes({kFile, "C:\\tail", "<\"zz\">"}).substr(0, 515));
    ExpectRoundTrip(std::string("\x01\x00\x00", 3));
}

TEST_F(RoundTrip, EmptyLog)
{
    ExpectRoundTrip("");
    EXPECT_TRUE(Exists("out.log"));
}

// Logs of random bytes, built in the process: every record kind of damage at
// once, reproducibly.
TEST(RoundTripRandom, RandomLogsComeBackByteForByte)
{
    std::mt19937 random(20261207);
    for (int round = 0; round < 200; round++) {
        std::string log;
        int records = (int)(random() % 6);
        for (int r = 0; r < records; r++) {
            std::string rec(516, '\0');
            for (char &c : rec)
                c = (random() % 3 == 0) ? '\0' : (char)(random() % 256);
            if (random() % 2)
                rec[0] = (char)(random() % 9), rec[1] = rec[2] = rec[3] = '\0';
            log += rec;
        }
        for (int t = (int)(random() % 4 == 0 ? random() % 516 : 0); t > 0; t--)
            log += (char)(random() % 256);

        char name[] = "/tmp/instlog_random.XXXXXX";
        int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        ASSERT_EQ((ssize_t)log.size(), write(fd, log.data(), log.size()));
        close(fd);
        std::ostringstream dump, err;
        ASSERT_EQ(INSTLOG_OK, RunDump(name, dump, err)) << err.str();
        std::istringstream text(dump.str());
        ASSERT_EQ(INSTLOG_OK, RunBuild("-", name, text, err)) << err.str() << "\n" << dump.str();
        std::ifstream in(name, std::ios::binary);
        std::string back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        unlink(name);
        ASSERT_EQ(log, back) << "round " << round << ", dump:\n" << dump.str();
    }
}
