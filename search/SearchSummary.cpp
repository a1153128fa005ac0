// Picks and formats the end-of-search summary.
#include "search/SearchSummary.h"

#include "base/ResourceText.h"
#include "base/SearchRecords.h"
#include "resource.h"

std::wstring FormatSearchSummary(int filesSearched, int filesMatched, int matchCount) {
    std::wstring text;
    if (filesSearched != filesMatched && filesMatched != matchCount)
        FormatResourceText(&text, IDS_SUMMARY_SEARCHED, filesSearched, matchCount, filesMatched);
    else if (matchCount == filesMatched)
        FormatResourceText(&text, IDS_SUMMARY_FOUND, matchCount);
    else
        FormatResourceText(&text, IDS_SUMMARY_FOUND_IN, matchCount, filesMatched);
    return text;
}

std::wstring FormatSearchSummary(const SearchRequest& request, bool stopped) {
    std::wstring text;
    if (request.filesFailed == 1)
        FormatResourceText(&text, IDS_SUMMARY_FAILED_ONE, request.filesSearched, request.matchCount,
                           request.filesMatched);
    else if (request.filesFailed > 1)
        FormatResourceText(&text, IDS_SUMMARY_FAILED, request.filesSearched, request.matchCount,
                           request.filesMatched, request.filesFailed);
    else
        text = FormatSearchSummary(request.filesSearched, request.filesMatched, request.matchCount);
    std::wstring line;
    if (stopped && !text.empty() && FormatResourceText(&line, IDS_STOPPED, text.c_str()))
        return line;
    return text;
}
