// What dump prints for a known log, line for line.
#include "run_instlog.h"
#include "support/log_builder.h"

class Dump : public InstlogTest {};

TEST_F(Dump, ShowsEveryRecordItsOffsetTypeAndTexts)
{
    std::string leftover = RecordBytes({kFile, "C:\\new.txt", ""});
    leftover.replace(4 + 11, 8, std::string("old\0\x01 <\"", 8));
    WriteFile("known.log", RecordBytes({kAppName, "Acme Tools", ""}) + leftover + RecordBytes({9, "x\ty", ""}) +
                               RecordBytes({kProgramGroup, "", std::string(256, 'G')}) + std::string("\x07\x00\x00\x00" "C:", 6));
    RunResult r = Run({"dump", "known.log"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("", r.err);
    EXPECT_EQ("# install log \"known.log\"\n"
              "record 0 at 0: APPNAME\n"
              "  primary \"Acme Tools\"\n"
              "  secondary \"\"\n"
              "record 1 at 516: FILE\n"
              "  primary \"C:\\new.txt\"\n"
              "  primary after zero \"old<00><01> <3C><22>\"\n"
              "  secondary \"\"\n"
              "record 2 at 1032: type 9 (unknown)\n"
              "  primary \"x<09>y\"\n"
              "  secondary \"\"\n"
              "record 3 at 1548: PMGROUP\n"
              "  primary \"\"\n"
              "  secondary \"" + std::string(256, 'G') + "\" unterminated\n"
              "# a truncated record: 6 bytes that no pass reads\n"
              "tail at 2064: 6 bytes \"<07><00><00><00>C:\"\n"
              "# 4 records, 2070 bytes\n",
              r.out);
}

TEST_F(Dump, AnEmptyLogHasNoRecords)
{
    WriteFile("empty.log", "");
    RunResult r = Run({"dump", "empty.log"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("# install log \"empty.log\"\n# 0 records, 0 bytes\n", r.out);
}

TEST_F(Dump, APathWithControlCharactersIsShownEscaped)
{
    WriteFile("a\nb.log", RecordBytes({kNoAction, "", ""}));
    RunResult r = Run({"dump", "a\nb.log"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("# install log \"a<0A>b.log\"\n", r.out.substr(0, r.out.find('\n') + 1));
}
