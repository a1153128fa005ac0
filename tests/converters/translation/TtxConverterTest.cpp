// TTX conversion: language selection, names, encodings and malformed files.
#include <gtest/gtest.h>

#include <string>

#include "converters/translation/TtxConverter.h"
#include "tests/ConvertHelper.h"
#include "tests/TestFiles.h"

namespace {

const std::wstring kBom = L"\uFEFF";

std::wstring Wrap(const std::wstring& body) {
    return L"<TRADOStag><Body><Raw>" + body + L"</Raw></Body></TRADOStag>";
}

class TtxTest : public testing::Test {
protected:
    // Writes `document` as UTF-16LE (with a byte-order mark when asked) and converts it.
    std::optional<std::wstring> Convert(const std::wstring& document, int includeHidden = 1,
                                        bool bom = true, const std::wstring& tags = L"") {
        const std::wstring name = L"f" + std::to_wstring(++count) + L".ttx";
        std::string bytes = bom ? "\xFF\xFE" : "";
        bytes += Utf16Bytes(document);
        dir.WriteFile(name, bytes);
        return ConvertToText(converter, dir / name, ConverterRequest(includeHidden, tags));
    }

    TempDir dir;
    TtxConverter converter;
    int count = 0;
};

const std::wstring kTwoLanguages =
    Wrap(L"<Tu><Tuv Lang=\"EN-US\">Hello</Tuv><Tuv Lang=\"DE-DE\">Hallo</Tuv></Tu>"
         L"<Tu><Tuv Lang=\"EN-US\">Cat</Tuv><Tuv Lang=\"de-de\">Katze</Tuv></Tu>");

TEST_F(TtxTest, TextFoldedWhileWrittenIsTheTextFoldedAfterwards) {
    // With and without the mark (which the search folds as well), typographic
    // characters, a reference to U+0000 that ends the text, a malformed
    // document searched as it was read.
    const std::wstring documents[] = {
        kTwoLanguages, Wrap(L"<Tu><Tuv Lang=\"EN\">\u201Cquoted\u201D \uFF21 \u2014</Tuv></Tu>"),
        Wrap(L"<Tu><Tuv Lang=\"EN\">a&#0;b</Tuv></Tu>"), L"<TRADOStag><Body>\u201Cunclosed"};
    for (const std::wstring& document : documents) {
        for (bool bom : {true, false}) {
            const std::wstring name = L"fold" + std::to_wstring(++count) + L".ttx";
            std::string bytes = bom ? "\xFF\xFE" : "";
            bytes += Utf16Bytes(document);
            dir.WriteFile(name, bytes);
            const std::optional<std::wstring> expected =
                FoldedAfterwards(converter, dir / name, ConverterRequest());
            ASSERT_TRUE(expected);
            EXPECT_EQ(SearchTextFor(converter, dir / name, ConverterRequest()), expected) << bom;
        }
    }
}

TEST_F(TtxTest, HiddenTextOptionLeavesOutTheSourceLanguage) {
    EXPECT_EQ(Convert(kTwoLanguages), kBom + L"Hello\nHallo\nCat\nKatze\n");
    EXPECT_EQ(Convert(kTwoLanguages, 0), kBom + L"Hallo\nKatze\n");
    EXPECT_EQ(Convert(kTwoLanguages, 1, false), L"Hello\nHallo\nCat\nKatze\n");
    EXPECT_EQ(Convert(kTwoLanguages, 0, true, L"Tuv source"), kBom + L"Hallo\nKatze\n")
        << "ignoreTags plays no part";
}

TEST_F(TtxTest, LanguagesAreComparedExactlyAsTheyAreMet) {
    // DE-DE and de-de are different languages.
    EXPECT_EQ(Convert(Wrap(L"<Tuv Lang=\"DE-DE\">A</Tuv><Tuv Lang=\"de-de\">B</Tuv>"), 0),
              kBom + L"B\n");
    // An empty Lang met first counts as the source; met later, as another language.
    EXPECT_EQ(Convert(Wrap(L"<Tuv Lang=\"\">X</Tuv><Tuv Lang=\"EN\">Y</Tuv><Tuv Lang=\"\">Z</Tuv>"), 0),
              kBom + L"Z\n");
    EXPECT_EQ(converter.SourceLanguage(), "") << "the prototype keeps no state";
}

TEST_F(TtxTest, ElementNamesAndLangAttribute) {
    EXPECT_EQ(Convert(Wrap(L"<tuv Lang=\"EN\">lower</tuv><TUV Lang=\"DE\">upper</TUV>")),
              kBom + L"lower\nupper\n");
    // Without Lang (a lower-case lang is not it) nothing inside counts.
    EXPECT_EQ(Convert(Wrap(L"<Tuv lang=\"EN\">no<ut>inner</ut></Tuv><Tuv>none</Tuv>")), kBom);
    // The first run, then each direct child's first run; later runs are lost.
    EXPECT_EQ(Convert(Wrap(L"<Tuv Lang=\"EN\">Hello<ut>b</ut>world<df><x>deep</x></df></Tuv>")),
              kBom + L"Hello\nb\n\n");
    // References decoded, CDATA never a value, text outside Tuv ignored.
    EXPECT_EQ(Convert(Wrap(L"outside<Tuv Lang=\"EN\"> a &amp; &#233; </Tuv>"
                           L"<Tuv Lang=\"DE\"><![CDATA[cdata]]>after</Tuv>")),
              kBom + L"a & \u00E9\nafter\n");
}

TEST_F(TtxTest, EmptyMalformedAndEightBitFiles) {
    EXPECT_EQ(Convert(L"", 1, false), L"");
    EXPECT_EQ(Convert(L"", 1, true), kBom);
    // An 8-bit file is read as UTF-16, fails to parse, and its raw bytes are searched.
    dir.WriteFile(L"ansi.ttx", "<Tuv Lang=\"EN\">Hi</Tuv>");
    SetLastError(0);
    auto converterClone = converter.Clone();
    HGLOBAL block = converterClone->Convert((dir / L"ansi.ttx").c_str(), ConverterRequest());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_XML_PARSE_ERROR));
    auto raw = TakeText(block);
    const std::string bytes = std::string("<Tuv Lang=\"EN\">Hi</Tuv>") + '\0';  // odd: a zero high byte
    EXPECT_EQ(raw, std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2));
    // Unclosed element: malformed, raw text comes back.
    EXPECT_EQ(Convert(L"<Tuv Lang=\"EN\">open", 1, false), L"<Tuv Lang=\"EN\">open");
    EXPECT_FALSE(ConvertToText(converter, dir / L"missing.ttx", ConverterRequest()));
}

