// Numbers read by their language, placeholders, links and brackets: the
// parts the checks compare.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qa/TextParts.h"

namespace {

std::vector<std::wstring> Values(const std::vector<TextPart>& parts) {
    std::vector<std::wstring> values;
    for (const TextPart& p : parts)
        values.push_back(p.value);
    return values;
}

using Texts = std::vector<std::wstring>;

}  // namespace

TEST(TextParts, NumbersAreReadByTheirLanguage) {
    struct Case {
        const wchar_t* text;
        const wchar_t* language;
        Texts values;
    };
    const Case cases[] = {
        {L"1,000.5 and 3.25", L"en-US", {L"1000.5", L"3.25"}},
        {L"1.000,5 und 3,25", L"de-DE", {L"1000.5", L"3.25"}},
        {L"1\u00A0000,5 et 1\u202F000 et 1 000", L"fr-FR", {L"1000.5", L"1000", L"1000"}},
        {L"1'000.50 CHF", L"de-CH", {L"1000.5"}},
        {L"3,5 Liter", L"de", {L"3.5"}},
        {L"1,500 kg", L"de_DE", {L"1.5"}},
        {L"3.5 liters", L"en", {L"3.5"}},
        {L"1,000 files", L"en", {L"1000"}},
        {L"1.000 Dateien", L"de", {L"1000"}},
        // Native digits: Arabic-Indic with its own marks, Devanagari, fullwidth.
        {L"\u0661\u066C\u0660\u0660\u0660\u066B\u0665", L"ar", {L"1000.5"}},
        {L"\u0967\u0968\u0969", L"hi", {L"123"}},
        {L"\uFF11\uFF12\uFF13", L"ja", {L"123"}},
        // Not numbers: names with digits, placeholders; spaced digits apart.
        {L"MP3 and H2O", L"en", {}},
        {L"%1$s of {0}", L"en", {}},
        {L"in 2 3 days", L"en", {L"2", L"3"}},
        {L"007", L"en", {L"7"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Values(FindNumbers(c.text, c.language)), c.values) << testing::PrintToString(std::wstring(c.text));
    // Where they stand.
    const auto numbers = FindNumbers(L"a 1,000.5 b", L"en");
    ASSERT_EQ(numbers.size(), 1u);
    EXPECT_EQ(numbers[0].span.begin, 2);
    EXPECT_EQ(numbers[0].span.end, 9);
}

TEST(TextParts, PlaceholdersLinksWordsAndMarks) {
    EXPECT_EQ(Values(FindPlaceholders(L"%s, %d, %1$s, %.2f, %% and %-5ld")),
              (Texts{L"%s", L"%d", L"%1$s", L"%.2f", L"%-5ld"}));
    EXPECT_EQ(Values(FindPlaceholders(L"{0} {name} {count, plural, one {# file} other {# files}} {not a name}")),
              (Texts{L"{0}", L"{name}", L"{count}"}));
    EXPECT_EQ(Values(FindLinks(L"See https://example.com/a?b=1. Mail me@example.org, or www.x.de!")),
              (Texts{L"https://example.com/a?b=1", L"me@example.org", L"www.x.de"}));
    EXPECT_EQ(Values(FindLinks(L"a@b, @home, x.y")), Texts{});
    EXPECT_EQ(Values(FindLinks(L"(mailto:team@x.example)")), Texts{L"mailto:team@x.example"});
    // An ICU argument spans its nested messages.
    const auto icu = FindPlaceholders(L"{count, plural, one {# file} other {# files}} {name}");
    ASSERT_EQ(icu.size(), 2u);
    EXPECT_EQ(icu[0].span.end, 45);
    EXPECT_EQ(icu[1].value, L"{name}");
    EXPECT_EQ(Values(FindWords(L"v1.0 100")), (Texts{L"v1", L"0", L"100"}));
    EXPECT_EQ(Values(FindWords(L"Die  DIE Stra\u00DFe_1")), (Texts{L"die", L"die", L"stra\u00DFe_1"}));

    ShownSpan at{};
    EXPECT_EQ(FinalMark(L"Done.", L"en", &at), L".");
    EXPECT_EQ(FinalMark(L"\u00BFQu\u00E9?\u00A0", L"es", &at), L"?");
    EXPECT_EQ(FinalMark(L"\u03A4\u03B9;", L"el-GR", &at), L"?") << "the Greek question mark";
    EXPECT_EQ(FinalMark(L"a;", L"en", &at), L";");
    EXPECT_EQ(FinalMark(L"\u5B8C\u4E86\u3002", L"zh", &at), L".");
    EXPECT_EQ(FinalMark(L"\u0645\u0627\u061F", L"ar", &at), L"?");
    EXPECT_EQ(FinalMark(L"Wait...\"", L"en", &at), L"...");
    EXPECT_EQ(at.begin, 4);
    EXPECT_EQ(FinalMark(L"No mark ", L"en", &at), L"");

    ShownSpan bad{};
    EXPECT_TRUE(BracketsPaired(L"(a [b] {c}) \u201Equote\u201C \u00ABx\u00BB \"y\" it\u2019s", &bad));
    EXPECT_FALSE(BracketsPaired(L"(a [b) c]", &bad));
    EXPECT_EQ(bad.begin, 5);
    EXPECT_FALSE(BracketsPaired(L"\"open", &bad));
    EXPECT_FALSE(BracketsPaired(L"(open", &bad));
    EXPECT_EQ(bad.begin, 0);
}
