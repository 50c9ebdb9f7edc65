// Bounded text handling: every copy names its destination's size, and every
// result is zero-terminated, so no text from the log can run past a buffer.
#ifndef PLATFORM_TEXT_H
#define PLATFORM_TEXT_H

#include <stddef.h>

// Texts are in the ANSI code page, which may be a double-byte one (Japanese,
// Chinese, Korean): there the second byte of a character may be any of
// 0x40 to 0xFE, a backslash or a letter among them. Whatever looks at
// single characters steps by character, never by byte.

// Bytes in the character at text: 2 for a double-byte character, else 1.
size_t CharLength(const char *text);

// Length of text, looking at no more than max characters; max when no
// terminating zero lies within them.
size_t TextLength(const char *text, size_t max);

// Copies src into dst of size characters, cut to fit between two
// characters. Returns 1 when the whole text fitted, 0 when it was cut (or
// size is 0).
int CopyText(char *dst, size_t size, const char *src);

// Appends src to the text already in dst, cut to fit between two
// characters. Returns 1 when the whole text fitted, 0 when it was cut.
int AppendText(char *dst, size_t size, const char *src);

// Appends value as digits hex digits (upper case), the lowest ones of it.
// Returns 1 when they fitted, 0 when the text was left as it was.
int AppendHex(char *dst, size_t size, unsigned long value, int digits);

// 1 when the texts are equal.
int TextEqual(const char *a, const char *b);

// 1 when the texts are equal, letters A to Z compared without regard to
// case (a double-byte character only as it stands).
int TextEqualNoCase(const char *a, const char *b);

// 1 when text contains the single-byte character c.
int TextHasChar(const char *text, char c);

// The last c in text, or NULL when there is none.
const char *FindLastChar(const char *text, char c);

// 1 for a backslash or a slash, both of which separate path components.
int IsPathSeparator(char c);

#endif
