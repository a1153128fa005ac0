// The segments of TTX, TMX, PO and XLZ files: ids, sides, the languages that
// decide them, and ranges that stay right whatever the text's encoding.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/FoldText.h"
#include "converters/readers/Utf8Text.h"
#include "converters/translation/PoConverter.h"
#include "converters/translation/TmxConverter.h"
#include "converters/translation/TtxConverter.h"
#include "converters/translation/XliffConverter.h"
#include "converters/translation/XlzConverter.h"
#include "tests/ConvertHelper.h"
#include "tests/TestFiles.h"
#include "tests/ZipWriter.h"

namespace {

using Lines = std::vector<std::wstring>;

// Both ways a converter writes: plain, and folded for a search.
void ExpectSegments(const DocConverter& converter, const std::wstring& path, const Lines& expected,
                    const SearchRequest& request = ConverterRequest()) {
    EXPECT_EQ(SegmentLinesFor(converter, path, request, false), expected) << testing::PrintToString(path);
    // For a search the text is folded as it is written (a character beyond
    // the first plane becomes spaces), and the shown texts follow.
    Lines folded;
    for (const std::wstring& line : expected) {
        std::wstring f;
        for (const wchar_t c : line) {
            const wchar_t k = c == L'|' ? c : FoldCharacter(c);
            if (k == L' ' && (f.empty() || f.back() == L' ' || f.back() == L'|'))
                continue;
            if (k == L'|' && !f.empty() && f.back() == L' ')
                f.pop_back();
            f += k;
        }
        if (!f.empty() && f.back() == L' ')
            f.pop_back();
        folded.push_back(f);
    }
    EXPECT_EQ(SegmentLinesFor(converter, path, request, true), folded) << "for a search";
}

}  // namespace

TEST(SegmentTables, TtxUnitsBySourceLanguageAndHiddenText) {
    TempDir dir;
    // Non-ASCII text before later pieces moves them in bytes, not in units;
    // a character beyond the first plane takes two units.
    const std::wstring document =
        L"<TRADOStag><Body><Raw><ut>head</ut>"
        L"<Tu><Tuv Lang=\"EN-US\">Open \u201Cthe\u201D file</Tuv><Tuv Lang=\"DE-DE\">Datei \u00f6ffnen</Tuv></Tu>"
        L"<Tu><Tuv Lang=\"EN-US\">\U0001F600 smile<df>bold</df></Tuv><Tuv Lang=\"DE-DE\">L\u00e4cheln</Tuv></Tu>"
        L"<Tu><Tuv Lang=\"EN-US\">Only source</Tuv></Tu>"
        // Sides in any order; a unit inside a unit is part of it.
        L"<Tu><Tuv Lang=\"DE-DE\">Ziel</Tuv><Tuv Lang=\"EN-US\">Quelle</Tuv><Tuv Lang=\"DE-DE\">zwei</Tuv></Tu>"
        L"<Tu><Tuv Lang=\"EN-US\">outer</Tuv><Tu><Tuv Lang=\"DE-DE\">inner</Tuv></Tu></Tu>"
        L"<Tuv Lang=\"DE-DE\">outside</Tuv></Raw></Body></TRADOStag>";
    TtxConverter ttx;
    for (const bool bom : {true, false}) {
        const std::wstring path = dir / (bom ? L"bom.ttx" : L"plain.ttx");
        dir.WriteFile(bom ? L"bom.ttx" : L"plain.ttx", (bom ? std::string("\xFF\xFE") : std::string()) + Utf16Bytes(document));
        ExpectSegments(ttx, path,
                       {L"#1|Open \u201Cthe\u201D file|Datei \u00f6ffnen", L"#2|\U0001F600 smile bold|L\u00e4cheln",
                        L"#3|Only source|", L"#4|Quelle|Ziel zwei", L"#5|outer|inner"});
        // Without hidden text the source language is not written: no source side.
        ExpectSegments(ttx, path, {L"#1||Datei \u00f6ffnen", L"#2||L\u00e4cheln", L"#3||", L"#4||Ziel zwei", L"#5||inner"},
                       ConverterRequest(0));
    }
    // A document that does not parse is searched as it was read: no segments.
    dir.WriteFile(L"raw.ttx", "\xFF\xFE" + Utf16Bytes(L"<TRADOStag><Tu><Tuv Lang=\"EN\">open"));
    EXPECT_TRUE(SegmentLinesFor(ttx, dir / L"raw.ttx", ConverterRequest()).empty());
}

