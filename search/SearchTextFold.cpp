// Folding of search texts and regular expressions, pure and without Windows headers.
#include "search/SearchTextFold.h"

#include <cwchar>

#include "base/FoldText.h"

namespace {

bool IsMeta(wchar_t c) { return c != 0 && wcschr(L"\\^$.|?*+()[]{}", c) != nullptr; }
// Inside a bracket expression fewer characters mean anything.
bool IsBracketMeta(wchar_t c) { return c != 0 && wcschr(L"\\^-[]", c) != nullptr; }

// Appends `original` folded: escaped when folding made it a character that
// `meta` calls special.
void PutFolded(std::wstring* out, wchar_t original, bool (*meta)(wchar_t)) {
    const wchar_t folded = FoldCharacter(original);
    if (folded != original && meta(folded))
        *out += L'\\';
    *out += folded;
}

}  // namespace

std::wstring FoldLiteralText(const wchar_t* text) {
    std::wstring folded(text);
    for (wchar_t& c : folded)
        c = FoldCharacter(c);
    return folded;
}

std::wstring FoldRegexText(const wchar_t* pattern) {
    std::wstring out;
    const size_t length = wcslen(pattern);
    out.reserve(length + 8);
    bool inBracket = false;
    bool quoted = false;  // between \Q and \E every character is literal
    for (size_t i = 0; i < length; ++i) {
        const wchar_t c = pattern[i];
        if (quoted) {
            if (c == L'\\' && i + 1 < length && pattern[i + 1] == L'E') {
                out += L"\\E";
                ++i;
                quoted = false;
                continue;
            }
            const wchar_t folded = FoldCharacter(c);
            if (folded == L'\\' && c != L'\\')
                out += L"\\E\\\\\\Q";  // a folded backslash must not end the quote
            else
                out += folded;
            continue;
        }
        if (c == L'\\') {
            // The user's escape, with the character it escapes, stays as written.
            out += c;
            if (i + 1 < length) {
                ++i;
                out += pattern[i];
                if (pattern[i] == L'Q')
                    quoted = true;
            }
            continue;
        }
        if (inBracket) {
            if (c == L'[' && i + 1 < length && (pattern[i + 1] == L':' || pattern[i + 1] == L'.' ||
                                                pattern[i + 1] == L'=')) {
                // A class name such as [:alpha:] is copied to its end.
                const wchar_t kind = pattern[i + 1];
                size_t j = i + 2;
                while (j + 1 < length && !(pattern[j] == kind && pattern[j + 1] == L']'))
                    ++j;
                const size_t stop = j + 1 < length ? j + 2 : length;
                out.append(pattern + i, stop - i);
                i = stop - 1;
                continue;
            }
            if (c == L']') {
                inBracket = false;
                out += c;
                continue;
            }
            PutFolded(&out, c, IsBracketMeta);
            continue;
        }
        if (c == L'[') {
            inBracket = true;
            out += c;
            // A leading ^ and a leading ] belong to the bracket's syntax.
            if (i + 1 < length && pattern[i + 1] == L'^')
                out += pattern[++i];
            if (i + 1 < length && pattern[i + 1] == L']')
                out += pattern[++i];
            continue;
        }
        PutFolded(&out, c, IsMeta);
    }
    return out;
}
