#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

static std::string Tail(const std::string &commandLine)
{
    std::vector<char> buf(commandLine.begin(), commandLine.end());
    buf.push_back('\0');
    char *tail = SkipProgramName(buf.data());
    EXPECT_GE(tail, buf.data());
    EXPECT_LE(tail, buf.data() + commandLine.size());
    return tail;
}

TEST(CommandLine, TheTailFollowsAQuotedProgramName)
{
    EXPECT_EQ("C:\\Apps\\install.log", Tail("\"C:\\Program Files\\App\\uninstall.exe\" C:\\Apps\\install.log"));
    EXPECT_EQ("x y", Tail("\"C:\\a b\\u.exe\"x y"));
}

TEST(CommandLine, AnUnquotedNameEndsAtWhiteSpace)
{
    EXPECT_EQ("C:\\log", Tail("uninstall.exe\tC:\\log"));
    EXPECT_EQ("C:\\log", Tail("uninstall.exe \r\n\v\f C:\\log"));
}

TEST(CommandLine, QuotesAndBlanksOfThePathStay)
{
    EXPECT_EQ("\"C:\\My Apps\\install.log\"  ", Tail("uninstall.exe \"C:\\My Apps\\install.log\"  "));
    EXPECT_EQ("C:\\My Apps\\install.log", Tail("uninstall.exe C:\\My Apps\\install.log"));
}

TEST(CommandLine, NothingAfterTheNameGivesAnEmptyPath)
{
    EXPECT_EQ("", Tail("uninstall.exe"));
    EXPECT_EQ("", Tail("uninstall.exe   "));
    EXPECT_EQ("", Tail("\"C:\\unterminated quote"));
    EXPECT_EQ("", Tail(""));
}
