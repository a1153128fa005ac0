// Long paths: the verbatim "\\?\" form for the system, the plain form for people.
#include "base/LongPath.h"

#include <windows.h>

namespace {

constexpr std::wstring_view kVerbatim = L"\\\\?\\";
constexpr std::wstring_view kVerbatimUnc = L"\\\\?\\UNC\\";

}  // namespace

// GetFullPathNameW has no length limit of its own: it says how much it needs.
std::wstring FullPathName(const std::wstring& path) {
    DWORD size = static_cast<DWORD>(path.size()) + 16;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::wstring full(size, L'\0');
        const DWORD n = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
        if (n == 0)
            return {};
        if (n < size) {
            full.resize(n);
            return full;
        }
        size = n + 1;
    }
    return {};
}

namespace {

// A drive or UNC path with backslashes only and no "." or ".." parts: the
// verbatim form is the same text behind the prefix. Parsing it would also
// drop trailing dots and spaces of names that the directory listing gave.
bool IsPlainAbsolute(std::wstring_view path) {
    size_t start = 0;
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\')
        start = 3;
    else if (path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'\\')
        start = 2;
    else
        return false;
    for (size_t i = start; i <= path.size();) {
        size_t end = path.find(L'\\', i);
        if (end == std::wstring_view::npos)
            end = path.size();
        const std::wstring_view part = path.substr(i, end - i);
        if (part.find(L'/') != std::wstring_view::npos || part == L"." || part == L".." ||
            (part.empty() && end != path.size()))
            return false;
        i = end + 1;
    }
    return true;
}

}  // namespace

bool IsVerbatimPath(std::wstring_view path) {
    return path.size() >= 4 && path[0] == L'\\' && path[1] == L'\\' && (path[2] == L'?' || path[2] == L'.') &&
           path[3] == L'\\';
}

std::wstring SystemPath(std::wstring_view path) {
    if (path.size() <= kClassicPathChars || IsVerbatimPath(path))
        return std::wstring(path);
    std::wstring full = IsPlainAbsolute(path) ? std::wstring(path) : FullPathName(std::wstring(path));
    // The verbatim form allows at most 32,767 characters.
    if (full.empty() || full.size() > 32000)
        return {};
    if (full.size() > 2 && full[0] == L'\\' && full[1] == L'\\')
        return std::wstring(kVerbatimUnc) + full.substr(2);
    return std::wstring(kVerbatim) + full;
}

std::wstring VerbatimPath(std::wstring_view path) {
    if (IsVerbatimPath(path) || !IsPlainAbsolute(path))
        return SystemPath(path);
    if (path.size() > 32000)
        return {};
    if (path[0] == L'\\')
        return std::wstring(kVerbatimUnc).append(path.substr(2));
    return std::wstring(kVerbatim).append(path);
}

std::wstring ShownPath(std::wstring_view path) {
    if (path.substr(0, kVerbatimUnc.size()) == kVerbatimUnc)
        return L"\\\\" + std::wstring(path.substr(kVerbatimUnc.size()));
    if (path.substr(0, kVerbatim.size()) == kVerbatim)
        return std::wstring(path.substr(kVerbatim.size()));
    return std::wstring(path);
}

std::wstring FittingPath(std::wstring_view path) {
    if (path.size() <= kClassicPathChars)
        return std::wstring(path);
    const std::wstring verbatim = SystemPath(path);
    if (verbatim.empty())
        return std::wstring(path);
    const DWORD n = GetShortPathNameW(verbatim.c_str(), nullptr, 0);
    if (n > 0) {
        std::wstring shortForm(n, L'\0');
        const DWORD written = GetShortPathNameW(verbatim.c_str(), shortForm.data(), n);
        if (written > 0 && written < n) {
            shortForm.resize(written);
            shortForm = ShownPath(shortForm);
            if (shortForm.size() <= kClassicPathChars)
                return shortForm;
        }
    }
    return verbatim;
}

std::wstring WholeFolderPath(const std::wstring& folder) {
    const bool drive = folder.size() >= 3 && folder[1] == L':' && (folder[2] == L'\\' || folder[2] == L'/');
    const bool share = folder.size() >= 2 && (folder[0] == L'\\' || folder[0] == L'/') &&
                       (folder[1] == L'\\' || folder[1] == L'/');
    if (folder.empty() || drive || share)
        return folder;
    return FullPathName(folder);
}
