// Literal and regular-expression matching, AddMatch limits and context cuts.
#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "base/FoldText.h"
#include "base/TextScan.h"
#include "search/ContextCut.h"
#include "search/FileJob.h"
#include "search/Matcher.h"
#include "search/RegexMatcher.h"
#include "search/ResultExport.h"
#include "search/WholeWord.h"
#include "tests/RecordingSink.h"

namespace {

// Runs the matcher over `text` as the per-file job does and returns the
// job's records as "start-end" strings.
class MatcherTest : public testing::Test {
protected:
    MatcherTest() : sink(&request) { request = MakeRequest(L"", L"C:\\", &sink); }

    std::vector<std::string> Run(std::wstring text, const std::wstring& needle,
                                 MatchOutcome* outcome = nullptr) {
        wcscpy(request.searchText, needle.c_str());
        std::unique_ptr<RegexMatcher> regex;
        if (request.regex) {
            regex = RegexMatcher::Compile(needle.c_str(), nullptr, nullptr);
            EXPECT_TRUE(regex) << "pattern does not compile";
        }
        FoldText(text.size(), text.data());
        job = std::make_unique<FileJob>();
        job->path = L"C:\\dir\\file.txt";
        job->request = &request;
        job->entry = std::make_unique<WIN32_FIND_DATAW>();
        wcscpy(job->entry->cFileName, L"file.txt");
        job->text = text.data();
        job->textLength = static_cast<int>(text.size());
        keptText = std::move(text);
        job->text = keptText.data();
        const MatchOutcome o = MatchText(*job, regex.get());
        if (outcome)
            *outcome = o;
        std::vector<std::string> hits;
        if (job->result) {
            for (const auto& m : job->result->matches)
                hits.push_back(std::to_string(m->start) + "-" + std::to_string(m->end));
        }
        return hits;
    }

    void TearDown() override {
        if (job && job->result) {
            job->result->Release();
            job->result = nullptr;
        }
    }