TEST_F(TtxTest, NestingIsBoundedWithoutACrash) {
    // Hundreds of levels convert normally.
    std::wstring deep = L"<Tuv Lang=\"EN\">top<a>inner</a></Tuv>";
    for (int i = 0; i < 2000; ++i)
        deep = L"<n>" + deep + L"</n>";
    EXPECT_EQ(Convert(deep), kBom + L"top\ninner\n");

    // A million levels is malformed: the raw text comes back.
    std::wstring million;
    million.reserve(7000000);
    for (int i = 0; i < 1000000; ++i)
        million += L"<a>";
    auto result = Convert(million, 1, false);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->size(), million.size());
}

TEST(TtxAccepts, LastThreeLettersInAnyCase) {
    TtxConverter c;
    EXPECT_TRUE(c.Accepts(L"C:\\a.TTX"));
    EXPECT_TRUE(c.Accepts(L"C:\\axttx"));
    EXPECT_FALSE(c.Accepts(L"C:\\a.ttx.bak"));
    EXPECT_FALSE(c.Accepts(L"ttx"));
    EXPECT_TRUE(c.Accepts(L"attx"));
    EXPECT_STREQ(c.typeName, L"TTX files");
    EXPECT_STREQ(c.fileSpec, L"*.ttx");
}

}  // namespace
