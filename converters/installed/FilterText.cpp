// The chunk and text loops over a content filter.
#include "converters/installed/FilterText.h"

#include <windows.h>
#include <filter.h>
#include <filterr.h>

#include <algorithm>

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
        std::replace(buffer, buffer + count, L'\0', L' ');  // a NUL inside the text would end it
        text.append(buffer, count);
        if (hr == FILTER_S_LAST_TEXT)
            return true;
    }
}

}  // namespace

FilterRead ReadFilterText(const wchar_t* path, std::wstring* text) {
    text->clear();
    IUnknown* loaded = nullptr;
    if (FAILED(LoadFilterForFile(path, &loaded)) || !loaded)
        return FilterRead::kNoFilter;
    FilterHolder holder;
    const HRESULT asFilter = loaded->QueryInterface(kIidFilter, reinterpret_cast<void**>(&holder.filter));
    loaded->Release();
    if (FAILED(asFilter) || !holder.filter)
        return FilterRead::kFailed;
    ULONG flags = 0;
    if (FAILED(holder.filter->Init(IFILTER_INIT_CANON_PARAGRAPHS | IFILTER_INIT_CANON_HYPHENS |
                                       IFILTER_INIT_CANON_SPACES | IFILTER_INIT_APPLY_INDEX_ATTRIBUTES |
                                       IFILTER_INIT_INDEXING_ONLY,
                                   0, nullptr, &flags)))
        return FilterRead::kFailed;

    STAT_CHUNK chunk{};
    for (;;) {
        const HRESULT hr = holder.filter->GetChunk(&chunk);
        if (hr == FILTER_E_END_OF_CHUNKS)
            return FilterRead::kText;
        if (hr == FILTER_E_EMBEDDING_UNAVAILABLE || hr == FILTER_E_LINK_UNAVAILABLE)
            continue;
        if (FAILED(hr))
            break;
        if (!(chunk.flags & CHUNK_TEXT))
            continue;  // a value chunk (title, author)
        text->append(Separator(chunk.breakType));
        if (!ReadChunkText(holder.filter, *text))
            break;
    }
    text->clear();  // no partial text
    return FilterRead::kFailed;
}