    SearchRequest request;
    RecordingSink sink;
    std::unique_ptr<FileJob> job;
    std::wstring keptText;
};

using Hits = std::vector<std::string>;

TEST_F(MatcherTest, LiteralSearchFindsNonOverlappingHits) {
    EXPECT_EQ(Run(L"aaaa", L"aa"), (Hits{"0-2", "2-4"}));
    EXPECT_EQ(Run(L"abc abc", L"bc"), (Hits{"1-3", "5-7"}));
    EXPECT_EQ(Run(L"nothing here", L"zzz"), Hits{});
    EXPECT_EQ(job->result, nullptr) << "no hit, no FileResult";
}

TEST_F(MatcherTest, CaseFlagAppliesToLiteralSearchOnly) {
    EXPECT_EQ(Run(L"Word WORD word", L"word"), (Hits{"10-14"}));
    request.caseSensitive = 0;
    EXPECT_EQ(Run(L"Word WORD word", L"word"), (Hits{"0-4", "5-9", "10-14"}));
    EXPECT_EQ(Run(L"\u00C9T\u00C9 \u00E9t\u00E9", L"\u00E9t\u00E9"), (Hits{"0-3", "4-7"}));
    request.regex = 1;
    EXPECT_EQ(Run(L"WORD word", L"word"), (Hits{"5-9"}));
    EXPECT_EQ(Run(L"WORD word", L"(?i)word"), (Hits{"0-4", "5-9"}));
    EXPECT_EQ(Run(L"WoRd", L"(?i)word"), (Hits{"0-4"})) << "a text no longer than the hit";
}

TEST_F(MatcherTest, FoldedDocumentTextMatchesStraightQuotesButSearchTextIsNotFolded) {
    EXPECT_EQ(Run(L"say \u201Chello\u201D now", L"\"hello\""), (Hits{"4-11"}));
    EXPECT_EQ(Run(L"say \u201Chello\u201D now", L"\u201Chello"), Hits{});
}

TEST_F(MatcherTest, MaximumMatchKeepsAtLeastOneRecord) {
    for (int limit : {0, 1}) {
        request.maximumMatch = limit;
        EXPECT_EQ(Run(L"x x x", L"x"), (Hits{"0-1"})) << "limit " << limit;
        EXPECT_TRUE(job->result->limited);
        TearDown();
        job.reset();
    }
    request.maximumMatch = 2;
    EXPECT_EQ(Run(L"x x x", L"x"), (Hits{"0-1", "2-3"}));
    EXPECT_TRUE(job->result->limited) << "a third hit followed";
    EXPECT_EQ(ExportMatches(*job->result), L"2+");
    EXPECT_NE(JsonRow(*job->result, false, false).find("\"count\":2,\"limited\":true"), std::string::npos);
    TearDown();
    EXPECT_EQ(Run(L"x x", L"x"), (Hits{"0-1", "2-3"}));
    EXPECT_FALSE(job->result->limited) << "exactly as many hits as the limit: no more";
    EXPECT_EQ(ExportMatches(*job->result), L"2");
}

TEST_F(MatcherTest, RegexRestartsTreatNewStartAsTextStart) {
    request.regex = 1;
    EXPECT_EQ(Run(L"colour color colr", L"colou?r"), (Hits{"0-6", "7-12"}));
    // Each restart is the beginning of a text for ^.
    EXPECT_EQ(Run(L"aaa", L"^a"), (Hits{"0-1", "1-2", "2-3"}));
}

TEST_F(MatcherTest, EmptyRegexMatchStepsOneCharacterFurther) {
    request.regex = 1;
    EXPECT_EQ(Run(L"ab", L"x*"), (Hits{"0-0", "1-1", "2-2"}));
    EXPECT_EQ(Run(L"aXb", L"X*"), (Hits{"0-0", "1-2", "2-2", "3-3"}));
}

// The rule the matcher keeps, written out plainly: after every hit the
// library searches anew, the character after the hit being the start of a
// text (for anchors, word boundaries and look-behind alike); an empty hit
// steps one character further; a hit that is no whole word (when asked)
// is searched past from its next character.
Hits RestartAfterEachHit(const RegexMatcher& regex, const std::wstring& text, bool wholeWords,
                         bool* abandoned) {
    const wchar_t* const begin = text.data();
    const wchar_t* const last = begin + text.size();
    const int length = static_cast<int>(text.size());
    const wchar_t* from = begin;
    Hits hits;
    *abandoned = false;
    for (;;) {
        const wchar_t* matchBegin = nullptr;
        const wchar_t* matchEnd = nullptr;
        const RegexMatcher::SearchResult r =
            regex.SearchPlainly(from, last, &matchBegin, &matchEnd);
        if (r != RegexMatcher::SearchResult::kFound) {
            *abandoned = r == RegexMatcher::SearchResult::kAbandoned;
            return hits;
        }
        const int start = static_cast<int>(matchBegin - begin);
        const int end = static_cast<int>(matchEnd - begin);
        if (wholeWords && !IsWholeWord(begin, length, start, end)) {
            if (matchBegin == last)
                return hits;
            from = matchBegin + 1;
            continue;
        }
        hits.push_back(std::to_string(start) + "-" + std::to_string(end));
        if (matchEnd == matchBegin) {
            if (matchEnd == last)
                return hits;
            from = matchEnd + 1;
        } else {
            from = matchEnd;
        }
    }
}

// Random expressions over a small alphabet, half of them beginning with
// plain literals (the case the matcher's literal pre-filter takes), with
// anchors, word boundaries, look-around, classes, groups, alternatives,
// lazy and empty-matching quantifiers.
std::wstring RandomExpression(std::mt19937& random) {
    static const wchar_t* const kAtoms[] = {
        L"a",   L"b",   L"c",           L" ",   L"_",    L"\u00e9",  L".",
        L"\\w", L"\\W", L"\\s",         L"\\d", L"[ab]", L"[^a\\n]", L"\\n",
        L"\\r", L"1",   L"[[:alpha:]]", L"\\h", L"\\v",  L"(?i)A"};
    static const wchar_t* const kAssertions[] = {
        L"^",      L"$",       L"\\b",    L"\\B",   L"\\A",   L"\\z", L"\\Z", L"\\G",   L"(?<=a)",
        L"(?<!b)", L"(?<=ab)", L"(?<= )", L"(?=a)", L"(?!b)", L"\\<", L"\\>", L"(?m)^", L"(?-m)$"};
    static const wchar_t* const kQuantifiers[] = {L"",    L"",      L"",   L"*",  L"+", L"?",
                                                  L"{0}", L"{1,2}", L"*?", L"+?", L"??"};
    static const wchar_t* const kLeading[] = {L"^", L"\\b", L"\\B", L"\\<", L"\\>", L"\\A", L"\\`"};
    std::wstring pattern;
    if (random() % 2) {
        // Assertions that match no characters may stand before the literals.
        while (random() % 3 == 0) pattern += kLeading[random() % std::size(kLeading)];
        const int literals = 2 + static_cast<int>(random() % 3);
        for (int i = 0; i < literals; ++i) pattern += L"abc "[random() % 4];
    }
    const int pieces = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < pieces; ++i) {
        switch (random() % 6) {
            case 0:
                pattern += kAssertions[random() % std::size(kAssertions)];
                break;
            case 1:
                pattern += std::wstring(L"(") + kAtoms[random() % std::size(kAtoms)] + L"|" +
                           kAtoms[random() % std::size(kAtoms)] + L")" +
                           kQuantifiers[random() % std::size(kQuantifiers)];
                break;
            case 2:
                pattern += std::wstring(L"(?:") + kAtoms[random() % std::size(kAtoms)] +
                           kAssertions[random() % std::size(kAssertions)] + L")" +
                           kQuantifiers[random() % std::size(kQuantifiers)];
                break;
            default:
                pattern += std::wstring(kAtoms[random() % std::size(kAtoms)]) +
                           kQuantifiers[random() % std::size(kQuantifiers)];
                break;
        }
    }
    return pattern;
}

