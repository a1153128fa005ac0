// Reading numbers, placeholders, links, words, brackets and final marks out
// of segment texts. Pure: no system calls.
#include "qa/TextParts.h"

#include <algorithm>
#include <cwctype>

namespace {

// Languages whose decimal mark is a comma (by their primary subtag).
bool CommaDecimal(std::wstring_view language) {
    std::wstring primary;
    for (wchar_t c : language) {
        if (c == L'-' || c == L'_')
            break;
        primary += static_cast<wchar_t>(std::towlower(c));
    }
    if (language.size() >= 5 && primary == L"de" && (language.substr(3, 2) == L"CH" || language.substr(3, 2) == L"ch"))
        return false;  // Swiss German: 1'000.50
    static const wchar_t* const kComma[] = {L"de", L"fr", L"es", L"it", L"pt", L"nl", L"ru", L"pl", L"cs", L"sk",
                                           L"sv", L"da", L"fi", L"nb", L"nn", L"no", L"tr", L"el", L"hu", L"ro",
                                           L"bg", L"uk", L"hr", L"sl", L"sr", L"lt", L"lv", L"et", L"id", L"vi",
                                           L"ca", L"gl", L"eu", L"is", L"be", L"kk", L"az", L"af"};
    return std::find(std::begin(kComma), std::end(kComma), primary) != std::end(kComma);
}

bool IsGroupSpace(wchar_t c) { return c == L' ' || c == 0x00A0 || c == 0x202F || c == 0x2009; }

bool IsSeparator(wchar_t c) {
    return c == L'.' || c == L',' || c == L'\'' || c == 0x2019 || c == 0x066B || c == 0x066C || IsGroupSpace(c);
}

// The value of digits and marks in canonical form: no leading zeros in the
// whole part, no trailing zeros in the fraction, "." between.
std::wstring Canonical(const std::wstring& whole, const std::wstring& fraction) {
    std::wstring w = whole;
    const size_t nonZero = w.find_first_not_of(L'0');
    w = nonZero == std::wstring::npos ? L"0" : w.substr(nonZero);
    std::wstring f = fraction;
    while (!f.empty() && f.back() == L'0')
        f.pop_back();
    return f.empty() ? w : w + L"." + f;
}

}  // namespace

int DigitValue(wchar_t c) {
    if (c < 0x80)
        return c >= L'0' && c <= L'9' ? c - L'0' : -1;
    if (c < 0x0660)
        return -1;
    static const wchar_t kZeros[] = {L'0',   0x0660, 0x06F0, 0x07C0, 0x0966, 0x09E6, 0x0A66, 0x0AE6, 0x0B66,
                                     0x0BE6, 0x0C66, 0x0CE6, 0x0D66, 0x0E50, 0x0ED0, 0x0F20, 0x1040, 0x17E0,
                                     0x1810, 0xFF10};
    for (const wchar_t zero : kZeros) {
        if (c >= zero && c <= zero + 9)
            return c - zero;
    }
    return -1;
}

bool IsLetter(wchar_t c) {
    if (c < 0x80)
        return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
    return std::iswalpha(c) != 0 || (c >= 0x3040 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF);
}

bool IsSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == 0x00A0 || c == 0x202F || c == 0x2009 ||
           c == 0x3000 || (c >= 0x2000 && c <= 0x200A);
}

std::vector<TextPart> FindPlaceholders(std::wstring_view text) {
    std::vector<TextPart> found;
    if (text.find_first_of(L"%{") == std::wstring_view::npos)
        return found;
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        if (text[i] == L'%') {
            if (i + 1 < n && text[i + 1] == L'%') {
                ++i;  // a percent sign, written twice
                continue;
            }
            size_t j = i + 1;
            // Argument number ("%1$s"), flags, width, precision, length.
            size_t k = j;
            while (k < n && DigitValue(text[k]) >= 0 && text[k] < 0x80)
                ++k;
            if (k > j && k < n && text[k] == L'$')
                j = k + 1;
            while (j < n && wcschr(L"-+ #0'", text[j]) && text[j])
                ++j;
            while (j < n && ((text[j] >= L'0' && text[j] <= L'9') || text[j] == L'*'))
                ++j;
            if (j < n && text[j] == L'.') {
                ++j;
                while (j < n && ((text[j] >= L'0' && text[j] <= L'9') || text[j] == L'*'))
                    ++j;
            }
            while (j < n && wcschr(L"hlLqjzt", text[j]) && text[j])
                ++j;
            if (j < n && text[j] && wcschr(L"diouxXeEfFgGaAcspn@", text[j])) {
                found.push_back({{static_cast<int>(i), static_cast<int>(j + 1)}, std::wstring(text.substr(i, j + 1 - i))});
                i = j;
            }
        } else if (text[i] == L'{') {
            size_t j = i + 1;
            while (j < n && text[j] == L' ')
                ++j;
            const size_t nameStart = j;
            while (j < n && (text[j] == L'_' || (text[j] < 0x80 && (std::iswalnum(text[j]) != 0))))
                ++j;
            const size_t nameEnd = j;
            while (j < n && text[j] == L' ')
                ++j;
            if (nameEnd > nameStart && j < n && (text[j] == L'}' || text[j] == L',')) {
                size_t end = j + 1;
                if (text[j] == L',') {
                    // ICU: the whole argument, nested messages included.
                    int depth = 1;
                    while (end < n && depth > 0) {
                        depth += text[end] == L'{' ? 1 : text[end] == L'}' ? -1 : 0;
                        ++end;
                    }
                }
                found.push_back({{static_cast<int>(i), static_cast<int>(end)},
                                 L"{" + std::wstring(text.substr(nameStart, nameEnd - nameStart)) + L"}"});
                if (text[j] == L'}')
                    i = j;
            }
        }
    }
    return found;
}

