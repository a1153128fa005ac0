// Scanning primitives of the hot path: finding the terminator and finding a
// literal, several characters per step. Pure, no Windows headers.
#pragma once

#include <cstddef>

// Index of the first NUL in text[0..capacity), or capacity when there is none.
size_t FindNul(const wchar_t* text, size_t capacity);

// The first occurrence of needle[0..needleLength) in [begin, end), compared
// unit for unit (the semantics of wcsstr), or null. needleLength >= 1.
const wchar_t* FindLiteral(const wchar_t* begin, const wchar_t* end, const wchar_t* needle,
                           size_t needleLength);

// The last occurrence of `unit` in [begin, end), or null.
const wchar_t* FindLastUnit(const wchar_t* begin, const wchar_t* end, wchar_t unit);

// The value of a hexadecimal digit, either case; -1 for any other character.
inline int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
