// Grouped numbers and elided paths.
#include "base/DisplayText.h"

#include <windows.h>

std::wstring GroupedNumber(long long value) {
    const std::wstring digits = std::to_wstring(value < 0 ? -value : value);
    wchar_t separator[8] = {};
    if (!GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8))
        separator[0] = L',';
    std::wstring out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += separator;
        out += digits[i];
    }
    return value < 0 ? L"-" + out : out;
}

std::wstring ElidedPath(const std::wstring& path, size_t room) {
    if (path.size() <= room)
        return path;
    static const wchar_t kEllipsis[] = L"\x2026";
    // The start: "C:\" or "\\server\share\".
    size_t head = path.size() > 2 && path[1] == L':' ? 3 : 0;
    if (path.compare(0, 2, L"\\\\") == 0) {
        const size_t server = path.find(L'\\', 2);
        const size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
        head = share == std::wstring::npos ? 2 : share + 1;
    }
    if (room < head + 2)
        head = 0;
    if (room < 2)
        return std::wstring(kEllipsis).substr(0, room);
    const size_t tail = room - head - 1;
    size_t from = path.size() - tail;
    // From a folder's name on when one starts within the end kept.
    const size_t slash = path.find(L'\\', from);
    if (slash != std::wstring::npos && slash + 1 < path.size())
        from = slash;
    return path.substr(0, head) + kEllipsis + path.substr(from);
}