TEST(SegmentTables, TmxLanguagesIdsAndSides) {
    TempDir dir;
    TmxConverter tmx;
    // The unit's srclang when a variant has it, else the header's, else the
    // first variant's; xml:lang before lang; case ignored; notes and
    // properties on no side; prefixed names by their local names.
    const std::string units =
        "<tmx version=\"1.4\"><header srclang=\"en-US\"/><body>"
        "<tu tuid=\"t1\"><tuv xml:lang=\"de-DE\"><seg>Rote \xC3\x84pfel</seg></tuv>"
        "<tuv xml:lang=\"EN-us\"><note>a note</note><prop type=\"x\">a prop</prop><seg>Red apples</seg></tuv></tu>"
        "<tu srclang=\"fr\"><tuv lang=\"en-US\"><seg>green</seg></tuv><tuv lang=\"fr\"><seg>vert \xF0\x9F\x98\x80</seg></tuv></tu>"
        "<tu srclang=\"it\" tuid=\"\"><tuv xml:lang=\"ja\" lang=\"en-US\"><seg>\xE6\x97\xA5</seg></tuv>"
        "<tuv xml:lang=\"ko\"><seg>\xED\x95\x9C</seg></tuv><tuv xml:lang=\"ja\"><seg>two</seg></tuv></tu>"
        "<tu tuid=\"x&#9;y\"><tuv xml:lang=\"en-us\"><seg>one</seg></tuv><tuv xml:lang=\"EN-US\"><seg>both source</seg></tuv></tu>"
        "<t:tu xmlns:t=\"urn:x\"><t:tuv xml:lang=\"de\"><t:seg>prefixed</t:seg></t:tuv></t:tu>"
        "</body></tmx>";
    const Lines expected = {L"t1|Red apples|Rote \u00c4pfel", L"#2|vert \U0001F600|green",
                            L"#3|\u65e5 two|\ud55c", L"x y|one both source|", L"#5|prefixed|"};
    dir.WriteFile(L"m.tmx", units);
    ExpectSegments(tmx, dir / L"m.tmx", expected);
    // A comment between units makes the converter parse the whole document:
    // the same segments.
    std::string commented = units;
    commented.insert(commented.find("<tu srclang=\"it\""), "<!-- a comment -->");
    dir.WriteFile(L"c.tmx", commented);
    ExpectSegments(tmx, dir / L"c.tmx", expected);
    // UTF-16 documents too.
    std::wstring wide;
    wide.resize(units.size());
    wide.resize(Utf8ToUtf16Bounded(units.data(), units.size(), wide.data()));
    dir.WriteFile(L"w.tmx", "\xFF\xFE" + Utf16Bytes(wide));
    ExpectSegments(tmx, dir / L"w.tmx", expected);
    // Languages are told apart by every letter, any case; a unit inside a
    // unit is part of it (such a document is parsed whole).
    dir.WriteFile(L"l.tmx",
                  "<tmx><header srclang=\"en-US\"/><body>"
                  "<tu><tuv xml:lang=\"en-US\"><seg>a</seg></tuv><!-- whole --><tu><tuv xml:lang=\"de\"><seg>b</seg></tuv></tu></tu>"
                  "<tu srclang=\"en-au\"><tuv xml:lang=\"en-GB\"><seg>friend</seg></tuv>"
                  "<tuv xml:lang=\"EN-AU\"><seg>mate</seg></tuv></tu>"
                  "</body></tmx>");
    ExpectSegments(tmx, dir / L"l.tmx", {L"#1|a|b", L"#2|mate|friend"});
    // Without a header language the first variant's is the source.
    dir.WriteFile(L"n.tmx", "<tmx><body><tu><tuv xml:lang=\"fr\"><seg>un</seg></tuv><tuv xml:lang=\"en\"><seg>one</seg></tuv></tu></body></tmx>");
    ExpectSegments(tmx, dir / L"n.tmx", {L"#1|un|one"});
}