std::vector<TextPart> FindNumbers(std::wstring_view text, std::wstring_view language) {
    std::vector<TextPart> numbers;
    if (std::none_of(text.begin(), text.end(), [](wchar_t c) { return DigitValue(c) >= 0; }))
        return numbers;
    // Digits inside placeholders ("%1$s", "{0}") are no numbers.
    std::vector<bool> masked(text.size(), false);
    for (const TextPart& p : FindPlaceholders(text))
        std::fill(masked.begin() + p.span.begin, masked.begin() + p.span.end, true);
    const bool comma = CommaDecimal(language);
    const bool known = !language.empty();
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        if (masked[i] || DigitValue(text[i]) < 0)
            continue;
        // A digit inside a word ("MP3", "H2O") is part of a name.
        if (i > 0 && IsLetter(text[i - 1]))
            continue;
        // The run: digits, and single separators between digits.
        std::wstring digits;
        std::vector<std::pair<size_t, wchar_t>> marks;  // after how many digits, which
        size_t j = i;
        for (;;) {
            while (j < n && !masked[j] && DigitValue(text[j]) >= 0)
                digits += static_cast<wchar_t>(L'0' + DigitValue(text[j++]));
            if (j + 1 < n && IsSeparator(text[j]) && DigitValue(text[j + 1]) >= 0 && !masked[j + 1]) {
                // A space groups only digits in threes: "in 2 3 days" is two numbers.
                if (IsGroupSpace(text[j])) {
                    size_t k = j + 1, count = 0;
                    while (k < n && DigitValue(text[k]) >= 0) {
                        ++k;
                        ++count;
                    }
                    if (count != 3)
                        break;
                }
                marks.push_back({digits.size(), text[j]});
                ++j;
                continue;
            }
            break;
        }
        if (j < n && IsLetter(text[j]) && text[j] != L'x')
            continue;  // "3D", "4K": a name
        // Which mark is the decimal one.
        size_t decimalAt = std::wstring::npos;
        bool hasDot = false, hasComma = false;
        for (const auto& m : marks) {
            hasDot |= m.second == L'.' || m.second == 0x066B;
            hasComma |= m.second == L',';
        }
        if (!marks.empty()) {
            const auto& last = marks.back();
            const bool lastDecimalish = last.second == L'.' || last.second == L',' || last.second == 0x066B;
            size_t sameKind = 0;
            for (const auto& m : marks)
                sameKind += m.second == last.second ? 1 : 0;
            const size_t after = digits.size() - last.first;
            if (last.second == 0x066B) {
                decimalAt = last.first;
            } else if (lastDecimalish && hasDot && hasComma) {
                decimalAt = last.first;  // "1.000,5", "1,000.5": the last one
            } else if (lastDecimalish && sameKind == 1) {
                const bool isLanguageDecimal = known && ((last.second == L',') == comma);
                if (isLanguageDecimal || after != 3)
                    decimalAt = last.first;
                else if (!known && last.first > 3)
                    decimalAt = last.first;  // "1234.567": no group of four
            }
        }
        std::wstring whole = decimalAt == std::wstring::npos ? digits : digits.substr(0, decimalAt);
        std::wstring fraction = decimalAt == std::wstring::npos ? std::wstring() : digits.substr(decimalAt);
        numbers.push_back({{static_cast<int>(i), static_cast<int>(j)}, Canonical(whole, fraction)});
        i = j - 1;
    }
    return numbers;
}

