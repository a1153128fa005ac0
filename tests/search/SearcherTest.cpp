// The folder walk and the per-file job, end to end over real folder trees.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>

#include <stdexcept>
#include <map>
#include <string>
#include <vector>

#include "converters/ConverterList.h"
#include "converters/TxtConverter.h"
#include "base/ResourceText.h"
#include "base/SearchRecords.h"
#include "search/SearchPool.h"
#include "search/Searcher.h"
#include "tests/ProcessUsage.h"
#include "tests/RecordingSink.h"
#include "tests/TestFiles.h"

namespace {

// Counts the OnFile calls of each Step and the converter's Convert calls.
class CountingSearcher : public Searcher {
public:
    int filesThisStep = 0;

protected:
    bool OnFile(const wchar_t* path, const WIN32_FIND_DATAW& entry) override {
        ++filesThisStep;
        return Searcher::OnFile(path, entry);
    }
};

// Steps a started search to its end, waiting for its workers when it must.
void StepToEnd(Searcher& searcher, int limit = 100000) {
    for (int steps = 0; searcher.Step() && steps < limit; ++steps) {
        if (searcher.IsWaiting() && WaitForSingleObject(searcher.WorkerEvent(), 10000) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "the file waited for finished without a word";
            break;
        }
    }
}

// Throws on files named "throw*", and cannot even be cloned for files named
// "noclone*"; holds files named "hold*" until `hold` is set; else reads text
// like the plain-text converter. Counts the conversions, and those made on the
// thread that walks.
class ThrowingConverter : public TxtConverter {
public:
    int Accepts(const wchar_t* path) override {
        accepted = path;
        return 1;
    }
    HGLOBAL Convert(const wchar_t* path, const SearchRequest& request) override {
        ++*converts;
        if (GetCurrentThreadId() == walkingThread)
            ++*convertsWhereWalked;
        if (wcsstr(path, L"\\throw"))
            throw std::runtime_error("broken converter");
        if (hold && wcsstr(path, L"\\hold")) {
            ++*held;
            WaitForSingleObject(hold, 10000);
        }
        return TxtConverter::Convert(path, request);
    }
    std::unique_ptr<DocConverter> Clone() const override {
        if (accepted.find(L"\\noclone") != std::wstring::npos)
            throw std::bad_alloc();
        auto copy = std::make_unique<ThrowingConverter>();
        copy->converts = converts;
        copy->convertsWhereWalked = convertsWhereWalked;
        copy->walkingThread = walkingThread;
        copy->hold = hold;
        copy->held = held;
        return copy;
    }
    std::atomic<int>* converts = nullptr;  // converted on workers too
    std::atomic<int>* convertsWhereWalked = nullptr;
    DWORD walkingThread = GetCurrentThreadId();
    HANDLE hold = nullptr;
    std::atomic<int>* held = nullptr;  // files that began waiting for `hold`
    std::wstring accepted;  // the last path the walk asked about
};

// A converter that holds files named "hold*" until `release` is set.
std::unique_ptr<ThrowingConverter> HoldingConverter(HANDLE release, std::atomic<int>* held) {
    static std::atomic<int> converts{0};
    static std::atomic<int> convertsWhereWalked{0};
    auto holding = std::make_unique<ThrowingConverter>();
    holding->converts = &converts;
    holding->convertsWhereWalked = &convertsWhereWalked;
    holding->hold = release;
    holding->held = held;
    return holding;
}

class SearcherTest : public testing::Test {
protected:
    SearcherTest() : sink(&request) {
        converters.BuildConverters(ConverterModeTextOnly);
    }

    // Runs a whole search as the message loop would; returns the step count.
    int RunToEnd(Searcher& searcher) {
        if (!searcher.StartSearch(&request, &converters))
            return -1;
        int steps = 0;
        while (searcher.Step()) {
            ++steps;
            if (searcher.IsWaiting() && WaitForSingleObject(searcher.WorkerEvent(), 10000) != WAIT_OBJECT_0) {
                ADD_FAILURE() << "the file waited for finished without a word";
                break;
            }
        }
        sink.SetSearching(0);
        return steps;
    }

