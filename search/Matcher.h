// Turns one file's folded text into Match records.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "base/SearchRecords.h"

struct FileJob;
class RegexMatcher;
class CaseInsensitiveFinder;

// Takes ownership of `match` and attaches it to the job's FileResult, creating
// that on the first record and cutting the hit's context. Returns whether the
// search of this file may go on: false on a stop request (the record is then
// destroyed) or when a hit comes while maximumMatch records (at least one)
// are held: that hit is not kept, and marks the result `limited`.
bool AddMatch(FileJob& job, std::unique_ptr<Match> match);

enum class MatchOutcome { kCompleted, kAbandoned };

// Searches the job's whole text for request->searchText: literally (exact or
// case-insensitive, with the hits of wcsstr and StrStrIW) or, when `regex`
// is given, with that compiled expression. `ignoringCase` is the prepared
// case-insensitive search, made here when it is not given; `needle` the
// folded search text, request->searchText when not given. kAbandoned when
// the expression library gave up on the text; the records added before
// that stay.
MatchOutcome MatchText(FileJob& job, const RegexMatcher* regex,
                       const CaseInsensitiveFinder* ignoringCase = nullptr, const wchar_t* needle = nullptr);

// Calls onHit(start, end) for each hit of `needle` (or of `regex` when
// given) over the job's text, in order, with the request's options, none of
// them counted or limited (the target condition's text), until it returns
// false.
MatchOutcome ForEachHit(const FileJob& job, const wchar_t* needle, const RegexMatcher* regex,
                        const CaseInsensitiveFinder* ignoringCase, const std::function<bool(int, int)>& onHit);
