// The UTF-8 and UTF-16 conversions against the system converters, broken
// input included.
#include <gtest/gtest.h>
#include <windows.h>

#include <random>
#include <string>
#include <vector>

#include "base/FoldText.h"
#include "converters/readers/Utf8Text.h"

namespace {

std::wstring SystemDecode(const std::string& bytes) {
    std::wstring out(bytes.size(), L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(),
                                      static_cast<int>(out.size()));
    out.resize(n > 0 ? n : 0);
    return out;
}

std::wstring MineDecode(const std::string& bytes) {
    std::wstring out(bytes.size(), L'\0');
    out.resize(Utf8ToUtf16Bounded(bytes.data(), bytes.size(), out.data()));
    return out;
}

TEST(Utf8Text, DecodesLikeTheSystemWhateverTheBytes) {
    const std::string cases[] = {
        "plain ASCII that is longer than sixteen bytes",
        "caf\xC3\xA9 \xE2\x80\x9Cquoted\xE2\x80\x9D \xF0\x9F\x98\x80 end",
        "\xC3",                  // cut short
        "\xE2\x82 x",            // cut short before ASCII
        "\xC0\xAF overlong",     // overlong slash
        "\xED\xA0\x80 surrogate",
        "\xF4\x90\x80\x80 past U+10FFFF",
        "\x80\xBF stray continuation bytes",
        "\xFF\xFE",
    };
    for (const std::string& c : cases)
        EXPECT_EQ(MineDecode(c), SystemDecode(c)) << testing::PrintToString(c);

    std::mt19937 random(11);
    // Runs of sixteen ASCII bytes and more take the wide path, broken at any place.
    const std::string pieces[] = {"a", "Z", " ", "a longer run of plain ASCII text ", "\xC3\xA9",
                                  "\xE2\x80\x94", "\xF0\x9F\x98\x80", "\xC3", "\x80", "\xFF",
                                  "\xED\xA0\x80", "\xE0\x9F\xBF", "\xE2\x80"};
    for (int round = 0; round < 2000; ++round) {
        std::string bytes;
        for (size_t i = 0, n = random() % 40; i < n; ++i)
            bytes += pieces[random() % (round % 2 ? 7 : std::size(pieces))];  // every other round well-formed
        ASSERT_EQ(MineDecode(bytes), SystemDecode(bytes)) << testing::PrintToString(bytes);
    }
}

TEST(Utf8Text, FoldedDecodingIsDecodingThenFolding) {
    // Controls (NUL among them), typographic and fullwidth characters, broken
    // sequences, at every lane of the sixteen- and eight-byte steps.
    std::mt19937 random(23);
    const std::string pieces[] = {"a",
                                  " ",
                                  "x\tq\r\n",
                                  std::string("\0", 1),
                                  "\x01",
                                  "\x0B",
                                  "\x1F",
                                  "\xE2\x80\x9C",
                                  "\xEF\xBC\xA1",
                                  "\xC3\xA9",
                                  "\xF0\x9F\x98\x80",
                                  "a longer run of plain text ",
                                  "\xC3",
                                  "\xFF",
                                  "\xED\xA0\x80",   // an encoded surrogate
                                  "\xE0\x9F\xBF",   // overlong
                                  "\xE2\x80"};      // cut short
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        for (size_t i = 0, n = random() % 30; i < n; ++i)
            bytes += pieces[random() % (round % 2 ? 12 : std::size(pieces))];  // every other round well-formed
        std::wstring expected = MineDecode(bytes);
        bool expectedNul = false;
        for (wchar_t& c : expected) {
            expectedNul = expectedNul || c == 0;
            c = c ? FoldCharacter(c) : c;  // the NUL that ends the search's text stays
        }
        std::wstring folded(bytes.size(), L'\0');
        bool nul = false;
        folded.resize(Utf8ToUtf16BoundedFolded(bytes.data(), bytes.size(), folded.data(), &nul));
        ASSERT_EQ(folded, expected) << testing::PrintToString(bytes);
        ASSERT_EQ(nul, expectedNul) << testing::PrintToString(bytes);
        size_t units = 0;
        nul = false;
        std::wstring strict(bytes.size(), L'\0');
        if (Utf8ToUtf16StrictFolded(bytes.data(), bytes.size(), strict.data(), &units, &nul)) {
            ASSERT_EQ(strict.substr(0, units), expected) << testing::PrintToString(bytes);
            ASSERT_EQ(nul, expectedNul);
        } else {
            ASSERT_EQ(round % 2, 0)
                << "well-formed text refused: " << testing::PrintToString(bytes);
        }
    }
}

TEST(Utf8Text, EncodesLikeTheSystemLoneSurrogatesIncluded) {
    const std::wstring cases[] = {L"", L"ascii", L"caf\u00e9 \u4e2d\u6587 \U0001F600",
                                  std::wstring(L"lone \xD800 high"), std::wstring(L"lone \xDC00 low"),
                                  std::wstring(L"end \xD83D"), L"\U00010000 \U0010FFFF \U000103FF \U0010FC00"};
    std::vector<std::wstring> all(std::begin(cases), std::end(cases));
    // Long ASCII runs (the eight-unit path) broken by other characters.
    std::mt19937 random(5);
    const std::wstring pieces[] = {L"plain ascii text ", L"\u00e9", L"\u4e2d", L"\U0001F600", std::wstring(1, L'\xD800'), L"x"};
    for (int round = 0; round < 300; ++round) {
        std::wstring text;
        for (size_t i = 0, n = random() % 30; i < n; ++i)
            text += pieces[random() % (round % 3 ? 4 : 6)];
        all.push_back(text);
    }
    for (const std::wstring& c : all) {
        std::string mine;
        Utf16ToUtf8(c.data(), c.size(), &mine);
        std::string system(c.size() * 3, '\0');
        const int n = WideCharToMultiByte(CP_UTF8, 0, c.data(), static_cast<int>(c.size()), system.data(),
                                          static_cast<int>(system.size()), nullptr, nullptr);
        system.resize(n > 0 ? n : 0);
        EXPECT_EQ(mine, system) << testing::PrintToString(c);
    }
}

}  // namespace
