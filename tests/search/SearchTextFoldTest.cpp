// Search texts folded like the documents: literal texts, regular expressions
// (their metacharacters' look-alikes escaped) and the target condition.
#include <gtest/gtest.h>

#include <string>

#include "converters/ConverterList.h"
#include "search/RegexMatcher.h"
#include "search/SearchTextFold.h"
#include "search/Searcher.h"
#include "tests/RecordingSink.h"
#include "tests/TestFiles.h"

namespace {

TEST(SearchTextFold, LiteralTextsFoldWhole) {
    EXPECT_EQ(FoldLiteralText(L"\u201CSave\u201D \u201ESpeichern\u201C"), L"\"Save\" \"Speichern\"");
    EXPECT_EQ(FoldLiteralText(L"\uFF21\uFF42\uFF43 a\u2013b\u202Fc"), L"Abc a-b c");
    EXPECT_EQ(FoldLiteralText(L"plain ASCII (a+b)*"), L"plain ASCII (a+b)*");
    EXPECT_EQ(FoldLiteralText(L"caf\u00E9 na\u00EFve\u00A0x"), L"caf\u00E9 na\u00EFve\u00A0x") << "letters stay";
}

TEST(SearchTextFold, ExpressionsKeepTheirMeaning) {
    struct Case {
        const wchar_t* pattern;
        const wchar_t* folded;
    };
    const Case cases[] = {
        // ASCII comes back as it was, whatever it holds.
        {L"colou?r\\s+\\w+ [a-z]{2,3} (?i)x|y$ \\Q\u201C\\E", L"colou?r\\s+\\w+ [a-z]{2,3} (?i)x|y$ \\Q\"\\E"},
        // The fullwidth form of every metacharacter is that character, escaped.
        {L"\uFF08\uFF09\uFF3B\uFF3D\uFF5B\uFF5D\uFF0A\uFF0B\uFF1F\uFF0E\uFF04\uFF3E\uFF5C\uFF3C",
         L"\\(\\)\\[\\]\\{\\}\\*\\+\\?\\.\\$\\^\\|\\\\"},
        // Other look-alikes of metacharacters too: the ellipsis, the vertical line of box drawing.
        {L"wait\u2026\u2500", L"wait\\.\\|"},
        // Typographic quotes and dashes fold; the user's escapes and groups stay.
        {L"\u201C(\\w+)\u201D\u2013\\d", L"\"(\\w+)\"-\\d"},
        // In a bracket: its own metacharacters are escaped, ranges and class names stay.
        {L"[\u201C\u201D\uFF3D\u2010-\u2015][^\uFF3E][[:alpha:]\uFF21-\uFF3A]", L"[\"\"\\]\\--\\-][^\\^][[:alpha:]A-Z]"},
        // Between \Q and \E every character is literal, a folded backslash too.
        {L"\\Q\uFF08\uFE68\\E", L"\\Q(\\E\\\\\\Q\\E"},
    };
    for (const Case& c : cases) {
        const std::wstring folded = FoldRegexText(c.pattern);
        EXPECT_EQ(folded, c.folded) << testing::PrintToString(std::wstring(c.pattern));
        EXPECT_TRUE(RegexMatcher::Compile(folded.c_str(), nullptr, nullptr)) << "still compiles";
    }
}

// A search text that holds typographic characters finds the file that holds
// exactly them and the one written with ASCII; so does the target condition.
TEST(SearchTextFold, SearchesFindWhatThePastedTextShows) {
    TempDir dir;
    dir.WriteFile(L"curly.txt", "click \xE2\x80\x9C" "Save\xE2\x80\x9D now \xEF\xBC\x88" "a)");
    dir.WriteFile(L"straight.txt", "click \"Save\" now (a)");
    dir.WriteFile(L"other.txt", "click Save now");
    dir.WriteFile(L"seg.xlf",
                  "<xliff version=\"1.2\"><file><body>"
                  "<trans-unit id=\"1\"><source>Save</source><target>\xE2\x80\x9E" "Speichern\xE2\x80\x9C</target></trans-unit>"
                  "<trans-unit id=\"2\"><source>Save</source><target>Sichern</target></trans-unit>"
                  "</body></file></xliff>");
    ConverterList converters;
    converters.SetReadUtf8(true);
    converters.BuildConverters(ConverterModeIFilter);
    SearchRequest request;
    RecordingSink sink(&request);
    auto run = [&](const wchar_t* text, int regex, const wchar_t* target = L"") {
        request = MakeRequest(text, dir.Path(), &sink);
        request.regex = regex;
        wcscpy(request.targetText, target);
        request.keepSegments = 1;
        sink.results.clear();
        Searcher searcher;
        EXPECT_TRUE(searcher.StartSearch(&request, &converters));
        while (searcher.Step()) {
        }
        return sink.Names();
    };
    const std::vector<std::wstring> quoted{L"curly.txt", L"straight.txt"};
    EXPECT_EQ(run(L"\u201CSave\u201D", 0), quoted);
    EXPECT_EQ(run(L"\"Save\"", 0), quoted);
    EXPECT_EQ(run(L"\u201CSave\u201D now \uFF08a\uFF09", 1), quoted) << "fullwidth parentheses are literal";
    EXPECT_EQ(run(L"Save", 0, L"\u201ESpeichern\u201C"), std::vector<std::wstring>{L"seg.xlf"});
    ASSERT_EQ(sink.results.size(), 1u);
    EXPECT_EQ(sink.results[0]->matches.size(), 1u) << "only the segment whose target holds the pasted text";
    // The segment shows the file's own quotes, the condition's hit over them.
    ASSERT_EQ(sink.results[0]->segments.size(), 1u);
    const ShownSegment& segment = sink.results[0]->segments[0];
    EXPECT_EQ(segment.target, L"\u201ESpeichern\u201C");
    ASSERT_EQ(segment.conditionHits.size(), 1u);
    EXPECT_EQ(segment.conditionHits[0].begin, 0);
    EXPECT_EQ(segment.conditionHits[0].end, 11);
}

}  // namespace
