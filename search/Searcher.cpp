// StartSearch and the per-file job.
#include "search/Searcher.h"

#include <algorithm>
#include <utility>
#include <cwchar>

#include "converters/ConverterList.h"
#include "converters/DocConverter.h"
#include "resource.h"
#include "search/CaseInsensitiveFinder.h"
#include "search/FileFilters.h"
#include "search/FileJob.h"
#include "base/FoldText.h"
#include "base/LongPath.h"
#include "search/Matcher.h"
#include "search/RegexMatcher.h"
#include "search/SearchTextFold.h"
#include "search/SegmentIndex.h"
#include "base/ResourceText.h"
#include "base/ScopedHandle.h"
#include "base/SearchRecords.h"
#include "base/TextScan.h"
#include "base/ThreadScratch.h"
#include "search/SearchPool.h"
#include "search/SearchResultSink.h"
#include "search/WholeWord.h"

// The line (from 1) that holds `offset`: CR LF, CR and LF each end one.
int LineOfOffset(const wchar_t* text, int length, int offset) {
    int line = 1;
    const int end = std::min(offset, length);
    for (int i = 0; i < end; ++i) {
        if (text[i] == L'\n' || (text[i] == L'\r' && (i + 1 >= length || text[i + 1] != L'\n')))
            ++line;
    }
    return line;
}

namespace {

constexpr const wchar_t* kPathNotTaken = L"a path the system cannot take";
constexpr const wchar_t* kOutOfMemory = L"not enough memory to read the file";

// CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9, with any extension:
// names that open a device instead of the file.
bool IsDeviceName(const wchar_t* name) {
    std::wstring base(name, wcscspn(name, L"."));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    for (auto& c : base)
        c = static_cast<wchar_t>(towupper(c));
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL")
        return true;
    return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
           base[3] >= L'1' && base[3] <= L'9';
}

// What folding changed in the text of the file the thread works on; kept
// by the thread, as files are many.
FoldedOriginals& Originals() {
    thread_local FoldedOriginals* slot = nullptr;
    return ThreadScratch(slot);
}

// Files are read (converted and matched) for a search text, and for the
// checks' pass even without one; otherwise only listed.
bool Reads(const SearchRequest& r) { return r.searchText[0] || r.everySegment; }

// Lists the job's file as failed, with its reason.
void FailFile(FileJob& job, const std::wstring& reason) {
    AddMatch(job, Match::Failure());
    if (job.result)
        job.result->reason = reason;
}

}  // namespace

Searcher::Searcher() = default;
Searcher::~Searcher() = default;

bool Searcher::StartSearch(SearchRequest* newRequest, ConverterList* newConverters) {
    // A list of files serves this search alone, started or refused.
    std::vector<std::wstring> listed = std::move(fileList);
    fileList.clear();
    const bool useList = std::exchange(hasFileList, false);
    if (!newRequest || !newConverters || !newRequest->sink)
        return false;
    // A search that its caller left unfinished may still have files on the
    // workers, matched with what is about to be replaced: they end first.
    if (pool && !pool->IsEmpty())
        pool.reset();
    request = newRequest;
    converters = newConverters;
    request->filesSearched = 0;
    request->filesMatched = 0;
    request->matchCount = 0;
    request->filesFailed = 0;
    if (!request->fileNameSpec[0])
        wcscpy(request->fileNameSpec, L"*.*");
    refusal.clear();
    {
        FileNameFilter patterns;
        patterns.Parse(request->fileNameSpec);
        if (!patterns.Refused().empty()) {
            FormatResourceText(&refusal, IDS_PATTERN_NAMES_FOLDER, patterns.Refused().c_str());
            if (showMessage)
                showMessage(refusal.c_str());
            return false;
        }
    }

    regex.reset();
    ignoringCase.reset();
    targetRegex.reset();
    targetIgnoringCase.reset();
    const bool isRegex = request->regex == 1;
    searchText = isRegex ? FoldRegexText(request->searchText) : FoldLiteralText(request->searchText);
    targetText = isRegex ? FoldRegexText(request->targetText) : FoldLiteralText(request->targetText);
    if (request->ignoreAccents) {
        // The texts as the text is searched: without their accents.
        searchText = AccentlessText(searchText);
        targetText = AccentlessText(targetText);
    }
    if (!Prepare(searchText.c_str(), &regex, &ignoringCase))
        return false;
    if (request->searchText[0] && request->targetText[0] && !Prepare(targetText.c_str(), &targetRegex, &targetIgnoringCase))
        return false;
    converters->BeginSearch();
    parallelSearch = workers > 1 && Reads(*request);
    if (parallelSearch)
        PreparePool();
    walking = true;
    stopping = false;
    waitingForWorkers = false;
    if (useList) {
        BeginList(std::move(listed));
    } else {
        Begin(request->folder, request->fileNameSpec, request->recursion);
    }
    request->sink->SetSearching(1);
    return true;
}

