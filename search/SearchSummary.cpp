// Picks and formats the end-of-search summary.
#include "search/SearchSummary.h"

#include "resource.h"
#include "base/ResourceText.h"

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
