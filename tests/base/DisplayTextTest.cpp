// Numbers and paths for the status line, and the accent-blind fold.
#include <gtest/gtest.h>

#include <string>

#include "base/DisplayText.h"
#include "base/FoldText.h"

TEST(DisplayText, NumbersGroupedByThousands) {
    // The test prefix's user locale is English: a comma.
    EXPECT_EQ(GroupedNumber(0), L"0");
    EXPECT_EQ(GroupedNumber(999), L"999");
    EXPECT_EQ(GroupedNumber(1204), L"1,204");
    EXPECT_EQ(GroupedNumber(1234567), L"1,234,567");
    EXPECT_EQ(GroupedNumber(-100000), L"-100,000");
}

TEST(DisplayText, PathsGiveWayInTheMiddle) {
    const std::wstring path = L"C:\\Projects\\Client\\2026\\Autumn release\\de-DE";
    EXPECT_EQ(ElidedPath(path, 100), path) << "whole when it fits";
    EXPECT_EQ(ElidedPath(path, path.size()), path);
    EXPECT_EQ(ElidedPath(path, 25), L"C:\\\x2026\\Autumn release\\de-DE");
    EXPECT_EQ(ElidedPath(path, 24), L"C:\\\x2026\\de-DE") << "from a folder's name on, never a part of one";
    EXPECT_EQ(ElidedPath(L"\\\\server\\share\\a\\very\\long\\folder\\name", 26), L"\\\\server\\share\\\x2026\\name");
    for (size_t room = 0; room < 12; ++room)
        EXPECT_LE(ElidedPath(path, room).size(), room) << room;
}

TEST(AccentBlind, LettersAsTheirBaseLettersAndTheFileStillShownAsItIs) {
    EXPECT_EQ(AccentlessText(L"\u00e9\u00e8\u00ea\u00eb \u00f1 \u00e5 \u00f8 \u0142 \u00c9\u00c7 \u1ec7"), L"eeee n a o l EC e");
    EXPECT_EQ(AccentlessText(L"cafe\u0301"), L"cafe") << "a decomposed letter typed in the text";
    EXPECT_EQ(AccentlessText(L"\u0439 \u0451 \u00df \u00e6"), L"\u0439 \u0435 \u00df \u00e6")
        << "letters of their own stay; \u0451 is read as \u0435";
    EXPECT_EQ(AccentlessUnit(L'\u0301'), L'\u200b') << "a mark gives way to the letter before it";

    // In a folded text: what folding and the accents changed, both shown back.
    std::wstring text = L"\uff21 caf\u00e9 cafe\u0301 na\u00efve";
    FoldedOriginals originals;
    const std::wstring original = text;
    const size_t length = originals.FoldToNul(text.data(), text.size() + 1);
    originals.FoldAccents(text.data(), length);
    EXPECT_EQ(text, L"A cafe cafe\u200b naive");
    EXPECT_EQ(originals.Shown(text.c_str(), 0, length), original);
    EXPECT_EQ(originals.Shown(text.c_str(), 2, 6), L"caf\u00e9");
    // Changes past a quarter of the text: the whole text is kept instead.
    std::wstring many = L"\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"
                        L"\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9";
    const std::wstring manyOriginal = many;
    FoldedOriginals whole;
    const size_t manyLength = whole.FoldToNul(many.data(), many.size() + 1);
    whole.FoldAccents(many.data(), manyLength);
    EXPECT_TRUE(whole.IsWhole());
    EXPECT_EQ(many, std::wstring(manyLength, L'e'));
    EXPECT_EQ(whole.Shown(many.c_str(), 0, manyLength), manyOriginal);
}
