// XLIFF conversion: gathering units, dropping ignored elements, what the parser keeps.
#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <vector>
#include <string>

#include "converters/translation/XliffConverter.h"
#include "tests/ConvertHelper.h"
#include "tests/TestFiles.h"

namespace {

std::string Xliff(const std::string& units) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xliff version=\"1.2\"><file><body>" +
           units + "</body></file></xliff>";
}

class XliffTest : public testing::Test {
protected:
    std::optional<std::wstring> Convert(const std::string& bytes, const std::wstring& tags = L"") {
        const std::wstring name = L"f" + std::to_wstring(++count) + L".xlf";
        dir.WriteFile(name, bytes);
        return ConvertToText(converter, dir / name, ConverterRequest(1, tags));
    }

    TempDir dir;
    XliffConverter converter;
    int count = 0;
};

const std::string kUnits =
    "<trans-unit id=\"1\"><source>A</source><target>B</target></trans-unit>"
    "<trans-unit id=\"2\"><source>un<g id=\"1\">bel</g>ievable</source>"
    "<target>nicht <mrk>zu</mrk> glauben</target><note>skip me</note></trans-unit>"
    "<trans-unit id=\"3\"><source>only source</source></trans-unit>";

TEST_F(XliffTest, TextFoldedWhileWrittenIsTheTextFoldedAfterwards) {
    // Typographic and fullwidth characters, controls, a reference to U+0000
    // (which ends the text), broken UTF-8 in a run, long and short runs.
    const std::string documents[] = {
        Xliff(kUnits),
        Xliff("<trans-unit id=\"1\"><source>\xE2\x80\x9Cquoted\xE2\x80\x9D "
              "\xEF\xBC\xA1\xEF\xBC\xA2 tab\there"
              "</source><target>caf\xC3\xA9 &#x1; &#x0B; \xF0\x9F\x98\x80 and a longer run of "
              "plain text</target>"
              "</trans-unit>"),
        Xliff(
            "<trans-unit id=\"1\"><source>before&#0;after</source><target>t</target></trans-unit>"),
        Xliff("<trans-unit id=\"1\"><source>broken \xC3 byte in a run that is long</source>"
              "<target>\xFF</target></trans-unit>"),
        Xliff(""),
    };
    for (const std::string& document : documents) {
        const std::wstring name = L"fold" + std::to_wstring(++count) + L".xlf";
        dir.WriteFile(name, document);
        const SearchRequest request = ConverterRequest();
        const std::optional<std::wstring> expected =
            FoldedAfterwards(converter, dir / name, request);
        ASSERT_TRUE(expected) << document;
        EXPECT_EQ(SearchTextFor(converter, dir / name, request), expected) << document;
    }
}

TEST_F(XliffTest, SourceTextLineBreakTargetText) {
    EXPECT_EQ(Convert(Xliff("<trans-unit id=\"1\"><source>A</source><target>B</target></trans-unit>")),
              L"A \r\nB ");
    EXPECT_EQ(Convert(Xliff(kUnits)),
              L"A un bel ievable only source \r\nB nicht zu glauben ");
    EXPECT_EQ(Convert(Xliff("")), L"\r\n");
}

