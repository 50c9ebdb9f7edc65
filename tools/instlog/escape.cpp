#include "escape.h"

static const char kHex[] = "0123456789ABCDEF";

static bool StandsForItself(unsigned char c, bool keepQuotes)
{
    if (c < 0x20 || c > 0x7E || c == '<')
        return false;
    return c != '"' || keepQuotes;
}

static std::string Escape(const char *bytes, size_t size, bool keepQuotes)
{
    std::string out;
    out.reserve(size);
    for (size_t i = 0; i < size; i++) {
        unsigned char c = (unsigned char)bytes[i];
        if (StandsForItself(c, keepQuotes)) {
            out += (char)c;
        } else {
            out += '<';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
            out += '>';
        }
    }
    return out;
}

std::string EscapeBytes(const char *bytes, size_t size)
{
    return Escape(bytes, size, false);
}

std::string EscapeBytes(const std::string &bytes)
{
    return Escape(bytes.data(), bytes.size(), false);
}

std::string Quoted(const std::string &bytes)
{
    return "\"" + EscapeBytes(bytes) + "\"";
}

std::string EscapeKeepingQuotes(const std::string &bytes)
{
    return Escape(bytes.data(), bytes.size(), true);
}

static int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

static std::string ByteName(unsigned char c)
{
    std::string name = "<";
    name += kHex[c >> 4];
    name += kHex[c & 0xF];
    return name + ">";
}

bool ReadQuoted(const std::string &line, size_t &pos, std::string &bytes, std::string &error)
{
    bytes.clear();
    if (pos >= line.size() || line[pos] != '"') {
        error = "a text in double quotes was expected";
        return false;
    }
    pos++;
    while (pos < line.size()) {
        unsigned char c = (unsigned char)line[pos];
        if (c == '"') {
            pos++;
            return true;
        }
        if (c == '<') {
            int high = pos + 1 < line.size() ? HexValue(line[pos + 1]) : -1;
            int low = pos + 2 < line.size() ? HexValue(line[pos + 2]) : -1;
            if (high < 0 || low < 0 || pos + 3 >= line.size() || line[pos + 3] != '>') {
                error = "'<' must start a byte written <HH> with two hex digits (write '<' itself as <3C>)";
                return false;
            }
            bytes += (char)(high * 16 + low);
            pos += 4;
            continue;
        }
        if (c < 0x20 || c > 0x7E) {
            error = "byte 0x" + ByteName(c).substr(1, 2) + " must be written as " + ByteName(c) + " inside a text";
            return false;
        }
        bytes += (char)c;
        pos++;
    }
    error = "the text has no closing double quote";
    return false;
}