TEST_F(MatcherTest, SearchGivesWhatARestartAfterEachHitGives) {
    request.regex = 1;
    request.maximumMatch = 100000;
    std::mt19937 random(2024);
    int compiled = 0, withPrefix = 0, withHits = 0;
    for (int round = 0; round < 6000; ++round) {
        const std::wstring pattern = RandomExpression(random);
        const std::unique_ptr<RegexMatcher> regex =
            RegexMatcher::Compile(pattern.c_str(), nullptr, nullptr);
        if (!regex)
            continue;
        ++compiled;
        if (!regex->LiteralPrefix().empty())
            ++withPrefix;
        for (int t = 0; t < 6; ++t) {
            std::wstring text(random() % 40, L' ');
            for (wchar_t& c : text) c = L"aabbc  _\u00e9\n\r1"[random() % 12];
            request.wholeWords = t % 3 == 2;
            MatchOutcome outcome = MatchOutcome::kCompleted;
            const Hits hits = Run(text, pattern, &outcome);
            bool abandoned = false;
            const Hits expected =
                RestartAfterEachHit(*regex, keptText, request.wholeWords != 0, &abandoned);
            ASSERT_EQ(hits, expected)
                << "pattern " << testing::PrintToString(pattern) << " text "
                << testing::PrintToString(keptText) << " whole words " << request.wholeWords;
            ASSERT_EQ(outcome == MatchOutcome::kAbandoned, abandoned);
            if (!hits.empty())
                ++withHits;
            if (job->result) {
                job->result->Release();
                job->result = nullptr;
            }
        }
    }
    // The generator must reach what it is for: expressions that compile,
    // that take the literal pre-filter, and that find something.
    EXPECT_GT(compiled, 5000);
    EXPECT_GT(withPrefix, 700);
    EXPECT_GT(withHits, 8000);
}

TEST_F(MatcherTest, AbandonedRegexKeepsEarlierHits) {
    request.regex = 1;
    MatchOutcome outcome;
    const std::wstring text = L"xxy " + std::wstring(4000, L'x');
    EXPECT_EQ(Run(text, L"(x+x+)+y", &outcome), (Hits{"0-3"}));
    EXPECT_EQ(outcome, MatchOutcome::kAbandoned);
}

TEST_F(MatcherTest, ContextOfWorkedExamples) {
    // A hit at 10 of length 4 in 1000 characters without line breaks.
    std::wstring text(1000, L'a');
    text.replace(10, 4, L"HITS");
    EXPECT_EQ(Run(text, L"HITS"), (Hits{"10-14"}));
    const Match& first = *job->result->matches[0];
    EXPECT_EQ(first.contextStart, 0);
    EXPECT_EQ(first.context, text.substr(0, 127) + L"\u2026") << "cut inside the line: an ellipsis after it";

    // A hit at 500 of length 6 with a line feed at 470.
    text.assign(1000, L'b');
    text[470] = L'\n';
    text.replace(500, 6, L"NEEDLE");
    TearDown();
    EXPECT_EQ(Run(text, L"NEEDLE"), (Hits{"500-506"}));
    const Match& second = *job->result->matches[0];
    EXPECT_EQ(second.contextStart, 471);
    EXPECT_EQ(second.context, text.substr(471, 567 - 471) + L"\u2026");
}

