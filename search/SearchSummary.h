// The end-of-search summary line.
#pragma once

#include <string>

// With S files searched, F files matched and M matches: string 452 when
// S != F and F != M, else 454 when M == F, else 453.
std::wstring FormatSearchSummary(int filesSearched, int filesMatched, int matchCount);
