// The case-insensitive search against StrStrIW itself, hit for hit, over
// random texts from many scripts.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <random>
#include <string>
#include <vector>

#include "search/CaseInsensitiveFinder.h"

namespace {

// Every hit, non-overlapping, the way the matcher walks the text.
std::vector<size_t> HitsOfStrStrIW(const std::wstring& text, const std::wstring& needle) {
    std::vector<size_t> hits;
    const wchar_t* from = text.c_str();
    while (const wchar_t* hit = StrStrIW(from, needle.c_str())) {
        hits.push_back(static_cast<size_t>(hit - text.c_str()));
        from = hit + needle.size();
    }
    return hits;
}

std::vector<size_t> HitsOfFinder(const std::wstring& text, const std::wstring& needle) {
    CaseInsensitiveFinder finder(needle.c_str());
    std::vector<size_t> hits;
    const wchar_t* from = text.c_str();
    const wchar_t* end = text.c_str() + text.size();
    while (const wchar_t* hit = finder.Find(from, end)) {
        hits.push_back(static_cast<size_t>(hit - text.c_str()));
        from = hit + needle.size();
    }
    return hits;
}

// Alphabets whose case rules and sort weights differ: Latin with accents,
// German sharp s, Turkish i forms, Greek sigmas, Cyrillic, Armenian, CJK,
// fullwidth forms, ligatures and ignorable or special characters.
const std::vector<std::wstring> kAlphabets = {
    L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ",
    L"\u00e0\u00e1\u00e2\u00e4\u00e9\u00e8\u00ea\u00eb\u00ef\u00f6\u00fc\u00c0\u00c9\u00d6\u00dc\u00e7\u00c7\u00f1\u00d1aeiouAEIOU",
    L"\u00dfsS\u1e9e\u00e6\u00c6ae\u0153\u0152oe\ufb01fi",
    L"\u0131\u0130iI\u015f\u015e\u011f\u011e",
    L"\u03c3\u03c2\u03a3\u03b1\u0391\u03ac\u0386\u03bf\u039f",
    L"\u0430\u0410\u0431\u0411\u0451\u0401\u0435\u0415\u044f\u042f",
    L"\u0561\u0531\u0562\u0532\u0587\u0565\u0582",
    L"\u4e00\u4e2d\u6587\u5b57\u3042\u30a2\u30fc",
    L"\uff21\uff41\uff22\uff42Aa\u212aKk\u017fs",
    L" -'\u00ad\ufeff\u0301\u200b.,",
};

std::wstring RandomText(std::mt19937& random, size_t length) {
    std::wstring text;
    const std::wstring& main = kAlphabets[random() % kAlphabets.size()];
    for (size_t i = 0; i < length; ++i) {
        const std::wstring& from = random() % 4 ? main : kAlphabets[random() % kAlphabets.size()];
        text += from[random() % from.size()];
    }
    return text;
}

// A needle cut from the text with its letter case changed here and there,
// or a short random one.
std::wstring RandomNeedle(std::mt19937& random, const std::wstring& text) {
    const size_t length = 1 + random() % 6;
    std::wstring needle;
    if (random() % 3 && text.size() > length) {
        needle = text.substr(random() % (text.size() - length), length);
        for (wchar_t& c : needle) {
            if (random() % 2)
                c = static_cast<wchar_t>(reinterpret_cast<uintptr_t>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(c)))));
        }
    } else {
        needle = RandomText(random, length);
    }
    return needle;
}

TEST(CaseInsensitiveFinder, SameHitsAsStrStrIWOverManyScripts) {
    std::mt19937 random(4242);
    int compared = 0;
    int withHits = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::wstring text = RandomText(random, 40 + random() % 200);
        const std::wstring needle = RandomNeedle(random, text);
        if (needle.find(L'\0') != std::wstring::npos)
            continue;
        const auto expected = HitsOfStrStrIW(text, needle);
        ASSERT_EQ(HitsOfFinder(text, needle), expected)
            << "needle " << testing::PrintToString(needle) << " text " << testing::PrintToString(text);
        ++compared;
        withHits += !expected.empty();
    }
    EXPECT_GT(withHits, compared / 4) << "the cases must exercise hits, not only misses";
}

TEST(CaseInsensitiveFinder, KnownLinguisticEqualities) {
    // Whatever the system decides for these, the finder decides the same.
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"x\u00e6by", L"aeb"},      {L"x\ufeffab", L"ab"},        {L"STRASSE stra\u00dfe", L"strasse"},
        {L"\u212aelvin kelvin", L"KELVIN"}, {L"\u0130stanbul istanbul", L"ISTANBUL"},
        {L"\u03a3\u03c3\u03c2", L"\u03c3"}, {L"co-op coop", L"coop"}, {L"don't dont", L"DON'T"},
        {L"\uff21\uff22 AB", L"ab"},  {L"e\u0301 \u00e9", L"\u00e9"}, {L"\u4e2d\u6587", L"\u6587"},
        // An ignorable character opening a window, and an expanding one
        // shifting the needle's letters against the window's.
        {L"x\ufeff\u00e6b", L"aeb"}, {L"\u00e6b\ufeff", L"AEB"}, {L"\u00dfx\ufeff", L"ssx"},
    };
    for (const auto& [text, needle] : cases)
        EXPECT_EQ(HitsOfFinder(text, needle), HitsOfStrStrIW(text, needle)) << testing::PrintToString(text);
}

