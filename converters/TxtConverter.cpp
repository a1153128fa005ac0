// The plain-text converter: one read of the whole file, then at most one
// code-page conversion.
#include "converters/TxtConverter.h"

#include <cstdio>
#include <cwchar>

#include "resource.h"
#include "search/ResourceText.h"
#include "search/ScopedHandle.h"

TxtConverter::TxtConverter() {
    const std::wstring name = LoadResourceText(IDS_TXT_TYPE_NAME);
    const std::wstring spec = LoadResourceText(IDS_TXT_FILE_SPEC);
    wcsncpy(typeName, name.c_str(), kConverterChars - 1);
    wcsncpy(fileSpec, spec.c_str(), kConverterChars - 1);
}

int TxtConverter::Accepts(const wchar_t*) { return 1; }
int TxtConverter::IsPlainText() { return 1; }
void TxtConverter::SetCodePage(int value) { codePage = value; }

std::unique_ptr<DocConverter> TxtConverter::Clone() const {
    auto copy = std::make_unique<TxtConverter>();
    copy->CopyStringsFrom(*this);
    copy->codePage = codePage;
    return copy;
}

HGLOBAL TxtConverter::Convert(const wchar_t* path, const SearchRequest&) {
    ScopedFile file(_wfopen(path, L"rb"));
    if (!file)
        return nullptr;
    if (_fseeki64(file.Get(), 0, SEEK_END) != 0)
        return nullptr;
    const long long size = _ftelli64(file.Get());
    if (size < 0 || size >= kMaxFileBytes) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return nullptr;
    }
    _fseeki64(file.Get(), 0, SEEK_SET);

    const size_t bytes = static_cast<size_t>(size);
    ScopedGlobal raw(AllocTextBlock((bytes + 1) / 2 * 2 + 2));
    if (!raw) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    {
        GlobalLockGuard<unsigned char> data(raw.Get());
        if (!data.Get())
            return nullptr;
        // A short read (file shrunk, device error) is a failure, never a
        // truncated text reported as success.
        if (bytes && fread(data.Get(), 1, bytes, file.Get()) != bytes) {
            SetLastError(ERROR_READ_FAULT);
            return nullptr;
        }
        file.Reset();
        if (bytes >= 2 && data.Get()[0] == 0xFF && data.Get()[1] == 0xFE)
            codePage = kUtf16;
        if (codePage == kUtf16)
            return raw.Detach();  // the lock guard unlocks it on the way out

        ScopedGlobal text(AllocTextBlock(bytes * 2 + 2));
        if (!text) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        GlobalLockGuard<wchar_t> chars(text.Get());
        if (!chars.Get())
            return nullptr;
        const int converted =
            MultiByteToWideChar(static_cast<UINT>(codePage), 0, reinterpret_cast<LPCSTR>(data.Get()),
                                static_cast<int>(bytes), chars.Get(), static_cast<int>(bytes));
        if (converted == 0)
            return nullptr;
        return text.Detach();
    }
}
