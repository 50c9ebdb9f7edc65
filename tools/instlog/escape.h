// Log texts written so that every byte is visible and none is lost: the
// printable ASCII characters stand for themselves, except '"' and '<'; every
// other byte, and those two, is written <HH> with two upper-case hex digits.
// Backslashes stay as they are, so paths read as paths.
#ifndef INSTLOG_ESCAPE_H
#define INSTLOG_ESCAPE_H

#include <stddef.h>

#include <string>

// The bytes escaped as above, without quotes around them.
std::string EscapeBytes(const char *bytes, size_t size);
std::string EscapeBytes(const std::string &bytes);

// The same between double quotes.
std::string Quoted(const std::string &bytes);

// As EscapeBytes but '"' stays itself: for a command shown exactly as the
// program sends it.
std::string EscapeKeepingQuotes(const std::string &bytes);

// Reads a quoted text that starts at line[pos] with '"'. On success bytes
// holds what it stands for and pos is just past the closing quote; on
// failure error says what is wrong and pos points at it.
bool ReadQuoted(const std::string &line, size_t &pos, std::string &bytes, std::string &error);

#endif