TEST(CaseInsensitiveFinder, LigaturesAndIgnorablesCloseTogether) {
    // A small alphabet where expansions, ignorable characters and the letters
    // they expand to meet often.
    const std::wstring alphabet = L"\u00e6\u00c6aAeEbB\u00dfsS\ufeff\u0301\u00ad-'x\u00e1\u30fc\u30a2";
    std::mt19937 random(77);
    for (int round = 0; round < 3000; ++round) {
        std::wstring text, needle;
        for (size_t i = 0, n = 8 + random() % 40; i < n; ++i)
            text += alphabet[random() % alphabet.size()];
        for (size_t i = 0, n = 1 + random() % 3; i < n; ++i)
            needle += alphabet[random() % alphabet.size()];
        ASSERT_EQ(HitsOfFinder(text, needle), HitsOfStrStrIW(text, needle))
            << "needle " << testing::PrintToString(needle) << " text " << testing::PrintToString(text);
    }
}

TEST(CaseInsensitiveFinder, MostlyAsciiTextsWithRareOddCharacters) {
    // Long runs of ASCII take the vector scan; the odd characters between
    // them (ligatures, ignorable and combining marks, controls) must still
    // be looked at.
    const std::wstring odd = L"\u00e6\u00c6\u00df\ufeff\u0301\u00ad\t\n\u30fc\u0130\u0131";
    const std::wstring letters = L"aeAEbsStTxX -'";
    std::mt19937 random(2024);
    for (int round = 0; round < 400; ++round) {
        std::wstring text;
        for (size_t i = 0, n = 200 + random() % 400; i < n; ++i)
            text += random() % 12 ? letters[random() % letters.size()] : odd[random() % odd.size()];
        std::wstring needle;
        for (size_t i = 0, n = 2 + random() % 3; i < n; ++i)
            needle += letters[random() % 8];
        ASSERT_EQ(HitsOfFinder(text, needle), HitsOfStrStrIW(text, needle))
            << "needle " << testing::PrintToString(needle) << " text " << testing::PrintToString(text);
    }
}

TEST(CaseInsensitiveFinder, AccentedLettersBetweenAsciiRuns) {
    // Western European text: accented letters between the ASCII runs of the
    // vector scan, some of which can begin a window (a needle starting with
    // 't' meets t with cedilla, one with 'a' meets a with diaeresis and the
    // ae ligature).
    const std::wstring accented =
        L"\u00e4\u00f6\u00fc\u00e9\u00e0\u00e7\u00f1\u0163\u00c4\u00e6\u0151\u017e";
    const std::wstring letters = L"aeouctnzAEOUCTNZ xq";
    std::mt19937 random(77);
    for (int round = 0; round < 400; ++round) {
        std::wstring text;
        for (size_t i = 0, n = 100 + random() % 300; i < n; ++i)
            text += random() % 6 ? letters[random() % letters.size()]
                                 : accented[random() % accented.size()];
        std::wstring needle;
        for (size_t i = 0, n = 1 + random() % 3; i < n; ++i)
            needle += random() % 4 ? letters[random() % 16] : accented[random() % accented.size()];
        ASSERT_EQ(HitsOfFinder(text, needle), HitsOfStrStrIW(text, needle))
            << "needle " << testing::PrintToString(needle) << " text "
            << testing::PrintToString(text);
    }
}

TEST(CaseInsensitiveFinder, IgnorablesAndTheEdgesOfPlainAsciiInTheFastScan) {
    // Needles whose windows may open with several ASCII units ('-', '\'' and
    // DEL before a contextual letter) or with a case pair, in long plain
    // runs broken by controls and by the units just past plain ASCII.
    const std::wstring starts[] = {L"\u0385", L"\u0587", L"\u1100", L"\u05f0", L"q", L"Z", L"7"};
    const std::wstring odd = L"-'\u007f\u0080\u009f\u001f\u0001\u00a0\u0385\u0587\u1100\u05f0";
    const std::wstring plain = L"abqzQZ7xy ";
    std::mt19937 random(303);
    for (int round = 0; round < 600; ++round) {
        const std::wstring needle =
            starts[random() % std::size(starts)] + plain.substr(random() % 4, 1 + random() % 3);
        std::wstring text;
        for (size_t i = 0, n = 40 + random() % 200; i < n; ++i) {
            if (random() % 9 == 0)
                text += odd[random() % odd.size()];
            else if (random() % 25 == 0)
                text += needle;
            else
                text += plain[random() % plain.size()];
        }
        ASSERT_EQ(HitsOfFinder(text, needle), HitsOfStrStrIW(text, needle))
            << "needle " << testing::PrintToString(needle) << " text "
            << testing::PrintToString(text);
    }
}

TEST(CaseInsensitiveFinder, LongAsciiTextsUseTheFastScan) {
    std::wstring text(100000, L'x');
    text.replace(77777, 9, L"QuOrRaZyX");
    text.replace(99990, 9, L"quorrazyx");
    EXPECT_EQ(HitsOfFinder(text, L"QUORRAZYX"), (std::vector<size_t>{77777, 99990}));
    EXPECT_EQ(HitsOfFinder(text, L"QUORRAZYX"), HitsOfStrStrIW(text, L"QUORRAZYX"));
}

}  // namespace
