// Searching by side and by pairs: which hits count in bilingual files, and
// the segments a row keeps with their hits placed in the shown texts.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "converters/ConverterList.h"
#include "search/Searcher.h"
#include "tests/RecordingSink.h"
#include "tests/TestFiles.h"

namespace {

using Spans = std::vector<std::pair<int, int>>;

Spans SpansOf(const std::vector<ShownSpan>& spans) {
    Spans out;
    for (const ShownSpan& s : spans)
        out.push_back({s.begin, s.end});
    return out;
}

class SegmentSearchTest : public testing::Test {
protected:
    SegmentSearchTest() : sink(&request) {
        converters.BuildConverters(ConverterModeOffice);
        // A catalogue's text is "msgid CR LF msgstr CR LF" per entry:
        // "red car\r\nrotes Auto red\r\ngreen\r\ngr\u00fcn red\r\n".
        dir.WriteFile(L"a.po",
                      "msgid \"red car\"\nmsgstr \"rotes Auto red\"\n\n"
                      "msgid \"green\"\nmsgstr \"gr\xC3\xBCn red\"\n");
        dir.WriteFile(L"plain.txt", "red\n");
        dir.WriteFile(L"broken.xlf", "<xliff><file><trans-unit><source>red");
    }

    // "name count" for each row, in the order of the walk (sorted names here).
    std::vector<std::string> Search(const std::wstring& text, int side, const std::wstring& target = L"",
                                  bool notTarget = false) {
        request = MakeRequest(text, dir.Path(), &sink);
        request.side = side;
        wcsncpy(request.targetText, target.c_str(), kPathChars - 1);
        request.notTarget = notTarget;
        request.keepSegments = 1;
        tweak(request);
        for (FileResult* r : sink.results)
            r->Release();
        sink.results.clear();
        Searcher searcher;
        if (!searcher.StartSearch(&request, &converters))
            return {"refused"};
        while (searcher.Step()) {
        }
        std::vector<std::string> rows;
        for (FileResult* r : sink.results) {
            std::string name;
            for (const wchar_t* p = r->name; *p; ++p)
                name += static_cast<char>(*p);
            rows.push_back(name + " " + (r->status == kFileFailed ? "failed" : std::to_string(r->matches.size())));
        }
        return rows;
    }

    const FileResult* Row(const wchar_t* name) const {
        for (FileResult* r : sink.results) {
            if (std::wstring(r->name) == name)
                return r;
        }
        return nullptr;
    }