TEST(ContextCut, ClipsToTextAndLongHits) {
    const std::wstring text(300, L'z');
    // A hit of 200 characters: the context begins at the hit and holds 127.
    ContextSpan span = CutContext(text.c_str(), 300, 50, 250, 127);
    EXPECT_EQ(span.begin, 50);
    EXPECT_EQ(span.stop, 177);
    // Near the end of the text the stop is the text length.
    span = CutContext(text.c_str(), 300, 295, 300, 127);
    EXPECT_EQ(span.begin, 234);
    EXPECT_EQ(span.stop, 300);
    // The line feed just before the hit moves the begin to the hit.
    const std::wstring lines = L"first line\nHIT";
    span = CutContext(lines.c_str(), 14, 11, 14, 127);
    EXPECT_EQ(span.begin, 11);
    EXPECT_EQ(span.stop, 14);
    // A line feed on the window's first character still moves the begin past it.
    std::wstring window(300, L'y');
    window[100] = L'\n';
    span = CutContext(window.c_str(), 300, 160, 168, 128);  // the window starts at 100
    EXPECT_EQ(span.begin, 101);
    EXPECT_EQ(span.stop, 228);
    window[100] = L'y';
    window[99] = L'\n';  // just outside the window: nothing moves
    span = CutContext(window.c_str(), 300, 160, 168, 128);
    EXPECT_EQ(span.begin, 100);
}

// The block scans against plain loops: line feeds at every offset of the
// eight-unit steps for the context, and needles of one to five units
// straddling the steps for the literal finder.
TEST(TextScan, BlockScansAgreeWithPlainLoops) {
    for (int length = 0; length <= 40; ++length) {
        for (int lineFeed = -1; lineFeed < length; ++lineFeed) {
            std::wstring text(static_cast<size_t>(length), L'a');
            if (lineFeed >= 0) {
                text[static_cast<size_t>(lineFeed)] =
                    L'\n';  // and an earlier one in the same step or before
                text[static_cast<size_t>(lineFeed / 2)] = L'\n';
            }
            for (int from = 0; from <= length; ++from) {
                const wchar_t* found =
                    FindLastUnit(text.data() + from, text.data() + length, L'\n');
                int expected = -1;
                if (lineFeed >= from)
                    expected = lineFeed;
                else if (lineFeed >= 0 && lineFeed / 2 >= from)
                    expected = lineFeed / 2;
                ASSERT_EQ(found ? static_cast<int>(found - text.data()) : -1, expected)
                    << "length " << length << " line feed " << lineFeed << " from " << from;
            }
        }
    }
    std::mt19937 random(11);
    for (int round = 0; round < 3000; ++round) {
        // Every other text has few candidates, so that whole steps pass none.
        const wchar_t* alphabet = round % 2 ? L"abc" : L"xxxxxxxxxxxxab";
        std::wstring text(random() % 80, L' ');
        for (wchar_t& c : text) c = alphabet[random() % wcslen(alphabet)];
        std::wstring needle(1 + random() % 5, L' ');
        for (wchar_t& c : needle) c = L"abc"[random() % 3];
        const size_t from = text.empty() ? 0 : random() % (text.size() + 1);
        const wchar_t* hit = FindLiteral(text.data() + from, text.data() + text.size(),
                                         needle.data(), needle.size());
        const size_t expected = text.find(needle, from);
        ASSERT_EQ(hit ? static_cast<size_t>(hit - text.data()) : std::wstring::npos, expected)
            << "round " << round;
    }
}

TEST_F(MatcherTest, StopRequestRefusesRecords) {
    sink.stopRequested = true;
    EXPECT_EQ(Run(L"x x", L"x"), Hits{});
    EXPECT_EQ(job->result, nullptr);
}

TEST(RegexMatcher, CompileErrorCarriesDescriptionAndPosition) {
    std::string description;
    int position = -1;
    EXPECT_FALSE(RegexMatcher::Compile(L"ab(cd", &description, &position));
    EXPECT_FALSE(description.empty());
    EXPECT_EQ(position, 5);
    EXPECT_TRUE(RegexMatcher::Compile(L"\\w+\\s\\d", nullptr, nullptr));
}

}  // namespace

