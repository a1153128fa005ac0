// A sink that records every call as a line of text, for exact engine tests.
#pragma once

#include <string>
#include <vector>

#include "base/SearchRecords.h"
#include "search/SearchResultSink.h"

class RecordingSink : public SearchResultSink {
public:
    explicit RecordingSink(SearchRequest* request) : request(request) {}
    ~RecordingSink() override;

    bool ShowStatus(unsigned id, ...) override;
    bool AddResult(FileResult* result) override;
    void SetSearching(int searching) override;
    bool IsStopRequested() override { return stopRequested; }

    // Requests a stop once this many results were taken (0: never).
    int stopAfterResults = 0;
    bool stopRequested = false;

    std::vector<std::wstring> calls;    // "status: ...", "result: name status count", "searching: n"
    std::vector<FileResult*> results;   // one reference each, like list rows
    std::vector<std::wstring> statusTexts;

    // The results' names, in arrival order.
    std::vector<std::wstring> Names() const;

private:
    SearchRequest* request;
};

// A request with the defaults of a fresh installation.
SearchRequest MakeRequest(const std::wstring& text, const std::wstring& folder,
                          SearchResultSink* sink);
