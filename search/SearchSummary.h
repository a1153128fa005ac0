// The end-of-search summary line.
#pragma once

#include <string>

struct SearchRequest;

// With S files searched, F files matched and M matches: string 452 when
// S != F and F != M, else 454 when M == F, else 453.
std::wstring FormatSearchSummary(int filesSearched, int filesMatched, int matchCount);

// The summary of a search that has ended: the line above, or, when some files
// could not be read, the line that says how many; "Stopped. " ahead of it
// when the user stopped the search.
std::wstring FormatSearchSummary(const SearchRequest& request, bool stopped);
