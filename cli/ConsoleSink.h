// The console front end's sink: prints each result as it arrives.
#pragma once

#include "search/SearchResultSink.h"

struct SearchRequest;

class ConsoleSink : public SearchResultSink {
public:
    // kPaths: the path of each file with hits alone, a line each (failed
    // files said on stderr).
    enum class Output { kLines, kJson, kCsv, kPaths };

    ConsoleSink(SearchRequest* request, bool printContext, bool quiet, bool printSegments = false,
                Output output = Output::kLines)
        : request(request), printContext(printContext), quiet(quiet), printSegments(printSegments), output(output) {}

    bool ShowStatus(unsigned id, ...) override;
    bool AddResult(FileResult* result) override;
    void SetSearching(int searching) override;
    bool IsStopRequested() override { return false; }

    int LinesPrinted() const { return linesPrinted; }

private:
    SearchRequest* request;
    bool printContext;
    bool quiet;
    bool printSegments;
    Output output;
    int linesPrinted = 0;
};