    // The "result: " calls without their prefix, sorted.
    std::vector<std::wstring> SortedResults() const {
        std::vector<std::wstring> results;
        for (const auto& c : sink.calls) {
            if (c.rfind(L"result: ", 0) == 0)
                results.push_back(c.substr(8));
        }
        std::sort(results.begin(), results.end());
        return results;
    }

    std::vector<std::wstring> StatusLines() const {
        std::vector<std::wstring> lines;
        for (const auto& c : sink.calls) {
            if (c.rfind(L"status: ", 0) == 0)
                lines.push_back(c.substr(8));
        }
        return lines;
    }

    TempDir dir;
    SearchRequest request;
    RecordingSink sink;
    ConverterList converters;
};

TEST_F(SearcherTest, WalksDepthFirstAnnouncingSubdirectories) {
    dir.WriteFile(L"root.txt", "needle");
    dir.WriteFile(L"a\\a.txt", "needle");
    dir.WriteFile(L"a\\b\\b.txt", "needle");
    dir.WriteFile(L"c\\c.txt", "no");
    request = MakeRequest(L"needle", dir.Path(), &sink);
    Searcher searcher;
    RunToEnd(searcher);

    EXPECT_EQ(StatusLines(), (std::vector<std::wstring>{
                                 L"Searching in " + dir.Path() + L"a\\ ...",
                                 L"Searching in " + dir.Path() + L"a\\b\\ ...",
                                 L"Searching in " + dir.Path() + L"c\\ ...",
                             }));
    EXPECT_EQ(sink.Names(), (std::vector<std::wstring>{L"root.txt", L"a.txt", L"b.txt"}));
    EXPECT_EQ(std::wstring(sink.results[2]->location), dir.Path() + L"a\\b\\");
    EXPECT_EQ(request.filesSearched, 4);
    EXPECT_EQ(request.filesMatched, 3);
    EXPECT_EQ(request.matchCount, 3);
    EXPECT_EQ(sink.calls.front(), L"searching: 1");
}

TEST_F(SearcherTest, WithoutRecursionOnlyTheFolderItself) {
    dir.WriteFile(L"top.txt", "needle");
    dir.WriteFile(L"sub\\deep.txt", "needle");
    request = MakeRequest(L"needle", dir.Path(), &sink);
    request.recursion = 0;
    Searcher searcher;
    RunToEnd(searcher);
    EXPECT_TRUE(StatusLines().empty());
    EXPECT_EQ(sink.Names(), std::vector<std::wstring>{L"top.txt"});
}

TEST_F(SearcherTest, TwoHundredFiftyFilesInThreeBatches) {
    for (int i = 0; i < 250; ++i)
        dir.WriteFile(L"f" + std::to_wstring(i) + L".txt", "x");
    request = MakeRequest(L"x", dir.Path(), &sink);
    request.recursion = 0;
    CountingSearcher searcher;
    ASSERT_TRUE(searcher.StartSearch(&request, &converters));
    std::vector<int> perStep;
    while (searcher.Step()) {
        if (searcher.filesThisStep)
            perStep.push_back(searcher.filesThisStep);
        searcher.filesThisStep = 0;
    }
    // "." and ".." count as entries of the first batch.
    EXPECT_EQ(perStep, (std::vector<int>{100, 102, 48}));
    EXPECT_EQ(request.filesSearched, 250);
    EXPECT_EQ(request.filesMatched, 250);
}

TEST_F(SearcherTest, StopAfterFiveResultsKeepsFiveAndCountersAgree) {
    for (int i = 0; i < 12; ++i)
        dir.WriteFile(L"f" + std::to_wstring(i) + L".txt", "x x");
    request = MakeRequest(L"x", dir.Path(), &sink);
    sink.stopAfterResults = 5;
    Searcher searcher;
    RunToEnd(searcher);
    EXPECT_EQ(sink.results.size(), 5u);
    EXPECT_EQ(request.filesMatched, 5);
    EXPECT_EQ(request.matchCount, 10);
    // The file whose job started after the stop was not counted.
    EXPECT_EQ(request.filesSearched, 5);

    // A search stopped inside a folder closes that folder's enumeration
    // (which a pattern other than *.* keeps open while the files are read).
    const unsigned handles = MeasureProcessUsage().handles;
    for (int i = 0; i < 20; ++i) {
        sink.results.clear();
        request = MakeRequest(L"x", dir.Path(), &sink);
        wcscpy(request.fileNameSpec, L"*.txt");
        sink.stopAfterResults = 5;
        Searcher stopped;
        RunToEnd(stopped);
    }
    EXPECT_LE(MeasureProcessUsage().handles, handles + 3);
}

// Asks for a stop at the n-th call of the engine, of whatever kind.
class StopAtCallSink : public RecordingSink {
public:
    using RecordingSink::RecordingSink;
    bool ShowStatus(unsigned id, ...) override {
        Count();
        va_list args;
        va_start(args, id);
        wchar_t text[101];
        const bool ok = FormatResourceString(id, &args, text, 101);
        va_end(args);
        return ok && !IsStopRequested();
    }
    bool AddResult(FileResult* result) override {
        if (IsStopRequested()) {
            ++refusedAfterStop;
            return false;
        }
        const bool taken = RecordingSink::AddResult(result);
        Count();
        return taken;
    }
    int stopAtCall = 0;
    int callsSeen = 0;
    int refusedAfterStop = 0;

private:
    void Count() {
        if (++callsSeen == stopAtCall)
            stopRequested = true;
    }
};

TEST_F(SearcherTest, AStopAtAnyPointKeepsTheRowsBeforeItAndNoneAfter) {
    // Hits, files without hits and failures in a tree three levels deep.
    for (int i = 0; i < 6; ++i) {
        dir.WriteFile(L"f" + std::to_wstring(i) + L".txt", i % 3 ? "x x" : "none");
        dir.WriteFile(L"a\\g" + std::to_wstring(i) + L".txt", "x");
        dir.WriteFile(L"a\\b\\h" + std::to_wstring(i) + L".txt", i % 2 ? "" : "x y x x");
    }
    // The whole search, for the order of its rows and the number of its calls.
    SearchRequest whole = MakeRequest(L"x", dir.Path(), nullptr);
    StopAtCallSink full(&whole);
    whole.sink = &full;
    {
        Searcher searcher;
        ASSERT_TRUE(searcher.StartSearch(&whole, &converters));
        StepToEnd(searcher);
    }
    const std::vector<std::wstring> allRows = full.Names();
    ASSERT_GT(allRows.size(), 10u);
    // With workers the walk runs ahead of the rows: the calls come in
    // another order, but a stop at any of them keeps the same promise.
    for (int workers : {1, 2, 3, 8})
    for (int k = 1; k <= full.callsSeen; ++k) {
        SearchRequest stopped = MakeRequest(L"x", dir.Path(), nullptr);
        StopAtCallSink sink(&stopped);
        stopped.sink = &sink;
        sink.stopAtCall = k;
        Searcher searcher;
        searcher.SetWorkers(workers);
        ASSERT_TRUE(searcher.StartSearch(&stopped, &converters));
        StepToEnd(searcher, 10000);
        SCOPED_TRACE(testing::Message() << workers << " workers");
        const std::vector<std::wstring> rows = sink.Names();
        // Exactly the rows taken before the stop, in the order of the whole search.
        ASSERT_LE(rows.size(), allRows.size()) << "stop at call " << k;
        EXPECT_TRUE(std::equal(rows.begin(), rows.end(), allRows.begin())) << "stop at call " << k;
        EXPECT_EQ(sink.refusedAfterStop, 0) << "no row is offered after the stop (call " << k << ")";
        EXPECT_EQ(stopped.filesMatched, static_cast<int>(rows.size())) << "stop at call " << k;
        int matches = 0;
        for (FileResult* r : sink.results)
            matches += static_cast<int>(r->matches.size());
        EXPECT_EQ(stopped.matchCount, matches) << "stop at call " << k;
        EXPECT_LE(sink.callsSeen, k + 1) << "the engine went on after the stop (call " << k << ")";
        // The summary counts the files whose rows were shown, and no more
        // than the files it met (a file without a hit shows no row).
        EXPECT_GE(stopped.filesSearched, static_cast<int>(rows.size())) << "stop at call " << k;
    }
}

// Deletes each file between the listing and the reading.
class VanishingSearcher : public Searcher {
protected:
    bool OnFile(const wchar_t* path, const WIN32_FIND_DATAW& entry) override {
        if (wcsstr(path, L"vanish"))
            DeleteFileW(path);
        return Searcher::OnFile(path, entry);
    }
};

// While the workers are held, the walk goes on until every place in the pool
// is taken, and only then sleeps. Released, every file gives its row; stopped
// first, the walk sleeps on until the held files end, and gives no row.
TEST_F(SearcherTest, WhileWorkersAreHeldTheWalkFillsThePoolThenSleeps) {
    // One file a folder: the walk also steps between folders, and each of
    // those steps must walk on rather than sleep.
    for (int i = 0; i < 12; ++i) dir.WriteFile(L"d" + std::to_wstring(i) + L"\\hold.txt", "needle");
    for (bool stop : {false, true}) {
        SCOPED_TRACE(stop ? "stopped" : "released");
        sink.calls.clear();
        HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::atomic<int> held{0};
        ConverterList list;
        list.Append(HoldingConverter(release, &held));
        request = MakeRequest(L"needle", dir.Path(), &sink);
        CountingSearcher searcher;
        searcher.SetWorkers(2);
        ASSERT_TRUE(searcher.StartSearch(&request, &list));
        for (int steps = 0; !searcher.IsWaiting() && steps < 1000; ++steps) ASSERT_TRUE(searcher.Step());
        EXPECT_TRUE(searcher.IsWaiting());
        EXPECT_EQ(searcher.filesThisStep, 2 * SearchPool::kJobsPerWorker) << "the walk slept with room left";
        EXPECT_EQ(WaitForSingleObject(searcher.WorkerEvent(), 200), static_cast<DWORD>(WAIT_TIMEOUT));
        if (stop) {
            sink.stopRequested = true;
            bool sleeping = false;
            for (int steps = 0; !sleeping && steps < 100; ++steps) {
                ASSERT_TRUE(searcher.Step()) << "the held files have not ended";
                sleeping = searcher.IsWaiting() &&
                           WaitForSingleObject(searcher.WorkerEvent(), 200) == static_cast<DWORD>(WAIT_TIMEOUT);
            }
            EXPECT_TRUE(sleeping) << "the walk steps round instead of waiting";
        }
        SetEvent(release);
        StepToEnd(searcher);
        EXPECT_EQ(SortedResults().size(), stop ? 0u : 12u);
        EXPECT_EQ(held.load(), stop ? 2 : 12);
        CloseHandle(release);
    }
}

TEST_F(SearcherTest, AFileThatVanishesBeforeItIsReadIsAFailedFile) {
    for (int workers : {1, 3}) {
        dir.WriteFile(L"vanish.txt", "needle");
        dir.WriteFile(L"stays.txt", "needle");
        sink.calls.clear();
        request = MakeRequest(L"needle", dir.Path(), &sink);
        VanishingSearcher searcher;
        searcher.SetWorkers(workers);
        RunToEnd(searcher);
        const std::vector<std::wstring> results = SortedResults();
        EXPECT_EQ(results, (std::vector<std::wstring>{L"stays.txt 0 1", L"vanish.txt -1 1"})) << workers;
    }
}

TEST_F(SearcherTest, BadRegexShowsMessageAndReadsNoFile) {
    dir.WriteFile(L"a.txt", "anything");
    request = MakeRequest(L"ab(c", dir.Path(), &sink);
    request.regex = 1;
    std::wstring shown;
    Searcher searcher;
    searcher.SetMessageHandler([&](const wchar_t* text) { shown = text; });
    EXPECT_FALSE(searcher.StartSearch(&request, &converters));
    EXPECT_TRUE(sink.calls.empty()) << "searching state stays off";
    EXPECT_EQ(request.filesSearched, 0);
    EXPECT_EQ(shown.rfind(L"Bad regex syntax (position 4).\r\nThe regular expression is incorrect:\r\n \"", 0),
              0u)
        << testing::PrintToString(shown);
    EXPECT_NE(shown.find(L"\"\r\n\r\nEnter a proper regular expression, and try again."),
              std::wstring::npos);
    EXPECT_EQ(searcher.Refusal(), L"The regular expression is not valid.");

    // A file name pattern that names a folder is refused the same way,
    // single or in a list; the walk never lists the other folder.
    dir.WriteFile(L"sub\\b.txt", "anything");
    request.regex = 0;
    for (const wchar_t* patterns : {L"sub\\*.txt", L"*.xlf; ..\\*"}) {
        wcscpy(request.fileNameSpec, patterns);
        shown.clear();
        EXPECT_FALSE(searcher.StartSearch(&request, &converters)) << patterns;
        EXPECT_EQ(request.filesSearched, 0);
    }
    EXPECT_EQ(searcher.Refusal(), L"A file name pattern cannot name a folder: ..\\*");
    EXPECT_EQ(shown, searcher.Refusal());
    EXPECT_TRUE(sink.calls.empty());
    // Taken again once the pattern names files only.
    wcscpy(request.fileNameSpec, L"*.txt");
    wcscpy(request.searchText, L"anything");
    EXPECT_GE(RunToEnd(searcher), 0);
    EXPECT_TRUE(searcher.Refusal().empty());
    EXPECT_EQ(SortedResults(), (std::vector<std::wstring>{L"a.txt 0 1", L"b.txt 0 1"}));

    // Nothing to search with: no request, no converters, nobody to tell.
    Searcher idle;
    SearchRequest noSink = request;
    noSink.sink = nullptr;
    EXPECT_FALSE(idle.StartSearch(nullptr, &converters));
    EXPECT_FALSE(idle.StartSearch(&request, nullptr));
    EXPECT_FALSE(idle.StartSearch(&noSink, &converters));
    EXPECT_FALSE(idle.Step());
}

TEST_F(SearcherTest, EmptySearchTextListsFilesWithoutReadingThem) {
    dir.WriteFile(L"a.txt", "");
    dir.WriteFile(L"b.dat", "whatever");
    dir.WriteFile(L"s\\c.txt", "x");
    request = MakeRequest(L"", dir.Path(), &sink);
    wcscpy(request.fileNameSpec, L"");  // empty means *.*
    std::atomic<int> converts{0};
    ConverterList list;
    auto throwing = std::make_unique<ThrowingConverter>();
    throwing->converts = &converts;
    list.Append(std::move(throwing));
    Searcher searcher;
    ASSERT_TRUE(searcher.StartSearch(&request, &list));
    while (searcher.Step()) {
    }
    EXPECT_EQ(converts.load(), 0);
    ASSERT_EQ(sink.results.size(), 3u);
    for (FileResult* r : sink.results) {
        EXPECT_EQ(r->status, kFileListed);
        ASSERT_EQ(r->matches.size(), 1u);
        EXPECT_EQ(r->matches[0]->start, 0);
        EXPECT_EQ(r->matches[0]->end, 0);
    }
    EXPECT_EQ(request.filesSearched, 3);
}

TEST_F(SearcherTest, FailedConversionsAreRecordedAndTheSearchGoesOn) {
    dir.WriteFile(L"a_empty.txt", "");  // zero bytes: no text, so no row at all
    dir.WriteFile(L"b_fine.txt", "needle");
    dir.WriteFile(L"throw.txt", "needle");
    dir.WriteFile(L"noclone.txt", "needle");
    dir.WriteFile(L"z_fine.txt", "needle needle");
    for (int workers : {1, 2}) {
    SCOPED_TRACE(testing::Message() << workers << " workers");
    sink.calls.clear();
    std::atomic<int> converts{0};
    std::atomic<int> convertsWhereWalked{0};
    ConverterList list;
    auto throwing = std::make_unique<ThrowingConverter>();
    throwing->converts = &converts;
    throwing->convertsWhereWalked = &convertsWhereWalked;
    list.Append(std::move(throwing));
    request = MakeRequest(L"needle", dir.Path(), &sink);
    Searcher searcher;
    searcher.SetWorkers(workers);
    ASSERT_TRUE(searcher.StartSearch(&request, &list));
    StepToEnd(searcher);
    const std::vector<std::wstring> results = SortedResults();
    EXPECT_EQ(results, (std::vector<std::wstring>{L"b_fine.txt 0 1", L"noclone.txt -1 1", L"throw.txt -1 1",
                                                  L"z_fine.txt 0 2"}));
    EXPECT_EQ(converts.load(), 3);
    // With workers no file is converted where the walk runs.
    EXPECT_EQ(convertsWhereWalked.load(), workers == 1 ? 3 : 0);
    // The failed files are counted apart: neither matched files nor matches.
    EXPECT_EQ(request.filesSearched, 5);
    EXPECT_EQ(request.filesMatched, 2);
    EXPECT_EQ(request.matchCount, 3);
    EXPECT_EQ(request.filesFailed, 2);
    }
}

TEST_F(SearcherTest, TextEndsAtFirstNulAndAstralCharactersFoldToSpaces) {
    // UTF-16LE with BOM: "a\U0001F600b", NUL, "needle".
    dir.WriteFile(L"u.txt", "\xFF\xFE" + std::string("a\0=\xD8\x00\xDE" "b\0\0\0n\0e\0e\0d\0l\0e\0", 20));
    dir.WriteFile(L"v.txt", "\xFF\xFE" + std::string("a\0=\xD8\x00\xDE" "b\0", 8));
    request = MakeRequest(L"a  b", dir.Path(), &sink);
    Searcher searcher;
    RunToEnd(searcher);
    ASSERT_EQ(sink.results.size(), 2u);
    request = MakeRequest(L"needle", dir.Path(), &sink);
    sink.results.clear();
    Searcher again;
    RunToEnd(again);
    EXPECT_TRUE(sink.Names().empty());
}

TEST_F(SearcherTest, WholeWordsCountLettersBeyondTheFirstPlaneAsLetters) {
    // "\U000203FFcat cat cat\U00010000" in UTF-16 and in a translation file
    // that is folded as it is decoded: folded, each of the two letters is two
    // spaces (the last and the first of the surrogates), yet they still join
    // the words beside them; spaces that were spaces do not.
    converters.BuildConverters(ConverterModeIFilter);
    // The plain text goes on with a letter whose surrogates are both odd,
    // far enough for the scan's eight-unit steps.
    dir.WriteFile(L"u.txt", "\xFF\xFE" + Utf16Bytes(L"\U000203FFcat cat cat\U00010000 \U00010401cat and more text"));
    dir.WriteFile(L"x.xlf", "<xliff version=\"1.2\"><file><body><trans-unit id=\"1\"><source>"
                            "\xF0\xA0\x8F\xBF" "cat cat cat\xF0\x90\x80\x80</source></trans-unit></body></file></xliff>");
    dir.WriteFile(L"spaces.txt", "  cat");
    for (int regex : {0, 1}) {
        sink.results.clear();
        request = MakeRequest(L"cat", dir.Path(), &sink);
        request.wholeWords = 1;
        request.regex = regex;
        Searcher searcher;
        RunToEnd(searcher);
        ASSERT_EQ(sink.results.size(), 3u) << "regex " << regex;
        for (FileResult* result : sink.results) {
            std::vector<int> starts;
            for (const auto& m : result->matches)
                starts.push_back(m->start);
            const std::wstring name = result->name;
            // The plain text keeps its byte-order mark as a character.
            const std::vector<int> expected = name == L"spaces.txt" ? std::vector<int>{2}
                                              : name == L"u.txt"    ? std::vector<int>{7}
                                                                    : std::vector<int>{6};
            EXPECT_EQ(starts, expected) << name << " regex " << regex;
            if (name == L"u.txt") {
                EXPECT_EQ(result->matches[0]->context, L"\uFEFF\U000203FFcat cat cat\U00010000 \U00010401cat and more text")
                    << "the context is the file's own text";
            }
        }
    }
}

TEST_F(SearcherTest, AnsiTextIsFoldedAsItIsReadAndEndsAtItsFirstNul) {
    // Code page text read with folding on the way: typographic quotes and a
    // dash (bytes 93, 94, 96 of the Western code page) match their ASCII
    // look-alikes, offsets and context come from the folded text, and the
    // text ends at its first NUL as a text folded afterwards does.
    dir.WriteFile(L"quotes.txt", std::string("say \x93hi\x94 \x96 ok\0\x93hi\x94", 19));
    dir.WriteFile(L"long.txt", std::string(40, 'x') + "\x93hi\x94" + std::string(40, 'y'));
    request = MakeRequest(L"\"hi\"", dir.Path(), &sink);
    Searcher searcher;
    RunToEnd(searcher);
    ASSERT_EQ(sink.results.size(), 2u);
    for (FileResult* result : sink.results) {
        ASSERT_EQ(result->matches.size(), 1u) << result->name;
        const Match& hit = *result->matches[0];
        if (wcscmp(result->name, L"quotes.txt") == 0) {
            EXPECT_EQ(hit.start, 4);
            EXPECT_EQ(hit.context, L"say \u201Chi\u201D \u2013 ok") << "shown as the file holds it";
        } else {
            EXPECT_EQ(hit.start, 40);
            EXPECT_EQ(hit.context, std::wstring(40, L'x') + L"\u201Chi\u201D" + std::wstring(40, L'y'));
        }
    }
}

TEST_F(SearcherTest, PathsPastTheClassicLimitAreWalkedAndSearchedWhole) {
    // Twelve folders of 83 characters: paths of over 1,000 characters, and a
    // name that alone takes a path past 259 just below the folder.
    std::wstring deep;
    for (int i = 0; i < 12; ++i)
        deep += std::wstring(83, static_cast<wchar_t>(L'a' + i)) + L"\\";
    const std::wstring longName = std::wstring(250 - dir.Path().size(), L'n') + L".txt";
    const std::string xliff = "<xliff version=\"1.2\"><file><body><trans-unit id=\"1\"><source>needle</source>"
                              "</trans-unit></body></file></xliff>";
    dir.WriteFile(deep + L"plain.txt", "a needle");
    dir.WriteFile(deep + L"doc.xlf", xliff);
    dir.WriteFile(deep + L"empty.xlf", "<xliff version=\"1.2\"><file><body/></file></xliff>");
    dir.WriteFile(L"x\\" + longName, "needle, needle");
    request = MakeRequest(L"needle", dir.Path(), &sink);
    Searcher searcher;
    RunToEnd(searcher);
    EXPECT_EQ(SortedResults(), (std::vector<std::wstring>{L"doc.xlf 0 1", longName + L" 0 2", L"plain.txt 0 1"}));
    for (FileResult* r : sink.results) {
        const std::wstring location = r->name == longName ? dir.Path() + L"x\\" : dir.Path() + deep;
        EXPECT_EQ(r->location, location) << "never cut";
    }
    EXPECT_EQ(request.filesSearched, 4);
}

TEST_F(SearcherTest, NamesEndingInADotOrASpaceAreReadAsTheyAre) {
    // Written as other systems write them: through the verbatim form, which
    // the system does not parse.
    const auto write = [&](const std::wstring& name, const std::string& bytes) {
        ScopedKernelHandle file(CreateFileW((L"\\\\?\\" + dir.Path() + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(file) << GetLastError();
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    };
    write(L"report.txt", "plain needle");
    write(L"report.txt ", "spaced needle, needle");
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + dir.Path() + L"Q3.").c_str(), nullptr));
    write(L"Q3.\\in.txt", "needle in Q3.");
    request = MakeRequest(L"needle", dir.Path(), &sink);
    for (const int workers : {1, 3}) {
        sink.calls.clear();
        sink.results.clear();
        Searcher searcher;
        searcher.SetWorkers(workers);
        RunToEnd(searcher);
        EXPECT_EQ(SortedResults(), (std::vector<std::wstring>{L"in.txt 0 1", L"report.txt  0 2", L"report.txt 0 1"}))
            << workers;
        const std::map<std::wstring, std::pair<std::wstring, std::wstring>> expected = {
            {L"report.txt", {L"", L"plain"}}, {L"report.txt ", {L"", L"spaced"}}, {L"in.txt", {L"Q3.\\", L"needle in"}}};
        for (FileResult* r : sink.results) {
            const auto it = expected.find(r->name);
            ASSERT_NE(it, expected.end()) << r->name;
            EXPECT_EQ(r->location, dir.Path() + it->second.first) << "shown without a prefix: " << r->name;
            ASSERT_FALSE(r->matches.empty());
            EXPECT_EQ(r->matches[0]->context.find(it->second.second), 0u)
                << "each file reads its own bytes: " << r->name << " " << r->matches[0]->context;
        }
    }
}

TEST_F(SearcherTest, NewSearchAfterAStopSearchesOnlyTheNewFolder) {
    TempDir other;
    for (int i = 0; i < 5; ++i)
        dir.WriteFile(L"old" + std::to_wstring(i) + L".txt", "x");
    other.WriteFile(L"new.txt", "x");
    request = MakeRequest(L"x", dir.Path(), &sink);
    sink.stopAfterResults = 1;
    Searcher searcher;
    RunToEnd(searcher);
    ASSERT_EQ(sink.results.size(), 1u);
    sink.stopAfterResults = 0;
    request = MakeRequest(L"x", other.Path(), &sink);
    RunToEnd(searcher);
    EXPECT_EQ(sink.Names().back(), L"new.txt");
    EXPECT_EQ(sink.results.size(), 2u);

    // With workers, a search left half-way by its caller: the next one
    // (another text) waits for the files still on the workers, and only its
    // own rows come.
    for (int i = 0; i < 40; ++i)
        dir.WriteFile(L"more" + std::to_wstring(i) + L".txt", std::string(20000, 'x'));
    RecordingSink fresh(&request);
    request = MakeRequest(L"x", dir.Path(), &fresh);
    Searcher workers;
    workers.SetWorkers(3);
    ASSERT_TRUE(workers.StartSearch(&request, &converters));
    for (int steps = 0; steps < 3; ++steps)
        workers.Step();
    request = MakeRequest(L"X", other.Path(), &fresh);
    request.caseSensitive = 0;
    const size_t before = fresh.results.size();
    ASSERT_TRUE(workers.StartSearch(&request, &converters));
    StepToEnd(workers);
    ASSERT_EQ(fresh.results.size(), before + 1);
    EXPECT_EQ(fresh.Names().back(), L"new.txt");
    EXPECT_EQ(fresh.results.back()->matches.size(), 1u);
}

// KeepScanning is polled every 24 collected sub-directories.
class PollingIterator : public FileIterator {
public:
    int polls = 0;
    int stopAtPoll = 0;

protected:
    bool KeepScanning() override { return ++polls != stopAtPoll; }
};

TEST_F(SearcherTest, KeepScanningEveryTwentyFourSubdirectories) {
    for (int i = 0; i < 50; ++i)
        dir.MakeDir(L"d" + std::to_wstring(i));
    PollingIterator walker;
    walker.Begin(dir.Path().c_str(), L"*.*", 1);
    EXPECT_TRUE(walker.Step());
    // "." and ".." poll at 0 pending, then every entry until the first
    // directory, then at 24 and at 48.
    EXPECT_EQ(walker.polls, 4);

    PollingIterator stopping;
    stopping.stopAtPoll = 3;
    stopping.Begin(dir.Path().c_str(), L"*.*", 1);
    EXPECT_FALSE(stopping.Step());
}

}  // namespace