TEST_F(XliffTest, IgnoredElementsAreDroppedByExactName) {
    struct Case {
        std::wstring tags;
        std::wstring expected;
    } cases[] = {
        {L"source", L"\r\nB nicht zu glauben "},
        {L"target", L"A un bel ievable only source \r\n"},
        {L"g mrk", L"A un ievable only source \r\nB nicht glauben "},
        {L"Source", L"A un bel ievable only source \r\nB nicht zu glauben "},
        // Doubled and outer separators give no empty name.
        {L" source\t\tg ", L"\r\nB nicht zu glauben "},
        {L"  ", L"A un bel ievable only source \r\nB nicht zu glauben "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Convert(Xliff(kUnits), c.tags), c.expected) << testing::PrintToString(c.tags);

    EXPECT_EQ(converter.Clone()->Accepts(L"x.xlf"), 1);
    XliffConverter probe;
    probe.ConvertDocument(nullptr, ConverterRequest(1, L"a  b"));
    EXPECT_TRUE(probe.IgnoredNames().empty()) << "no block: nothing is read";
}

TEST_F(XliffTest, VersionTwoAndPrefixedDocumentsReadLikeUnits) {
    // 2.0: units (also inside groups) hold segments and ignorables in order;
    // notes and original data stay out.
    const std::string two =
        "<?xml version=\"1.0\"?><xliff xmlns=\"urn:oasis:names:tc:xliff:document:2.0\" version=\"2.0\" "
        "srcLang=\"en\" trgLang=\"de\"><file id=\"f\"><notes><note>file note</note></notes>"
        "<unit id=\"1\"><notes><note>unit note</note></notes><segment><source>Hello <pc id=\"1\">big</pc>"
        "</source><target>Hallo <pc id=\"1\">gro\xC3\x9F</pc></target></segment><ignorable><source> </source>"
        "</ignorable><segment><source>world</source><target>Welt</target></segment>"
        "<originalData><data id=\"d1\">&lt;b&gt;</data></originalData></unit>"
        "<group id=\"g\"><unit id=\"2\"><segment><source>grouped</source></segment></unit></group>"
        "</file></xliff>";
    EXPECT_EQ(Convert(two), L"Hello big world grouped \r\nHallo gro\u00DF Welt ");
    EXPECT_EQ(Convert(two, L"pc"), L"Hello world grouped \r\nHallo Welt ");
    EXPECT_EQ(Convert(two, L"target"), L"Hello big world grouped \r\n");
    // The major version alone says as much.
    std::string major = two;
    major.replace(major.find("version=\"2.0\""), 13, "version=\"2\"");
    EXPECT_EQ(Convert(major), L"Hello big world grouped \r\nHallo gro\u00DF Welt ");

    // 1.2 with every name prefixed; "note" and "g" also prune the prefixed
    // elements, and a prefixed name in the field still works.
    const std::string prefixed =
        "<xlf:xliff xmlns:xlf=\"urn:oasis:names:tc:xliff:document:1.2\" version=\"1.2\"><xlf:file><xlf:body>"
        "<xlf:trans-unit id=\"1\"><xlf:source>un<xlf:g id=\"1\">bel</xlf:g>ievable</xlf:source>"
        "<xlf:target>nicht zu glauben</xlf:target><xlf:note>n</xlf:note></xlf:trans-unit>"
        "</xlf:body></xlf:file></xlf:xliff>";
    EXPECT_EQ(Convert(prefixed), L"un bel ievable \r\nnicht zu glauben ");
    EXPECT_EQ(Convert(prefixed, L"g"), L"un ievable \r\nnicht zu glauben ");
    EXPECT_EQ(Convert(prefixed, L"xlf:target"), L"un bel ievable \r\n");

    // A 1.2 document is not read as 2.0 for holding an element named unit,
    // and an element of another prefix is not an XLIFF name.
    EXPECT_EQ(Convert(Xliff("<unit><segment><source>no</source></segment></unit>"
                            "<trans-unit><source>yes</source><x:source>no</x:source></trans-unit>")),
              L"yes \r\n");
}

TEST_F(XliffTest, NonAsciiNamesAreMatchedInUtf8) {
    const std::string doc = Xliff(
        "<trans-unit><source>s <k\xC3\xA4lla>hidden</k\xC3\xA4lla></source><target>t</target>"
        "</trans-unit>");
    EXPECT_EQ(Convert(doc, L"k\u00E4lla"), L"s \r\nt ");
}

TEST_F(XliffTest, DocumentShapes) {
    // A top-level trans-unit is never taken; the gathering starts below it.
    EXPECT_EQ(Convert("<trans-unit><source>A</source></trans-unit>"), L"\r\n");
    // No element at all.
    EXPECT_EQ(Convert("<?xml version=\"1.0\"?>"), L"\r\n");
    EXPECT_EQ(Convert("<?xml version=\"1.0\"?>", L"source"), L"\r\n");
    // Units nested in a unit are not looked at.
    EXPECT_EQ(Convert(Xliff("<trans-unit><source>A</source><trans-unit><source>N</source>"
                            "</trans-unit></trans-unit>")),
              L"A \r\n");
}

TEST_F(XliffTest, ReadingProfile) {
    // CDATA is not collected; a comment splits a run in two.
    EXPECT_EQ(Convert(Xliff("<trans-unit><source>a<![CDATA[secret]]>b</source>"
                            "<target>foo<!-- note -->bar</target></trans-unit>")),
              L"a b \r\nfoo bar ");
    // Character references: decimal, hexadecimal with x; unknown entities stay.
    EXPECT_EQ(Convert(Xliff("<trans-unit><source>caf&#233; caf&#xe9; &lt;&amp;&gt; &nbsp;"
                            "</source></trans-unit>")),
              L"caf\u00E9 caf\u00E9 <&> &nbsp; \r\n");
    // Upper-case X is no hexadecimal reference: the document is malformed.
    EXPECT_FALSE(Convert(Xliff("<trans-unit><source>&#XE9;</source></trans-unit>")));
    // Declared 8-bit encodings are still read as UTF-8.
    EXPECT_EQ(Convert("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><x><trans-unit>"
                      "<source>\xC3\xA9t\xC3\xA9</source></trans-unit></x>"),
              L"\u00E9t\u00E9 \r\n");
    // UTF-16 files fail to parse.
    EXPECT_FALSE(Convert("\xFF\xFE" + Utf16Bytes(L"<x><trans-unit><source>A</source></trans-unit></x>")));
    // Closing tags are not compared.
    EXPECT_EQ(Convert("<x><trans-unit><source>A</target></y></z>"), L"A \r\n");
}

TEST_F(XliffTest, BrokenUtf8ConvertsAsTheJoinedRunsWould) {
    // Runs of well-formed and broken UTF-8 in several units and inline
    // elements: the text is what the system converter makes of all the runs
    // of a side joined, each followed by a space.
    const std::string pieces[] = {"a", "Zq", "\xC3\xA9", "\xE2\x80\x94", "\xF0\x9F\x98\x80", "\xC3",
                                  "\xE2\x82", "\x80", "\xFF", "\xED\xA0\x80", "\xC0\xAF",
                                  "a run of ASCII that is longer than sixteen bytes"};
    std::mt19937 random(21);
    for (int round = 0; round < 200; ++round) {
        std::string units, sourceRuns, targetRuns;
        for (int unit = 0, n = 1 + random() % 4; unit < n; ++unit) {
            std::string source, target;
            for (std::string* side : {&source, &target}) {
                std::string& joined = side == &source ? sourceRuns : targetRuns;
                for (int run = 0, runs = 1 + random() % 3; run < runs; ++run) {
                    std::string text;
                    for (int i = 0, k = 1 + random() % 5; i < k; ++i)
                        text += pieces[random() % std::size(pieces)];
                    *side += run ? "<g>" + text + "</g>" : text;
                    joined += text + " ";
                }
            }
            units += "<trans-unit><source>" + source + "</source><target>" + target + "</target></trans-unit>";
        }
        auto decode = [](const std::string& bytes) {
            std::wstring out(bytes.size(), L'\0');
            out.resize(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                           out.data(), static_cast<int>(out.size())));
            return out;
        };
        ASSERT_EQ(Convert(Xliff(units)), decode(sourceRuns) + L"\r\n" + decode(targetRuns))
            << testing::PrintToString(units);
    }
}

