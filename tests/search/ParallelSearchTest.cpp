// The search with workers against the search without: the same rows, with
// the same matches, contexts and segments, in the same order, over a tree of
// every kind of file; and the components that have rules of their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "converters/ConverterList.h"
#include "search/SearchPool.h"
#include "search/Searcher.h"
#include "tests/ConverterRegistration.h"
#include "tests/FilterRegistration.h"
#include "tests/RecordingSink.h"
#include "tests/TestFiles.h"
#include "tests/ZipWriter.h"

namespace {

std::string Xliff(const std::string& units) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xliff version=\"1.2\"><file "
           "source-language=\"en\" "
           "target-language=\"de\" datatype=\"plaintext\" original=\"x\"><body>" +
           units + "</body></file></xliff>\n";
}

std::string Unit(int id, const std::string& source, const std::string& target) {
    return "<trans-unit id=\"" + std::to_string(id) + "\"><source>" + source + "</source><target>" +
           target + "</target></trans-unit>";
}

// Hits and misses in plain text of several sizes (a large one first in its
// folder, so that later small files finish before it), empty files, XLIFF
// with segments, an XLZ archive, broken XML and a broken archive, filtered
// files and import-converted files.
void WriteMixedTree(TempDir& dir) {
    std::string large;
    for (int i = 0; i < 20000; ++i)
        large += i % 997 == 0 ? "a needle in a large file\r\n" : "nothing to see on this line\r\n";
    dir.WriteFile(L"a\\00-large.txt", large);
    for (int i = 0; i < 24; ++i) {
        const std::wstring n = std::to_wstring(i);
        dir.WriteFile(L"a\\hit" + n + L".txt",
                      "line one\nthe Needle " + std::to_string(i) + " and needle\n");
        dir.WriteFile(L"a\\b\\miss" + n + L".txt", "no such word here " + std::to_string(i));
        if (i % 6 == 0)
            dir.WriteFile(L"a\\b\\empty" + n + L".txt", "");
    }
    for (int i = 0; i < 8; ++i) {
        const std::string units = Unit(1, "first needle " + std::to_string(i), "erste Nadel") +
                                  Unit(2, "nothing", "nichts") + Unit(3, "second", "zweite needle");
        dir.WriteFile(L"c\\doc" + std::to_wstring(i) + L".xlf", Xliff(units));
    }
    dir.WriteFile(L"c\\broken.xlf", "<xliff><file><body><trans-unit id=\"1\"><source>needle</sour");
    ZipLayout xlz;
    xlz.entries.push_back({"content.xlf", Xliff(Unit(7, "packed needle", "gepackte needle"))});
    dir.WriteFile(L"c\\pack.xlz", BuildZip(xlz));
    dir.WriteFile(L"c\\corrupt.xlz", "PK\x03\x04 not really an archive needle");
    for (int i = 0; i < 6; ++i) {
        dir.WriteFile(L"d\\report" + std::to_wstring(i) + L".mtfb",
                      "TEXT EOP a filtered needle\nVALUE title needle\nTEXT EOW and needle " +
                          std::to_string(i) + "\n");
        dir.WriteFile(L"d\\letter" + std::to_wstring(i) + L".mtc",
                      "MTCV\n{\\rtf1\\ansi An imported needle {\\v hidden needle} " +
                          std::to_string(i) + "\\par}");
    }
    for (int i = 0; i < 30; ++i)
        dir.WriteFile(L"e\\tail" + std::to_wstring(i) + L".txt",
                      i % 2 ? "needle at the end" : "none");
}

// Everything of a row that a list line, a segment list or an export shows.
std::wstring Describe(const FileResult& r) {
    std::wstring s = r.location + r.name + L" status " + std::to_wstring(r.status) + L" line " +
                     std::to_wstring(r.firstHitLine);
    for (const auto& m : r.matches)
        s += L"\n  " + std::to_wstring(m->start) + L"-" + std::to_wstring(m->end) + L" @" +
             std::to_wstring(m->contextStart) + L" " + m->context;
    auto spans = [](const std::vector<ShownSpan>& v) {
        std::wstring out;
        for (const ShownSpan& h : v)
            out += L" " + std::to_wstring(h.begin) + L"-" + std::to_wstring(h.end);
        return out;
    };
    for (const ShownSegment& g : r.segments)
        s += L"\n  segment " + g.id + L" | " + g.source + L" | " + g.target + L" |" +
             spans(g.sourceHits) + L" |" + spans(g.targetHits) + L" |" + spans(g.conditionHits);
    return s;
}

struct Outcome {
    std::vector<std::wstring> rows;
    std::vector<std::wstring> statusTexts;
    std::vector<int> counters;  // searched, matched, matches, failed
};

class ParallelSearchTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        registered = RegisterTestFilter() && RegisterTestConverters();
    }

    Outcome Search(SearchRequest request, int mode, int workers) {
        RecordingSink sink(&request);
        request.sink = &sink;
        ConverterList converters;
        converters.BuildConverters(mode);
        Searcher searcher;
        searcher.SetWorkers(workers);
        EXPECT_TRUE(searcher.StartSearch(&request, &converters));
        int steps = 0;
        while (searcher.Step() && ++steps < 1000000) {
            if (searcher.IsWaiting())
                if (WaitForSingleObject(searcher.WorkerEvent(), 10000) != WAIT_OBJECT_0) {
                    ADD_FAILURE() << "the file waited for finished without a word";
                    break;
                }
        }
        sink.SetSearching(0);
        Outcome o;
        for (FileResult* r : sink.results) o.rows.push_back(Describe(*r));
        o.statusTexts = sink.statusTexts;
        o.counters = {request.filesSearched, request.filesMatched, request.matchCount,
                      request.filesFailed};
        return o;
    }

    static bool registered;
    TempDir dir;
};

