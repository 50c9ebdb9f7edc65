#include "text.h"

#include "platform.h"

size_t CharLength(const char *text)
{
    return IsDBCSLeadByte((BYTE)text[0]) && text[1] != '\0' ? 2 : 1;
}

size_t TextLength(const char *text, size_t max)
{
    size_t n = 0;
    while (n < max && text[n] != '\0')
        n++;
    return n;
}

int CopyText(char *dst, size_t size, const char *src)
{
    if (size == 0)
        return 0;
    dst[0] = '\0';
    return AppendText(dst, size, src);
}

int AppendText(char *dst, size_t size, const char *src)
{
    if (size == 0)
        return 0;
    size_t n = TextLength(dst, size - 1);
    // A text that fits is copied byte by byte: only a cut has to fall
    // between two characters.
    if (TextLength(src, size - n) < size - n) {
        for (size_t i = 0; (dst[n + i] = src[i]) != '\0'; i++)
            ;
        return 1;
    }
    // Else it is cut after the last whole character that fits.
    size_t length;
    while (n + (length = CharLength(src)) <= size - 1)
        for (size_t i = 0; i < length; i++)
            dst[n++] = *src++;
    dst[n] = '\0';
    return 0;
}

int AppendHex(char *dst, size_t size, unsigned long value, int digits)
{
    size_t n = TextLength(dst, size);
    if (digits < 0 || n + (size_t)digits >= size)
        return 0;
    for (int i = digits - 1; i >= 0; i--) {
        dst[n + (size_t)i] = "0123456789ABCDEF"[value & 0xF];
        value >>= 4;
    }
    dst[n + (size_t)digits] = '\0';
    return 1;
}

int TextEqual(const char *a, const char *b)
{
    while (*a != '\0' && *a == *b) {
        a++;
        b++;
    }
    return *a == *b;
}

static char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
}

int TextEqualNoCase(const char *a, const char *b)
{
    while (*a != '\0') {
        size_t length = CharLength(a);
        if (length == 2 ? a[0] != b[0] || a[1] != b[1] : UpperAscii(*a) != UpperAscii(*b))
            return 0;
        a += length;
        b += length;
    }
    return *b == '\0';
}

int TextHasChar(const char *text, char c)
{
    for (; *text != '\0'; text += CharLength(text))
        if (*text == c)
            return 1;
    return 0;
}

const char *FindLastChar(const char *text, char c)
{
    const char *last = NULL;
    for (; *text != '\0'; text += CharLength(text))
        if (*text == c)
            last = text;
    return last;
}

int IsPathSeparator(char c)
{
    return c == '\\' || c == '/';
}
