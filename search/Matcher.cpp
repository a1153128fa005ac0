// Literal and regular-expression search over a folded text, and AddMatch.
#include "search/Matcher.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

#include "converters/DocConverter.h"
#include "search/CaseInsensitiveFinder.h"
#include "search/ContextCut.h"
#include "search/FileJob.h"
#include "search/RegexMatcher.h"
#include "search/SegmentIndex.h"
#include "search/WholeWord.h"
#include "base/FoldText.h"
#include "base/TextScan.h"
#include "base/SearchRecords.h"
#include "search/SearchResultSink.h"

FileJob::FileJob() = default;
FileJob::~FileJob() {
    if (result)
        result->Release();
}

namespace {

// The context of `span` as the file holds it, with its ellipses, written
// into `shown` with one allocation.
void ShowContext(const FileJob& job, const ShownContextSpan& span, std::wstring* shown) {
    const size_t length = static_cast<size_t>(span.stop - span.begin);
    shown->assign(length + (span.cutBefore ? 1 : 0) + (span.cutAfter ? 1 : 0), kContextEllipsis);
    wchar_t* out = shown->data() + (span.cutBefore ? 1 : 0);
    if (job.originals)
        job.originals->CopyShown(job.text, span.begin, span.stop, out);
    else
        wmemcpy(out, job.text + span.begin, length);  // folded: no control is left
}

}  // namespace

bool AddMatch(FileJob& job, std::unique_ptr<Match> match) {
    SearchRequest& request = *job.request;
    if (job.stop ? job.stop->load(std::memory_order_relaxed) : request.sink->IsStopRequested())
        return false;
    const size_t limit = static_cast<size_t>(std::max(request.maximumMatch, 1));
    if (job.result && match->end >= 0 && job.result->matches.size() >= limit) {
        // One hit past the limit: the file has more than it keeps.
        job.result->limited = true;
        return false;
    }
    if (!job.result) {
        job.result = FileResult::Create(job.path.c_str(), *job.entry);
        job.result->AddRef();
    }
    job.result->status = match->end == -1 ? kFileFailed : kFileSearched;
    if (job.text && match->start >= 0 && match->end >= match->start) {
        const ShownContextSpan span = ShowContextSpan(
            job.text, job.textLength, CutContext(job.text, job.textLength, match->start, match->end, job.contextWidth),
            match->start, match->end);
        ShowContext(job, span, &match->context);
        // An ellipsis before the text takes the unit before it, so that
        // start - contextStart stays the hit's place in the context.
        match->contextStart = span.begin - (span.cutBefore ? 1 : 0);
    }
    job.result->matches.push_back(std::move(match));
    // The search goes on past the limit for one more hit, which only tells
    // whether there are more.
    return true;
}

namespace {

// Calls onHit(start, end) for each hit in order until it returns false.
template <class OnHit>
void FindLiteralHits(const FileJob& job, const wchar_t* needle, const CaseInsensitiveFinder* ignoringCase,
                     OnHit onHit) {
    const int needleLength = static_cast<int>(wcslen(needle));
    const bool exact = job.request->caseSensitive != 0;
    const bool wholeWords = job.request->wholeWords != 0;
    std::unique_ptr<CaseInsensitiveFinder> own;
    if (!exact && !ignoringCase) {
        own = std::make_unique<CaseInsensitiveFinder>(needle);
        ignoringCase = own.get();
    }
    const wchar_t* const end = job.text + job.textLength;
    const wchar_t* from = job.text;
    for (;;) {
        const wchar_t* hit = exact ? FindLiteral(from, end, needle, needleLength)
                                   : ignoringCase->Find(from, end);
        if (!hit)
            return;
        const int start = static_cast<int>(hit - job.text);
        if (wholeWords && !IsWholeWord(job.text, job.textLength, start, start + needleLength, job.astralUnits)) {
            from = hit + 1;  // a later, overlapping hit may still stand alone
            continue;
        }
        if (!onHit(start, start + needleLength))
            return;
        from = hit + needleLength;  // hits never overlap
    }
}

template <class OnHit>
MatchOutcome FindRegexHits(const FileJob& job, const RegexMatcher& regex, OnHit onHit) {
    const wchar_t* const textEnd = job.text + job.textLength;
    const wchar_t* from = job.text;
    for (;;) {
        const wchar_t* matchBegin = nullptr;
        const wchar_t* matchEnd = nullptr;
        switch (regex.Search(from, textEnd, &matchBegin, &matchEnd)) {
        case RegexMatcher::SearchResult::kNotFound:
            return MatchOutcome::kCompleted;
        case RegexMatcher::SearchResult::kAbandoned:
            return MatchOutcome::kAbandoned;
        case RegexMatcher::SearchResult::kFound:
            break;
        }
        const int start = static_cast<int>(matchBegin - job.text);
        const int end = static_cast<int>(matchEnd - job.text);
        if (job.request->wholeWords && !IsWholeWord(job.text, job.textLength, start, end, job.astralUnits)) {
            // Search again from the next character: a later match that
            // overlaps this one may stand alone.
            if (matchBegin == textEnd)
                return MatchOutcome::kCompleted;
            from = matchBegin + 1;
            continue;
        }
        if (!onHit(start, end))
            return MatchOutcome::kCompleted;
        if (matchEnd == matchBegin) {
            // An empty match would be found again at the same place: step over one character.
            if (matchEnd == textEnd)
                return MatchOutcome::kCompleted;
            from = matchEnd + 1;
        } else {
            from = matchEnd;
        }
    }
}

}  // namespace

MatchOutcome MatchText(FileJob& job, const RegexMatcher* regex,
                       const CaseInsensitiveFinder* ignoringCase, const wchar_t* needle) {
    // Every hit is found as it would be without segments; those that do not
    // count are passed over, so the limit counts only those that do.
    auto add = [&job](int start, int end) {
        if (job.segments && !job.segments->Counts(start, job.request->side))
            return !job.request->sink->IsStopRequested();
        return AddMatch(job, Match::Hit(start, end));
    };
    if (regex)
        return FindRegexHits(job, *regex, add);
    FindLiteralHits(job, needle ? needle : job.request->searchText, ignoringCase, add);
    return MatchOutcome::kCompleted;
}

MatchOutcome ForEachHit(const FileJob& job, const wchar_t* needle, const RegexMatcher* regex,
                        const CaseInsensitiveFinder* ignoringCase, const std::function<bool(int, int)>& onHit) {
    if (regex)
        return FindRegexHits(job, *regex, onHit);
    FindLiteralHits(job, needle, ignoringCase, onHit);
    return MatchOutcome::kCompleted;
}
