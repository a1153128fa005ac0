// The content-filter lookup: the system's LoadIFilter, or the registry's
// persistent handlers and CoCreateInstance where the system has none.
#include "converters/installed/FilterLoader.h"

#include <objbase.h>
#include <objidl.h>

#include <cwctype>

const IID kIidFilter = {0x89BCB740, 0x6119, 0x101A, {0xBC, 0xB7, 0x00, 0xDD, 0x01, 0x06, 0x55, 0xAF}};

namespace {

// IPersistFile, by its published identifier.
const IID kIidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// The key under a persistent handler that names its filter class.
constexpr const wchar_t* kFilterAddins =
    L"\\PersistentAddinsRegistered\\{89BCB740-6119-101A-BCB7-00DD010655AF}";

using LoadIFilterFn = HRESULT(WINAPI*)(LPCWSTR, IUnknown*, void**);
using CoCreateInstanceFn = HRESULT(WINAPI*)(REFCLSID, IUnknown*, DWORD, REFIID, void**);
using CoInitializeExFn = HRESULT(WINAPI*)(void*, DWORD);
using CoUninitializeFn = void(WINAPI*)();

FARPROC Resolve(const wchar_t* library, const char* name) {
    HMODULE module = GetModuleHandleW(library);
    if (!module)
        module = LoadLibraryW(library);
    return module ? GetProcAddress(module, name) : nullptr;
}

template <typename Fn>
Fn Bind(const wchar_t* library, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(Resolve(library, name)));
}

// The default value of HKEY_CLASSES_ROOT\`key`, empty when there is none.
std::wstring ClassesValue(const std::wstring& key) {
    wchar_t value[260] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        return std::wstring();
    return value;
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    c = static_cast<wchar_t>(std::towlower(c));
    return c >= L'a' && c <= L'f' ? c - L'a' + 10 : -1;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" into a GUID, without the COM library.
bool ParseGuid(const std::wstring& text, GUID* guid) {
    if (text.size() != 38 || text[0] != L'{' || text[37] != L'}')
        return false;
    unsigned char bytes[16];
    static const int kStarts[16] = {1, 3, 5, 7, 10, 12, 15, 17, 20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 16; ++i) {
        const int hi = HexDigit(text[kStarts[i]]), lo = HexDigit(text[kStarts[i] + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes[i] = static_cast<unsigned char>(hi * 16 + lo);
    }
    if (text[9] != L'-' || text[14] != L'-' || text[19] != L'-' || text[24] != L'-')
        return false;
    guid->Data1 = (static_cast<unsigned long>(bytes[0]) << 24) | (bytes[1] << 16) | (bytes[2] << 8) | bytes[3];
    guid->Data2 = static_cast<unsigned short>((bytes[4] << 8) | bytes[5]);
    guid->Data3 = static_cast<unsigned short>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i)
        guid->Data4[i] = bytes[8 + i];
    return true;
}

// The persistent handler of files with `extension`: the extension's own, or
// that of the class its file type names.
std::wstring PersistentHandler(const std::wstring& extension) {
    if (extension.empty())
        return std::wstring();
    std::wstring handler = ClassesValue(extension + L"\\PersistentHandler");
    if (!handler.empty())
        return handler;
    const std::wstring progId = ClassesValue(extension);
    if (progId.empty())
        return std::wstring();
    const std::wstring classId = ClassesValue(progId + L"\\CLSID");
    if (classId.empty())
        return std::wstring();
    return ClassesValue(L"CLSID\\" + classId + L"\\PersistentHandler");
}

bool FilterClass(const std::wstring& extension, CLSID* filterClass) {
    const std::wstring handler = PersistentHandler(extension);
    if (handler.empty())
        return false;
    return ParseGuid(ClassesValue(L"CLSID\\" + handler + kFilterAddins), filterClass);
}

// The documented lookup, for systems without a working LoadIFilter.
HRESULT LoadThroughRegistry(const wchar_t* path, IUnknown** out) {
    CLSID filterClass;
    if (!FilterClass(FileExtension(path), &filterClass))
        return REGDB_E_CLASSNOTREG;
    static const auto coCreateInstance = Bind<CoCreateInstanceFn>(L"ole32.dll", "CoCreateInstance");
    if (!coCreateInstance)
        return E_NOTIMPL;
    IUnknown* filter = nullptr;
    HRESULT hr = coCreateInstance(filterClass, nullptr, CLSCTX_INPROC_SERVER, kIidFilter,
                                  reinterpret_cast<void**>(&filter));
    if (FAILED(hr) || !filter)
        return FAILED(hr) ? hr : E_NOINTERFACE;
    IPersistFile* file = nullptr;
    hr = filter->QueryInterface(kIidPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(hr) && file) {
        hr = file->Load(path, STGM_READ | STGM_SHARE_DENY_NONE);
        file->Release();
    } else if (SUCCEEDED(hr)) {
        hr = E_NOINTERFACE;
    }
    if (FAILED(hr)) {
        filter->Release();
        return hr;
    }
    *out = filter;
    return S_OK;
}

}  // namespace

std::wstring FileExtension(const wchar_t* path) {
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; ++p) {
        if (*p == L'\\' || *p == L'/' || *p == L':')
            name = p + 1;
    }
    const wchar_t* dot = nullptr;
    for (const wchar_t* p = name; *p; ++p) {
        if (*p == L'.')
            dot = p;
    }
    std::wstring extension = dot ? dot : L"";
    for (auto& c : extension)
        c = static_cast<wchar_t>(std::towlower(c));
    return extension;
}

bool ExtensionHasFilter(const std::wstring& extension) {
    CLSID filterClass;
    return FilterClass(extension, &filterClass);
}

HRESULT LoadFilterForFile(const wchar_t* path, IUnknown** filter) {
    *filter = nullptr;
    static const auto loadIFilter = Bind<LoadIFilterFn>(L"query.dll", "LoadIFilter");
    if (loadIFilter) {
        const HRESULT hr = loadIFilter(path, nullptr, reinterpret_cast<void**>(filter));
        if (hr != E_NOTIMPL)
            return hr;
        *filter = nullptr;
    }
    return LoadThroughRegistry(path, filter);
}

HRESULT InitializeComApartment() {
    static const auto coInitializeEx = Bind<CoInitializeExFn>(L"ole32.dll", "CoInitializeEx");
    return coInitializeEx ? coInitializeEx(nullptr, COINIT_APARTMENTTHREADED) : E_NOTIMPL;
}

void UninitializeComApartment() {
    static const auto coUninitialize = Bind<CoUninitializeFn>(L"ole32.dll", "CoUninitialize");
    if (coUninitialize)
        coUninitialize();
}
