// Registry entries of the test import converters.
#include "tests/ConverterRegistration.h"

#include <windows.h>

#include "converters/installed/LibConverter.h"

namespace {

std::wstring BinFolder() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

bool Register(const wchar_t* subkey, const wchar_t* extensions, const std::wstring& path) {
    const std::wstring keyName = std::wstring(LibConverter::kImportKey) + L"\\" + subkey;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    auto set = [key](const wchar_t* name, const std::wstring& value) {
        return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    };
    bool ok = set(L"Name", std::wstring(L"Test ") + subkey) && set(L"Extensions", extensions);
    if (!path.empty())
        ok = ok && set(L"Path", path);
    RegCloseKey(key);
    return ok;
}

template <typename Fn>
Fn Export(const char* name) {
    HMODULE module = GetModuleHandleW(L"mirlock-test-converter.dll");
    if (!module)
        module = LoadLibraryW((BinFolder() + L"mirlock-test-converter.dll").c_str());
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(module ? GetProcAddress(module, name) : nullptr));
}

}  // namespace

bool RegisterTestConverters() {
    const std::wstring library = BinFolder() + L"mirlock-test-converter.dll";
    return Register(L"MirlockTestAll", L"*", library) && Register(L"MirlockTestDoc", L"doc dot", library) &&
           Register(L"MirlockTestMtc", L"mtc", library) && Register(L"MirlockTestNoPath", L"nop", L"") &&
           Register(L"MirlockTestPartial", L"prt", BinFolder() + L"mirlock-test-converter-partial.dll");
}

std::string TestConverterLog() {
    const auto log = Export<const char* (*)()>("TestConverterLog");
    return log ? log() : std::string();
}

int TestConverterMostAtOnce() {
    const auto most = Export<int (*)()>("TestConverterMostAtOnce");
    return most ? most() : -1;
}

std::unique_ptr<LibConverter> TestImportConverter(const wchar_t* subkey) {
    auto converter = std::make_unique<LibConverter>();
    HKEY import = nullptr;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, LibConverter::kImportKey, 0, KEY_READ, &import);
    converter->FillFromRegistry(import, subkey);
    RegCloseKey(import);
    return converter;
}
