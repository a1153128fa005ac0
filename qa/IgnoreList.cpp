// Reading, matching and writing the ignored notes.
#include "qa/IgnoreList.h"

#include <shlobj.h>

#include <cwchar>

#include "base/LongPath.h"
#include "base/ReplaceFile.h"
#include "converters/readers/Utf8Text.h"

namespace {

// Tabs, line breaks and backslashes of an id written as escapes, so that
// the line keeps its four fields.
std::wstring Escaped(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
        case L'\\': out += L"\\\\"; break;
        case L'\t': out += L"\\t"; break;
        case L'\n': out += L"\\n"; break;
        case L'\r': out += L"\\r"; break;
        default: out += c; break;
        }
    }
    return out;
}

std::wstring Hex(uint64_t value) {
    wchar_t text[17];
    swprintf(text, 17, L"%016llx", static_cast<unsigned long long>(value));
    return text;
}

std::wstring Upper(std::wstring text) {
    if (!text.empty())
        CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace

uint64_t IgnoreList::TextHash(const std::wstring& source, const std::wstring& target) {
    uint64_t hash = 14695981039346656037ull;
    auto add = [&hash](const std::wstring& text) {
        for (wchar_t c : text) {
            hash ^= static_cast<uint16_t>(c);
            hash *= 1099511628211ull;
        }
    };
    add(source);
    hash ^= 0x10000;  // between the sides: "ab"+"c" is not "a"+"bc"
    hash *= 1099511628211ull;
    add(target);
    return hash;
}

std::wstring IgnoreList::Key(const std::wstring& check, uint64_t hash, const std::wstring& id,
                             const std::wstring& path) {
    return check + L'\t' + Hex(hash) + L'\t' + Escaped(id) + L'\t' + Upper(path);
}

bool IgnoreList::Contains(const CheckRow& row) const {
    return entries.count(Key(CheckName(row.kind), TextHash(row.source, row.target), row.id, row.path)) != 0;
}

void IgnoreList::Add(const CheckRow& row) {
    const std::wstring check = CheckName(row.kind);
    const uint64_t hash = TextHash(row.source, row.target);
    entries[Key(check, hash, row.id, row.path)] = check + L'\t' + Hex(hash) + L'\t' + Escaped(row.id) + L'\t' + row.path;
}

void IgnoreList::Remove(const CheckRow& row) {
    entries.erase(Key(CheckName(row.kind), TextHash(row.source, row.target), row.id, row.path));
}

bool IgnoreList::Load(const std::wstring& path) {
    entries.clear();
    std::string bytes;
    DWORD error = 0;
    if (!ReadSmallFile(path, 256u << 20, &bytes, &error))
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    const std::wstring text = WidenUtf8(bytes);
    size_t from = text.compare(0, 1, L"\xFEFF") == 0 ? 1 : 0;
    while (from < text.size()) {
        size_t end = text.find(L'\n', from);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(from, end - from);
        from = end + 1;
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        // check TAB hash TAB id TAB path
        const size_t a = line.find(L'\t');
        const size_t b = a == std::wstring::npos ? a : line.find(L'\t', a + 1);
        const size_t c = b == std::wstring::npos ? b : line.find(L'\t', b + 1);
        if (c == std::wstring::npos || b - a != 17 || c + 1 >= line.size())
            continue;
        CheckKind kind;
        if (!CheckByName(line.substr(0, a), &kind))
            continue;
        const std::wstring hash = line.substr(a + 1, 16);
        if (hash.find_first_not_of(L"0123456789abcdef") != std::wstring::npos)
            continue;
        const std::wstring id = line.substr(b + 1, c - b - 1);
        const std::wstring file = line.substr(c + 1);
        entries[line.substr(0, b + 1) + id + L'\t' + Upper(file)] = line;
    }
    return true;
}

bool IgnoreList::Save(const std::wstring& path, DWORD* error) const {
    std::wstring text;
    for (const auto& entry : entries)
        text += entry.second + L"\r\n";
    std::string bytes;
    Utf16ToUtf8(text.data(), text.size(), &bytes);
    return ReplaceFileWhole(path, bytes, error);
}

std::wstring IgnoreList::DefaultPath() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return std::wstring();
    std::wstring path = std::wstring(folder) + L"\\Mirlock";
    CreateDirectoryW(path.c_str(), nullptr);
    return path + L"\\Ignored checks.txt";
}
