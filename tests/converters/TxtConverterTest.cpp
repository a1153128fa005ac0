// The plain-text converter: encodings, byte-order marks and failures.
#include <gtest/gtest.h>

#include <string>

#include "converters/TxtConverter.h"
#include "base/ScopedHandle.h"
#include "base/SearchRecords.h"
#include "tests/TestFiles.h"

namespace {

struct Converted {
    bool ok = false;
    std::wstring text;  // up to the first NUL
    size_t blockBytes = 0;
};

Converted ConvertFile(const std::wstring& path, int codePage = 0, bool readUtf8 = false) {
    TxtConverter prototype;
    prototype.SetReadUtf8(readUtf8);
    auto converter = prototype.Clone();
    converter->SetCodePage(codePage);
    SearchRequest request{};
    ScopedGlobal block(converter->Convert(path.c_str(), request));
    Converted result;
    if (!block)
        return result;
    result.ok = true;
    result.blockBytes = GlobalSize(block.Get());
    GlobalLockGuard<wchar_t> text(block.Get());
    result.text = text.Get();
    return result;
}

struct EncodingCase {
    const char* name;
    std::string bytes;
    std::wstring expected;
};

TEST(TxtConverter, ReadsByteOrderMarkOrAnsiCodePage) {
    const EncodingCase cases[] = {
        {"utf16 with BOM", "\xFF\xFE" + Utf16Bytes(L"h\u00E9\u4E2D"), L"\uFEFFh\u00E9\u4E2D"},
        {"odd last byte", std::string("\xFF\xFEh\0i", 5), L"\uFEFFhi"},
        {"BOM alone", "\xFF\xFE", L"\uFEFF"},
        {"utf8 BOM read as ANSI", "\xEF\xBB\xBF" "caf\xC3\xA9", L"\u00EF\u00BB\u00BFcaf\u00C3\u00A9"},
        {"big-endian BOM read as ANSI", std::string("\xFE\xFF\0a", 4), L"\u00FE\u00FF"},
        {"FF without FE is ANSI", "\xFF\xFD" "ab", L"\u00FF\u00FD" L"ab"},
        {"FE FE is ANSI", "\xFE\xFE" "ab", L"\u00FE\u00FE" L"ab"},
        {"FE alone", "\xFE", L"\u00FE"},
        {"FF alone", "\xFF", L"\u00FF"},
        {"utf16 without BOM stops after one char", Utf16Bytes(L"ab"), L"a"},
        {"cp1252 typographic", "\x93quote\x94 \x96 \x80", L"\u201Cquote\u201D \u2013 \u20AC"},
        {"binary up to first zero", std::string("MZ\x90\0\x03\0", 6), L"MZ\u0090"},
        {"undefined 1252 bytes", "\x81\x8D", L"\u0081\u008D"},
    };
    TempDir dir;
    int i = 0;
    for (const EncodingCase& c : cases) {
        const std::wstring path = dir / (L"f" + std::to_wstring(i++) + L".txt");
        dir.WriteFile(path.substr(dir.Path().size()), c.bytes);
        const Converted got = ConvertFile(path);
        ASSERT_TRUE(got.ok) << c.name;
        EXPECT_EQ(got.text, c.expected) << c.name;
    }
}

TEST(TxtConverter, Utf8OptionReadsMarkedOrValidUtf8Only) {
    const EncodingCase cases[] = {
        {"mark left out", "\xEF\xBB\xBF" "caf\xC3\xA9", L"caf\u00E9"},
        {"mark before broken bytes", "\xEF\xBB\xBF" "a\xC3(", L"a\uFFFD("},
        {"mark alone", "\xEF\xBB\xBF", L""},
        {"mark and one letter", "\xEF\xBB\xBF" "a", L"a"},
        {"valid without mark", "\xE4\xB8\xAD caf\xC3\xA9 \xF0\x9F\x98\x80", L"\u4E2D caf\u00E9 \U0001F600"},
        {"invalid stays ANSI", "caf\xE9 \xC3\xA9", L"caf\u00E9 \u00C3\u00A9"},
        {"overlong stays ANSI", "\xC0\xAF", L"\u00C0\u00AF"},
        {"encoded surrogate stays ANSI", "\xED\xA0\x80", L"\u00ED\u00A0\u20AC"},
        {"pure ASCII as before", "plain text", L"plain text"},
        {"two bytes of the mark are no mark", "\xEF\xBB" "A", L"\u00EF\u00BB" L"A"},
        {"UTF-16 mark still wins", "\xFF\xFE" + Utf16Bytes(L"\u00E9"), L"\uFEFF\u00E9"},
    };
    TempDir dir;
    int i = 0;
    for (const EncodingCase& c : cases) {
        const std::wstring path = dir / (L"u" + std::to_wstring(i++) + L".txt");
        dir.WriteFile(path.substr(dir.Path().size()), c.bytes);
        const Converted got = ConvertFile(path, 0, true);
        ASSERT_TRUE(got.ok) << c.name;
        EXPECT_EQ(got.text, c.expected) << c.name;
        if (i <= 4) {  // the first four read otherwise with the option off, as by default
            EXPECT_NE(ConvertFile(path).text, c.expected) << c.name;
        }
    }
}

TEST(TxtConverter, BlockHoldsTheWholeTextAndATerminator) {
    TempDir dir;
    dir.WriteFile(L"odd.txt", std::string("\xFF\xFE" "a\0b", 5));
    dir.WriteFile(L"ansi.txt", "abc");
    EXPECT_GE(ConvertFile(dir / L"odd.txt").blockBytes, 8u);
    EXPECT_GE(ConvertFile(dir / L"ansi.txt").blockBytes, 8u);
}

TEST(TxtConverter, FailuresGiveNoBlock) {
    TempDir dir;
    dir.WriteFile(L"empty.txt", "");
    EXPECT_FALSE(ConvertFile(dir / L"empty.txt").ok);
    EXPECT_FALSE(ConvertFile(dir / L"missing.txt").ok);
    EXPECT_FALSE(ConvertFile(dir.Path()).ok) << "a folder is no file";
}

TEST(TxtConverter, FileOfTwoGibibytesIsRefused) {
    TempDir dir;
    const std::wstring path = dir / L"huge.txt";
    {
        // A sparse file: no disk space is used.
        ScopedKernelHandle h(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(h);
        LARGE_INTEGER size;
        size.QuadPart = 0x80000000LL;
        ASSERT_TRUE(SetFilePointerEx(h.Get(), size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(h.Get()));
    }
    TxtConverter converter;
    SearchRequest request{};
    SetLastError(0);
    EXPECT_EQ(converter.Convert(path.c_str(), request), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
}

TEST(TxtConverter, CodePageIsPerCloneAndStringsComeFromResources) {
    TempDir dir;
    dir.WriteFile(L"u.txt", "\xFF\xFE" + Utf16Bytes(L"x"));
    TxtConverter prototype;
    EXPECT_STREQ(prototype.typeName, L"TXT files");
    EXPECT_STREQ(prototype.fileSpec, L"*.txt");
    EXPECT_EQ(prototype.Accepts(L"C:\\anything.bin"), 1);
    EXPECT_EQ(prototype.IsPlainText(), 1);

    auto clone = prototype.Clone();
    SearchRequest request{};
    ScopedGlobal block(clone->Convert((dir / L"u.txt").c_str(), request));
    ASSERT_TRUE(block);
    EXPECT_EQ(static_cast<TxtConverter*>(clone.get())->CodePage(), TxtConverter::kUtf16);
    EXPECT_EQ(prototype.CodePage(), 0) << "the prototype is untouched";
    auto second = clone->Clone();
    EXPECT_STREQ(second->typeName, L"TXT files");
    EXPECT_EQ(static_cast<TxtConverter*>(second.get())->CodePage(), TxtConverter::kUtf16);

    // UTF-8 read through an explicit code page.
    dir.WriteFile(L"u8.txt", "caf\xC3\xA9");
    EXPECT_EQ(ConvertFile(dir / L"u8.txt", CP_UTF8).text, L"caf\u00E9");
}

TEST(TxtConverter, ConvertMemoryGoesThroughATemporaryFile) {
    const std::string bytes = "\xFF\xFE" + Utf16Bytes(L"from memory");
    ScopedGlobal input(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.size()));
    {
        GlobalLockGuard<char> data(input.Get());
        memcpy(data.Get(), bytes.data(), bytes.size());
    }
    TxtConverter converter;
    SearchRequest request{};
    ScopedGlobal output(converter.ConvertMemory(input.Get(), request));
    ASSERT_TRUE(output);
    GlobalLockGuard<wchar_t> text(output.Get());
    EXPECT_STREQ(text.Get(), L"\uFEFFfrom memory");
    EXPECT_NE(GlobalSize(input.Get()), 0u) << "the caller keeps the input block";
}

}  // namespace

#include <random>

#include "base/FoldText.h"
#include "converters/readers/SingleByteCodePage.h"

namespace {

TEST(SingleByteCodePage, SameUnitsAsTheSystemConversion) {
    std::mt19937 random(7);
    for (UINT codePage : {0u, 1252u, 437u, 1251u, 1253u, 850u}) {
        const SingleByteCodePage* table = SingleByteCodePage::For(codePage);
        ASSERT_NE(table, nullptr) << codePage;
        // Every byte value, then random buffers of lengths around the vector width.
        std::string bytes;
        for (int b = 0; b < 256; ++b)
            bytes += static_cast<char>(b);
        for (int round = 0; round < 20; ++round) {
            std::string more(1 + random() % 70, '\0');
            for (char& c : more)
                c = static_cast<char>(random() % 3 ? 'a' + random() % 26 : random() % 256);
            bytes += more;
        }
        std::wstring mine(bytes.size(), L'\0'), system(bytes.size(), L'\0');
        table->Convert(bytes.data(), bytes.size(), mine.data());
        MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), system.data(),
                            static_cast<int>(system.size()));
        EXPECT_EQ(mine, system) << codePage;
        // Folding while converting gives the folded system text, NULs kept
        // where they stand (they end the text), at every lane of the steps.
        std::wstring expected = system;
        for (wchar_t& c : expected) c = c ? FoldCharacter(c) : c;
        std::wstring folded(bytes.size(), L'\0');
        for (size_t offset = 0; offset < 17; ++offset) {
            const size_t firstNul =
                table->ConvertFolded(bytes.data() + offset, bytes.size() - offset, folded.data());
            ASSERT_EQ(folded.substr(0, bytes.size() - offset), expected.substr(offset))
                << codePage << " " << offset;
            const size_t expectedNul = expected.find(L'\0', offset);
            ASSERT_EQ(firstNul, expectedNul == std::wstring::npos ? bytes.size() - offset
                                                                  : expectedNul - offset);
            const std::string plain(40, 'a');  // no NUL at all: the size
            ASSERT_EQ(table->ConvertFolded(plain.data(), plain.size() - offset, folded.data()),
                      plain.size() - offset);
        }
    }
    // No character folds to NUL, so the text a folded conversion ends at
    // its first NUL is the text the search would fold.
    for (unsigned c = 1; c < 0x10000; ++c)
        ASSERT_NE(FoldCharacter(static_cast<wchar_t>(c)), L'\0') << c;
    EXPECT_EQ(SingleByteCodePage::For(CP_UTF8), nullptr) << "not a single-byte code page";
    EXPECT_EQ(SingleByteCodePage::For(932), nullptr) << "double-byte code page";
}

}  // namespace

