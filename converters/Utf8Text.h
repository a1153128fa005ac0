// UTF-8 to UTF-16 conversion with the results of MultiByteToWideChar(CP_UTF8, 0).
#pragma once

#include <cstddef>
#include <string>

// The number of UTF-16 units that `text` converts to; 0 for empty input.
size_t Utf16Length(const char* text, size_t size);

// Converts `text` into out[0..capacity) and returns the units written, 0 when
// they do not fit. Well-formed UTF-8 is decoded here, sixteen ASCII bytes at
// a time; anything else goes to the system's converter, whose replacement of
// broken sequences is the rule.
size_t Utf8ToUtf16(const char* text, size_t size, wchar_t* out, size_t capacity);

// UTF-16 to UTF-8 with the results of WideCharToMultiByte(CP_UTF8, 0):
// `out` is replaced by the encoding of text[0..length).
void Utf16ToUtf8(const wchar_t* text, size_t length, std::string* out);

// The same in one pass, for an output of at least `size` units (UTF-8 never
// gives more units than bytes, broken sequences included).
size_t Utf8ToUtf16Bounded(const char* text, size_t size, wchar_t* out);
