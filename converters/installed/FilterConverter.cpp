// The chunk and text loops over a content filter.
#include "converters/installed/FilterConverter.h"

#include <filter.h>
#include <filterr.h>

#include <algorithm>
#include <cwchar>

#include "base/FoldText.h"
#include "converters/installed/FilterLoader.h"

namespace {

constexpr ULONG kTextChars = 4096;

// Releases the filter on every path out of a conversion.
struct FilterHolder {
    IFilter* filter = nullptr;
    ~FilterHolder() {
        if (filter)
            filter->Release();
    }
};

const wchar_t* Separator(CHUNK_BREAKTYPE breakType) {
    switch (breakType) {
    case CHUNK_EOW: return L" ";
    case CHUNK_EOS:
    case CHUNK_EOP:
    case CHUNK_EOC: return L"\r\n";
    default: return L"";
    }
}

// Reads the text of the current chunk; false when the filter fails.
bool ReadChunkText(IFilter* filter, std::wstring& text) {
    wchar_t buffer[kTextChars + 1];
    for (;;) {
        std::fill(buffer, buffer + kTextChars + 1, L'\0');
        ULONG count = kTextChars;
        const HRESULT hr = filter->GetText(&count, buffer);
        if (hr == FILTER_E_NO_MORE_TEXT)
            return true;
        if (FAILED(hr))
            return false;
        count = std::min(count, kTextChars);
        FoldText(count, buffer);  // NUL characters inside the text become spaces
        text.append(buffer, count);
        if (hr == FILTER_S_LAST_TEXT)
            return true;
    }
}

}  // namespace

int FilterConverter::Accepts(const wchar_t* path) {
    const std::wstring extension = FileExtension(path);
    if (std::find(noFilter.begin(), noFilter.end(), extension) != noFilter.end())
        return 0;
    if (!ExtensionHasFilter(extension)) {
        noFilter.push_back(extension);
        return 0;
    }
    IUnknown* filter = nullptr;
    if (FAILED(LoadFilterForFile(path, &filter)) || !filter)
        return 0;
    filter->Release();
    return 1;
}

HGLOBAL FilterConverter::Convert(const wchar_t* path, const SearchRequest&) {
    // The search's thread has its apartment already; the call then changes nothing.
    using CoInitializeExFn = HRESULT(WINAPI*)(void*, DWORD);
    static const auto coInitializeEx = reinterpret_cast<CoInitializeExFn>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"ole32.dll"), "CoInitializeEx")));
    if (coInitializeEx)
        coInitializeEx(nullptr, COINIT_MULTITHREADED);

    IUnknown* loaded = nullptr;
    if (FAILED(LoadFilterForFile(path, &loaded)) || !loaded)
        return nullptr;
    FilterHolder holder;
    const HRESULT asFilter = loaded->QueryInterface(kIidFilter, reinterpret_cast<void**>(&holder.filter));
    loaded->Release();
    if (FAILED(asFilter) || !holder.filter)
        return nullptr;
    ULONG flags = 0;
    if (FAILED(holder.filter->Init(IFILTER_INIT_CANON_PARAGRAPHS | IFILTER_INIT_CANON_HYPHENS |
                                       IFILTER_INIT_CANON_SPACES | IFILTER_INIT_APPLY_INDEX_ATTRIBUTES |
                                       IFILTER_INIT_INDEXING_ONLY,
                                   0, nullptr, &flags)))
        return nullptr;

    std::wstring text;
    STAT_CHUNK chunk{};
    for (;;) {
        const HRESULT hr = holder.filter->GetChunk(&chunk);
        if (hr == FILTER_E_END_OF_CHUNKS)
            break;
        if (hr == FILTER_E_EMBEDDING_UNAVAILABLE || hr == FILTER_E_LINK_UNAVAILABLE)
            continue;
        if (FAILED(hr))
            return nullptr;  // no partial text
        if (!(chunk.flags & CHUNK_TEXT))
            continue;  // a value chunk (title, author)
        text += Separator(chunk.breakType);
        if (!ReadChunkText(holder.filter, text))
            return nullptr;
    }
    return TextBlockFromString(text);
}

std::unique_ptr<DocConverter> FilterConverter::Clone() const {
    auto copy = std::make_unique<FilterConverter>();
    copy->CopyStringsFrom(*this);
    return copy;
}
