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
    switch (outcome) {
    case FilterHost::Outcome::kText: SetReadAs(L"Content filter"); return block;
    case FilterHost::Outcome::kNoFilter: break;
    case FilterHost::Outcome::kFailed: return Fail(L"the content filter failed");
    case FilterHost::Outcome::kCrashed: return Fail(L"the content filter crashed");
    case FilterHost::Outcome::kTimedOut:
        return Fail(L"the content filter did not answer within " +
                    (FilterTimeoutSeconds(request) == 1 ? std::wstring(L"1 second")
                                                        : std::to_wstring(FilterTimeoutSeconds(request)) + L" seconds"));
    case FilterHost::Outcome::kOutOfMemory: return Fail(L"the content filter passed the memory limit");
    case FilterHost::Outcome::kStopped: return Fail(L"stopped");
    case FilterHost::Outcome::kNoHost: return Fail(L"no content filter host");
    case FilterHost::Outcome::kTooLarge: return Fail(L"the content filter's reply is too large");
    }
    for (auto& converter : following) {
        if (converter->Accepts(path)) {
            readBy = converter.get();
            size_t unfolded = kNotFolded;  // the search folds, whoever converted
            HGLOBAL text = converter->ConvertForSearch(path, request, &unfolded);
            SetReadAs(converter->ReadAs());
            if (!text)
                Fail(converter->FailureReason());
            return text;
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
