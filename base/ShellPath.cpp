// Late binding to the shell's string and path functions.
#include "base/ShellPath.h"

#include <windows.h>

#include <mutex>

namespace {

using StrCmpNIWFunction = int(WINAPI*)(LPCWSTR, LPCWSTR, int);
using PathMatchSpecWFunction = BOOL(WINAPI*)(LPCWSTR, LPCWSTR);

struct Shlwapi {
    StrCmpNIWFunction strCmpNIW = nullptr;
    PathMatchSpecWFunction pathMatchSpecW = nullptr;
};

const Shlwapi& Library() {
    static Shlwapi functions;
    static std::once_flag once;
    std::call_once(once, [] {
        auto bind = [](HMODULE module) {
            functions.strCmpNIW =
                reinterpret_cast<StrCmpNIWFunction>(reinterpret_cast<void*>(GetProcAddress(module, "StrCmpNIW")));
            functions.pathMatchSpecW = reinterpret_cast<PathMatchSpecWFunction>(
                reinterpret_cast<void*>(GetProcAddress(module, "PathMatchSpecW")));
        };
        // Since Windows 8 shlwapi.dll forwards both to kernelbase.dll, which
        // every process has loaded; loading shlwapi.dll would also load the
        // window libraries, which costs a console search more than its work.
        if (HMODULE kernel = GetModuleHandleW(L"kernelbase.dll"))
            bind(kernel);
        if (functions.strCmpNIW && functions.pathMatchSpecW)
            return;
        // A system library: it stays loaded for the life of the process.
        if (HMODULE module = LoadLibraryExW(L"shlwapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
            bind(module);
    });
    return functions;
}

}  // namespace

int CompareNoCase(const wchar_t* a, const wchar_t* b, int count) {
    if (const auto f = Library().strCmpNIW)
        return f(a, b, count);
    // Without the shell library: the comparison it makes.
    return CompareStringW(GetThreadLocale(), NORM_IGNORECASE, a, count, b, count) - CSTR_EQUAL;
}

bool MatchPathPattern(const wchar_t* path, const wchar_t* pattern) {
    if (const auto f = Library().pathMatchSpecW)
        return f(path, pattern) != FALSE;
    return false;
}
