// Carries out one search at a time: the walk, and one job per matching file.
// With workers the walk stays on the calling thread, files are converted and
// matched on a pool of threads, and the sink hears of them on the calling
// thread in the order the walk met them, exactly as without workers.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/SearchRecords.h"
#include "search/FileIterator.h"
#include "search/Matcher.h"

class ConverterList;
class RegexMatcher;
class CaseInsensitiveFinder;
class DocConverter;
class SearchPool;
struct FileJob;
struct SearchRequest;

// The line (from 1) that holds unit `offset` of a text: CR LF, CR and LF
// each end one line.
int LineOfOffset(const wchar_t* text, int length, int offset);

class SegmentIndex;

class Searcher : public FileIterator {
public:
    static constexpr int kContextWidth = 127;

    Searcher();
    ~Searcher() override;

    // Shows a message to the user (the bad-regular-expression message). The
    // engine never opens a window; its owner decides how the text is shown.
    using MessageHandler = std::function<void(const wchar_t* text)>;
    void SetMessageHandler(MessageHandler handler) { showMessage = std::move(handler); }

    // Resets the counters, compiles a regular expression once (reporting a
    // bad one with message 2002), begins the walk and calls SetSearching(1).
    // False when the request is refused (a bad expression, a file name
    // pattern that names a folder); the walk has then not begun, and
    // Refusal() says why in a line for the status bar.
    bool StartSearch(SearchRequest* request, ConverterList* converters);
    // The next StartSearch reads the files `paths` names, in their order,
    // instead of walking the request's folder (see BeginList); once.
    void SetFileList(std::vector<std::wstring> paths) {
        fileList = std::move(paths);
        hasFileList = true;
    }
    const std::wstring& Refusal() const { return refusal; }

    // The row of one file with its segments shown, read with the last
    // request's options (after a pass, to show segments again): every
    // segment, or with `keep` those whose place in the file it takes; null
    // for a file that cannot be read. The caller releases it.
    FileResult* ReadEverySegment(const std::wstring& path, std::function<bool(int index)> keep = nullptr);

    // For the checks' pass: called with each segment of a row as it is
    // shown (segment `index` of its file), on the thread that makes the row
    // (a worker, or the walk's); the row keeps the segment only when it
    // returns true, so that a file of a million segments is never held
    // whole. Set before StartSearch; it must be safe on any thread.
    using SegmentVisitor = std::function<bool(FileResult& row, const ShownSegment& segment, int index)>;
    void SetSegmentVisitor(SegmentVisitor visitor) { segmentVisitor = std::move(visitor); }

    // Threads that convert and match files beside the walk (1 to
    // kMaxThreads); 1, the default, searches on the calling thread alone.
    // Takes effect at the next StartSearch.
    void SetWorkers(int count);
    int Workers() const { return workers; }

    // One bounded piece of the search; false when it is over. With workers:
    // hands the files that are done to the sink in walk order, then walks on
    // while the pool has room. After a stop no file reaches the sink, and
    // the search is over once no worker runs any more.
    bool Step();
    // The last Step could do nothing until a worker finishes a file: wait
    // for WorkerEvent (or the user's input) before the next.
    bool IsWaiting() const { return waitingForWorkers; }
    HANDLE WorkerEvent() const;

protected:
    bool OnEnterDirectory(const wchar_t* path) override;
    bool OnFile(const wchar_t* path, const WIN32_FIND_DATAW& entry) override;
    // With workers: the step ends once the pool is full.
    bool YieldAfterFile() override;

private:
    // The prepared searches a job matches with.
    struct Matchers {
        const wchar_t* searchText;  // folded like the documents
        const wchar_t* targetText;
        const RegexMatcher* regex;
        const CaseInsensitiveFinder* ignoringCase;
        const RegexMatcher* targetRegex;
        const CaseInsensitiveFinder* targetIgnoringCase;
    };
    // What each worker owns: the case-insensitive searches (they prepare
    // their tables as they go); its filter host is its thread's own. Touched
    // only by its own worker, and by StartSearch while no job is held.
    struct WorkerState {
        std::unique_ptr<CaseInsensitiveFinder> ignoringCase;
        std::unique_ptr<CaseInsensitiveFinder> targetIgnoringCase;
    };

    bool IsStopRequested() const;
    bool Parallel() const { return pool != nullptr && parallelSearch; }
    void PreparePool();
    // Fills the job of one file: its paths, converter and entry (no
    // converter when the system cannot take the path: `systemPath` empty).
    void FillJob(FileJob& job, const wchar_t* path, std::wstring systemPath, const WIN32_FIND_DATAW& entry);
    void QueueFile(const wchar_t* path, std::wstring systemPath, const WIN32_FIND_DATAW& entry, bool empty);
    void RunOnWorker(FileJob& job, int worker);
    // Hands the files that are done to the sink, in walk order; false when
    // none was.
    bool Deliver();
    bool StepOnPool();
    void ConvertAndMatch(FileJob& job, const Matchers& matchers);

    SearchRequest* request = nullptr;
    ConverterList* converters = nullptr;
    int contextWidth = kContextWidth;
    // Bilingual files: which hits count, and the segments a row keeps.
    MatchOutcome MatchBySegments(FileJob& job, const DocConverter& converter, const Matchers& matchers);
    // The checks' pass without a search text: a row with every segment.
    void ShowEverySegment(FileJob& job, const DocConverter& converter);
    // The row's segments for the checks (all, or `only` those): each shown
    // to the visitor, kept when it says so (all of them without one).
    void KeepVisited(FileJob& job, const SegmentIndex& index, const std::vector<int>* only);
    static bool BySegments(const SearchRequest& r) { return r.side != kSideBoth || r.targetText[0] != 0; }
    // Makes the case-insensitive finder or compiles the expression for
    // `text`; a bad expression is reported (message 2002) and refused.
    bool Prepare(const wchar_t* text, std::unique_ptr<RegexMatcher>* compiled,
                 std::unique_ptr<CaseInsensitiveFinder>* finder);

    // The search text and the target condition's text folded like the
    // documents: what is matched.
    std::wstring searchText;
    std::wstring targetText;
    std::unique_ptr<RegexMatcher> regex;
    std::unique_ptr<CaseInsensitiveFinder> ignoringCase;
    // The target condition's text, prepared like the search text.
    std::unique_ptr<RegexMatcher> targetRegex;
    std::unique_ptr<CaseInsensitiveFinder> targetIgnoringCase;
    MessageHandler showMessage;
    std::wstring refusal;  // why the last StartSearch refused its request
    SegmentVisitor segmentVisitor;
    std::vector<std::wstring> fileList;
    bool hasFileList = false;

    int workers = 1;
    bool parallelSearch = false;  // this search runs on the pool
    bool walking = false;         // the walk has files left to give
    bool stopping = false;        // stopped: waiting for running workers
    bool waitingForWorkers = false;
    // The request as the workers read it: a copy made at the start, which
    // nothing changes while the search runs (the counters stay in `request`,
    // on the walking thread).
    SearchRequest workerRequest{};
    std::vector<WorkerState> workerStates;
    std::unique_ptr<SearchPool> pool;  // last: its threads end before the rest goes
};