std::vector<TextPart> FindLinks(std::wstring_view text) {
    std::vector<TextPart> links;
    // Every link holds a colon ("https:", "mailto:"), an "@" or "www.".
    if (text.find_first_of(L":@") == std::wstring_view::npos && text.find(L"www.") == std::wstring_view::npos)
        return links;
    const size_t n = text.size();
    auto stopsLink = [](wchar_t c) { return IsSpace(c) || c == L'"' || c == L'<' || c == L'>' || c == 0x201D; };
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && !IsSpace(text[i - 1]) && !wcschr(L"(\"'<[{\u00AB\u201C\u201E", text[i - 1]))
            continue;
        if (wcschr(L"(\"'<[{\u00AB\u201C\u201E", text[i]) && text[i])
            continue;  // an opening mark before the link is not part of it
        size_t j = i;
        const std::wstring_view rest = text.substr(i);
        // ("mailto:" addresses are taken as e-mail addresses below.)
        const bool scheme = rest.rfind(L"http://", 0) == 0 || rest.rfind(L"https://", 0) == 0 ||
                            rest.rfind(L"ftp://", 0) == 0 || rest.rfind(L"www.", 0) == 0;
        while (j < n && !stopsLink(text[j]))
            ++j;
        // Trailing punctuation belongs to the sentence.
        while (j > i && wcschr(L".,;:!?)]}'\u00BB", text[j - 1]) && text[j - 1])
            --j;
        const std::wstring_view word = text.substr(i, j - i);
        bool mail = false;
        if (!scheme) {
            const size_t at = word.find(L'@');
            mail = at != std::wstring_view::npos && at > 0 && word.find(L'.', at) != std::wstring_view::npos &&
                   word.find(L'.', at) + 1 < word.size() && word.find(L'@', at + 1) == std::wstring_view::npos;
        }
        if ((scheme && word.size() > 7) || mail) {
            links.push_back({{static_cast<int>(i), static_cast<int>(j)}, std::wstring(word)});
            i = j;
        }
    }
    return links;
}

std::vector<TextPart> FindWords(std::wstring_view text) {
    std::vector<TextPart> words;
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        if (!IsLetter(text[i]) && DigitValue(text[i]) < 0) {
            ++i;
            continue;
        }
        size_t j = i;
        std::wstring lower;
        while (j < n && (IsLetter(text[j]) || DigitValue(text[j]) >= 0 || text[j] == L'_')) {
            lower += static_cast<wchar_t>(std::towlower(text[j]));
            ++j;
        }
        words.push_back({{static_cast<int>(i), static_cast<int>(j)}, lower});
        i = j;
    }
    return words;
}

std::wstring FinalMark(std::wstring_view text, std::wstring_view language, ShownSpan* span) {
    size_t end = text.size();
    // Spaces, closing quotes and brackets after the mark are no part of it.
    while (end > 0 && (IsSpace(text[end - 1]) || wcschr(L"\"')]}\u00BB\u201D\u2019\u300D\u300F\uFF09", text[end - 1])) &&
           text[end - 1])
        --end;
    if (end == 0)
        return std::wstring();
    const wchar_t c = text[end - 1];
    *span = {static_cast<int>(end - 1), static_cast<int>(end)};
    if (end >= 3 && text.substr(end - 3, 3) == L"...") {
        *span = {static_cast<int>(end - 3), static_cast<int>(end)};
        return L"...";
    }
    const bool greek = language.size() >= 2 && (language.substr(0, 2) == L"el" || language.substr(0, 2) == L"EL");
    switch (c) {
    case L'.': case 0x3002: case 0xFF0E: case 0x0964: case 0x06D4: case 0xFF61: return L".";
    case L'?': case 0xFF1F: case 0x061F: case 0x037E: return L"?";
    case L'!': case 0xFF01: return L"!";
    case L':': case 0xFF1A: return L":";
    case L';': return greek ? L"?" : L";";
    case 0xFF1B: case 0x061B: return L";";
    case 0x2026: return L"...";
    default: return std::wstring();
    }
}

bool BracketsPaired(std::wstring_view text, ShownSpan* bad) {
    static const wchar_t kOpen[] = L"([{\u00AB\u201C\u2018\u201E\u2039\u300C\u300E\uFF08\u3010";
    static const wchar_t kClose[] = L")]}\u00BB\u201D\u2019\u201C\u203A\u300D\u300F\uFF09\u3011";
    std::vector<std::pair<wchar_t, int>> open;  // the closing mark expected, where it opened
    int straightQuotes = 0, lastQuote = -1;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        // Most characters are none of these: passed over without a lookup.
        if (c < 0x80 ? !(c == L'"' || c == L'(' || c == L')' || c == L'[' || c == L']' || c == L'{' || c == L'}')
                     : c < 0x00AB || (c > 0x00BB && c < 0x2018) || (c > 0x203A && c < 0x300C) ||
                           (c > 0x3011 && c < 0xFF08) || c > 0xFF09)
            continue;
        if (c == L'"') {
            ++straightQuotes;
            lastQuote = static_cast<int>(i);
            continue;
        }
        // "\u201C" closes a low "\u201E" in German; otherwise it opens.
        if (c == 0x201C && !open.empty() && open.back().first == 0x201C) {
            open.pop_back();
            continue;
        }
        if (c == 0x2019 && (open.empty() || open.back().first != 0x2019))
            continue;  // an apostrophe
        if (const wchar_t* o = wcschr(kOpen, c); o && c) {
            const wchar_t close = c == 0x201E ? 0x201C : kClose[o - kOpen];
            open.push_back({close, static_cast<int>(i)});
        } else if (const wchar_t* k = wcschr(kClose, c); k && c) {
            if (open.empty() || open.back().first != c) {
                *bad = {static_cast<int>(i), static_cast<int>(i + 1)};
                return false;
            }
            open.pop_back();
        }
    }
    if (!open.empty()) {
        *bad = {open.back().second, open.back().second + 1};
        return false;
    }
    if (straightQuotes % 2) {
        *bad = {lastQuote, lastQuote + 1};
        return false;
    }
    return true;
}
