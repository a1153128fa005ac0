// Registry entries of the test content filter.
#include "tests/FilterRegistration.h"

#include <windows.h>

namespace {

constexpr const wchar_t* kFilterAddins = L"PersistentAddinsRegistered\\{89BCB740-6119-101A-BCB7-00DD010655AF}";

bool SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY handle = nullptr;
    const std::wstring full = L"Software\\Classes\\" + key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, full.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const LONG status = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

std::wstring FilterDllPath() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"mirlock-test-filter.dll";
}

}  // namespace

bool RegisterTestFilter() {
    struct Variant {
        const wchar_t* extension;
        const wchar_t* filter;
        const wchar_t* handler;
        const wchar_t* threading;  // null: no ThreadingModel value
    };
    static const Variant kVariants[] = {
        {L".mtfb", L"{6A0C3D10-7B2E-4F51-9C11-2E8B5A7D0B01}", L"{6A0C3D10-7B2E-4F51-9C11-2E8B5A7D0C01}", L"Both"},
        {L".mtfa", L"{6A0C3D10-7B2E-4F51-9C11-2E8B5A7D0B02}", L"{6A0C3D10-7B2E-4F51-9C11-2E8B5A7D0C02}", L"Apartment"},
        {L".mtfn", L"{6A0C3D10-7B2E-4F51-9C11-2E8B5A7D0B03}", L"{6A0C3D10-7B2E-4F51-9C11-2E8B5A7D0C03}", nullptr},
        // A filter that says it has IPersistFile and gives none.
        {L".mtfx", L"{6A0C3D10-7B2E-4F51-9C11-2E8B5A7D0B04}", L"{6A0C3D10-7B2E-4F51-9C11-2E8B5A7D0C04}", L"Both"},
        // A handler that names its filter by a malformed class identifier.
        {L".mtfz", L"{6A0C3D10-7B2E-4F51-9C11-2E8B5A7D0BZZ}", L"{6A0C3D10-7B2E-4F51-9C11-2E8B5A7D0C05}", L"Both"},
    };
    const std::wstring dll = FilterDllPath();
    bool ok = true;
    for (const auto& v : kVariants) {
        const std::wstring server = std::wstring(L"CLSID\\") + v.filter + L"\\InprocServer32";
        ok &= SetValue(server, nullptr, dll);
        if (v.threading)
            ok &= SetValue(server, L"ThreadingModel", v.threading);
        ok &= SetValue(std::wstring(L"CLSID\\") + v.handler + L"\\" + kFilterAddins, nullptr, v.filter);
        ok &= SetValue(std::wstring(v.extension) + L"\\PersistentHandler", nullptr, v.handler);
    }
    // A file type whose class names the handler.
    const wchar_t* documentClass = L"{6A0C3D10-7B2E-4F51-9C11-2E8B5A7D0D01}";
    ok &= SetValue(L".mtfp", nullptr, L"MirlockTest.Document");
    ok &= SetValue(L"MirlockTest.Document\\CLSID", nullptr, documentClass);
    ok &= SetValue(std::wstring(L"CLSID\\") + documentClass + L"\\PersistentHandler", nullptr,
                   kVariants[0].handler);
    return ok;
}

bool RegisterTestFilterFor(const wchar_t* extension) {
    return SetValue(std::wstring(extension) + L"\\PersistentHandler", nullptr, L"{6A0C3D10-7B2E-4F51-9C11-2E8B5A7D0C01}");
}

void UnregisterTestFilterFor(const wchar_t* extension) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(L"Software\\Classes\\") + extension).c_str());
}

namespace {

// A count that the loaded filter DLL exports; -1 when it is not loaded.
long FilterCount(const char* name) {
    HMODULE module = GetModuleHandleW(L"mirlock-test-filter.dll");
    if (!module)
        return -1;
    using CountFn = long (*)();
    auto count = reinterpret_cast<CountFn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return count ? count() : -1;
}

}  // namespace

long TestFilterForeignCalls() { return FilterCount("TestFilterForeignCalls"); }

long TestFilterLiveObjects() { return FilterCount("TestFilterLiveObjects"); }
