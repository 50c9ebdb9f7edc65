// The text form read back: what each line means, and each kind of mistake
// named with its line.
#include <sstream>

#include "escape.h"
#include "support/log_builder.h"
#include "text_form.h"

#include <gtest/gtest.h>

static bool Parse(const std::string &text, std::string &log, size_t &line, std::string &error)
{
    std::istringstream in(text);
    return ParseTextForm(in, log, line, error);
}

TEST(TextForm, TheShortFormsMeanTheSameAsTheLongOnes)
{
    std::string log;
    size_t line = 0;
    std::string error;
    ASSERT_TRUE(Parse("record FILE\n"
                      "\tprimary  \"C:\\a<3C>\"\n"
                      "record 7 at 99: type 4\n"
                      "  secondary \"s\"\n"
                      "  secondary after zero \"<00>t\"\n"
                      "record type 4000000000 (unknown)\n"
                      "# comment\n"
                      "\n"
                      "tail 2 byte \"ab\"\n"
                      "  # comments may follow the tail\n",
                      log, line, error))
        << line << ": " << error;
    std::string second = RecordBytes({kSharedDll, "", "s"});
    second[260 + 3] = 't';
    EXPECT_EQ(RecordBytes({kFile, "C:\\a<", ""}) + second + RecordBytes({4000000000u, "", ""}) + "ab", log);
}

TEST(TextForm, MistakesAreNamedWithTheirLine)
{
    std::string text255(255, 'a');
    struct Case {
        std::string text;
        size_t line;
        std::string error;
    } cases[] = {
        {"  primary \"a\"\n", 1, "a primary line must follow a record line"},
        {"record\n", 1, "the record's type is missing"},
        {"record FOO\n", 1, "unknown record type \"FOO\""},
        {"record file\n", 1, "unknown record type \"file\""},
        {"record 1 FILE\n", 1, "\"at OFFSET:\" must follow the record's number"},
        {"record 1 at x: FILE\n", 1, "the offset must be a decimal number followed by ':'"},
        {"record type 4294967296\n", 1, "\"type\" must be followed by a decimal code from 0 to 4294967295"},
        {"record type 1 (unknown)\n", 1, "type 1 is FILE, not an unknown type"},
        {"record FILE extra\n", 1, "unexpected text after the record's type: \"extra\""},
        {"record FILE\n  primary \"a\"\n  primary \"b\"\n", 3, "the primary text is given twice"},
        {"record FILE\n  primary \"a\n", 2, "the text has no closing double quote"},
        {"record FILE\n  primary \"a<4>\"\n", 2, "'<' must start a byte written <HH>"},
        {"record FILE\n  primary \"a\tb\"\n", 2, "byte 0x09 must be written as <09> inside a text"},
        {"record FILE\n  primary \"\xE9\"\n", 2, "byte 0xE9 must be written as <E9> inside a text"},
        {"record FILE\n  primary \"a<00>b\"\n", 2, "a text cannot hold <00>"},
        {"record FILE\n  primary \"" + text255 + "a\"\n", 2, "mark it unterminated"},
        {"record FILE\n  primary \"" + text255 + "aa\"\n", 2, "a text holds at most 256 bytes; this one has 257"},
        {"record FILE\n  primary \"ab\" unterminated\n", 2, "this one has 2"},
        {"record FILE\n  primary \"ab\" done\n", 2, "only \"unterminated\" may follow a text"},
        {"record FILE\n  primary after zero \"x\"\n  primary \"a\"\n", 3,
         "the primary text must come before its \"after zero\" line"},
        {"record FILE\n  secondary after zero \"x\"\n  secondary after zero \"x\"\n", 3, "given twice"},
        {"record FILE\n  primary \"" + text255 + "\"\n  primary after zero \"x\"\n", 3,
         "1 bytes after the zero do not fit: a text of 255 bytes leaves room for 0"},
        {"record FILE\n  primary \"" + text255 + "a\" unterminated\n  primary after zero \"x\"\n", 3,
         "the primary text is unterminated, so nothing follows a zero"},
        {"record FILE\n  primary after \"x\"\n", 2, "expected primary after zero \"BYTES\""},
        {"record FILE\n  primary\n", 2, "expected primary \"TEXT\" or primary after zero \"BYTES\""},
        {"tail 0 bytes \"\"\n", 1, "a tail holds 1 to 515 bytes"},
        {"tail 516 bytes \"\"\n", 1, "a tail holds 1 to 515 bytes"},
        {"tail 2 bytes \"abc\"\n", 1, "the tail says 2 bytes but holds 3"},
        {"tail 2 words \"ab\"\n", 1, "\"bytes\" must follow the tail's size"},
        {"tail 2 bytes ab\n", 1, "the tail's bytes in double quotes must follow its size"},
        {"tail 1 bytes \"a\"\nrecord FILE\n", 2, "only comments may follow the tail"},
        {"record FILE\r\nbogus\r\n", 2, "found \"bogus\""},
        {"record FILE\n" + std::string(70000, ' ') + "\n", 2, "the line is longer than 65536 characters"},
    };
    for (const Case &c : cases) {
        std::string log;
        size_t line = 0;
        std::string error;
        EXPECT_FALSE(Parse(c.text, log, line, error)) << EscapeBytes(c.text.substr(0, 80));
        EXPECT_EQ(c.line, line) << EscapeBytes(c.text.substr(0, 80)) << "\n" << error;
        EXPECT_NE(std::string::npos, error.find(c.error))
            << "for " << EscapeBytes(c.text.substr(0, 80)) << "\nexpected: " << c.error << "\ngot: " << error;
    }
}

TEST(TextForm, EscapingIsUnambiguous)
{
    std::string all;
    for (int i = 0; i < 256; i++)
        all += (char)i;
    std::string shown = Quoted(all);
    for (unsigned char c : shown)
        EXPECT_TRUE(c >= 0x20 && c <= 0x7E) << "byte " << (int)c << " shown raw";
    size_t pos = 0;
    std::string back;
    std::string error;
    ASSERT_TRUE(ReadQuoted(shown, pos, back, error)) << error;
    EXPECT_EQ(all, back);
    EXPECT_EQ(shown.size(), pos);
    EXPECT_EQ("C:\\Program Files\\a b.exe", EscapeBytes("C:\\Program Files\\a b.exe"));
    EXPECT_EQ("<22><3C>>", EscapeBytes("\"<>"));
    EXPECT_EQ("\"<3C>", EscapeKeepingQuotes("\"<"));
}