void Searcher::SetWorkers(int count) { workers = std::clamp(count, 1, kMaxThreads); }

HANDLE Searcher::WorkerEvent() const { return pool ? pool->FinishedEvent() : nullptr; }

void Searcher::PreparePool() {
    if (pool && pool->Workers() != workers)
        pool.reset();
    if (!pool) {
        workerStates = std::vector<WorkerState>(workers);
        pool = std::make_unique<SearchPool>(workers,
                                            [this](FileJob& job, int worker) { RunOnWorker(job, worker); });
    }
    workerRequest = *request;
    for (WorkerState& state : workerStates) {
        state.ignoringCase.reset();
        state.targetIgnoringCase.reset();
        if (ignoringCase)
            state.ignoringCase = std::make_unique<CaseInsensitiveFinder>(searchText.c_str());
        if (targetIgnoringCase)
            state.targetIgnoringCase = std::make_unique<CaseInsensitiveFinder>(targetText.c_str());
    }
    pool->Begin();
}

bool Searcher::Prepare(const wchar_t* text, std::unique_ptr<RegexMatcher>* compiled,
                       std::unique_ptr<CaseInsensitiveFinder>* finder) {
    if (request->regex != 1 && !request->caseSensitive && text[0])
        *finder = std::make_unique<CaseInsensitiveFinder>(text);
    if (request->regex != 1)
        return true;
    std::string description;
    int position = 0;
    *compiled = RegexMatcher::Compile(text, &description, &position, !request->caseSensitive);
    if (*compiled)
        return true;
    refusal = LoadResourceText(IDS_REGEX_NOT_VALID);
    std::wstring message;
    if (FormatResourceText(&message, IDS_BAD_REGEX, description.c_str(), position) && showMessage) {
        message.resize(std::min<size_t>(message.size(), 1023));  // the message's 1024-character buffer
        showMessage(message.c_str());
    }
    return false;
}

bool Searcher::IsStopRequested() const { return request->sink->IsStopRequested(); }

bool Searcher::OnEnterDirectory(const wchar_t* path) {
    if (!request || !request->sink || IsStopRequested())
        return false;
    return request->sink->ShowStatus(IDS_SEARCHING_IN, path);
}

bool Searcher::OnFile(const wchar_t* path, const WIN32_FIND_DATAW& entry) {
    if (!request || !converters || IsStopRequested())
        return false;
    // Outside the size and time bounds: not opened, not counted.
    if (!WithinFileFilters(*request, path, entry))
        return true;
    // An empty file has no text: nothing to find and nothing that failed. (A
    // link shows no size of its own; what it leads to is read.)
    const bool empty = entry.nFileSizeLow == 0 && entry.nFileSizeHigh == 0 &&
                       !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    // Opened through its verbatim form, whatever its length, so that a name
    // ending in a dot or a space is this file's and no other's; a path the
    // system cannot take in any form is a failed file, never a shortened name.
    std::wstring systemPath = VerbatimPath(path);
    const bool openable = !systemPath.empty();
    if (Parallel()) {
        QueueFile(path, std::move(systemPath), entry, empty && Reads(*request));
        return true;
    }
    request->filesSearched += 1;
    if (Reads(*request) && empty)
        return true;

    FileJob job;
    FillJob(job, path, std::move(systemPath), entry);
    job.request = request;
    if (!IsStopRequested()) {
        if (!Reads(*request)) {
            AddMatch(job, Match::Listing());
            if (job.result)
                job.result->status = kFileListed;
        } else if (!openable) {
            FailFile(job, kPathNotTaken);
        } else {
            ConvertAndMatch(job, {searchText.c_str(), targetText.c_str(), regex.get(), ignoringCase.get(),
                                  targetRegex.get(), targetIgnoringCase.get()});
            // A stop that cut the conversion short (a content filter's host
            // ended) leaves a file that was not searched, and no row.
            if (IsStopRequested())
                request->filesSearched -= 1;
        }
        if (job.result) {
            request->sink->AddResult(job.result);
            job.result->Release();
            job.result = nullptr;
        }
    }
    return true;
}

