// Conversion helpers shared by the converter tests.
#include "tests/ConvertHelper.h"

#include <cwchar>

#include "base/ScopedHandle.h"

SearchRequest ConverterRequest(int includeHidden, const std::wstring& ignoreTags) {
    SearchRequest r{};
    r.includeHidden = includeHidden;
    wcsncpy(r.ignoreTags, ignoreTags.c_str(), kPathChars - 1);
    r.maximumMatch = 999;
    return r;
}

std::optional<std::wstring> TakeText(HGLOBAL block) {
    ScopedGlobal owned(block);
    if (!owned)
        return std::nullopt;
    GlobalLockGuard<wchar_t> text(owned.Get());
    return std::wstring(text.Get(), TextBlockLength(owned.Get(), text.Get()));
}

std::optional<std::wstring> ConvertToText(const DocConverter& prototype, const std::wstring& path,
                                          const SearchRequest& request) {
    auto converter = prototype.Clone();
    converter->SetCodePage(0);
    return TakeText(converter->Convert(path.c_str(), request));
}
