// Conversion helpers shared by the converter tests.
#include "tests/ConvertHelper.h"

#include <gtest/gtest.h>

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

std::vector<std::wstring> SegmentLinesFor(const DocConverter& prototype, const std::wstring& path,
                                          const SearchRequest& request, bool forSearch) {
    auto converter = prototype.Clone();
    converter->SetCodePage(0);
    converter->SetWantSegments(true);
    std::vector<std::wstring> lines;
    std::optional<std::wstring> text;
    if (forSearch) {
        size_t foldedLength = DocConverter::kNotFolded;
        ScopedGlobal owned(converter->ConvertForSearch(path.c_str(), request, &foldedLength));
        if (!owned)
            return lines;
        GlobalLockGuard<wchar_t> units(owned.Get());
        const size_t capacity = GlobalSize(owned.Get()) / sizeof(wchar_t);
        text = foldedLength != DocConverter::kNotFolded && foldedLength < capacity
                   ? std::wstring(units.Get(), foldedLength)
                   : std::wstring(units.Get(), FoldTextToNul(units.Get(), capacity));
    } else {
        text = TakeText(converter->Convert(path.c_str(), request));
    }
    if (!text)
        return lines;
    const SegmentTable& table = converter->Segments();
    for (size_t i = 0; i < table.size(); ++i) {
        for (const std::span<const TextRange> side : {table.Source(i), table.Target(i)}) {
            uint32_t last = 0;
            for (const TextRange& r : side) {
                EXPECT_LE(last, r.begin) << "a side's ranges in text order";
                EXPECT_LE(r.begin, r.end);
                EXPECT_LE(r.end, text->size());
                last = r.end;
            }
        }
        lines.push_back(table.Id(i) + L"|" + ShownSideText(text->c_str(), text->size(), table.Source(i)) + L"|" +
                        ShownSideText(text->c_str(), text->size(), table.Target(i)));
    }
    return lines;
}
