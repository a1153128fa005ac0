// String resources come from the executable that runs (window program,
// console front end or test), each of which links the same resource script.
#include "search/ResourceText.h"

#include <windows.h>

#include <cwchar>

std::wstring LoadResourceText(unsigned id) {
    wchar_t buffer[257];
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, buffer, 257);
    return std::wstring(buffer, length > 0 ? length : 0);
}

bool FormatResourceString(unsigned id, va_list* args, wchar_t* out, size_t capacity) {
    wchar_t pattern[257];
    if (LoadStringW(GetModuleHandleW(nullptr), id, pattern, 257) <= 0 || capacity == 0)
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
