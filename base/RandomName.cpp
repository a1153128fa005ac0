// Random hex from the system's generator.
#include "base/RandomName.h"

#include <windows.h>
#define SECURITY_WIN32
#include <ntsecapi.h>

#include <vector>

std::wstring RandomHex(size_t bytes) {
    std::vector<unsigned char> bits(bytes);
    if (bytes == 0 || !RtlGenRandom(bits.data(), static_cast<ULONG>(bytes)))
        return std::wstring();
    static const wchar_t kHex[] = L"0123456789abcdef";
    std::wstring text;
    text.reserve(bytes * 2);
    for (const unsigned char b : bits) {
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    return text;
}