TEST_F(XliffTest, MalformedAndDeepDocumentsFail) {
    EXPECT_FALSE(Convert("<x><trans-unit><source>A"));
    EXPECT_FALSE(ConvertToText(converter, dir / L"missing.xlf", ConverterRequest()));

    std::string deep = "<trans-unit><source>deep</source></trans-unit>";
    for (int i = 0; i < 2000; ++i)
        deep = "<n>" + deep + "</n>";
    EXPECT_EQ(Convert(deep), L"deep \r\n");

    std::string million;
    million.reserve(3000000);
    for (int i = 0; i < 1000000; ++i)
        million += "<a>";
    EXPECT_FALSE(Convert(million));
}

TEST_F(XliffTest, FilesWhoseTextCannotFitAreRefusedUnread) {
    // 3 GiB (sparse: nothing is written but the start): 2n + 2 bytes do not
    // fit in 32 bits, so the file fails before a byte is read.
    const std::wstring path = dir / L"huge.xlf";
    dir.WriteFile(L"huge.xlf", Xliff(kUnits));
    ASSERT_TRUE(ExtendFile(path, 3LL << 30));
    SearchRequest request = ConverterRequest();
    SetLastError(0);
    EXPECT_EQ(converter.Convert(path.c_str(), request), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
    DeleteFileW(path.c_str());
}

TEST(XliffAccepts, ExtensionsWithoutDotInAnyCase) {
    XliffConverter c;
    for (const wchar_t* yes : {L"C:\\a.xlf", L"C:\\a.XLIFF", L"C:\\a.Xliff", L"axlf", L"axliff"})
        EXPECT_TRUE(c.Accepts(yes)) << yes;
    for (const wchar_t* no : {L"xlf", L"C:\\a.xlf.bak", L"xliff", L"C:\\a.xlz"})
        EXPECT_FALSE(c.Accepts(no)) << no;
}

}  // namespace

