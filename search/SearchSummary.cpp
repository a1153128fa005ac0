// Picks and formats the end-of-search summary.
#include "search/SearchSummary.h"

#include <cwchar>

#include "base/ResourceText.h"
#include "base/SearchRecords.h"
#include "resource.h"

namespace {

// "1 match", "2 matches"; "1 file", "0 files".
std::wstring Count(int n, unsigned one, unsigned many) {
    std::wstring text;
    if (n == 1)
        text = LoadResourceText(one);
    else
        FormatResourceText(&text, many, n);
    return text;
}

std::wstring Matches(int n) { return Count(n, IDS_COUNT_MATCH, IDS_COUNT_MATCHES); }
std::wstring Files(int n) { return Count(n, IDS_COUNT_FILE, IDS_COUNT_FILES); }

}  // namespace

std::wstring FormatSearchSummary(int filesSearched, int filesMatched, int matchCount) {
    std::wstring text;
    if (filesSearched != filesMatched && filesMatched != matchCount)
        FormatResourceText(&text, IDS_SUMMARY_SEARCHED, Files(filesSearched).c_str(), Matches(matchCount).c_str(),
                           Files(filesMatched).c_str());
    else if (matchCount == filesMatched)
        FormatResourceText(&text, IDS_SUMMARY_FOUND, Matches(matchCount).c_str());
    else
        FormatResourceText(&text, IDS_SUMMARY_FOUND_IN, Matches(matchCount).c_str(), Files(filesMatched).c_str());
    return text;
}

std::wstring FormatSearchSummary(const SearchRequest& request, bool stopped) {
    std::wstring text;
    if (!stopped && request.filesSearched == 0) {
        // Nothing to search is not the same as nothing found.
        FormatResourceText(&text, IDS_SUMMARY_NO_FILE, request.fileNameSpec[0] ? request.fileNameSpec : L"*.*");
    } else if (!request.searchText[0]) {
        FormatResourceText(&text, IDS_SUMMARY_LISTED, Files(request.filesMatched).c_str());
    } else if (request.filesFailed > 0) {
        FormatResourceText(&text, IDS_SUMMARY_FAILED, Files(request.filesSearched).c_str(),
                           Matches(request.matchCount).c_str(), Files(request.filesMatched).c_str(),
                           Files(request.filesFailed).c_str());
    } else {
        text = FormatSearchSummary(request.filesSearched, request.filesMatched, request.matchCount);
    }
    std::wstring line;
    if (stopped && !text.empty() && FormatResourceText(&line, IDS_STOPPED, text.c_str()))
        return line;
    return text;
}
