// The console's sink for a pass of the checks: one line (or JSON object)
// per note as rows arrive in walk order, the consistency groups at the end.
#pragma once

#include <string>
#include <vector>

#include "qa/CheckPass.h"
#include "search/SearchResultSink.h"

struct SearchRequest;

class CheckSink : public SearchResultSink {
public:
    CheckSink(SearchRequest* request, CheckPass* pass, bool json) : request(request), pass(pass), json(json) {}

    bool ShowStatus(unsigned id, ...) override;
    bool AddResult(FileResult* result) override;
    void SetSearching(int) override {}
    bool IsStopRequested() override { return false; }

    // The paths of the files taken, by their number in the pass.
    const std::vector<std::wstring>& Paths() const { return paths; }
    // One note's line or object for segment `segment` of the file at `path`.
    void Print(const std::wstring& path, const ShownSegment& segment, CheckKind kind, const std::wstring& message,
               const std::vector<ShownSpan>& sourceSpans, const std::vector<ShownSpan>& targetSpans);
    int Failed() const { return failed; }

private:
    SearchRequest* request;
    CheckPass* pass;
    bool json;
    std::vector<std::wstring> paths;
    int failed = 0;
};