namespace {

// Every hit of `pattern` in `text`, walked as the matcher walks it.
std::vector<std::pair<size_t, size_t>> RegexHits(const RegexMatcher& regex, const std::wstring& text) {
    std::vector<std::pair<size_t, size_t>> hits;
    const wchar_t* from = text.c_str();
    const wchar_t* end = text.c_str() + text.size();
    for (;;) {
        const wchar_t* b = nullptr;
        const wchar_t* e = nullptr;
        if (regex.Search(from, end, &b, &e) != RegexMatcher::SearchResult::kFound)
            return hits;
        hits.emplace_back(b - text.c_str(), e - text.c_str());
        if (e == end)
            return hits;
        from = e == b ? e + 1 : e;
    }
}

// Compiles `pattern` as it is and as `plain` (the same expression written so
// that it takes no pre-filter) and compares their hits over random texts from
// `alphabet`. Returns whether the first took a literal prefix.
bool SameHitsWithAndWithoutPrefix(const std::wstring& pattern, const std::wstring& plain,
                                  const std::wstring& alphabet, std::mt19937& random, int texts,
                                  size_t longest) {
    auto fast = RegexMatcher::Compile(pattern.c_str(), nullptr, nullptr);
    auto slow = RegexMatcher::Compile(plain.c_str(), nullptr, nullptr);
    EXPECT_TRUE(fast && slow) << testing::PrintToString(pattern);
    if (!fast || !slow)
        return false;
    EXPECT_TRUE(slow->LiteralPrefix().empty()) << testing::PrintToString(plain);
    for (int t = 0; t < texts; ++t) {
        std::wstring text;
        for (size_t i = 0, n = random() % longest; i < n; ++i)
            text += alphabet[random() % alphabet.size()];
        EXPECT_EQ(RegexHits(*fast, text), RegexHits(*slow, text))
            << testing::PrintToString(pattern) << " in " << testing::PrintToString(text);
        if (testing::Test::HasFailure())
            return false;
    }
    return !fast->LiteralPrefix().empty();
}

TEST(RegexMatcher, LiteralPrefixSkipsAheadWithoutChangingHits) {
    // "(?:...)" around a pattern means the same and turns the prefix off.
    const std::wstring patterns[] = {L"ab",         L"ab\\w+",   L"colou?r\\s+\\w+",
                                     L"ab\\b",      L"ab\\B",    L"ab$",
                                     L"ab.{0,3}b",  L"ab c",     L"ab\\n",
                                     L"ab(?=a)",    L"abb*",     L"ab{2}",
                                     L"ba\\s*$",    L"aa\\ba",   L"ab+",
                                     L"ab(?<=b)a",  L"\\bab\\b", L"^ab",
                                     L"\\Aab",      L"\\<ab\\>", L"\\Bba",
                                     L"^\\bab\\w*", L"\\`ab",    L"\\bcolou?r\\s+\\w+",
                                     L"\\wab",      L"^.ab"};
    const std::wstring alphabet = L"aabbc \nXcolour";
    std::mt19937 random(99);
    for (const std::wstring& pattern : patterns) {
        SameHitsWithAndWithoutPrefix(pattern, L"(?:" + pattern + L")", alphabet, random, 200, 80);
        if (HasFailure())
            return;
    }
    EXPECT_EQ(RegexMatcher::Compile(L"colou?r\\s+\\w+", nullptr, nullptr)->LiteralPrefix(), L"colo");
    EXPECT_EQ(RegexMatcher::Compile(L"ab|cd", nullptr, nullptr)->LiteralPrefix(), L"");
    EXPECT_EQ(RegexMatcher::Compile(L"(?i)abc", nullptr, nullptr)->LiteralPrefix(),
              L"abc");  // case ignored
    EXPECT_EQ(RegexMatcher::Compile(L"(?im)abc", nullptr, nullptr)->LiteralPrefix(), L"");
    EXPECT_EQ(RegexMatcher::Compile(L"a(?i)bc", nullptr, nullptr)->LiteralPrefix(), L"");
    EXPECT_EQ(RegexMatcher::Compile(L"ab\\Gc", nullptr, nullptr)->LiteralPrefix(), L"");
    EXPECT_EQ(RegexMatcher::Compile(L"colour|color", nullptr, nullptr)->LiteralPrefix(), L"colo");
    EXPECT_EQ(RegexMatcher::Compile(L"ab|ab[c]", nullptr, nullptr)->LiteralPrefix(), L"");
    EXPECT_EQ(RegexMatcher::Compile(L"abc|ab\\|c", nullptr, nullptr)->LiteralPrefix(), L"");
    EXPECT_EQ(RegexMatcher::Compile(L"abc|", nullptr, nullptr)->LiteralPrefix(), L"");
    // Assertions before the literal match no characters.
    EXPECT_EQ(RegexMatcher::Compile(L"\\bthe\\b", nullptr, nullptr)->LiteralPrefix(), L"the");
    EXPECT_EQ(RegexMatcher::Compile(L"^\\<abc+", nullptr, nullptr)->LiteralPrefix(), L"ab");
    EXPECT_EQ(RegexMatcher::Compile(L"\\b\\w+", nullptr, nullptr)->LiteralPrefix(), L"");
}

TEST(RegexMatcher, AlternativesWithACommonBeginningSkipAheadWithoutChangingHits) {
    // Lists of two or three alternatives, each literals (the last one
    // maybe quantified) after maybe an assertion and before maybe more;
    // "(?:...)" around the list turns the pre-filter off.
    const wchar_t* const leading[] = {L"", L"", L"\\b", L"^", L"\\B"};
    const wchar_t* const trailing[] = {L"", L"\\w*", L"\\b", L"$", L"\\s+", L"."};
    const wchar_t* const quantifiers[] = {L"", L"", L"?", L"*", L"+", L"{2}"};
    const std::wstring alphabet = L"aabbc \nXab";
    std::mt19937 random(515);
    int withPrefix = 0;
    for (int round = 0; round < 400; ++round) {
        // Most alternatives begin with one stem, some with another letter.
        std::wstring stem;
        for (size_t i = 0, k = 2 + random() % 2; i < k; ++i) stem += L"ab"[random() % 2];
        std::wstring pattern;
        for (int alternative = 0, n = 2 + static_cast<int>(random() % 2); alternative < n;
             ++alternative) {
            if (alternative)
                pattern += L'|';
            pattern += leading[random() % std::size(leading)];
            pattern += random() % 8 ? stem : std::wstring(1, L"ab"[random() % 2]);
            for (size_t i = 0, k = random() % 3; i < k; ++i) pattern += L"ab"[random() % 2];
            pattern += quantifiers[random() % std::size(quantifiers)];
            pattern += trailing[random() % std::size(trailing)];
        }
        withPrefix += SameHitsWithAndWithoutPrefix(pattern, L"(?:" + pattern + L")", alphabet,
                                                   random, 20, 60);
        if (HasFailure())
            return;
    }
    EXPECT_GT(withPrefix, 100);
}

TEST(RegexMatcher, IgnoringCaseTheLiteralsAreStillLookedForAhead) {
    // "(?i)" then literals in mixed case (maybe after an assertion, maybe
    // quantified at their end, maybe more after them), against the same in
    // "(?:...)"; the texts mix the cases and hold letters whose lower-case
    // form may be an ASCII one (Kelvin sign, dotted capital I, long s).
    const wchar_t* const leading[] = {L"", L"", L"\\b", L"^"};
    const wchar_t* const trailing[] = {L"", L"\\w*", L"\\b", L"s?", L"|ka", L"|Kb"};
    const wchar_t* const quantifiers[] = {L"", L"", L"?", L"+"};
    const std::wstring alphabet = L"aAbBkKsS \n\u212a\u0130\u017fiI\u00e9\u00c9";
    std::mt19937 random(616);
    int withPrefix = 0;
    for (int round = 0; round < 400; ++round) {
        std::wstring rest = leading[random() % std::size(leading)];
        for (size_t i = 0, k = 2 + random() % 3; i < k; ++i)
            rest += L"aAbBkKsSiI\u00e9"[random() % 11];
        rest += quantifiers[random() % std::size(quantifiers)];
        rest += trailing[random() % std::size(trailing)];
        withPrefix += SameHitsWithAndWithoutPrefix(L"(?i)" + rest, L"(?i)(?:" + rest + L")",
                                                   alphabet, random, 20, 60);
        if (HasFailure())
            return;
    }
    EXPECT_GT(withPrefix, 200);
}

TEST(RegexMatcher, CaseIgnoredOnRequestAsByTheInlineModifier) {
    // Asked to ignore case, an expression finds what the same one behind
    // "(?i)" finds, prefix or not; "(?-i)" inside still asks for the case.
    const std::wstring patterns[] = {L"colou?r",     L"Colour|COLOR", L"\\bTerm\\b", L"[a-c]+x",
                                     L"k\\w*",        L"(?-i)Ab",      L"a(?-i)B",      L"\u00c9t\u00e9"};
    const std::wstring alphabet = L"aAbBcCxXkKoOlLuUrRtTeEmM \u212a\u00e9\u00c9";
    std::mt19937 random(2412);
    for (const std::wstring& pattern : patterns) {
        auto asked = RegexMatcher::Compile(pattern.c_str(), nullptr, nullptr, true);
        auto inline_ = RegexMatcher::Compile((L"(?i)(?:" + pattern + L")").c_str(), nullptr, nullptr);
        ASSERT_TRUE(asked && inline_) << testing::PrintToString(pattern);
        for (int t = 0; t < 150; ++t) {
            std::wstring text;
            for (size_t i = 0, n = random() % 50; i < n; ++i)
                text += alphabet[random() % alphabet.size()];
            ASSERT_EQ(RegexHits(*asked, text), RegexHits(*inline_, text))
                << testing::PrintToString(pattern) << " in " << testing::PrintToString(text);
        }
    }
    EXPECT_EQ(RegexMatcher::Compile(L"Colour", nullptr, nullptr, true)->LiteralPrefix(), L"Colour");
    EXPECT_EQ(RegexHits(*RegexMatcher::Compile(L"Colour", nullptr, nullptr, true), L"COLOUR colour"),
              RegexHits(*RegexMatcher::Compile(L"colour", nullptr, nullptr, true), L"COLOUR colour"));
    EXPECT_EQ(RegexHits(*RegexMatcher::Compile(L"Colour", nullptr, nullptr, false), L"COLOUR colour").size(), 0u);
}

TEST(RegexMatcher, CharacterClassesAnswerAsTheSystemDoes) {
    // Every class name against every unit: the classes are read from a table
    // built once instead of one system call per character.
    std::wstring difference;
    EXPECT_TRUE(RegexMatcher::ClassesAgreeWithSystem(&difference)) << testing::PrintToString(difference);
    // And through a compiled expression: letters of several scripts are word
    // characters, the ideographic space and the no-break space are spaces.
    auto regex = RegexMatcher::Compile(L"\\w+\\s\\d", nullptr, nullptr);
    ASSERT_TRUE(regex);
    EXPECT_EQ(RegexHits(*regex, L"x \u00E9\u00DF\u0436\u4E2D\u3000\u0663 ab\u00A0" L"7"),
              (std::vector<std::pair<size_t, size_t>>{{2, 8}, {9, 13}}));
}

TEST(RegexMatcher, IgnoringCaseComparesTheSystemsLowerCase) {
    // The lower-case forms come from a table filled once, for every unit the
    // same as the library's own call of the system for it.
    std::wstring difference;
    EXPECT_TRUE(RegexMatcher::LowerCaseAgreesWithSystem(&difference))
        << testing::PrintToString(difference);
    auto regex = RegexMatcher::Compile(L"(?i)stra\u00dfe \u0436\u00e9", nullptr, nullptr);
    ASSERT_TRUE(regex);
    EXPECT_EQ(RegexHits(*regex,
                        L"STRA\u00dfE \u0416\u00c9 strasse \u0436\u00e9 Stra\u00dfe \u0436\u00c9"),
              (std::vector<std::pair<size_t, size_t>>{{0, 9}, {21, 30}}));
}

}  // namespace