void Searcher::FillJob(FileJob& job, const wchar_t* path, std::wstring systemPath, const WIN32_FIND_DATAW& entry) {
    job.path = path;
    job.systemPath = std::move(systemPath);
    if (Reads(*request) && !job.systemPath.empty()) {
        // A converter that cannot even be cloned leaves the file failed.
        try {
            if (DocConverter* prototype = converters->FindConverter(path))
                job.converter = prototype->Clone();
        } catch (...) {
            job.converter.reset();
        }
    }
    job.contextWidth = contextWidth;
    job.entry = std::make_unique<WIN32_FIND_DATAW>(entry);
}

// Every file takes its place in the pool in walk order, also the ones that
// need no worker (empty files, paths the system cannot take), so that they
// are counted where the walk met them.
void Searcher::QueueFile(const wchar_t* path, std::wstring systemPath, const WIN32_FIND_DATAW& entry, bool empty) {
    auto job = std::make_unique<FileJob>();
    job->request = &workerRequest;
    job->stop = pool->StopFlag();
    if (empty) {
        pool->Add(std::move(job), 0, true);
        return;
    }
    FillJob(*job, path, std::move(systemPath), entry);
    if (!job->converter) {
        FailFile(*job, job->systemPath.empty() ? kPathNotTaken : L"no converter could be made for the file");
        pool->Add(std::move(job), 0, true);
        return;
    }
    const ULONGLONG size = (static_cast<ULONGLONG>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    const ULONGLONG workingBytes = job->converter->WorkingBytes(size);
    pool->Add(std::move(job), workingBytes, false);
}

void Searcher::RunOnWorker(FileJob& job, int worker) {
    WorkerState& state = workerStates[worker];
    try {
        ConvertAndMatch(job, {searchText.c_str(), targetText.c_str(), regex.get(), state.ignoringCase.get(),
                              targetRegex.get(), state.targetIgnoringCase.get()});
    } catch (...) {
        // Out of memory while the record was made: the file failed.
        if (job.result) {
            job.result->Release();
            job.result = nullptr;
        }
        FailFile(job, kOutOfMemory);
    }
    // The converter (its segments, a library it loaded) goes on the thread
    // that used it, and before the row waits for its turn.
    job.converter.reset();
}

bool Searcher::YieldAfterFile() { return Parallel() && !pool->HasRoom(); }

bool Searcher::Step() {
    const bool more = Parallel() ? StepOnPool() : FileIterator::Step();
    // A converter that cannot work at all (content filters whose host cannot
    // start) says so once, not with every file it fails.
    std::wstring notice;
    if (converters && converters->TakeNotice(&notice) && showMessage)
        showMessage(notice.c_str());
    return more;
}

bool Searcher::StepOnPool() {
    waitingForWorkers = false;
    if (!stopping && IsStopRequested()) {
        // Nothing reaches the sink any more; the files that run end theirs.
        stopping = true;
        walking = false;
        EndWalk();
        pool->Cancel();
    }
    if (stopping) {
        std::vector<std::unique_ptr<FileJob>> dropped;
        pool->TakeFinished(&dropped);
        if (pool->IsEmpty())
            return false;
        waitingForWorkers = pool->ArmFinishedEvent();
        return true;
    }
    bool progressed = Deliver();
    if (walking && pool->HasRoom()) {
        walking = FileIterator::Step();
        progressed = true;
    }
    progressed = Deliver() || progressed;
    if (!walking && pool->IsEmpty())
        return false;
    waitingForWorkers = !progressed && pool->ArmFinishedEvent();
    return true;
}

bool Searcher::Deliver() {
    std::vector<std::unique_ptr<FileJob>> done;
    pool->TakeFinished(&done);
    for (auto& job : done) {
        if (IsStopRequested())
            break;  // the rest are dropped with the vector
        request->filesSearched += 1;
        if (job->result)
            request->sink->AddResult(job->result);
    }
    return !done.empty();
}

void Searcher::ConvertAndMatch(FileJob& job, const Matchers& matchers) {
    const SearchRequest& r = *job.request;
    HGLOBAL block = nullptr;
    size_t foldedLength = DocConverter::kNotFolded;
    if (job.converter) {
        try {
            job.converter->SetCodePage(0);
            job.converter->SetWantSegments(BySegments(r) || r.keepSegments || r.everySegment);
            if (job.stop)
                job.converter->SetStopCheck([stop = job.stop] { return stop->load(std::memory_order_relaxed); });
            else
                job.converter->SetStopCheck([this] { return IsStopRequested(); });
            block = job.converter->ConvertForSearch(job.systemPath.c_str(), r, &foldedLength, &Originals());
        } catch (...) {
            block = nullptr;
        }
    }
    if (!block) {
        const std::wstring& reason = job.converter ? job.converter->FailureReason() : std::wstring();
        if (job.entry && IsDeviceName(job.entry->cFileName))
            FailFile(job, L"a name that Windows keeps for a device");
        else
            FailFile(job, reason.empty() ? L"the file could not be converted" : reason);
        return;
    }
    ScopedTextBlock owned(block);
    GlobalLockGuard<wchar_t> text(block);
    if (!text.Get() || GlobalSize(block) < sizeof(wchar_t)) {
        FailFile(job, kOutOfMemory);
        return;
    }
    const size_t capacity = GlobalSize(block) / sizeof(wchar_t);
    // Matching runs on the folded text; what is shown comes from what the
    // folding changed, which the converter kept as it wrote, or the fold
    // here keeps.
    FoldedOriginals& originals = Originals();
    size_t length = 0;
    if (foldedLength != DocConverter::kNotFolded && foldedLength < capacity) {
        length = foldedLength;
    } else {
        if (r.wholeWords)
            FindSurrogates(text.Get(), FindNul(text.Get(), capacity), &job.astralUnits);
        length = originals.FoldToNul(text.Get(), capacity);
    }
    if (r.ignoreAccents)
        originals.FoldAccents(text.Get(), length);
    struct ReleaseAfterFile {
        FoldedOriginals& originals;
        ~ReleaseAfterFile() { originals.Release(); }
    } release{originals};
    job.originals = &originals;
    job.text = text.Get();
    job.textLength = static_cast<int>(length);
    MatchOutcome outcome = MatchOutcome::kCompleted;
    try {
        if (job.converter->Segments().empty()) {
            // Without segments a target condition holds nowhere: no row.
            // Nor is there anything to check.
            if (!r.targetText[0] && r.searchText[0])
                outcome = MatchText(job, matchers.regex, matchers.ignoringCase, matchers.searchText);
        } else if (!r.searchText[0]) {
            ShowEverySegment(job, *job.converter);
        } else if (BySegments(r) || r.keepSegments || r.everySegment) {
            outcome = MatchBySegments(job, *job.converter, matchers);
        } else {
            outcome = MatchText(job, matchers.regex, matchers.ignoringCase, matchers.searchText);
        }
    } catch (...) {
        outcome = MatchOutcome::kAbandoned;
    }
    if (job.result && !job.result->matches.empty() && job.result->matches[0]->end >= 0 &&
        job.converter->IsPlainText())
        job.result->firstHitLine = LineOfOffset(job.text, job.textLength, job.result->matches[0]->start);
    job.text = nullptr;
    job.textLength = 0;
    job.originals = nullptr;
    job.astralUnits.clear();
    // A text the expression library gave up on keeps the hits found so far;
    // without any it is a failed file.
    if (outcome == MatchOutcome::kAbandoned && !job.result)
        FailFile(job, L"the regular expression is too complex for this file");
    else if (job.result)
        job.result->fileType = job.converter->ReadAs();
}

FileResult* Searcher::ReadEverySegment(const std::wstring& path, std::function<bool(int index)> keep) {
    if (!request || !converters)
        return nullptr;
    const std::wstring systemPath = VerbatimPath(path);
    WIN32_FIND_DATAW entry{};
    ScopedFindHandle find(FindFirstFileW(systemPath.c_str(), &entry));
    if (systemPath.empty() || !find)
        return nullptr;
    SearchRequest every = *request;
    every.searchText[0] = 0;
    every.targetText[0] = 0;
    every.everySegment = 1;
    SearchRequest* const kept = request;
    request = &every;
    SegmentVisitor visitor = std::move(segmentVisitor);
    segmentVisitor = nullptr;
    if (keep)
        segmentVisitor = [&keep](FileResult&, const ShownSegment&, int index) { return keep(index); };
    FileJob job;
    FillJob(job, path.c_str(), systemPath, entry);
    job.request = &every;
    if (job.converter)
        ConvertAndMatch(job, {L"", L"", nullptr, nullptr, nullptr, nullptr});
    request = kept;
    segmentVisitor = std::move(visitor);
    FileResult* row = job.result;
    job.result = nullptr;
    return row;
}

void Searcher::ShowEverySegment(FileJob& job, const DocConverter& converter) {
    SegmentIndex index(converter.Segments(), job.textLength);
    if (job.stop ? job.stop->load(std::memory_order_relaxed) : job.request->sink->IsStopRequested())
        return;
    job.result = FileResult::Create(job.path.c_str(), *job.entry);
    job.result->AddRef();
    job.result->status = kFileSearched;
    job.result->sourceLanguage = converter.Segments().SourceLanguage();
    job.result->targetLanguage = converter.Segments().TargetLanguage();
    KeepVisited(job, index, nullptr);
}

void Searcher::KeepVisited(FileJob& job, const SegmentIndex& index, const std::vector<int>* only) {
    FileResult& row = *job.result;
    const size_t count = only ? only->size() : job.converter->Segments().size();
    if (!segmentVisitor) {
        row.segments = index.ShowEvery(job.text, job.originals, only);
        return;
    }
    // One segment at a time, in one record whose strings keep their room:
    // the visitor keeps what it needs.
    ShownSegment shown;
    for (size_t k = 0; k < count; ++k) {
        const int i = only ? (*only)[k] : static_cast<int>(k);
        index.ShowOne(job.text, job.originals, static_cast<size_t>(i), &shown);
        if (segmentVisitor(row, shown, i))
            row.segments.push_back(shown);
    }
}

MatchOutcome Searcher::MatchBySegments(FileJob& job, const DocConverter& converter, const Matchers& matchers) {
    const SearchRequest& r = *job.request;
    SegmentIndex index(converter.Segments(), job.textLength);
    const auto findCondition = [&](const std::function<bool(int, int)>& onHit) {
        return ForEachHit(job, matchers.targetText, matchers.targetRegex, matchers.targetIgnoringCase, onHit);
    };
    // The condition is kept as one flag a segment: its text may hit
    // everywhere in a large memory.
    if (r.targetText[0]) {
        index.BeginCondition(r.notTarget != 0);
        if (findCondition([&index](int start, int) {
                index.NoteConditionHit(start);
                return true;
            }) == MatchOutcome::kAbandoned)
            return MatchOutcome::kAbandoned;
    }
    job.segments = &index;
    const MatchOutcome outcome = MatchText(job, matchers.regex, matchers.ignoringCase, matchers.searchText);
    job.segments = nullptr;
    if ((r.keepSegments || r.everySegment) && job.result && job.result->status == kFileSearched) {
        std::vector<ShownSpan> hits;
        hits.reserve(job.result->matches.size());
        for (const auto& m : job.result->matches)
            hits.push_back({m->start, m->end});
        // The checks look at the segments that hold hits as the file holds them.
        if (r.everySegment) {
            const std::vector<int> held = index.HeldSegments(hits);
            job.result->sourceLanguage = converter.Segments().SourceLanguage();
            job.result->targetLanguage = converter.Segments().TargetLanguage();
            KeepVisited(job, index, &held);
            return outcome;
        }
        // The condition's hits are marked in the targets shown: found again,
        // up to the last shown target, and kept for those targets alone.
        if (r.targetText[0] && !index.ConditionNegated()) {
            std::vector<int> held = index.HeldSegments(hits);
            if (!held.empty()) {
                index.BeginConditionSpans(std::move(held));
                findCondition([&index](int start, int end) { return index.NoteConditionSpan(start, end); });
            }
        }
        job.result->segments = index.Show(job.text, hits, job.originals);
        // A file opens where the segment of its first hit starts.
        if (!job.result->segments.empty() && job.result->segments.front().line > 0)
            job.result->firstHitLine = job.result->segments.front().line;
    }
    return outcome;
}
