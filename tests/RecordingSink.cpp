// Records the engine's calls.
#include "tests/RecordingSink.h"

#include <cstdarg>
#include <cwchar>

#include "base/ResourceText.h"

RecordingSink::~RecordingSink() {
    for (FileResult* r : results)
        r->Release();
}

bool RecordingSink::ShowStatus(unsigned id, ...) {
    wchar_t text[101];
    va_list args;
    va_start(args, id);
    const bool ok = FormatResourceString(id, &args, text, 101);
    va_end(args);
    if (!ok)
        return false;
    statusTexts.push_back(text);
    calls.push_back(std::wstring(L"status: ") + text);
    return !IsStopRequested();
}

bool RecordingSink::AddResult(FileResult* result) {
    if (IsStopRequested())
        return false;
    result->AddRef();
    results.push_back(result);
    CountResult(request, *result);
    calls.push_back(L"result: " + std::wstring(result->name) + L" " +
                    std::to_wstring(result->status) + L" " +
                    std::to_wstring(result->matches.size()));
    if (stopAfterResults && static_cast<int>(results.size()) >= stopAfterResults)
        stopRequested = true;
    return true;
}

void RecordingSink::SetSearching(int searching) {
    stopRequested = false;
    calls.push_back(L"searching: " + std::to_wstring(searching));
}

std::vector<std::wstring> RecordingSink::Names() const {
    std::vector<std::wstring> names;
    for (FileResult* r : results)
        names.push_back(r->name);
    return names;
}

SearchRequest MakeRequest(const std::wstring& text, const std::wstring& folder,
                          SearchResultSink* sink) {
    SearchRequest r{};
    wcsncpy(r.searchText, text.c_str(), kPathChars - 1);
    wcsncpy(r.folder, folder.c_str(), kPathChars - 1);
    wcscpy(r.fileNameSpec, L"*.*");
    r.includeHidden = 1;
    r.recursion = 1;
    r.caseSensitive = 1;
    r.maximumMatch = 999;
    r.sink = sink;
    return r;
}