TEST(SegmentTables, PoEntriesPluralsAndCharsets) {
    TempDir dir;
    PoConverter po;
    // The header and obsolete entries are not written and not counted;
    // context is on no side; plurals are source, every msgstr target.
    dir.WriteFile(L"a.po",
                  "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=windows-1251\\n\"\n\n"
                  "#, fuzzy\nmsgctxt \"menu\"\nmsgid \"Open\"\nmsgstr \"\xCE\xF2\xEA\xF0\xFB\xF2\xFC\"\n\n"
                  "#~ msgid \"Old\"\n#~ msgstr \"\xD1\xF2\xE0\xF0\"\n\n"
                  "msgid \"one file\"\nmsgid_plural \"%d files\"\nmsgstr[0] \"\"\n\"%d \xF4\xE0\xE9\xEB\"\nmsgstr[1] \"%d \xF4\xE0\xE9\xEB\xE0\"\n"
                  "msgid \"tab\\there\"\nmsgstr \"\"\n");
    ExpectSegments(po, dir / L"a.po",
                   {L"#1|Open|\u041e\u0442\u043a\u0440\u044b\u0442\u044c",
                    L"#2|one file %d files|%d \u0444\u0430\u0439\u043b %d \u0444\u0430\u0439\u043b\u0430", L"#3|tab here|"});
    // Not a catalogue: plain text, without segments.
    dir.WriteFile(L"b.po", "msgid \"open\nmsgstr \"\"\n");
    EXPECT_TRUE(SegmentLinesFor(po, dir / L"b.po", ConverterRequest()).empty());
}

TEST(SegmentTables, XlzAsItsDocument) {
    TempDir dir;
    XlzConverter xlz;
    ZipLayout layout;
    layout.entries.push_back({"content.xlf",
                              "<xliff version=\"1.2\"><file><body><trans-unit id=\"a\"><source>S</source>"
                              "<target>T</target></trans-unit></body></file></xliff>"});
    dir.WriteFile(L"p.xlz", BuildZip(layout));
    ExpectSegments(xlz, dir / L"p.xlz", {L"a|S|T"});
}

TEST(SegmentTables, LanguagesTheFilesName) {
    TempDir dir;
    dir.WriteFile(L"a.xlf", "<xliff version=\"1.2\"><file source-language=\"en-US\" target-language=\"de-DE\"><body>"
                            "<trans-unit id=\"1\"><source>a</source><target>b</target></trans-unit></body></file>"
                            "<file source-language=\"fr\" target-language=\"it\"/></xliff>");
    dir.WriteFile(L"b.xlf", "<xliff version=\"2.0\" srcLang=\"en\" trgLang=\"ja\"><file id=\"f\"><unit id=\"u\">"
                            "<segment><source>a</source><target>b</target></segment></unit></file></xliff>");
    dir.WriteFile(L"c.tmx", "<tmx version=\"1.4\"><header srclang=\"en-GB\"/><body><tu><tuv xml:lang=\"en-GB\">"
                            "<seg>a</seg></tuv><tuv xml:lang=\"el-GR\"><seg>b</seg></tuv></tu></body></tmx>");
    dir.WriteFile(L"d.po", "msgid \"\"\nmsgstr \"\"\n\"Language: pt_BR\\n\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                           "msgid \"a\"\nmsgstr \"b\"\n");
    dir.WriteFile(L"e.ttx", "\xFF\xFE" + Utf16Bytes(L"<TRADOStag><Body><Raw><Tu><Tuv Lang=\"EN-US\">a</Tuv>"
                                                      L"<Tuv Lang=\"FR-FR\">b</Tuv></Tu></Raw></Body></TRADOStag>"));
    XliffConverter xliff;
    TmxConverter tmx;
    PoConverter po;
    TtxConverter ttx;
    const struct {
        const DocConverter* converter;
        const wchar_t* name;
        const wchar_t* source;
        const wchar_t* target;
    } cases[] = {{&ttx, L"e.ttx", L"EN-US", L"FR-FR"},
                 {&xliff, L"a.xlf", L"en-US", L"de-DE"},
                 {&xliff, L"b.xlf", L"en", L"ja"},
                 {&tmx, L"c.tmx", L"en-GB", L"el-GR"},
                 {&po, L"d.po", L"", L"pt_BR"}};
    for (const auto& c : cases) {
        auto converter = c.converter->Clone();
        converter->SetWantSegments(true);
        ScopedGlobal text(converter->Convert((dir / c.name).c_str(), ConverterRequest()));
        ASSERT_TRUE(text) << c.name;
        ASSERT_EQ(converter->Segments().size(), 1u) << c.name;
        EXPECT_EQ(converter->Segments().SourceLanguage(), c.source) << c.name;
        EXPECT_EQ(converter->Segments().TargetLanguage(), c.target) << c.name;
    }
}

