// The parts of a segment's text that the checks compare: numbers read by
// their language, placeholders, URLs and e-mail addresses, words, brackets
// and the final punctuation mark.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/SearchRecords.h"

// A part found in a text: where it is and what it stands for (a number's
// value as "1000.5", a placeholder's name, a URL as written).
struct TextPart {
    ShownSpan span;
    std::wstring value;
};

// The value of a digit of any script the checks know (ASCII, Arabic-Indic,
// Extended Arabic-Indic, Devanagari, Bengali, Thai, fullwidth, ...); -1 for
// no digit.
int DigitValue(wchar_t c);

// The numbers of `text` read by `language` ("de-DE", "en", "" unknown):
// the decimal mark and the group separators it uses, native digits read as
// their values. Parts of placeholders are no numbers.
std::vector<TextPart> FindNumbers(std::wstring_view text, std::wstring_view language);

// printf forms ("%s", "%1$s", "%.2f"; "%%" is none) and brace forms ("{0}",
// "{name}", ICU's "{count, plural, ...}" by its argument's name).
std::vector<TextPart> FindPlaceholders(std::wstring_view text);

// URLs (with a scheme or beginning "www.") and e-mail addresses.
std::vector<TextPart> FindLinks(std::wstring_view text);

// Runs of letters and digits (value: the word in lower case).
std::vector<TextPart> FindWords(std::wstring_view text);

bool IsLetter(wchar_t c);
bool IsSpace(wchar_t c);

// The final punctuation mark of `text` read by `language`, as its meaning:
// L"." full stop, L"?", L"!", L":", L";", L"..." ; empty for none. *span
// gets where it is.
std::wstring FinalMark(std::wstring_view text, std::wstring_view language, ShownSpan* span);

// Whether the brackets and quotation marks of `text` are paired; *bad gets
// the first one that is not.
bool BracketsPaired(std::wstring_view text, ShownSpan* bad);