TEST_F(MatcherTest, WholeWordsLiteralAndRegex) {
    request.wholeWords = 1;
    using V = std::vector<std::string>;
    // Letters of other scripts, digits and the underscore join a word; marks
    // and punctuation do not.
    EXPECT_EQ(Run(L"cat concat cat_ cat1 (cat) écat catß cat", L"cat"), (V{"0-3", "22-25", "37-40"}));
    // A hit that fails does not hide a later overlapping one that stands alone.
    EXPECT_EQ(Run(L"aaa aa", L"aa"), (V{"4-6"}));
    EXPECT_EQ(Run(L"ab-ab", L"ab-ab"), (V{"0-5"}));
    // A combining mark after the hit belongs to its last letter.
    EXPECT_EQ(Run(L"cafe\x0301 cafe", L"cafe"), (V{"6-10"}));
    request.caseSensitive = 0;
    EXPECT_EQ(Run(L"Colour colours COLOUR", L"colour"), (V{"0-6", "15-21"}));
    request.regex = 1;
    EXPECT_EQ(Run(L"xab ab abx", L"ab"), (V{"4-6"}));
    // The regular expression is tried again one character further on.
    EXPECT_EQ(Run(L"xaaa aa", L"a+"), (V{"5-7"}));
    EXPECT_EQ(Run(L"colours colour", L"colou?r"), (V{"8-14"}));
    request.wholeWords = 0;
    EXPECT_EQ(Run(L"xab ab", L"ab"), (V{"1-3", "4-6"}));
}

