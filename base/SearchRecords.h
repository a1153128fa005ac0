// The records that carry a search: the request, a result row and its hits.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SearchResultSink;

constexpr int kPathChars = 260;  // fixed text buffers: 259 characters plus NUL

struct SearchRequest {
    wchar_t ignoreTags[kPathChars];
    int includeHidden;
    wchar_t searchText[kPathChars];
    wchar_t fileNameSpec[kPathChars];
    wchar_t folder[kPathChars];
    int recursion;
    int regex;
    int caseSensitive;
    int formatMode;
    SearchResultSink* sink;
    int maximumMatch;
    int filesSearched;
    int filesMatched;
    int matchCount;
    // A hit counts only where neither the character before it nor the one
    // after it is a letter, a digit or an underscore.
    int wholeWords;
    // Files whose conversion failed: listed with "read error", counted
    // neither as matched files nor as matches.
    int filesFailed;
    // In bilingual files a hit counts only when it starts in this side of a
    // segment: kSideBoth, kSideSource or kSideTarget. Other files are
    // searched whole.
    int side;
    // The target condition: with a text here, a hit counts only in a
    // segment whose target holds a hit of it (or, with notTarget, none).
    // Files without segments then give no row.
    wchar_t targetText[kPathChars];
    int notTarget;
    // Rows keep the segments that hold their counted hits (shown texts).
    int keepSegments;
    // Seconds a content filter may take over one file before its host is
    // ended and the file fails; 0 means kDefaultFilterTimeout.
    int filterTimeout;
    // The checks' pass: files with segments are read even without a search
    // text, and their rows keep every segment (with a search text, those
    // that hold its counted hits), also when none holds a hit.
    int everySegment = 0;
    // Files by size, in bytes ([minSize, maxSize]; a maxSize of 0 is no
    // bound), and by the time of their last change, as FILETIME values
    // ([modifiedFrom, modifiedBefore); 0 is no bound). Files outside are
    // neither read nor counted; folders are always walked.
    unsigned long long minSize = 0;
    unsigned long long maxSize = 0;
    unsigned long long modifiedFrom = 0;
    unsigned long long modifiedBefore = 0;
    // A letter with diacritics matches its base letter and the other way
    // round (AccentlessUnit), in the text and the search texts alike.
    int ignoreAccents = 0;
};

constexpr int kDefaultFilterTimeout = 30;
constexpr int kMaxFilterTimeout = 3600;
inline int FilterTimeoutSeconds(const SearchRequest& request) {
    return request.filterTimeout > 0 ? request.filterTimeout : kDefaultFilterTimeout;
}

enum SearchSide : int { kSideBoth = 0, kSideSource = 1, kSideTarget = 2 };

// One hit, a failure record (end == -1) or a listing record (start == end == 0
// without context). Offsets count UTF-16 units of the folded text.
struct Match {
    int start = 0;
    int end = 0;
    std::wstring context;
    int contextStart = 0;

    static std::unique_ptr<Match> Hit(int start, int end);
    static std::unique_ptr<Match> Failure();
    static std::unique_ptr<Match> Listing();
};

enum FileStatus : int {
    kFileSearched = 0,
    kFileFailed = -1,
    kFileListed = 2,
};

// Units [begin, end) of a shown text.
struct ShownSpan {
    int begin;
    int end;
};

// A segment of a row's file as it is shown: its id and the shown texts of
// its sides, with the counted hits in each and the target condition's hits
// in the target.
struct ShownSegment {
    std::wstring id;
    std::wstring source;
    std::wstring target;
    std::vector<ShownSpan> sourceHits;
    std::vector<ShownSpan> targetHits;
    std::vector<ShownSpan> conditionHits;
    // Its workflow state (the converters' SegmentState; 0: unknown) and
    // whether it is locked, for the checks' pass.
    int state = 0;
    bool locked = false;
    // The line of the file where it starts (from 1); 0 where not known.
    int line = 0;
    // The most characters its target may have, where the file says; else 0.
    int maxLength = 0;
    // Its inline codes per side, in document order: "kind id" each,
    // followed by U+001F; empty where the format has none.
    std::wstring sourceCodes;
    std::wstring targetCodes;
};

// What a later pass (the checks) found wrong with one of a row's segments:
// the kind (the pass's own numbering), a message, and the spans of the
// shown source and target it points at.
struct SegmentNote {
    int segment = 0;  // index into the row's segments
    int kind = 0;
    std::wstring message;
    std::vector<ShownSpan> sourceSpans;
    std::vector<ShownSpan> targetSpans;
};

// A segment as the consistency checks compare it: hashes of its sides.
struct SegmentKey {
    uint32_t segment;  // its place in the file
    uint64_t source;
    uint64_t target;
};

// One result row, shared by reference count between the job that built it
// and the list row that shows it. The count is not atomic: a worker that
// builds a row hands it over through the pool's lock, and from then on every
// owner lives on the UI thread.
struct FileResult {
    wchar_t name[kPathChars];  // a directory entry's name always fits
    // Drive and directory, ending with a backslash; as long as the path is
    // (past 259 characters below a deep folder), never cut.
    std::wstring location;
    FILETIME lastWriteTime;
    DWORD size[2];  // low, high
    int status;
    // The line (from 1) of the first hit in a plain-text file, or where the
    // segment of the first hit starts in a bilingual file whose segments
    // were kept; 0 for other files and files without hits.
    int firstHitLine = 0;
    // The file has more hits than the matches kept ("Maximum matches per
    // file" was reached and another hit followed): shown as "999+".
    bool limited = false;
    std::vector<std::unique_ptr<Match>> matches;
    // The segments holding a counted hit, in document order, when the
    // request keeps them; none for files without segments.
    std::vector<ShownSegment> segments;
    // What the file was read as ("Text (UTF-8)", "XLIFF 1.2", "Word
    // document"); empty for a file that was not read.
    std::wstring fileType;
    // Why a failed file failed ("not well-formed XML, line 12, column 5").
    std::wstring reason;
    // The checks' notes on the segments, in segment order.
    std::vector<SegmentNote> notes;
    // The languages of the segments' sides where the file names them (for
    // the checks' pass).
    std::wstring sourceLanguage;
    std::wstring targetLanguage;
    // The checks' pass: how many segments it looked at in the file (the row
    // keeps only those it flagged), and their keys for the consistency checks.
    int segmentsSeen = 0;
    std::vector<SegmentKey> keys;
    int refCount;

    // A new record with refCount 0, filled from the file's path and entry.
    static FileResult* Create(const wchar_t* path, const WIN32_FIND_DATAW& entry);
    void AddRef() { ++refCount; }
    void Release();

private:
    FileResult() = default;
    ~FileResult() = default;
};

// The file's size in bytes.
inline unsigned long long ResultSize(const FileResult& result) {
    return (static_cast<unsigned long long>(result.size[1]) << 32) | result.size[0];
}

// Counts a row that a sink takes: a failed file in filesFailed, any other
// in filesMatched and its records in matchCount.
void CountResult(SearchRequest* request, const FileResult& result);

// Drive and directory of a full path, ending with a backslash (empty when the
// path has no directory part). Never truncated.
std::wstring SplitLocation(const wchar_t* path);
