// The fold table: one case per kind of character the search must see as ASCII.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "base/FoldText.h"

namespace {

std::wstring Fold(std::wstring text) {
    FoldText(text.size(), text.data());
    return text;
}

struct FoldCase {
    const wchar_t* input;
    const wchar_t* expected;
};

TEST(FoldText, TypographicAndCompatibilityCharacters) {
    const FoldCase cases[] = {
        {L"\u201Cquoted\u201D \u00ABguillemets\u00BB", L"\"quoted\" \"guillemets\""},
        {L"\u2018single\u2019 \u2039x\u203A 90\u00B0", L"'single' 'x' 90'"},
        {L"en\u2013em\u2014dash\u00ADsoft\u00B7dot", L"en-em-dash-soft-dot"},
        {L"wait\u2026 \u3002\u3001", L"wait. .,"},
        {L"\u00B6\u2028\u2029", L"\n\n\n"},
        {L"a\u2003b\u200Bc\u3000d\u202Fe", L"a b c d e"},
        {L"\u00A0", L"\u00A0"},  // no-break space is kept
        {L"\u00A9\u00AE\u00B5", L"cru"},
        {L"\u2122", L"\u2122"},  // not in the table
        {L"\u00B9\u00B2\u00B3\u2074\u2079\u2070", L"123490"},
        {L"\u2081\u2089\u2460\u2468\u2474\u2488\u3021\u3220\u3280\u24EA\u3007", L"19191111100"},
        {L"\u24B6\u24CF\u249C\u24B5\u24D0\u24E9", L"AZazaz"},
        {L"\u2500\u2580\u25A0\u2600\u267F", L"|#*.."},
        {L"\u3008\u300B\u3010\u3011\u3014\u3015\uFE59\uFE5E", L"<>[]()()"},
        {L"\uFE6B\uFE68\uFE69\uFE6A\uFE60", L"@\\$%&"},
    };
    for (const FoldCase& c : cases)
        EXPECT_EQ(Fold(c.input), c.expected) << "input: " << testing::PrintToString(std::wstring(c.input));
}

TEST(FoldText, EveryRangeAtBothEnds) {
    // The table's ranges: one target for the whole range, or (sequences) a
    // target that counts up with the character.
    struct Range {
        unsigned first, last;
        wchar_t target;
        bool counts;
    };
    const Range ranges[] = {
        {0x2000, 0x200D, L' ', false}, {0x2028, 0x2029, L'\n', false}, {0x201C, 0x201F, L'"', false},
        {0x301D, 0x301F, L'"', false}, {0x2580, 0x259F, L'#', false},   {0x2018, 0x201B, L'\'', false},
        {0x25A0, 0x25FF, L'*', false}, {0x2010, 0x2015, L'-', false},   {0x2024, 0x2026, L'.', false},
        {0x2600, 0x267F, L'.', false}, {0x2020, 0x2023, L':', false},   {0x203E, 0x2040, L'_', false},
        {0x2500, 0x257F, L'|', false}, {0x2074, 0x2079, L'4', true},    {0x2081, 0x2089, L'1', true},
        {0x2460, 0x2468, L'1', true},  {0x2474, 0x247C, L'1', true},    {0x2488, 0x2490, L'1', true},
        {0x3021, 0x3029, L'1', true},  {0x3220, 0x3228, L'1', true},    {0x3280, 0x3288, L'1', true},
        {0x24B6, 0x24CF, L'A', true},  {0x249C, 0x24B5, L'a', true},    {0x24D0, 0x24E9, L'a', true},
        {0xFF01, 0xFF5E, L'!', true},
    };
    for (const Range& r : ranges) {
        const wchar_t last = r.counts ? static_cast<wchar_t>(r.target + (r.last - r.first)) : r.target;
        EXPECT_EQ(FoldCharacter(static_cast<wchar_t>(r.first)), r.target) << std::hex << r.first;
        EXPECT_EQ(FoldCharacter(static_cast<wchar_t>(r.last)), last) << std::hex << r.last;
        // Through the sixteen-unit path too, with the range's end in every lane.
        for (int lane = 0; lane < 16; ++lane) {
            std::wstring text(40, L'x');
            text[static_cast<size_t>(lane)] = static_cast<wchar_t>(r.last);
            text[static_cast<size_t>(lane + 17)] = static_cast<wchar_t>(r.first);
            const std::wstring folded = Fold(text);
            ASSERT_EQ(folded[static_cast<size_t>(lane)], last) << std::hex << r.last << " lane " << lane;
            ASSERT_EQ(folded[static_cast<size_t>(lane + 17)], r.target) << std::hex << r.first << " lane " << lane;
        }
    }
    // Just outside: characters the table does not list stay.
    for (unsigned c : {0x200Eu, 0x2200u, 0x2680u, 0x2700u, 0xFF00u, 0xFF5Fu, 0x3029u + 1u})
        EXPECT_EQ(FoldCharacter(static_cast<wchar_t>(c)), static_cast<wchar_t>(c)) << std::hex << c;
}

TEST(FoldText, WholeFullwidthAsciiBlock) {
    // U+FF3D..U+FF44 included: fullwidth ] ^ _ ` a b c d.
    for (wchar_t c = 0xFF01; c <= 0xFF5E; ++c)
        EXPECT_EQ(FoldCharacter(c), static_cast<wchar_t>(c - 0xFEE0)) << std::hex << int(c);
    EXPECT_EQ(Fold(L"\uFF3D\uFF3E\uFF3F\uFF40\uFF41\uFF44"), L"]^_`ad");
    // The halfwidth forms after the block stay.
    EXPECT_EQ(Fold(L"\uFF61\uFF64\uFF65\uFF66"), L"\uFF61\uFF64\uFF65\uFF66");
}

TEST(FoldText, ControlsSurrogatesAndNoncharacters) {
    EXPECT_EQ(Fold(std::wstring(L"a\x01\tb\nc\rd\x1F", 9)), L"a \tb\nc\rd ");
    // An astral character (two surrogate halves) becomes two spaces.
    EXPECT_EQ(Fold(L"x\U0001F600y"), L"x  y");
    EXPECT_EQ(Fold(L"\uE000\uF8FE\uF8FF\uFFFD\uFFFE\uFFFF"), L"  \uF8FF\uFFFD  ");
    EXPECT_EQ(Fold(L"\u00E9\u4E2D\u05D0"), L"\u00E9\u4E2D\u05D0");
}

TEST(FoldText, WritesTerminatorAtCountAndFoldsOnlyBefore) {
    wchar_t text[] = L"\u201Cab\u201Dcd";
    FoldText(3, text);
    EXPECT_STREQ(text, L"\"ab");
    EXPECT_EQ(text[4], L'c');
    // NUL inside the counted range becomes a space: the caller passes the
    // length up to the first NUL, so an embedded NUL never reaches here.
    wchar_t withNul[] = {L'a', 0, L'b', 0};
    FoldText(3, withNul);
    EXPECT_STREQ(withNul, L"a b");
}

TEST(FoldText, BlockFoldingAgreesWithTheTableUnitByUnit) {
    // Long random texts, so that the eight-unit steps and the tails are both
    // taken, against FoldCharacter applied one unit at a time: printable ASCII,
    // the controls that stay, the ones that do not, characters the table maps,
    // letters it keeps, and NULs that end the text.
    const wchar_t alphabet[] = {L'a', L'Z', L' ', L'~', 0x7F, L'\t', L'\n', L'\r', 0x01, 0x1F, 0x00B6,
                                0x00E9, 0x2019, 0x201C, 0x2014, 0xFF21, 0xD83D, 0x4E2D, 0xFFFF, 0};
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        const size_t capacity = 1 + random() % 70;
        std::vector<wchar_t> text(capacity);
        const bool sparse = round % 2 == 0;  // mostly ASCII, as most texts are
        for (wchar_t& unit : text) {
            const size_t pick = random() % (sizeof alphabet / sizeof alphabet[0]);
            unit = sparse && random() % 8 ? L'e' : alphabet[pick];
            if (sparse && unit == 0 && random() % 4)
                unit = L'n';
        }
        std::vector<wchar_t> expected = text;
        size_t length = 0;
        while (length < capacity && expected[length] != 0)
            ++length;
        if (length == capacity)
            length = capacity - 1;
        for (size_t i = 0; i < length; ++i)
            expected[i] = FoldCharacter(expected[i]);
        expected[length] = 0;

        std::vector<wchar_t> folded = text;
        ASSERT_EQ(FoldTextToNul(folded.data(), capacity), length) << "round " << round;
        ASSERT_TRUE(std::equal(folded.begin(), folded.begin() + length + 1, expected.begin()))
            << "round " << round;

        std::vector<wchar_t> counted = text;
        counted.push_back(L'x');
        FoldText(length, counted.data());
        ASSERT_TRUE(std::equal(counted.begin(), counted.begin() + length + 1, expected.begin()))
            << "round " << round;
    }
}

}  // namespace