bool ParallelSearchTest::registered = false;

TEST_F(ParallelSearchTest, AnyNumberOfWorkersGivesTheRowsOfOneThreadInWalkOrder) {
    ASSERT_TRUE(registered);
    WriteMixedTree(dir);
    SearchRequest literal = MakeRequest(L"needle", dir.Path(), nullptr);
    literal.caseSensitive = 0;
    literal.keepSegments = 1;
    SearchRequest regex = MakeRequest(L"need\\w+", dir.Path(), nullptr);
    regex.regex = 1;
    regex.side = kSideSource;
    SearchRequest condition = MakeRequest(L"needle", dir.Path(), nullptr);
    wcscpy(condition.targetText, L"Nadel");
    condition.keepSegments = 1;
    struct Case {
        const char* name;
        SearchRequest request;
        int mode;
    } cases[] = {{"literal, filters", literal, ConverterModeIFilter},
                 {"literal, import converters", literal, ConverterModeOffice},
                 {"expression on the source side", regex, ConverterModeIFilter},
                 {"target condition", condition, ConverterModeOffice}};
    for (const Case& c : cases) {
        const Outcome one = Search(c.request, c.mode, 1);
        ASSERT_GT(one.rows.size(), 8u) << c.name;
        for (int workers : {2, 3, 8}) {
            const Outcome many = Search(c.request, c.mode, workers);
            EXPECT_EQ(many.rows, one.rows) << c.name << ", " << workers << " workers";
            EXPECT_EQ(many.statusTexts, one.statusTexts) << c.name << ", " << workers << " workers";
            EXPECT_EQ(many.counters, one.counters) << c.name << ", " << workers << " workers";
        }
    }
    // The tree holds what it is meant to: failed files, filtered and
    // imported text, archives and segments, all in one search.
    const Outcome office = Search(literal, ConverterModeOffice, 3);
    const Outcome filters = Search(literal, ConverterModeIFilter, 3);
    auto holds = [](const Outcome& o, const std::wstring& part) {
        return std::any_of(o.rows.begin(), o.rows.end(), [&](const std::wstring& row) {
            return row.find(part) != std::wstring::npos;
        });
    };
    EXPECT_TRUE(holds(filters, L"broken.xlf status -1"));
    EXPECT_TRUE(holds(filters, L"corrupt.xlz status -1"));
    EXPECT_TRUE(holds(filters, L"a filtered needle"));
    EXPECT_TRUE(holds(office, L"An imported needle"));
    EXPECT_TRUE(holds(filters, L"segment 7 | packed needle"));
    EXPECT_EQ(filters.counters[3], 2);
}

TEST_F(ParallelSearchTest, FiltersRunInOneHostPerWorkerInItsApartment) {
    ASSERT_TRUE(registered);
    for (int i = 0; i < 12; ++i)
        dir.WriteFile(L"f" + std::to_wstring(i) + L".mtfb", "APARTMENT\nTEXT EOP needle\n");
    SearchRequest request = MakeRequest(L"apartment", dir.Path(), nullptr);
    request.maximumMatch = 5;
    const Outcome o = Search(request, ConverterModeIFilter, 3);
    ASSERT_EQ(o.rows.size(), 12u);
    std::set<std::wstring> hosts;
    for (const std::wstring& row : o.rows) {
        const size_t at = row.find(L"apartment ");
        ASSERT_NE(at, std::wstring::npos) << row;
        EXPECT_EQ(row.substr(at, 13), L"apartment sta") << row;
        const size_t process = row.find(L"process ", at);
        ASSERT_NE(process, std::wstring::npos) << row;
        const std::wstring id = row.substr(process + 8, row.find_first_not_of(L"0123456789", process + 8) - process - 8);
        EXPECT_NE(id, std::to_wstring(GetCurrentProcessId())) << "a filter ran in the program's process";
        hosts.insert(id);
    }
    EXPECT_GE(hosts.size(), 1u);
    EXPECT_LE(hosts.size(), 3u) << "one host per worker, kept from file to file";
    EXPECT_EQ(GetModuleHandleW(L"mirlock-test-filter.dll"), nullptr);
}

TEST_F(ParallelSearchTest, ImportConvertersStillConvertOneAtATime) {
    ASSERT_TRUE(registered);
    for (int i = 0; i < 10; ++i)
        dir.WriteFile(L"letter" + std::to_wstring(i) + L".mtc",
                      "MTCV\n{\\rtf1\\ansi letter " + std::to_string(i) + " with a needle\\par}");
    TestConverterLog();
    TestConverterMostAtOnce();
    const Outcome o = Search(MakeRequest(L"needle", dir.Path(), nullptr), ConverterModeOffice, 8);
    ASSERT_EQ(o.rows.size(), 10u);
    for (const std::wstring& row : o.rows) {
        const size_t name = row.find(L"letter");
        ASSERT_NE(name, std::wstring::npos) << row;
        const std::wstring number = row.substr(name + 6, row.find(L".mtc") - name - 6);
        EXPECT_NE(row.find(L"letter " + number + L" with a needle"), std::wstring::npos) << row;
    }
    EXPECT_EQ(TestConverterMostAtOnce(), 1);
}

}  // namespace