TEST(SegmentTables, StatesAndLocks) {
    TempDir dir;
    dir.WriteFile(L"a.xlf",
                  "<xliff version=\"1.2\"><file><body>"
                  "<trans-unit id=\"1\"><source>a</source><target state=\"needs-review-translation\">b</target></trans-unit>"
                  "<trans-unit id=\"2\" approved=\"yes\"><source>a</source><target state=\"translated\">b</target></trans-unit>"
                  "<trans-unit id=\"3\" translate=\"no\"><source>a</source><target state=\"signed-off\">b</target></trans-unit>"
                  "<trans-unit id=\"4\"><source>a</source></trans-unit></body></file></xliff>");
    dir.WriteFile(L"b.xlf", "<xliff version=\"2.0\" srcLang=\"en\"><file id=\"f\"><unit id=\"u\" translate=\"no\">"
                            "<segment state=\"reviewed\"><source>a</source></segment></unit><unit id=\"v\">"
                            "<segment state=\"initial\"><source>a</source></segment></unit></file></xliff>");
    dir.WriteFile(L"c.po", "msgid \"a\"\nmsgstr \"b\"\n\n#, fuzzy, c-format\nmsgid \"c\"\nmsgstr \"d\"\n\n"
                           "msgid \"e\"\nmsgstr \"\"\n\n#, fuzzy\nmsgctxt \"x\"\nmsgid \"f\"\nmsgstr \"g\"\n");
    XliffConverter xliff;
    PoConverter po;
    using S = SegmentState;
    const struct {
        const DocConverter* converter;
        const wchar_t* name;
        std::vector<std::pair<SegmentState, bool>> states;
    } cases[] = {
        {&xliff, L"a.xlf", {{S::kDraft, false}, {S::kFinal, false}, {S::kReviewed, true}, {S::kUnknown, false}}},
        {&xliff, L"b.xlf", {{S::kReviewed, true}, {S::kNew, false}}},
        {&po, L"c.po", {{S::kTranslated, false}, {S::kDraft, false}, {S::kNew, false}, {S::kDraft, false}}},
    };
    for (const auto& c : cases) {
        auto converter = c.converter->Clone();
        converter->SetWantSegments(true);
        ScopedGlobal text(converter->Convert((dir / c.name).c_str(), ConverterRequest()));
        ASSERT_TRUE(text) << c.name;
        const SegmentTable& table = converter->Segments();
        ASSERT_EQ(table.size(), c.states.size()) << c.name;
        for (size_t i = 0; i < table.size(); ++i) {
            EXPECT_EQ(table.State(i), c.states[i].first) << c.name << " " << i;
            EXPECT_EQ(table.Locked(i), c.states[i].second) << c.name << " " << i;
        }
    }
}