// What folding changed is kept, so that any part shows as it was: sparse
// for text with few changes, whole once they are many, the same either way.
TEST(FoldedOriginals, ShowsAnyPartAsItWasWhetherKeptByChangesOrWhole) {
    const std::wstring sparse = L"say \u201Chi\u201D \u2013 and a\u00A0b \u00B6 end";
    std::wstring fullwidth;
    for (int i = 0; i < 60; ++i)
        fullwidth += static_cast<wchar_t>(0xFF21 + i % 26);  // every unit changes
    fullwidth += L" tail \u201Cq\u201D";
    for (const std::wstring& original : {sparse, fullwidth}) {
        std::wstring text = original + L'\0' + L"\u201Cafter the NUL";
        FoldedOriginals kept;
        const size_t length = kept.FoldToNul(text.data(), text.size());
        ASSERT_EQ(length, original.size());
        EXPECT_EQ(kept.IsWhole(), original == fullwidth);
        EXPECT_EQ(text.substr(0, length), Fold(original)) << "the text itself is folded as ever";
        EXPECT_EQ(kept.Shown(text.data(), 0, length), original);
        for (size_t begin : {size_t{0}, size_t{3}, length / 2})
            for (size_t end : {begin, begin + 4, length})
                EXPECT_EQ(kept.Shown(text.data(), begin, end), original.substr(begin, end - begin));
        EXPECT_EQ(kept.At(text.data(), length - 1), original.back());
    }
    // A later text forgets what the earlier one changed.
    FoldedOriginals kept;
    std::wstring first = L"\u201Cx\u201D";
    kept.FoldToNul(first.data(), first.size() + 1);
    std::wstring second = L"plain";
    kept.FoldToNul(second.data(), second.size() + 1);
    EXPECT_EQ(kept.Shown(second.data(), 0, 5), L"plain");
}

