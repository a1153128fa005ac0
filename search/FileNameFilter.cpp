// Parsing and matching of the file-name pattern list.
#include "search/FileNameFilter.h"

#include <windows.h>

namespace {

std::wstring Upper(std::wstring text) {
    if (!text.empty())
        CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring Trimmed(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return std::wstring();
    const size_t last = text.find_last_not_of(L" \t");
    return text.substr(first, last - first + 1);
}

bool AnyMatches(const std::vector<std::wstring>& patterns, const wchar_t* name) {
    if (patterns.empty())
        return false;
    const std::wstring upper = Upper(name);
    for (const auto& p : patterns) {
        if (MatchesWildcard(p.c_str(), upper.c_str()))
            return true;
    }
    return false;
}

}  // namespace

bool MatchesWildcard(const wchar_t* pattern, const wchar_t* name) {
    if (wcscmp(pattern, L"*.*") == 0)
        return true;
    // Greedy matching with one remembered star: linear for any pattern.
    const wchar_t* star = nullptr;
    const wchar_t* resume = nullptr;
    while (*name) {
        if (*pattern == L'*') {
            star = pattern++;
            resume = name;
        } else if (*pattern == L'?' || *pattern == *name) {
            ++pattern;
            ++name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == L'*')
        ++pattern;
    // "report.*" takes "report" too.
    if (pattern[0] == L'.' && pattern[1] == L'*' && pattern[2] == 0)
        return true;
    return *pattern == 0;
}

void FileNameFilter::Parse(const wchar_t* list) {
    includes.clear();
    fileExcludes.clear();
    folderExcludes.clear();
    const std::wstring text = list ? list : L"";
    size_t from = 0;
    for (;;) {
        const size_t end = text.find_first_of(L";,", from);  // "*.xlf; *.ttx" or "*.xlf, *.ttx"
        std::wstring piece = Trimmed(text.substr(from, end == std::wstring::npos ? std::wstring::npos : end - from));
        if (!piece.empty() && piece[0] == L'-') {
            piece = Trimmed(piece.substr(1));
            if (!piece.empty() && piece.back() == L'\\') {
                piece = Trimmed(piece.substr(0, piece.size() - 1));
                if (!piece.empty())
                    folderExcludes.push_back(Upper(piece));
            } else if (!piece.empty()) {
                fileExcludes.push_back(Upper(piece));
            }
        } else if (!piece.empty()) {
            includes.push_back(piece);
        }
        if (end == std::wstring::npos)
            break;
        from = end + 1;
    }
    plain = fileExcludes.empty() && includes.size() <= 1;
    enumeration = plain && !includes.empty() ? includes.front() : L"*.*";
    for (auto& p : includes)
        p = Upper(p);
}

bool FileNameFilter::TakesFile(const wchar_t* name) const {
    if (plain)
        return true;
    if (!includes.empty() && !AnyMatches(includes, name))
        return false;
    return !AnyMatches(fileExcludes, name);
}

bool FileNameFilter::ExcludesFolder(const wchar_t* name) const { return AnyMatches(folderExcludes, name); }