namespace {

// The segments of `bytes` as "id|source|target" lines, from a clone asked
// for them, as the console and the search ask.
std::vector<std::wstring> SegmentLines(TempDir& dir, const std::string& bytes, bool fold) {
    dir.WriteFile(L"segments.xlf", bytes);
    XliffConverter prototype;
    auto converter = prototype.Clone();
    converter->SetWantSegments(true);
    const SearchRequest request = ConverterRequest();
    size_t folded = DocConverter::kNotFolded;
    HGLOBAL block = fold ? converter->ConvertForSearch((dir / L"segments.xlf").c_str(), request, &folded)
                         : converter->Convert((dir / L"segments.xlf").c_str(), request);
    const std::optional<std::wstring> text = TakeText(block);
    std::vector<std::wstring> lines;
    if (!text)
        return lines;
    // A side's ranges hold its runs exactly, not the space written after each.
    const SegmentTable& table = converter->Segments();
    for (size_t i = 0; i < table.size(); ++i) {
        for (const TextRange& r : table.Source(i)) {
            EXPECT_LT(r.end, text->size());
            EXPECT_EQ((*text)[r.end], L' ') << "the space after a run is no side's";
            EXPECT_NE(r.end, r.begin) << "no empty run";
        }
    }
    for (size_t i = 0; i < table.size(); ++i)
        lines.push_back(table.Id(i) + L"|" + ShownSideText(text->c_str(), text->size(), table.Source(i)) + L"|" +
                        ShownSideText(text->c_str(), text->size(), table.Target(i)));
    return lines;
}

}  // namespace

TEST(XliffSegments, UnitsOfBothVersionsWithTheirIdsAndSides) {
    TempDir dir;
    // 1.2: the id, or the place among the units taken; an empty id is none;
    // tabs and line breaks in an id are spaces; a unit without target.
    const std::string v12 = Xliff(
        "<trans-unit id=\"a1\"><source>Open  the\n file</source><target>Datei <g id=\"1\">\xC3\xB6" "ffnen</g></target></trans-unit>"
        "<group><trans-unit><source>Nested</source><target>Verschachtelt</target></trans-unit></group>"
        "<trans-unit id=\"\"><source>Only source</source></trans-unit>"
        "<trans-unit id=\"x&#9;y\"><source> </source><target>leer</target></trans-unit>");
    const std::vector<std::wstring> expected12 = {L"a1|Open the file|Datei \u00f6ffnen", L"#2|Nested|Verschachtelt",
                                                  L"#3|Only source|", L"x y||leer"};
    EXPECT_EQ(SegmentLines(dir, v12, false), expected12);
    EXPECT_EQ(SegmentLines(dir, v12, true), expected12) << "the same places in the text folded while written";

    // 2.0: unit/segment, the segment's place among its unit's segments
    // (ignorables are none), a unit without id by its place among units.
    const std::string v20 =
        "<xliff version=\"2.0\" srcLang=\"en\" trgLang=\"de\"><file id=\"f\">"
        "<unit id=\"u1\"><segment id=\"s1\"><source>One.</source><target>Eins.</target></segment>"
        "<ignorable><source>[x]</source></ignorable>"
        "<segment><source>Two.</source><target>Zwei.</target></segment></unit>"
        "<unit><segment><source>Three</source></segment></unit></file></xliff>";
    EXPECT_EQ(SegmentLines(dir, v20, false),
              (std::vector<std::wstring>{L"u1/s1|One.|Eins.", L"u1/2|Two.|Zwei.", L"#2/1|Three|"}));
    dir.WriteFile(L"v20.xlf", v20);
    const std::optional<std::wstring> text20 = ConvertToText(XliffConverter(), dir / L"v20.xlf", ConverterRequest());
    ASSERT_TRUE(text20);
    EXPECT_NE(text20->find(L"One. [x] Two."), std::wstring::npos) << "an ignorable's text is written, in no segment";

    // A converter that converts again starts its count again.
    dir.WriteFile(L"again.xlf", v12);
    XliffConverter again;
    auto twice = again.Clone();
    twice->SetWantSegments(true);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(TakeText(twice->Convert((dir / L"again.xlf").c_str(), ConverterRequest())));
        ASSERT_EQ(twice->Segments().size(), 4u);
        EXPECT_EQ(twice->Segments().Id(1), L"#2") << "round " << round;
    }

    // Not asked for, none are made.
    dir.WriteFile(L"plain.xlf", v12);
    XliffConverter plain;
    auto converter = plain.Clone();
    ASSERT_TRUE(TakeText(converter->Convert((dir / L"plain.xlf").c_str(), ConverterRequest())));
    EXPECT_TRUE(converter->Segments().empty());
}

TEST(XliffSegments, ShownTextOfASide) {
    const std::wstring text = L"ab  cd\r\n\tef Xgh ij";
    const struct {
        std::vector<TextRange> side;
        const wchar_t* shown;
    } cases[] = {
        {{}, L""},
        {{{0, 2}}, L"ab"},
        {{{0, 6}}, L"ab cd"},                 // a run of spaces is one
        {{{2, 11}}, L"cd ef"},                // leading and trailing white space goes
        {{{0, 2}, {4, 6}}, L"ab cd"},         // pieces joined by one space
        {{{0, 1}, {12, 13}, {13, 14}}, L"a X g"},
        {{{15, 40}}, L"ij"},                  // a range past the text stops at its end
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShownSideText(text.c_str(), text.size(), c.side), c.shown) << testing::PrintToString(c.shown);
}