TEST(FoldedOriginals, ControlsShowAsSpacesAndCutSurrogatesAsReplacements) {
    std::wstring text = L"a\x01\tb\U0001F600c\U0001F600";
    FoldedOriginals kept;
    const size_t length = kept.FoldToNul(text.data(), text.size() + 1);
    EXPECT_EQ(kept.Shown(text.data(), 0, length), L"a \tb\U0001F600c\U0001F600");
    // A part that cuts a pair shows the half it holds as U+FFFD.
    EXPECT_EQ(kept.Shown(text.data(), 5, 8), L"\uFFFDc\uFFFD");
    // The same when the text is kept whole (nearly every unit changed).
    std::wstring many = std::wstring(40, L'\uFF21') + L"a\x01\tb\U0001F600c";
    const std::wstring asWritten = many;
    FoldedOriginals whole;
    const size_t wholeLength = whole.FoldToNul(many.data(), many.size() + 1);
    ASSERT_TRUE(whole.IsWhole());
    EXPECT_EQ(whole.Shown(many.data(), 40, wholeLength), L"a \tb\U0001F600c");
    EXPECT_EQ(whole.Shown(many.data(), 45, wholeLength), L"\uFFFDc");
    EXPECT_EQ(whole.Shown(many.data(), 0, 2), asWritten.substr(0, 2));
}
