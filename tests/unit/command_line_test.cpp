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

// The switch makes a run unattended only before a fully qualified path; any
// other tail is the log's path as it stands, switch and all.
TEST(CommandLine, TheUnattendedSwitchComesBeforeAFullyQualifiedPath)
{
    struct Case {
        const char *tail;
        int unattended;
        const char *logPath;
    };
    const Case cases[] = {
        {"/S C:\\Apps\\install.log", 1, "C:\\Apps\\install.log"},
        {"/s z:\\My Apps\\install.log  ", 1, "z:\\My Apps\\install.log  "},
        {"/quiet C:\\log", 1, "C:\\log"},
        {"/QuIeT \\\\server\\share\\install.log", 1, "\\\\server\\share\\install.log"},
        {"/S \\\\", 1, "\\\\"},
        {"/S C:\\", 1, "C:\\"},
        {"/S", 0, "/S"},
        {"/S ", 0, "/S "},
        {"/quiet", 0, "/quiet"},
        {"/S install.log", 0, "/S install.log"},
        {"/S C:install.log", 0, "/S C:install.log"},
        {"/S C:/Apps/install.log", 0, "/S C:/Apps/install.log"},
        {"/S \\Apps\\install.log", 0, "/S \\Apps\\install.log"},
        {"/S \"C:\\Apps\\install.log\"", 0, "/S \"C:\\Apps\\install.log\""},
        {"/S  C:\\Apps\\install.log", 0, "/S  C:\\Apps\\install.log"},
        {"/S\tC:\\Apps\\install.log", 0, "/S\tC:\\Apps\\install.log"},
        {"/SC:\\Apps\\install.log", 0, "/SC:\\Apps\\install.log"},
        {"/silent C:\\log", 0, "/silent C:\\log"},
        {"/quit C:\\log", 0, "/quit C:\\log"},
        {"/quiets C:\\log", 0, "/quiets C:\\log"},
        {"-S C:\\log", 0, "-S C:\\log"},
        {"/1 C:\\log", 0, "/1 C:\\log"},
        {"C:\\Apps\\install.log", 0, "C:\\Apps\\install.log"},
        {"", 0, ""},
    };
    for (const Case &c : cases) {
        int unattended = -1;
        const char *logPath = TakeUnattendedSwitch(c.tail, &unattended);
        EXPECT_EQ(c.unattended, unattended) << c.tail;
        EXPECT_STREQ(c.logPath, logPath) << c.tail;
    }
}