TEST(WholeWord, SurrogatesFoundAtEveryPlaceOfTheEightUnitSteps) {
    // Every pair of units from the ends of both surrogate ranges, and their
    // neighbours outside them, at every place of texts up to three steps long.
    const wchar_t units[] = {0xD7FF, 0xD800, 0xD801, 0xDBFF, 0xDC00, 0xDC01, 0xDFFF, 0xE000, L'a'};
    for (size_t length = 1; length <= 24; ++length) {
        for (size_t at = 0; at < length; ++at) {
            for (wchar_t unit : units) {
                std::wstring text(length, L'x');
                text[at] = unit;
                std::vector<int> found;
                FindSurrogates(text.data(), text.size(), &found);
                const bool surrogate = unit >= 0xD800 && unit <= 0xDFFF;
                EXPECT_EQ(found, surrogate ? std::vector<int>{static_cast<int>(at)} : std::vector<int>{})
                    << length << " " << at << " " << static_cast<unsigned>(unit);
                // Beside a surrogate in the same step, a neighbour of the range is still none.
                if (!surrogate && at + 1 < length) {
                    text[at + 1] = 0xDBFF;
                    found.clear();
                    FindSurrogates(text.data(), text.size(), &found);
                    EXPECT_EQ(found, std::vector<int>{static_cast<int>(at + 1)}) << length << " " << at;
                }
                // And one more a step further on: each is found once.
                if (surrogate && at + 8 < length) {
                    text[at + 8] = 0xDC00;
                    found.clear();
                    FindSurrogates(text.data(), text.size(), &found);
                    EXPECT_EQ(found, (std::vector<int>{static_cast<int>(at), static_cast<int>(at + 8)}))
                        << length << " " << at;
                }
            }
        }
    }
}