    TempDir dir;
    SearchRequest request{};
    RecordingSink sink;
    ConverterList converters;
    std::function<void(SearchRequest&)> tweak = [](SearchRequest&) {};
};

using Rows = std::vector<std::string>;

TEST_F(SegmentSearchTest, SidesCountHitsThatStartInThem) {
    EXPECT_EQ(Search(L"red", kSideBoth), (Rows{"a.po 3", "broken.xlf failed", "plain.txt 1"}));
    EXPECT_EQ(Search(L"red", kSideSource), (Rows{"a.po 1", "broken.xlf failed", "plain.txt 1"}))
        << "files without segments are searched whole; failures are never hidden";
    EXPECT_EQ(Search(L"red", kSideTarget), (Rows{"a.po 2", "broken.xlf failed", "plain.txt 1"}));
    EXPECT_EQ(Search(L"green", kSideTarget), (Rows{"broken.xlf failed"})) << "no hit that counts: no row";
    // A hit belongs to the side it starts in, wherever it ends.
    EXPECT_EQ(Search(L"car\r\nrot", kSideSource), (Rows{"a.po 1", "broken.xlf failed"}));
    EXPECT_EQ(Search(L"car\r\nrot", kSideTarget), (Rows{"broken.xlf failed"}));
    // The line break between the sides belongs to neither: a hit that starts
    // on it counts for no side.
    tweak = [](SearchRequest& r) { r.regex = 1; };
    EXPECT_EQ(Search(L"\\s+rotes", kSideSource), (Rows{"broken.xlf failed"}));
    EXPECT_EQ(Search(L"\\s+rotes", kSideBoth), (Rows{"a.po 1", "broken.xlf failed"}));
    // The limit counts only hits that count: with one allowed, the target's.
    tweak = [](SearchRequest& r) { r.maximumMatch = 1; };
    EXPECT_EQ(Search(L"red", kSideTarget), (Rows{"a.po 1", "broken.xlf failed", "plain.txt 1"}));
    EXPECT_EQ(Row(L"a.po")->matches[0]->start, 20);
}

TEST_F(SegmentSearchTest, TargetConditionWithEveryMatchingOption) {
    // Contain: only the first entry's target holds "rot".
    EXPECT_EQ(Search(L"red", kSideBoth, L"rot"), (Rows{"a.po 2", "broken.xlf failed"}))
        << "files without segments give no row under a condition";
    EXPECT_EQ(Search(L"red", kSideSource, L"rot", true), (Rows{"broken.xlf failed"}));
    EXPECT_EQ(Search(L"green", kSideSource, L"rot", true), (Rows{"a.po 1", "broken.xlf failed"}));
    // The condition's text is matched with the search's options.
    EXPECT_EQ(Search(L"red", kSideSource, L"ROT"), (Rows{"broken.xlf failed"})) << "case counts";
    tweak = [](SearchRequest& r) { r.caseSensitive = 0; };
    EXPECT_EQ(Search(L"RED", kSideSource, L"ROT"), (Rows{"a.po 1", "broken.xlf failed"}));
    tweak = [](SearchRequest& r) { r.wholeWords = 1; };
    EXPECT_EQ(Search(L"red", kSideSource, L"rote"), (Rows{"broken.xlf failed"})) << "\"rotes\" is no whole word \"rote\"";
    EXPECT_EQ(Search(L"red", kSideSource, L"rotes"), (Rows{"a.po 1", "broken.xlf failed"}));
    tweak = [](SearchRequest& r) { r.regex = 1; };
    EXPECT_EQ(Search(L"re.", kSideBoth, L"gr.n"), (Rows{"a.po 2", "broken.xlf failed"}));
    EXPECT_EQ(Search(L"red", kSideBoth, L"gr(n"), (Rows{"refused"})) << "a bad condition is reported like a bad search";
    // A condition's hit in a source does not make its segment qualify.
    tweak = [](SearchRequest&) {};
    EXPECT_EQ(Search(L"red", kSideBoth, L"green"), (Rows{"broken.xlf failed"}));
}

TEST_F(SegmentSearchTest, RowsKeepTheirSegmentsWithHitsInTheShownTexts) {
    Search(L"red", kSideBoth, L"r\u00fcn");
    const FileResult* row = Row(L"a.po");
    ASSERT_TRUE(row);
    ASSERT_EQ(row->segments.size(), 1u);
    const ShownSegment& s = row->segments[0];
    EXPECT_EQ(s.id, L"#2");
    EXPECT_EQ(s.source, L"green");
    EXPECT_EQ(s.target, L"gr\u00fcn red");
    EXPECT_EQ(SpansOf(s.sourceHits), Spans{});
    EXPECT_EQ(SpansOf(s.targetHits), (Spans{{5, 8}}));
    EXPECT_EQ(SpansOf(s.conditionHits), (Spans{{1, 4}}));

    // Without a condition every segment holding a hit, in document order, once.
    Search(L"re", kSideBoth);
    row = Row(L"a.po");
    ASSERT_TRUE(row);
    ASSERT_EQ(row->segments.size(), 2u);
    EXPECT_EQ(SpansOf(row->segments[0].sourceHits), (Spans{{0, 2}}));
    EXPECT_EQ(SpansOf(row->segments[0].targetHits), (Spans{{11, 13}}));
    EXPECT_EQ(SpansOf(row->segments[1].sourceHits), (Spans{{1, 3}}));
    EXPECT_TRUE(row->segments[1].conditionHits.empty());
    EXPECT_TRUE(Row(L"plain.txt")->segments.empty());
}

TEST_F(SegmentSearchTest, TheConditionIsMarkedInTheShownTargetsAndOnlyThere) {
    // Sixty entries whose targets all hold "e"; the search text is in
    // the sources of the 3rd and the last.
    std::string po;
    for (int i = 1; i <= 60; ++i) {
        const std::string word = i == 3 || i == 60 ? "needle" : "straw";
        po += "msgid \"" + word + " " + std::to_string(i) + "\"\nmsgstr \"eine Zeile " + std::to_string(i) + "\"\n\n";
    }
    dir.WriteFile(L"many.po", po);
    for (const bool regex : {false, true}) {
        tweak = [regex](SearchRequest& r) { r.regex = regex; };
        Search(L"needle", kSideSource, regex ? L"e(?=i)" : L"e");
        const FileResult* row = Row(L"many.po");
        ASSERT_TRUE(row);
        ASSERT_EQ(row->segments.size(), 2u);
        EXPECT_EQ(row->segments[0].target, L"eine Zeile 3");
        EXPECT_EQ(row->segments[1].target, L"eine Zeile 60");
        for (const ShownSegment& segment : row->segments)
            EXPECT_EQ(SpansOf(segment.conditionHits), regex ? (Spans{{0, 1}, {6, 7}}) : (Spans{{0, 1}, {3, 4}, {6, 7}, {9, 10}}))
                << segment.target << " " << regex;
    }
    // Not containing: the rows' targets hold none of it to mark.
    tweak = [](SearchRequest&) {};
    Search(L"needle", kSideSource, L"Zeile 3", true);
    const FileResult* row = Row(L"many.po");
    ASSERT_TRUE(row);
    ASSERT_EQ(row->segments.size(), 1u);
    EXPECT_EQ(row->segments[0].target, L"eine Zeile 60");
    EXPECT_TRUE(row->segments[0].conditionHits.empty());
}

TEST(ShowSide, SpansFollowTheShownText) {
    const std::wstring text = L"  ab  cd\r\n\tef gh";
    const std::vector<TextRange> side = {{0, 8}, {11, 16}};  // shown "ab cd ef gh"
    const struct {
        ShownSpan span;
        Spans shown;
    } cases[] = {
        {{2, 4}, {{0, 2}}},    // "ab"
        {{0, 3}, {{0, 1}}},    // leading space is not shown
        {{3, 7}, {{1, 4}}},    // "b  c" is "b c"
        {{4, 6}, {}},          // only white space
        {{6, 13}, {{3, 8}}},   // across the pieces: "cd ef"
        {{14, 40}, {{9, 11}}}, // past the side's end
        {{8, 11}, {}},         // between the pieces
    };
    for (const auto& c : cases) {
        std::vector<ShownSpan> shown;
        EXPECT_EQ(ShowSide(text.c_str(), text.size(), side, {c.span}, &shown), L"ab cd ef gh");
        EXPECT_EQ(SpansOf(shown), c.shown) << c.span.begin << "-" << c.span.end;
    }
}

}  // namespace