TEST(Utf16UnitsOfUtf8, CountsWhatTheDecoderWrites) {
    // Well-formed text of every length of sequence, and every kind of
    // ill-formed one the system's converter replaces.
    const std::string texts[] = {"",
                                 "plain ascii longer than eight bytes",
                                 "\xC3\xA9t\xC3\xA9",
                                 "\xE2\x80\x9Cq\xE2\x80\x9D",
                                 "\xF0\x9F\x98\x80 and \xF4\x8F\xBF\xBF",
                                 "cut \xE2\x80",
                                 "lone \x80\x80 continuation",
                                 "overlong \xC0\xAF and \xE0\x80\xAF",
                                 "surrogate \xED\xA0\x80",
                                 "beyond \xF4\x90\x80\x80",
                                 "\xFF\xFE bytes never in UTF-8"};
    for (const std::string& text : texts) {
        std::wstring out(text.size() + 1, L'\0');
        const size_t written = text.empty() ? 0 : Utf8ToUtf16Bounded(text.data(), text.size(), out.data());
        EXPECT_EQ(Utf16UnitsOfUtf8(text.data(), text.size()), written) << testing::PrintToString(text);
    }
}

TEST(SegmentTables, StatesTheToolsWriteInTheirOwnAttributes) {
    TempDir dir;
    // One unit of three segments: the least advanced state, locked only
    // when all are; a unit without confirmation is new.
    dir.WriteFile(L"a.sdlxliff",
                  "<xliff version=\"1.2\" xmlns:sdl=\"http://sdl.com/FileTypes/SdlXliff/1.0\"><file><body>"
                  "<trans-unit id=\"1\"><source>a</source><target>b</target><sdl:seg-defs>"
                  "<sdl:seg id=\"1\" conf=\"ApprovedSignOff\" locked=\"true\"/><sdl:seg id=\"2\" conf=\"Translated\" locked=\"true\"/>"
                  "</sdl:seg-defs></trans-unit>"
                  "<trans-unit id=\"2\"><source>c</source><target>d</target><sdl:seg-defs>"
                  "<sdl:seg id=\"3\" conf=\"ApprovedSignOff\" locked=\"true\"/><sdl:seg id=\"4\" conf=\"RejectedSignOff\"/>"
                  "</sdl:seg-defs></trans-unit>"
                  "<trans-unit id=\"3\"><source>e</source><sdl:seg-defs><sdl:seg id=\"5\"/></sdl:seg-defs></trans-unit>"
                  "<trans-unit id=\"4\"><source>f</source><target state=\"final\">g</target></trans-unit>"
                  "</body></file></xliff>");
    dir.WriteFile(L"b.mqxliff",
                  "<xliff version=\"1.2\" xmlns:mq=\"MQXliff\"><file><body>"
                  "<trans-unit id=\"1\" mq:status=\"ManuallyConfirmed\" mq:locked=\"locked\"><source>a</source><target>b</target></trans-unit>"
                  "<trans-unit id=\"2\" mq:status=\"Reviewer1Confirmed\"><source>a</source><target>b</target></trans-unit>"
                  "<trans-unit id=\"3\" mq:status=\"NotStarted\"><source>a</source></trans-unit>"
                  "<trans-unit id=\"4\" mq:status=\"Rejected\" mq:locked=\"false\"><source>a</source><target>b</target></trans-unit>"
                  "</body></file></xliff>");
    using S = SegmentState;
    const struct {
        const wchar_t* name;
        std::vector<std::pair<SegmentState, bool>> states;
    } cases[] = {
        {L"a.sdlxliff", {{S::kTranslated, true}, {S::kRejected, false}, {S::kNew, false}, {S::kFinal, false}}},
        {L"b.mqxliff", {{S::kTranslated, true}, {S::kReviewed, false}, {S::kNew, false}, {S::kRejected, false}}},
    };
    XliffConverter xliff;
    for (const auto& c : cases) {
        auto converter = xliff.Clone();
        converter->SetWantSegments(true);
        ScopedGlobal text(converter->Convert((dir / c.name).c_str(), ConverterRequest()));
        ASSERT_TRUE(text) << c.name;
        const SegmentTable& table = converter->Segments();
        ASSERT_EQ(table.size(), c.states.size()) << c.name;
        for (size_t i = 0; i < table.size(); ++i) {
            EXPECT_EQ(table.State(i), c.states[i].first) << c.name << " " << i;
            EXPECT_EQ(table.Locked(i), c.states[i].second) << c.name << " " << i;
        }
    }
}