namespace {

TEST(TextBlockPool, ReusedBlocksComeBackZeroFilled) {
    for (int round = 0; round < 3; ++round) {
        HGLOBAL first = AllocTextBlock(1 << 20);
        ASSERT_NE(first, nullptr);
        {
            GlobalLockGuard<char> data(first);
            memset(data.Get(), 0x5A, 1 << 20);
        }
        FreeTextBlock(first);
        // A smaller request may get the same block back: all of it is zero.
        HGLOBAL second = AllocTextBlock(1000);
        ASSERT_NE(second, nullptr);
        {
            GlobalLockGuard<char> data(second);
            const size_t size = GlobalSize(second);
            ASSERT_GE(size, 1000u);
            EXPECT_EQ(std::string(data.Get(), size), std::string(size, '\0'));
            memset(data.Get(), 0x5A, 1000);
        }
        FreeTextBlock(second);
        // A writer that ends its own text gets zeros beyond its part.
        HGLOBAL third = AllocUnclearedTextBlock(500);
        {
            GlobalLockGuard<char> data(third);
            const size_t size = GlobalSize(third);
            EXPECT_EQ(std::string(data.Get() + 500, size - 500), std::string(size - 500, '\0'));
        }
        FreeTextBlock(third);
        // A block given back after a later one was handed out: all of it
        // may have been written.
        HGLOBAL big = AllocTextBlock(1 << 20);
        HGLOBAL small = AllocTextBlock(1000);
        ASSERT_TRUE(big && small);
        {
            GlobalLockGuard<char> data(big);
            memset(data.Get(), 0x5A, 1 << 20);
        }
        FreeTextBlock(small);
        FreeTextBlock(big);
        HGLOBAL again = AllocTextBlock(1 << 20);
        ASSERT_NE(again, nullptr);
        {
            GlobalLockGuard<char> data(again);
            const size_t size = GlobalSize(again);
            EXPECT_EQ(std::string(data.Get(), size), std::string(size, '\0'));
        }
        FreeTextBlock(again);
    }
}

}  // namespace
