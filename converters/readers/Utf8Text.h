// UTF-8 and UTF-16 conversions with the results of the system converters.
#pragma once

#include <cstddef>
#include <string>

// UTF-16 to UTF-8 with the results of WideCharToMultiByte(CP_UTF8, 0):
// `out` is replaced by the encoding of text[0..length).
void Utf16ToUtf8(const wchar_t* text, size_t length, std::string* out);

// Converts `text` into `out`, which holds at least `size` units (UTF-8 never
// gives more units than bytes, broken sequences included), and returns the
// units written. Well-formed UTF-8 is decoded here, sixteen ASCII bytes at a
// time; anything else goes to the system's converter, whose replacement of
// broken sequences is the rule.
size_t Utf8ToUtf16Bounded(const char* text, size_t size, wchar_t* out);
// The same into a string of its own.
inline std::wstring WidenUtf8(const std::string& utf8) {
    std::wstring out(utf8.size(), L'\0');
    out.resize(Utf8ToUtf16Bounded(utf8.data(), utf8.size(), out.data()));
    return out;
}

// Decodes well-formed UTF-8 only, into `out` (at least `size` units): false
// at the first ill-formed sequence, with `out` then partly written.
bool Utf8ToUtf16Strict(const char* text, size_t size, wchar_t* out, size_t* units);

// The same two, each unit written folded as the search folds its text
// (FoldCharacter), but NUL: the search's text ends at the first one, which
// is kept and sets *nul (left as it was otherwise).
bool Utf8ToUtf16StrictFolded(const char* text, size_t size, wchar_t* out, size_t* units, bool* nul);
size_t Utf8ToUtf16BoundedFolded(const char* text, size_t size, wchar_t* out, bool* nul);

// The number of units that Utf8ToUtf16Bounded writes for text[0..size).
size_t Utf16UnitsOfUtf8(const char* text, size_t size);