namespace {

// The context shown for a hit at `hit` of `text`, with its ellipses.
std::wstring ShownAround(const std::wstring& text, const std::wstring& needle, int width) {
    const int start = static_cast<int>(text.find(needle));
    const int end = start + static_cast<int>(needle.size());
    const ShownContextSpan s = ShowContextSpan(text.c_str(), static_cast<int>(text.size()),
                                               CutContext(text.c_str(), static_cast<int>(text.size()), start, end, width),
                                               start, end);
    return (s.cutBefore ? L"\u2026" : L"") + text.substr(s.begin, s.stop - s.begin) + (s.cutAfter ? L"\u2026" : L"");
}

}  // namespace

TEST(ContextCut, ShownContextsAreCutAtWordEdgesWithAnEllipsisWhereTheTextGoesOn) {
    // Cut inside words at both ends: moved to the nearest word edges.
    EXPECT_EQ(ShownAround(L"alphabet soup with a needle in the haystack tonight", L"needle", 29),
              L"\u2026with a needle in the\u2026");
    // A line that begins in the window shows no ellipsis before; a text that ends in it none after.
    EXPECT_EQ(ShownAround(L"first line\nsecond needle here", L"needle", 40), L"second needle here");
    // No edge near: the cut stays where it was, inside the word.
    const std::wstring word(60, L'x');
    EXPECT_EQ(ShownAround(word + L"needle" + word, L"needle", 20), L"\u2026xxxxxxxneedlexxxxxxx\u2026");
    // Already at an edge at both ends: nothing moves.
    EXPECT_EQ(ShownAround(L"aaaa bbbb cc needle dd eeee ffff", L"needle", 13), L"\u2026cc needle dd \u2026");
    // An edge is never looked for inside the hit.
    EXPECT_EQ(ShownAround(L"xxxxxxxxxxab cd yyyyyyyyyy", L"ab cd", 9), L"\u2026xxab cd\u2026");
}

TEST_F(MatcherTest, ContextsShowTheFilesOwnCharactersAndTheirEllipsis) {
    std::wstring original = std::wstring(80, L'w') + L" say \u201Chi\u201D \u2013 ok " + std::wstring(80, L'z');
    std::wstring text = original;
    FoldedOriginals kept;
    const size_t length = kept.FoldToNul(text.data(), text.size() + 1);
    wcscpy(request.searchText, L"\"hi\"");
    job = std::make_unique<FileJob>();
    job->path = L"C:\\dir\\file.txt";
    job->request = &request;
    job->entry = std::make_unique<WIN32_FIND_DATAW>();
    job->text = text.data();
    job->textLength = static_cast<int>(length);
    job->originals = &kept;
    MatchText(*job, nullptr);
    ASSERT_TRUE(job->result);
    const Match& m = *job->result->matches[0];
    EXPECT_EQ(m.start, 85);
    EXPECT_EQ(m.context.substr(m.start - m.contextStart, 4), L"\u201Chi\u201D") << "the hit's place in the context holds";
    EXPECT_EQ(m.context.front(), L'\u2026');
    EXPECT_EQ(m.context.back(), L'\u2026');
    EXPECT_NE(m.context.find(L"\u2013 ok"), std::wstring::npos);
}
