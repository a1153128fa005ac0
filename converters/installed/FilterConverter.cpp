// A file through its content filter, in the calling thread's filter host.
#include "converters/installed/FilterConverter.h"

#include <algorithm>

#include "base/ThreadScratch.h"
#include "converters/installed/FilterHost.h"
#include "converters/installed/FilterLoader.h"

namespace {

// Each thread that converts has its own host (the search's workers one each).
thread_local FilterHost* threadHost = nullptr;

bool Holds(const std::vector<std::wstring>& list, const std::wstring& extension) {
    return std::find(list.begin(), list.end(), extension) != list.end();
}

}  // namespace

void EndThreadFilterHost() {
    if (threadHost)
        threadHost->End();
}

int FilterConverter::Accepts(const wchar_t* path) {
    const std::wstring extension = FileExtension(path);
    if (Holds(withFilter, extension))
        return 1;
    if (Holds(noFilter, extension))
        return 0;
    const bool named = ExtensionHasFilter(extension);
    (named ? withFilter : noFilter).push_back(extension);
    return named ? 1 : 0;
}

void FilterConverter::BeginSearch() {
    noFilter.clear();
    withFilter.clear();
    BeginFilterHostSearch();
}

HGLOBAL FilterConverter::Convert(const wchar_t* path, const SearchRequest& request) {
    readBy = nullptr;
    FilterHost::Limits limits;
    limits.timeoutMs = static_cast<DWORD>(FilterTimeoutSeconds(request)) * 1000;
    HGLOBAL block = nullptr;
    const FilterHost::Outcome outcome = ThreadScratch(threadHost).Read(
        path, limits, [this] { return IsStopRequested(); }, &block);
    if (outcome == FilterHost::Outcome::kText)
        return block;
    if (outcome != FilterHost::Outcome::kNoFilter)
        return nullptr;
    for (auto& converter : following) {
        if (converter->Accepts(path)) {
            readBy = converter.get();
            return converter->Convert(path, request);
        }
    }
    return nullptr;
}

int FilterConverter::IsPlainText() { return readBy ? readBy->IsPlainText() : 0; }

void FilterConverter::SetCodePage(int codePage) {
    for (auto& converter : following)
        converter->SetCodePage(codePage);
}

std::unique_ptr<DocConverter> FilterConverter::Clone() const {
    auto copy = std::make_unique<FilterConverter>();
    copy->CopyStringsFrom(*this);
    for (const auto& converter : following)
        copy->following.push_back(converter->Clone());
    return copy;
}