TEST(SegmentTables, LinesWhereSegmentsStart) {
    TempDir dir;
    // Entities and line breaks inside the text before a unit do not move it:
    // the lines are those of the file as written.
    dir.WriteFile(L"a.xlf", "<?xml version=\"1.0\"?>\r\n<xliff version=\"1.2\"><file><body>\r\n"
                            "<trans-unit id=\"1\"><source>a &amp; b\r\n&lt;c&gt;\r\n</source><target>x</target></trans-unit>\r\n"
                            "\r\n  <trans-unit id=\"2\">\n<source>d</source></trans-unit></body></file></xliff>");
    dir.WriteFile(L"b.xlf", "<xliff version=\"2.0\" srcLang=\"en\">\n<file id=\"f\"><unit id=\"u\">\n"
                            "<segment id=\"s1\"><source>a</source></segment>\n\n<segment id=\"s2\"><source>b</source></segment>"
                            "</unit></file></xliff>");
    dir.WriteFile(L"c.tmx", "<tmx version=\"1.4\">\n<header srclang=\"en\"/>\n<body>\n"
                            "<tu tuid=\"1\"><tuv xml:lang=\"en\"><seg>a &amp;\nb</seg></tuv><tuv xml:lang=\"de\"><seg>x</seg></tuv></tu>\n"
                            "<tu tuid=\"2\">\n<tuv xml:lang=\"en\"><seg>c</seg></tuv></tu>\n</body>\n</tmx>\n");
    dir.WriteFile(L"d.ttx", Utf16Bytes(L"\xFEFF<TRADOStag><Body><Raw>\r\n<Tu><Tuv Lang=\"EN\">a</Tuv><Tuv Lang=\"DE\">b</Tuv></Tu>"
                                       L"\r\n\r\n<Tu><Tuv Lang=\"EN\">c</Tuv></Tu></Raw></Body></TRADOStag>"));
    dir.WriteFile(L"e.po", "msgid \"\"\nmsgstr \"Language: de\\n\"\n\n# a comment\n#, fuzzy\nmsgid \"a\"\nmsgstr \"b\"\n\n"
                           "msgctxt \"menu\"\nmsgid \"c\"\n\"d\"\nmsgstr \"e\"\n");
    ZipLayout layout;
    layout.entries.push_back({"content.xlf", "<xliff version=\"1.2\"><file><body>\n\n<trans-unit id=\"a\"><source>S</source>"
                                             "</trans-unit></body></file></xliff>"});
    dir.WriteFile(L"f.xlz", BuildZip(layout));
    XliffConverter xliff;
    TmxConverter tmx;
    TtxConverter ttx;
    PoConverter po;
    XlzConverter xlz;
    const struct {
        const DocConverter* converter;
        const wchar_t* name;
        std::vector<int> lines;
    } cases[] = {
        {&xliff, L"a.xlf", {3, 7}}, {&xliff, L"b.xlf", {3, 5}}, {&tmx, L"c.tmx", {4, 6}},
        {&ttx, L"d.ttx", {2, 4}},   {&po, L"e.po", {6, 9}},     {&xlz, L"f.xlz", {0}},
    };
    for (const auto& c : cases) {
        for (bool folded : {false, true}) {
            auto converter = c.converter->Clone();
            converter->SetWantSegments(true);
            SearchRequest request = ConverterRequest();
            size_t foldedLength = DocConverter::kNotFolded;
            FoldedOriginals originals;
            ScopedGlobal text(folded ? converter->ConvertForSearch((dir / c.name).c_str(), request, &foldedLength,
                                                                   &originals)
                                     : converter->Convert((dir / c.name).c_str(), request));
            ASSERT_TRUE(text) << testing::PrintToString(std::wstring(c.name));
            const SegmentTable& table = converter->Segments();
            std::vector<int> lines;
            for (size_t i = 0; i < table.size(); ++i)
                lines.push_back(table.Line(i));
            EXPECT_EQ(lines, c.lines) << testing::PrintToString(std::wstring(c.name)) << (folded ? " folded" : "");
        }
    }
}

