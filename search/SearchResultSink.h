// The interface through which a search reports to the application.
#pragma once

struct FileResult;

class SearchResultSink {
public:
    virtual ~SearchResultSink() = default;

    // Formats string resource `id` with the inserts that follow (message
    // formatting: "%1" wide string, "%1!d!" int, "%1!S!" narrow string),
    // shows at most 100 characters of it and returns !IsStopRequested().
    // Returns false when the string cannot be loaded or formatted.
    virtual bool ShowStatus(unsigned id, ...) = 0;

    // Takes its own reference and appends a row, unless a stop is requested
    // (then false and nothing taken). Counts the row (CountResult).
    virtual bool AddResult(FileResult* result) = 0;

    // 1 when a search starts, 0 when it has ended; clears a stop request.
    virtual void SetSearching(int searching) = 0;

    // True when the user asked the search to stop. No side effects.
    virtual bool IsStopRequested() = 0;
};
