#include "text_form.h"

#include <string.h>

#include "escape.h"
#include "log/install_log.h"
#include "record_view.h"

#define PRIMARY_OFFSET 4
#define SECONDARY_OFFSET (4 + LOG_TEXT_SIZE)

namespace {

// What has been said so far about one text field of the current record.
struct FieldState {
    bool textSeen;
    bool afterSeen;
    size_t textLength;
    bool unterminated;
};

struct Parser {
    std::string log;
    std::string record;      // the current record's 516 bytes
    bool inRecord;
    bool tailSeen;
    FieldState fields[2];
    std::string error;
};

// A cursor over one line: words are separated by blanks and tabs.
struct Cursor {
    const std::string &line;
    size_t pos;

    void SkipBlanks()
    {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            pos++;
    }
    bool AtEnd()
    {
        SkipBlanks();
        return pos >= line.size();
    }
    bool AtQuote()
    {
        SkipBlanks();
        return pos < line.size() && line[pos] == '"';
    }
    std::string Word()
    {
        SkipBlanks();
        size_t start = pos;
        while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t' && line[pos] != '"')
            pos++;
        return line.substr(start, pos - start);
    }
};

} // namespace

// A decimal number of at most max; digits only.
static bool ParseNumber(const std::string &word, unsigned long long max, unsigned long long &value)
{
    if (word.empty() || word.size() > 20)
        return false;
    value = 0;
    for (char c : word) {
        if (c < '0' || c > '9')
            return false;
        unsigned digit = (unsigned)(c - '0');
        if (value > (max - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

static bool Fail(Parser &p, const std::string &message)
{
    p.error = message;
    return false;
}

static bool ExpectEnd(Parser &p, Cursor &c, const char *what)
{
    if (c.AtEnd())
        return true;
    return Fail(p, std::string("unexpected text after ") + what + ": \"" +
                       EscapeKeepingQuotes(c.line.substr(c.pos, 40)) + "\"");
}

// The optional "N at OFFSET:" of a record line, or "at OFFSET:" of a tail
// line. Both numbers are for the reader and are not checked: records may be
// added, moved or removed by hand. next receives the word that follows.
static bool SkipPosition(Parser &p, Cursor &c, bool withIndex, std::string &next)
{
    unsigned long long number;
    next = c.Word();
    if (withIndex) {
        if (!ParseNumber(next, ~0ull, number))
            return true;
        next = c.Word();
        if (next != "at")
            return Fail(p, "\"at OFFSET:\" must follow the record's number");
    } else if (next != "at") {
        return true;
    }
    std::string offset = c.Word();
    if (offset.size() < 2 || offset.back() != ':' || !ParseNumber(offset.substr(0, offset.size() - 1), ~0ull, number))
        return Fail(p, "the offset must be a decimal number followed by ':'");
    next = c.Word();
    return true;
}

static bool ParseType(Parser &p, Cursor &c, const std::string &word, DWORD &type)
{
    if (word == "type") {
        unsigned long long number;
        std::string digits = c.Word();
        if (!ParseNumber(digits, 0xFFFFFFFFull, number))
            return Fail(p, "\"type\" must be followed by a decimal code from 0 to 4294967295");
        type = (DWORD)number;
        if (!c.AtEnd()) {
            if (c.Word() != "(unknown)")
                return Fail(p, "only \"(unknown)\" may follow a type code");
            if (RecordTypeName(type))
                return Fail(p, "type " + digits + " is " + RecordTypeName(type) + ", not an unknown type");
        }
        return true;
    }
    if (word.empty())
        return Fail(p, "the record's type is missing");
    if (!RecordTypeFromName(word, type))
        return Fail(p, "unknown record type \"" + EscapeKeepingQuotes(word) +
                           "\": expected APPNAME, FILE, DIR, TYPE3, SHAREDDLL, PMGROUP, SYSREG, CUSTOMRUN or \"type N\"");
    return true;
}

static bool AddToLog(Parser &p, const std::string &bytes)
{
    if (p.log.size() + bytes.size() > TEXT_FORM_MAX_LOG)
        return Fail(p, "the log would grow beyond " + std::to_string(TEXT_FORM_MAX_LOG) + " bytes");
    p.log += bytes;
    return true;
}

static bool FinishRecord(Parser &p)
{
    if (!p.inRecord)
        return true;
    p.inRecord = false;
    return AddToLog(p, p.record);
}

static bool RecordLine(Parser &p, Cursor &c)
{
    if (!FinishRecord(p))
        return false;
    std::string word;
    DWORD type;
    if (!SkipPosition(p, c, true, word) || !ParseType(p, c, word, type) || !ExpectEnd(p, c, "the record's type"))
        return false;
    p.record.assign(LOG_RECORD_SIZE, '\0');
    for (int i = 0; i < 4; i++)
        p.record[i] = (char)((type >> (8 * i)) & 0xFF);
    memset(p.fields, 0, sizeof(p.fields));
    p.inRecord = true;
    return true;
}

static bool TextLine(Parser &p, Cursor &c, const char *name, FieldState &f, size_t offset)
{
    if (f.textSeen)
        return Fail(p, std::string("the ") + name + " text is given twice");
    if (f.afterSeen)
        return Fail(p, std::string("the ") + name + " text must come before its \"after zero\" line");
    std::string text;
    if (!ReadQuoted(c.line, c.pos, text, p.error))
        return false;
    bool unterminated = false;
    if (!c.AtEnd()) {
        if (c.Word() != "unterminated")
            return Fail(p, "only \"unterminated\" may follow a text");
        unterminated = true;
    }
    if (!ExpectEnd(p, c, "the text"))
        return false;
    if (text.find('\0') != std::string::npos)
        return Fail(p, "a text cannot hold <00>: the first zero ends it; write the bytes after it on an \"after zero\" line");
    if (unterminated && text.size() != LOG_TEXT_SIZE)
        return Fail(p, "an unterminated text fills all 256 bytes of its field; this one has " +
                           std::to_string(text.size()));
    if (!unterminated && text.size() >= LOG_TEXT_SIZE)
        return Fail(p, text.size() == LOG_TEXT_SIZE
                           ? std::string("a text of 256 bytes leaves no room for its terminating zero: mark it unterminated")
                           : "a text holds at most 256 bytes; this one has " + std::to_string(text.size()));
    memcpy(&p.record[offset], text.data(), text.size());
    f.textSeen = true;
    f.textLength = text.size();
    f.unterminated = unterminated;
    return true;
}

static bool AfterZeroLine(Parser &p, Cursor &c, const char *name, FieldState &f, size_t offset)
{
    if (f.afterSeen)
        return Fail(p, std::string("the ") + name + " \"after zero\" bytes are given twice");
    if (f.unterminated)
        return Fail(p, std::string("the ") + name + " text is unterminated, so nothing follows a zero");
    std::string bytes;
    if (c.Word() != "zero" || !c.AtQuote())
        return Fail(p, std::string("expected ") + name + " after zero \"BYTES\"");
    if (!ReadQuoted(c.line, c.pos, bytes, p.error) || !ExpectEnd(p, c, "the bytes"))
        return false;
    size_t room = LOG_TEXT_SIZE - f.textLength - 1;
    if (bytes.size() > room)
        return Fail(p, std::to_string(bytes.size()) + " bytes after the zero do not fit: a text of " +
                           std::to_string(f.textLength) + " bytes leaves room for " + std::to_string(room));
    memcpy(&p.record[offset + f.textLength + 1], bytes.data(), bytes.size());
    f.afterSeen = true;
    return true;
}

static bool FieldLine(Parser &p, Cursor &c, int which)
{
    const char *name = which == 0 ? "primary" : "secondary";
    if (!p.inRecord)
        return Fail(p, std::string("a ") + name + " line must follow a record line");
    size_t offset = which == 0 ? PRIMARY_OFFSET : SECONDARY_OFFSET;
    if (c.AtQuote())
        return TextLine(p, c, name, p.fields[which], offset);
    if (c.Word() == "after")
        return AfterZeroLine(p, c, name, p.fields[which], offset);
    return Fail(p, std::string("expected ") + name + " \"TEXT\" or " + name + " after zero \"BYTES\"");
}

static bool TailLine(Parser &p, Cursor &c)
{
    if (!FinishRecord(p))
        return false;
    std::string word;
    if (!SkipPosition(p, c, false, word))
        return false;
    unsigned long long count;
    if (!ParseNumber(word, LOG_RECORD_SIZE - 1, count) || count == 0)
        return Fail(p, "a tail holds 1 to 515 bytes: tail at OFFSET: N bytes \"BYTES\"");
    std::string unit = c.Word();
    if (unit != "bytes" && unit != "byte")
        return Fail(p, "\"bytes\" must follow the tail's size");
    std::string bytes;
    if (!c.AtQuote())
        return Fail(p, "the tail's bytes in double quotes must follow its size");
    if (!ReadQuoted(c.line, c.pos, bytes, p.error) || !ExpectEnd(p, c, "the tail"))
        return false;
    if (bytes.size() != count)
        return Fail(p, "the tail says " + std::to_string(count) + " bytes but holds " + std::to_string(bytes.size()));
    p.tailSeen = true;
    return AddToLog(p, bytes);
}

static bool ParseLine(Parser &p, const std::string &line)
{
    Cursor c{line, 0};
    if (c.AtEnd() || line[c.pos] == '#')
        return true;
    std::string keyword = c.Word();
    if (p.tailSeen)
        return Fail(p, "only comments may follow the tail: a log has no records after a truncated one");
    if (keyword == "record")
        return RecordLine(p, c);
    if (keyword == "primary")
        return FieldLine(p, c, 0);
    if (keyword == "secondary")
        return FieldLine(p, c, 1);
    if (keyword == "tail")
        return TailLine(p, c);
    return Fail(p, "expected a line starting with \"record\", \"primary\", \"secondary\", \"tail\" or \"#\", found \"" +
                       EscapeKeepingQuotes(keyword.substr(0, 40)) + "\"");
}

// Reads one line without its line end (LF or CR LF) into line. Returns false
// at the end of the input; tooLong is set when the line exceeds the limit.
static bool ReadLine(std::istream &in, std::string &line, bool &tooLong)
{
    line.clear();
    tooLong = false;
    int c = in.get();
    if (c == EOF)
        return false;
    while (c != EOF && c != '\n') {
        if (line.size() < TEXT_FORM_MAX_LINE)
            line += (char)c;
        else
            tooLong = true;
        c = in.get();
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

bool ParseTextForm(std::istream &in, std::string &log, size_t &errorLine, std::string &error)
{
    Parser p;
    p.inRecord = false;
    p.tailSeen = false;
    std::string line;
    bool tooLong;
    size_t number = 0;
    while (ReadLine(in, line, tooLong)) {
        number++;
        if (tooLong) {
            errorLine = number;
            error = "the line is longer than " + std::to_string(TEXT_FORM_MAX_LINE) + " characters";
            return false;
        }
        if (!ParseLine(p, line)) {
            errorLine = number;
            error = p.error;
            return false;
        }
    }
    if (!FinishRecord(p)) {
        errorLine = number;
        error = p.error;
        return false;
    }
    log.swap(p.log);
    return true;
}
