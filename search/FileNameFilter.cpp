// Parsing and matching of the file-name pattern list.
#include "search/FileNameFilter.h"

#include <windows.h>

#include <algorithm>

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

namespace {

// Greedy matching with one remembered star: linear for any pattern.
bool MatchesPlainly(const wchar_t* pattern, const wchar_t* name) {
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
    return *pattern == 0;
}

}  // namespace

bool MatchesWildcard(const wchar_t* pattern, const wchar_t* name) {
    if (wcscmp(pattern, L"*.*") == 0)
        return true;
    if (MatchesPlainly(pattern, name))
        return true;
    const size_t length = wcslen(pattern);
    // "report.*" takes "report" too.
    if (length >= 2 && pattern[length - 2] == L'.' && pattern[length - 1] == L'*' && !wcschr(name, L'.')) {
        const std::wstring stem(pattern, length - 2);
        return MatchesPlainly(stem.c_str(), name);
    }
    // A final "." stands for an empty extension: "*." takes names without one.
    if (length >= 1 && pattern[length - 1] == L'.' && !wcschr(name, L'.')) {
        const std::wstring stem(pattern, length - 1);
        return MatchesPlainly(stem.c_str(), name);
    }
    return false;
}

void FileNameFilter::Parse(const wchar_t* list) {
    includes.clear();
    fileExcludes.clear();
    folderExcludes.clear();
    refused.clear();
    const std::wstring text = list ? list : L"";
    size_t from = 0;
    for (;;) {
        const size_t end = text.find_first_of(L";,", from);  // "*.xlf; *.ttx" or "*.xlf, *.ttx"
        std::wstring piece = Trimmed(text.substr(from, end == std::wstring::npos ? std::wstring::npos : end - from));
        // A name pattern names files of the folders walked, never a folder:
        // only the folder exclusion "-name\" ends in a backslash.
        const bool folderExclusion = piece.size() > 1 && piece[0] == L'-' && piece.back() == L'\\';
        const std::wstring names = folderExclusion ? piece.substr(0, piece.size() - 1) : piece;
        if (refused.empty() && names.find_first_of(L"\\/:") != std::wstring::npos)
            refused = piece;
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
    for (auto& p : includes)
        p = Upper(p);
    // Every pattern is matched here, on the long name: the system's own
    // match also looks at short (8.3) names ("*.doc" would list
    // "report.docx"), and would treat one pattern unlike the same in a list.
    plain = fileExcludes.empty() &&
            (includes.empty() || std::any_of(includes.begin(), includes.end(), [](const std::wstring& p) {
                 return p == L"*" || p == L"*.*";
             }));
}

bool FileNameFilter::TakesFile(const wchar_t* name) const {
    if (plain)
        return true;
    if (!includes.empty() && !AnyMatches(includes, name))
        return false;
    return !AnyMatches(fileExcludes, name);
}

bool FileNameFilter::ExcludesFolder(const wchar_t* name) const { return AnyMatches(folderExcludes, name); }
