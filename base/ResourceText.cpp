// String resources come from the executable that runs (window program,
// console front end or test), each of which links the same resource script.
#include "base/ResourceText.h"

#include <windows.h>

#include <cwchar>

namespace {

// Reads string `id` straight from the string table, as LoadStringW does (at
// most 256 characters; an empty string counts as missing). The table is read
// with the kernel's resource functions, which spares the console front end
// loading the user-interface library at every start.
bool LoadTableString(unsigned id, wchar_t (&buffer)[257]) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW((id >> 4) + 1), MAKEINTRESOURCEW(6));  // RT_STRING
    if (!resource)
        return false;
    HGLOBAL loaded = LoadResource(module, resource);
    const auto* p = static_cast<const WORD*>(loaded ? LockResource(loaded) : nullptr);
    if (!p)
        return false;
    // A block of sixteen strings, each its length followed by its characters.
    const WORD* const end = p + SizeofResource(module, resource) / sizeof(WORD);
    for (unsigned i = 0; i < (id & 15); ++i) {
        if (p >= end)
            return false;
        p += 1 + *p;
    }
    if (p >= end || *p == 0 || *p > end - p - 1)
        return false;
    const size_t length = *p < 256 ? *p : 256;
    wmemcpy(buffer, reinterpret_cast<const wchar_t*>(p + 1), length);
    buffer[length] = 0;
    return true;
}

}  // namespace

std::wstring LoadResourceText(unsigned id) {
    wchar_t buffer[257];
    return LoadTableString(id, buffer) ? std::wstring(buffer) : std::wstring();
}

bool FormatResourceString(unsigned id, va_list* args, wchar_t* out, size_t capacity) {
    wchar_t pattern[257];
    if (!LoadTableString(id, pattern) || capacity == 0)
        return false;
    wchar_t* formatted = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                        pattern, 0, 0, reinterpret_cast<wchar_t*>(&formatted), 0,
                                        args);
    if (length == 0 || !formatted)
        return false;
    const size_t n = length < capacity - 1 ? length : capacity - 1;
    wmemcpy(out, formatted, n);
    out[n] = 0;
    LocalFree(formatted);
    return true;
}

bool FormatResourceText(std::wstring* out, unsigned id, ...) {
    wchar_t buffer[2048];
    va_list args;
    va_start(args, id);
    const bool ok = FormatResourceString(id, &args, buffer, 2048);
    va_end(args);
    if (ok)
        out->assign(buffer);
    return ok;
}

std::wstring SystemErrorText(unsigned long error) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = n && text ? std::wstring(text, n) : L"Error " + std::to_wstring(error) + L".";
    if (text)
        LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message;
}
