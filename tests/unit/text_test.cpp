#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Text, CopyCutsToTheBufferAndAlwaysTerminates)
{
    char buf[6];
    memset(buf, 'x', sizeof(buf));
    EXPECT_EQ(0, CopyText(buf, sizeof(buf), "abcdefgh"));
    EXPECT_STREQ("abcde", buf);
    EXPECT_EQ(1, CopyText(buf, sizeof(buf), "abcde"));
    EXPECT_STREQ("abcde", buf);
    EXPECT_EQ(1, CopyText(buf, sizeof(buf), ""));
    EXPECT_STREQ("", buf);
}

TEST(Text, AppendStopsAtTheBufferEnd)
{
    char buf[8] = "abc";
    EXPECT_EQ(1, AppendText(buf, sizeof(buf), "de"));
    EXPECT_STREQ("abcde", buf);
    EXPECT_EQ(0, AppendText(buf, sizeof(buf), "fghij"));
    EXPECT_STREQ("abcdefg", buf);
    EXPECT_EQ(0, AppendText(buf, sizeof(buf), "z"));
    EXPECT_STREQ("abcdefg", buf);
}

TEST(Text, AppendToAnUnterminatedBufferStaysInside)
{
    char buf[4];
    memset(buf, 'x', sizeof(buf));
    EXPECT_EQ(0, AppendText(buf, sizeof(buf), "y"));
    EXPECT_EQ('\0', buf[3]);
}

TEST(Text, LengthLooksNoFurtherThanItsLimit)
{
    char field[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(4u, TextLength(field, sizeof(field)));
    EXPECT_EQ(2u, TextLength("ab", 10));
}

TEST(Text, CaseIsIgnoredForLettersOnly)
{
    EXPECT_TRUE(TextEqualNoCase("NUL=C:\\PROGRA~1\\A.TXT", "nul=c:\\progra~1\\a.txt"));
    EXPECT_FALSE(TextEqualNoCase("abc", "abcd"));
    EXPECT_FALSE(TextEqualNoCase("[", "{"));
    EXPECT_TRUE(TextHasChar("a\\b", '\\'));
    EXPECT_FALSE(TextHasChar("ab", '\\'));
}