TEST_F(SearcherTest, LinksBackToADirectoryOnTheWayAreNotFollowed) {
    // The build makes test-fixtures\loop beside bin\ with a\tob -> b and
    // b\toa -> a (symbolic links of the file system): a circle that the walk
    // would follow until the paths no longer fit, searching every file in it
    // again at each turn; and a\deep\up -> a, the folder just above.
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder = self;
    folder = folder.substr(0, folder.find_last_of(L'\\') + 1) + L"..\\test-fixtures\\loop\\";
    wchar_t full[MAX_PATH];
    ASSERT_GT(GetFullPathNameW(folder.c_str(), MAX_PATH, full, nullptr), 0u);
    ASSERT_NE(GetFileAttributesW((std::wstring(full) + L"a\\tob").c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_NE(GetFileAttributesW((std::wstring(full) + L"a\\deep\\up").c_str()), INVALID_FILE_ATTRIBUTES);
    request = MakeRequest(L"", full, &sink);
    Searcher searcher;
    RunToEnd(searcher);
    std::vector<std::wstring> names;
    for (FileResult* r : sink.results)
        names.push_back(std::wstring(r->location).substr(wcslen(full)) + r->name);
    std::sort(names.begin(), names.end());
    // Each file directly, and once more through the one link that leads to
    // it from the other folder; never through a second turn of the circle.
    EXPECT_EQ(names, (std::vector<std::wstring>{L"a\\f.txt", L"a\\tob\\g.txt", L"b\\g.txt", L"b\\toa\\f.txt"}));
}