TEST(SegmentTables, InlineCodesPerSideByKindAndId) {
    TempDir dir;
    dir.WriteFile(L"a.xlf",
                  "<xliff version=\"1.2\"><file><body><trans-unit id=\"1\">"
                  "<source>Click <g id=\"1\">Save <x id=\"2\"/></g> <bpt id=\"3\">&lt;b&gt;</bpt>now<ept id=\"3\">&lt;/b&gt;</ept>"
                  "<ph>{0}</ph></source>"
                  "<target><mrk mtype=\"seg\" mid=\"1\">Klicken <g id=\"1\">Sichern</g><ph>{0}</ph></mrk></target>"
                  "</trans-unit></body></file></xliff>");
    dir.WriteFile(L"b.xlf",
                  "<xliff version=\"2.0\" srcLang=\"en\"><file id=\"f\"><unit id=\"u\"><segment>"
                  "<source><pc id=\"p1\">Bold</pc> <sc id=\"s\"/>x<ec startRef=\"s\"/><ph id=\"7\"/></source>"
                  "<target><ph id=\"7\"/><pc id=\"p1\">Fett</pc></target></segment></unit></file></xliff>");
    dir.WriteFile(L"c.tmx",
                  "<tmx version=\"1.4\"><header srclang=\"en\"/><body><tu>"
                  "<tuv xml:lang=\"en\"><seg><bpt i=\"1\">{b}</bpt>a<ept i=\"1\">{/b}</ept><ph>%s</ph><hi type=\"x\">c</hi></seg></tuv>"
                  "<tuv xml:lang=\"de\"><seg>a<ph>%s</ph></seg></tuv></tu></body></tmx>");
    dir.WriteFile(L"d.ttx", Utf16Bytes(L"\xFEFF<TRADOStag><Body><Raw><Tu><Tuv Lang=\"EN\"><ut Type=\"start\">&lt;b&gt;</ut>a"
                                       L"<df Bold=\"on\">b</df></Tuv><Tuv Lang=\"DE\">a<df Bold=\"on\">B</df></Tuv></Tu>"
                                       L"</Raw></Body></TRADOStag>"));
    XliffConverter xliff;
    TmxConverter tmx;
    TtxConverter ttx;
    const struct {
        const DocConverter* converter;
        const wchar_t* name;
        std::wstring source, target;
    } cases[] = {
        {&xliff, L"a.xlf", L"g 1\x1Fx 2\x1F" L"bpt 3\x1F" L"ept 3\x1Fph {0}\x1F", L"g 1\x1Fph {0}\x1F"},
        {&xliff, L"b.xlf", L"pc p1\x1Fsc s\x1F" L"ec s\x1Fph 7\x1F", L"ph 7\x1Fpc p1\x1F"},
        {&tmx, L"c.tmx", L"bpt 1\x1F" L"ept 1\x1Fph %s\x1Fhi type=x \x1F", L"ph %s\x1F"},
        {&ttx, L"d.ttx", L"ut <b>\x1F" L"df Bold=on \x1F", L"df Bold=on \x1F"},
    };
    for (const auto& c : cases) {
        auto converter = c.converter->Clone();
        converter->SetWantSegments(true);
        SearchRequest request = ConverterRequest();
        request.includeHidden = 1;
        ScopedGlobal text(converter->Convert((dir / c.name).c_str(), request));
        ASSERT_TRUE(text) << testing::PrintToString(std::wstring(c.name));
        const SegmentTable& table = converter->Segments();
        ASSERT_EQ(table.size(), 1u) << testing::PrintToString(std::wstring(c.name));
        EXPECT_EQ(table.Codes(0, false), c.source) << testing::PrintToString(std::wstring(c.name));
        EXPECT_EQ(table.Codes(0, true), c.target) << testing::PrintToString(std::wstring(c.name));
    }
    // The text itself is what it was: the codes are gathered beside it.
    ExpectSegments(xliff, dir / L"a.xlf", {L"1|Click Save <b> now </b> {0}|Klicken Sichern {0}"});
}
