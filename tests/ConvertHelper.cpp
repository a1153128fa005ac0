// Conversion helpers shared by the converter tests.
#include "tests/ConvertHelper.h"

#include <cwchar>

#include "base/FoldText.h"
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

std::optional<std::wstring> SearchTextFor(const DocConverter& prototype, const std::wstring& path,
                                          const SearchRequest& request) {
    auto converter = prototype.Clone();
    converter->SetCodePage(0);
    size_t foldedLength = DocConverter::kNotFolded;
    ScopedGlobal owned(converter->ConvertForSearch(path.c_str(), request, &foldedLength));
    if (!owned)
        return std::nullopt;
    GlobalLockGuard<wchar_t> text(owned.Get());
    const size_t capacity = GlobalSize(owned.Get()) / sizeof(wchar_t);
    if (foldedLength != DocConverter::kNotFolded && foldedLength < capacity)
        return std::wstring(text.Get(), foldedLength);
    return std::wstring(text.Get(), FoldTextToNul(text.Get(), capacity));
}

std::optional<std::wstring> FoldedAfterwards(const DocConverter& prototype,
                                             const std::wstring& path,
                                             const SearchRequest& request) {
    std::optional<std::wstring> text = ConvertToText(prototype, path, request);
    if (text) {
        for (wchar_t& c : *text) c = FoldCharacter(c);
    }
    return text;
}
