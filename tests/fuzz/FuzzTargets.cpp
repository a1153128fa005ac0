// One target per parser. The document formats get their bytes as the file a
// converter reads; the office formats get the XML part under fuzz wrapped
// into a package with the other parts fixed, so that mutations reach the
// walk instead of breaking the deflate stream (the zip target takes raw
// archive bytes). A first byte, where a target says so, picks the options.
#include "tests/fuzz/FuzzEngine.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/FoldText.h"
#include "base/ScopedHandle.h"
#include "base/SearchRecords.h"
#include "base/TextScan.h"
#include "converters/DocConverter.h"
#include "converters/translation/LwoConverter.h"
#include "converters/office/OdfConverter.h"
#include "converters/office/OoxmlConverter.h"
#include "converters/readers/Rtfpars.h"
#include "converters/translation/PoConverter.h"
#include "converters/translation/TmxConverter.h"
#include "converters/translation/TtxConverter.h"
#include "converters/TxtConverter.h"
#include "converters/readers/Utf8Text.h"
#include "converters/translation/XliffConverter.h"
#include "converters/translation/XlzConverter.h"
#include "converters/readers/ZipReader.h"
#include "search/CaseInsensitiveFinder.h"
#include "search/RegexMatcher.h"
#include "tests/ZipWriter.h"

namespace {

std::wstring WriteScratch(const wchar_t* name, const void* data, size_t size) {
    const std::wstring path = FuzzScratchFolder() + L"\\" + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
        CloseHandle(file);
    }
    return path;
}

std::string ReadFixture(const wchar_t* name) { return ReadFileBytes(std::wstring(MIRLOCK_TEST_DATA) + L"\\" + name); }

// Options from the first byte: hidden text kept or not, and a tag field.
SearchRequest RequestFrom(uint8_t options) {
    static const wchar_t* const kTags[] = {L"", L"note prop", L"Source Text", L"g mrk bpt ept", L"xlf:note x"};
    SearchRequest request{};
    request.includeHidden = options & 1;
    wcsncpy(request.ignoreTags, kTags[(options >> 1) % 5], kPathChars - 1);
    request.maximumMatch = 999;
    return request;
}

// Converts the file and checks the block: a NUL inside it. Converted again
// for a search, the text must be the first one folded, whether the converter
// folded it while writing or left that to the search.
void ConvertAndCheck(const DocConverter& prototype, const std::wstring& path, const SearchRequest& request) {
    auto converter = prototype.Clone();
    converter->SetCodePage(0);
    ScopedTextBlock block(converter->Convert(path.c_str(), request));
    if (!block)
        return;
    GlobalLockGuard<wchar_t> text(block.Get());
    const size_t units = GlobalSize(block.Get()) / sizeof(wchar_t);
    const size_t length = text.Get() ? FindNul(text.Get(), units) : units;
    if (length == units) {
        ReportFinding("a text block without a terminating NUL");
        return;
    }
    // Converted again for a search that wants segments: the text stays the
    // same, and every segment's parts lie inside it.
    auto again = prototype.Clone();
    again->SetCodePage(0);
    again->SetWantSegments(true);
    size_t foldedLength = DocConverter::kNotFolded;
    ScopedTextBlock forSearch(again->ConvertForSearch(path.c_str(), request, &foldedLength));
    if (!forSearch) {
        ReportFinding("a conversion for a search failed where the conversion did not");
        return;
    }
    GlobalLockGuard<wchar_t> searched(forSearch.Get());
    const size_t capacity = GlobalSize(forSearch.Get()) / sizeof(wchar_t);
    if (!searched.Get())
        return;
    const size_t searchedLength =
        foldedLength != DocConverter::kNotFolded && foldedLength < capacity
            ? foldedLength
            : FoldTextToNul(searched.Get(), capacity);
    if (searchedLength != length) {
        ReportFinding("the text for a search differs in length from the folded text");
        return;
    }
    const SegmentTable& table = again->Segments();
    for (size_t i = 0; i < table.size(); ++i) {
        for (const std::span<const TextRange> side : {table.Source(i), table.Target(i)}) {
            for (const TextRange& r : side) {
                if (r.begin > r.end || r.end > capacity) {
                    ReportFinding("a segment's part lies outside its text");
                    return;
                }
            }
        }
    }
    for (size_t i = 0; i < length; ++i) {
        if (searched.Get()[i] != FoldCharacter(text.Get()[i])) {
            ReportFinding("the text for a search differs from the folded text");
            return;
        }
    }
}

template <class Converter>
void ConvertDocument(const uint8_t* data, size_t size, const wchar_t* name) {
    if (!size)
        return;
    static Converter prototype;
    ConvertAndCheck(prototype, WriteScratch(name, data + 1, size - 1), RequestFrom(data[0]));
}

std::string WithOptions(const std::string& document) { return std::string(1, '\x01') + document; }

// ---- XML documents

const std::vector<std::string> kXmlTokens = {
    "<", ">", "</", "/>", "<!--", "-->", "<![CDATA[", "]]>", "<?xml version=\"1.0\"?>", "<!DOCTYPE x [", "]>",
    "&amp;", "&#x10FFFF;", "&#1114112;", "&#65;", "&lt;", "xml:space=\"preserve\"", "=\"", "xmlns:x=\"u\"",
};

std::vector<std::string> Tokens(std::vector<std::string> extra) {
    extra.insert(extra.end(), kXmlTokens.begin(), kXmlTokens.end());
    return extra;
}

std::string Utf16(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

std::vector<std::string> TtxSeeds() {
    return {WithOptions(Utf16("<TRADOStag Version=\"2.0\"><FrontMatter/><Body><Raw><Tu MatchPercent=\"0\"><Tuv "
                              "Lang=\"EN-US\">Hello <ut Type=\"start\">&lt;b&gt;</ut>world</Tuv><Tuv Lang=\"DE-DE\">"
                              "Hallo Welt</Tuv></Tu></Raw></Body></TRADOStag>"))};
}

const std::string kXliff12 =
    "<?xml version=\"1.0\"?><xliff version=\"1.2\"><file><body><trans-unit id=\"1\"><source>un<g id=\"1\">bel</g>"
    "ievable</source><target>nicht <mrk>zu</mrk> glauben</target><note>n</note></trans-unit></body></file></xliff>";
const std::string kXliff20 =
    "<xliff xmlns=\"urn:oasis:names:tc:xliff:document:2.0\" version=\"2.0\"><file id=\"f\"><unit id=\"1\"><segment>"
    "<source>Hello <pc id=\"1\">big</pc></source><target>Hallo</target></segment><ignorable><source> </source>"
    "</ignorable></unit></file></xliff>";
const std::string kXliffPrefixed =
    "<xlf:xliff version=\"1.2\"><xlf:file><xlf:body><xlf:trans-unit><xlf:source>a</xlf:source><xlf:target>b"
    "</xlf:target></xlf:trans-unit></xlf:body></xlf:file></xlf:xliff>";

std::vector<std::string> XliffSeeds() {
    return {WithOptions(kXliff12), WithOptions(kXliff20), WithOptions(kXliffPrefixed), std::string("\x02") + kXliff12};
}

const std::string kTmx =
    "<?xml version=\"1.0\"?>\n<tmx version=\"1.4\"><header srclang=\"en\"/><body>\n<tu tuid=\"1\"><note>n</note>"
    "<tuv xml:lang=\"en\"><prop type=\"x\">p</prop><seg>Click <bpt i=\"1\">&lt;b&gt;</bpt>OK<ept i=\"1\">&lt;/b&gt;"
    "</ept></seg></tuv><tuv xml:lang=\"de\"><seg>Jetzt</seg></tuv></tu>\n<tu><tuv><seg>x</seg></tuv></tu>\n</body></tmx>";

std::vector<std::string> TmxSeeds() { return {WithOptions(kTmx), std::string("\x03") + kTmx, WithOptions(Utf16(kTmx))}; }

// ---- Archives

std::string StoredPackage(const std::vector<std::pair<std::string, std::string>>& parts) {
    ZipLayout layout;
    for (const auto& [name, data] : parts)
        layout.entries.push_back({name, data, 0, 0, true});
    return BuildZip(layout);
}

void FuzzZip(const uint8_t* data, size_t size) {
    const std::wstring path = WriteScratch(L"archive.zip", data, size);
    ZipReader reader;
    if (!reader.Open(path.c_str()))
        return;
    for (int i = 0; i < reader.EntryCount() && i < 16; ++i) {
        ZipEntryData entry;
        if (reader.ReadEntry(i, &entry)) {
            char* bytes = entry.TerminatedBytes();
            if (bytes && bytes[entry.Size()] != 0)
                ReportFinding("an entry's bytes not terminated");
        }
        reader.EntryName(i);
    }
    reader.FindEntry(L"*.xlf", 0);
}

std::vector<std::string> ZipSeeds() {
    ZipLayout layout;
    layout.entries = {{"a.xlf", kXliff12, 8, 8, true}, {"b/c.txt", "stored text", 0, 0, true},
                      {"d.bin", std::string(3000, 'z'), 8, 0, false}};
    std::vector<std::string> seeds = {BuildZip(layout)};
    layout.directoryOrder = {2, 0, 1};
    seeds.push_back(BuildZip(layout));
    seeds.push_back(ReadFixture(L"office\\fixture.docx"));
    return seeds;
}

// XLZ and LWO: the XML entry under fuzz, stored in a package.
void FuzzXlz(const uint8_t* data, size_t size) {
    if (!size)
        return;
    const std::string archive = StoredPackage({{"skeleton.skl", "<skl/>"},
                                               {"content.xlf", std::string(reinterpret_cast<const char*>(data) + 1, size - 1)}});
    static XlzConverter prototype;
    ConvertAndCheck(prototype, WriteScratch(L"project.xlz", archive.data(), archive.size()), RequestFrom(data[0]));
}

void FuzzLwo(const uint8_t* data, size_t size) {
    const std::string archive = StoredPackage({{"document.xml", std::string(reinterpret_cast<const char*>(data), size)}});
    static LwoConverter prototype;
    ConvertAndCheck(prototype, WriteScratch(L"project.lwo", archive.data(), archive.size()), RequestFrom(1));
}

std::vector<std::string> LwoSeeds() {
    return {"<doc><p lc=\"en\">Hello <b>world</b></p><p lc=\"de\">Hallo</p><x><p lc=\"en\">more</p></x></doc>"};
}

// ---- Office documents: the part under fuzz, the others fixed.

const std::string kRelType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string Rels(const std::vector<std::pair<std::string, std::string>>& typeTargets) {
    std::string xml = "<Relationships>";
    int n = 0;
    for (const auto& [type, target] : typeTargets)
        xml += "<Relationship Id=\"rId" + std::to_string(++n) + "\" Type=\"" + kRelType + type + "\" Target=\"" +
               target + "\"/>";
    return xml + "</Relationships>";
}

const std::string kWordStyles =
    "<w:styles><w:style w:styleId=\"Secret\"><w:name w:val=\"Secret\"/><w:rPr><w:vanish/></w:rPr></w:style>"
    "<w:style w:styleId=\"Src\"><w:name w:val=\"Source Text\"/><w:basedOn w:val=\"Secret\"/></w:style></w:styles>";

void FuzzWord(const uint8_t* data, size_t size) {
    if (!size)
        return;
    const std::string part(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string archive = StoredPackage({
        {"_rels/.rels", Rels({{"officeDocument", "word/document.xml"}})},
        {"word/_rels/document.xml.rels", Rels({{"styles", "styles.xml"}, {"header", "header1.xml"}})},
        {"word/document.xml", part},
        {"word/styles.xml", kWordStyles},
        {"word/header1.xml", "<w:hdr><w:p><w:r><w:t>h</w:t></w:r></w:p></w:hdr>"},
    });
    static OoxmlConverter prototype;
    ConvertAndCheck(prototype, WriteScratch(L"d.docx", archive.data(), archive.size()), RequestFrom(data[0]));
}

std::vector<std::string> WordSeeds() {
    return {WithOptions("<w:document><w:body><w:p><w:pPr><w:pStyle w:val=\"Src\"/></w:pPr><w:r><w:rPr><w:rStyle "
                        "w:val=\"Secret\"/><w:vanish w:val=\"0\"/></w:rPr><w:t xml:space=\"preserve\"> a </w:t><w:tab/>"
                        "<w:br/></w:r><w:r><mc:AlternateContent><mc:Choice><w:txbxContent><w:p><w:r><w:t>box</w:t>"
                        "</w:r></w:p></w:txbxContent></mc:Choice><mc:Fallback>f</mc:Fallback></mc:AlternateContent>"
                        "</w:r></w:p><w:tbl><w:tr><w:tc><w:p><w:r><w:instrText>PAGE</w:instrText><w:delText>d"
                        "</w:delText></w:r></w:p></w:tc></w:tr></w:tbl></w:body></w:document>")};
}

void FuzzExcel(const uint8_t* data, size_t size) {
    if (!size)
        return;
    const std::string part(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string archive = StoredPackage({
        {"_rels/.rels", Rels({{"officeDocument", "xl/workbook.xml"}})},
        {"xl/_rels/workbook.xml.rels", Rels({{"sharedStrings", "sharedStrings.xml"}, {"worksheet", "sheet1.xml"}})},
        {"xl/workbook.xml", "<workbook><sheets><sheet name=\"s\" r:id=\"rId2\"/><sheet name=\"h\" state=\"hidden\" "
                            "r:id=\"rId2\"/></sheets></workbook>"},
        {"xl/sharedStrings.xml", "<sst><si><t>zero</t></si><si><r><t>one</t></r><rPh><t>p</t></rPh></si></sst>"},
        {"xl/sheet1.xml", part},
    });
    static OoxmlConverter prototype;
    ConvertAndCheck(prototype, WriteScratch(L"b.xlsx", archive.data(), archive.size()), RequestFrom(data[0]));
}

std::vector<std::string> ExcelSeeds() {
    return {WithOptions("<worksheet><sheetData><row r=\"1\"><c t=\"s\"><v>1</v></c><c><v>2.5</v></c><c t=\"inlineStr\">"
                        "<is><t>in</t></is></c></row><row hidden=\"1\"><c t=\"s\"><v>0</v></c></row></sheetData>"
                        "</worksheet>")};
}

void FuzzPowerPoint(const uint8_t* data, size_t size) {
    if (!size)
        return;
    const std::string part(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string archive = StoredPackage({
        {"_rels/.rels", Rels({{"officeDocument", "ppt/presentation.xml"}})},
        {"ppt/_rels/presentation.xml.rels", Rels({{"slide", "slides/slide1.xml"}})},
        {"ppt/presentation.xml", "<p:presentation><p:sldIdLst><p:sldId id=\"256\" r:id=\"rId1\"/></p:sldIdLst>"
                                 "</p:presentation>"},
        {"ppt/slides/_rels/slide1.xml.rels", Rels({{"notesSlide", "../notesSlides/notesSlide1.xml"}})},
        {"ppt/slides/slide1.xml", part},
        {"ppt/notesSlides/notesSlide1.xml", "<p:notes><a:p><a:r><a:t>notes</a:t></a:r></a:p></p:notes>"},
    });
    static OoxmlConverter prototype;
    ConvertAndCheck(prototype, WriteScratch(L"s.pptx", archive.data(), archive.size()), RequestFrom(data[0]));
}

std::vector<std::string> PowerPointSeeds() {
    return {WithOptions("<p:sld show=\"1\"><p:cSld><p:spTree><p:sp><p:txBody><a:p><a:r><a:rPr/><a:t>Title</a:t></a:r>"
                        "<a:br/><a:fld><a:t>1</a:t></a:fld></a:p></p:txBody></p:sp></p:spTree></p:cSld></p:sld>")};
}

const std::string kOdfStyles =
    "<office:document-styles><office:styles><style:style style:name=\"Source_20_Text\" style:family=\"paragraph\"/>"
    "<style:style style:name=\"Hid\" style:family=\"text\"><style:text-properties text:display=\"none\"/></style:style>"
    "</office:styles><office:master-styles><style:master-page><style:header><text:p>head</text:p></style:header>"
    "</style:master-page></office:master-styles></office:document-styles>";

void FuzzOdf(const uint8_t* data, size_t size) {
    if (!size)
        return;
    const std::string part(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string archive = StoredPackage({{"mimetype", "x"}, {"content.xml", part}, {"styles.xml", kOdfStyles}});
    static OdfConverter prototype;
    ConvertAndCheck(prototype, WriteScratch(L"o.odt", archive.data(), archive.size()), RequestFrom(data[0]));
}

std::vector<std::string> OdfSeeds() {
    return {
        WithOptions("<office:document-content><office:automatic-styles><style:style style:name=\"P1\" "
                    "style:parent-style-name=\"Source_20_Text\"/></office:automatic-styles><office:body><office:text>"
                    "<text:h>T</text:h><text:p text:style-name=\"P1\">a<text:s text:c=\"3\"/>b<text:tab/><text:span "
                    "text:style-name=\"Hid\">h</text:span><text:note><text:note-citation>1</text:note-citation>"
                    "<text:note-body><text:p>n</text:p></text:note-body></text:note><text:hidden-text "
                    "text:string-value=\"v\"/></text:p><text:section text:display=\"none\"><text:p>s</text:p>"
                    "</text:section></office:text></office:body></office:document-content>"),
        WithOptions("<office:document-content><office:body><office:spreadsheet><table:table><table:table-row "
                    "table:number-rows-repeated=\"3\"><table:table-cell table:number-columns-repeated=\"2\"><text:p>c"
                    "</text:p></table:table-cell></table:table-row></table:table></office:spreadsheet></office:body>"
                    "</office:document-content>"),
        WithOptions("<office:document-content><office:body><office:presentation><draw:page><draw:frame><draw:text-box>"
                    "<text:p>slide</text:p></draw:text-box></draw:frame><presentation:notes><text:p>note</text:p>"
                    "</presentation:notes></draw:page></office:presentation></office:body></office:document-content>"),
    };
}

// ---- RTF, plain text, folding, finders, regular expressions, UTF-8

void FuzzRtf(const uint8_t* data, size_t size) {
    if (!size)
        return;
    RtfReaderContext context;
    context.ignoreHidden = data[0] & 1;
    context.dropNoProofLetters = data[0] & 2;
    context.dropStruckText = data[0] & 4;
    if (data[0] & 8)
        context.sourceStyleNames = {"Source", "Source Char"};
    const std::string rtf(reinterpret_cast<const char*>(data) + 1, size - 1);
    ReadRtf(context, rtf.c_str());
}

std::vector<std::string> RtfSeeds() {
    return {"\x0F{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\stylesheet{\\s0 Normal;}{\\s2 Source;}{\\*\\cs10 Source Char;}}"
            "{\\s2 para}{\\v hidden\\par}{\\strike s}{\\b0\\noproof ab1}caf\\'e9 \\u8212? \\'41\\tab\\line{\\*\\x y}"
            "{\\field{\\fldrslt R}}\\par}"};
}

void FuzzText(const uint8_t* data, size_t size) {
    if (!size)
        return;
    TxtConverter prototype;
    prototype.SetReadUtf8(data[0] & 1);
    ConvertAndCheck(prototype, WriteScratch(L"t.txt", data + 1, size - 1), RequestFrom(1));
}

std::vector<std::string> TextSeeds() {
    return {"\x01" "caf\xC3\xA9 \xE4\xB8\xAD", "\x01\xEF\xBB\xBF" "a\xC3(", "\x00\x93quote\x94", "\x01\xFF\xFEh\0i\0",
            std::string("\x00\xFE\xFF\0a", 5)};
}

std::wstring Units(const uint8_t* data, size_t size) {
    std::wstring units(size / 2, L'\0');
    memcpy(units.data(), data, units.size() * 2);
    return units;
}

void FuzzFold(const uint8_t* data, size_t size) {
    std::wstring text = Units(data, size);
    const std::wstring original = text;
    FoldText(text.size(), text.data());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != FoldCharacter(original[i]))
            ReportFinding("the block fold differs from the table");
    }
}

std::vector<std::string> UnitSeeds() {
    const std::wstring text = L"\u201Cquoted\u201D en\u2013dash \uFF21\uFF41 \u2460 \u00A0 x\U0001F600y \u00B6";
    return {std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2)};
}

void FuzzFinders(const uint8_t* data, size_t size) {
    if (size < 3)
        return;
    const size_t needleUnits = 1 + data[0] % 8;
    const std::wstring units = Units(data + 1, size - 1);
    if (units.size() <= needleUnits)
        return;
    std::wstring needle = units.substr(0, needleUnits);
    std::wstring text = units.substr(needleUnits);
    if (needle.find(L'\0') != std::wstring::npos)
        return;
    // The literal finder against the library's search.
    const wchar_t* hit = FindLiteral(text.data(), text.data() + text.size(), needle.data(), needle.size());
    const size_t expected = text.find(needle);
    if ((hit ? static_cast<size_t>(hit - text.data()) : std::wstring::npos) != expected)
        ReportFinding("the literal finder differs from wstring::find");
    // The case-insensitive finder against StrStrIW, up to the first NUL.
    text.resize(wcslen(text.c_str()));
    CaseInsensitiveFinder finder(needle.c_str());
    const wchar_t* mine = finder.Find(text.data(), text.data() + text.size());
    const wchar_t* theirs = StrStrIW(text.c_str(), needle.c_str());
    if (mine != theirs)
        ReportFinding("the case-insensitive finder differs from StrStrIW");
}

std::vector<std::string> FinderSeeds() {
    const std::wstring text = L"Stra\u00DFe STRASSE co\u00F6perate \uFB01le file \u0130stanbul istanbul";
    std::string bytes(1, '\x04');
    bytes.append(reinterpret_cast<const char*>(L"file"), 8);
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    return {bytes};
}

void FuzzRegex(const uint8_t* data, size_t size) {
    if (size < 2)
        return;
    const size_t patternUnits = 1 + data[0] % 24;
    const std::wstring units = Units(data + 1, size - 1);
    if (units.size() < patternUnits)
        return;
    std::wstring pattern = units.substr(0, patternUnits);
    pattern.resize(wcslen(pattern.c_str()));
    const std::wstring text = units.substr(patternUnits);
    std::string error;
    int position = 0;
    const auto matcher = RegexMatcher::Compile(pattern.c_str(), &error, &position);
    if (!matcher)
        return;
    // Restart after every hit, as the matcher does, a bounded number of times.
    const wchar_t* at = text.data();
    const wchar_t* end = text.data() + text.size();
    for (int i = 0; i < 64 && at <= end; ++i) {
        const wchar_t* b = nullptr;
        const wchar_t* e = nullptr;
        if (matcher->Search(at, end, &b, &e) != RegexMatcher::SearchResult::kFound)
            break;
        if (b < at || e < b || e > end)
            ReportFinding("a match outside the searched text");
        at = e > b ? e : b + 1;
    }
}

std::vector<std::string> RegexSeeds() {
    auto seed = [](const std::wstring& pattern, const std::wstring& text) {
        std::string bytes(1, static_cast<char>(pattern.size() - 1));
        bytes.append(reinterpret_cast<const char*>(pattern.data()), pattern.size() * 2);
        bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * 2);
        return bytes;
    };
    return {seed(L"colou?r\\s+\\w+", L"the colour red and color  blue"), seed(L"(?<=a)b|^x*$|\\bw", L"ab x w"),
            seed(L"(a|b)*c\\1", L"ababca"), seed(L"[[:alpha:]]+\\d{2,}", L"abc123")};
}

void FuzzUtf8(const uint8_t* data, size_t size) {
    if (!size || size > 0x10000)
        return;
    const char* bytes = reinterpret_cast<const char*>(data);
    std::wstring mine(size, L'\0');
    const size_t units = Utf8ToUtf16Bounded(bytes, size, mine.data());
    std::wstring theirs(size, L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(size), theirs.data(), static_cast<int>(size));
    if (units != static_cast<size_t>(n) || mine.compare(0, units, theirs, 0, units) != 0)
        ReportFinding("UTF-8 decoding differs from MultiByteToWideChar");
    size_t strictUnits = 0;
    const bool strict = Utf8ToUtf16Strict(bytes, size, mine.data(), &strictUnits);
    const bool valid = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(size), nullptr, 0) > 0;
    if (strict != valid)
        ReportFinding("the strict decoder and the system disagree on validity");
    // The bytes read as UTF-16 units, encoded back.
    const std::wstring wide = Units(data, size);
    std::string encoded;
    Utf16ToUtf8(wide.data(), wide.size(), &encoded);
    std::string system;
    if (!wide.empty()) {
        const int m = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                          nullptr);
        system.resize(static_cast<size_t>(m));
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), system.data(), m, nullptr, nullptr);
    }
    if (encoded != system)
        ReportFinding("UTF-8 encoding differs from WideCharToMultiByte");
}

std::vector<std::string> Utf8Seeds() {
    return {"caf\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80", "\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80", "ascii only text"};
}

void FuzzTtx(const uint8_t* data, size_t size) { ConvertDocument<TtxConverter>(data, size, L"job.ttx"); }
void FuzzXliff(const uint8_t* data, size_t size) { ConvertDocument<XliffConverter>(data, size, L"file.xlf"); }
void FuzzTmx(const uint8_t* data, size_t size) { ConvertDocument<TmxConverter>(data, size, L"memory.tmx"); }
void FuzzPo(const uint8_t* data, size_t size) { ConvertDocument<PoConverter>(data, size, L"catalogue.po"); }

std::vector<std::string> PoSeeds() {
    return {"msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=KOI8-R\\n\"\n\nmsgid \"a\\n\\101\\x42\"\n"
            "msgid_plural \"b\"\nmsgstr[0] \"\xE4\"\nmsgstr[1]\n\"c\" \"d\"\n#~ msgid \"old\"\n",
            "msgctxt \"m\"\nmsgid \"x\"\r\nmsgstr \"y\"\r\n"};
}

}  // namespace

const std::vector<FuzzTarget>& FuzzTargets() {
    static const std::vector<FuzzTarget> targets = {
        {"zip", FuzzZip, ZipSeeds, {"PK\x03\x04", "PK\x01\x02", "PK\x05\x06", "PK\x07\x08"}, 1 << 16},
        {"rtf", FuzzRtf, RtfSeeds, {"{", "}", "\\'", "\\par", "\\v", "\\strike", "\\u", "\\*", "\\s", "\\cs", "\\b0"}, 1 << 14},
        {"ttx", FuzzTtx, TtxSeeds, {}, 1 << 14},
        {"xliff", FuzzXliff, XliffSeeds, Tokens({"<trans-unit>", "<source>", "</target>", "<unit>", "<segment>", "xlf:",
                                                 "version=\"2.0\""}), 1 << 14},
        {"tmx", FuzzTmx, TmxSeeds, Tokens({"<tu>", "</tu>", "<tuv>", "<seg>", "</seg>", "<note>", "<bpt>"}), 1 << 14},
        {"xlz", FuzzXlz, XliffSeeds, Tokens({"<trans-unit>", "<source>", "<target>"}), 1 << 14},
        {"lwo", FuzzLwo, LwoSeeds, Tokens({"<p lc=\"en\">", "</p>"}), 1 << 14},
        {"po", FuzzPo, PoSeeds, {"msgid ", "msgstr ", "msgstr[1] ", "msgid_plural ", "msgctxt ", "\"", "\\", "\n#"}, 1 << 14},
        {"docx", FuzzWord, WordSeeds, Tokens({"<w:p>", "<w:r>", "<w:t>", "<w:vanish/>", "<w:rStyle w:val=\"Secret\"/>",
                                              "<w:pStyle w:val=\"Src\"/>", "<mc:Fallback>", "<w:footnote w:type=\"normal\">"}),
         1 << 14},
        {"xlsx", FuzzExcel, ExcelSeeds, Tokens({"<row>", "<c t=\"s\">", "<v>", "<is>", "<rPh>", "hidden=\"1\""}), 1 << 14},
        {"pptx", FuzzPowerPoint, PowerPointSeeds, Tokens({"<a:p>", "<a:t>", "<a:br/>", "show=\"0\""}), 1 << 14},
        {"odf", FuzzOdf, OdfSeeds, Tokens({"<text:p>", "<text:span text:style-name=\"Hid\">", "<text:s text:c=\"9\"/>",
                                           "table:number-rows-repeated=\"99999\"", "<table:table-cell>",
                                           "<presentation:notes>", "<text:note>"}), 1 << 14},
        {"text", FuzzText, TextSeeds, {"\xEF\xBB\xBF", "\xFF\xFE", "\xC3", "\xF0\x9F"}, 1 << 12},
        {"fold", FuzzFold, UnitSeeds, {}, 1 << 12},
        {"finders", FuzzFinders, FinderSeeds, {}, 1 << 11},
        {"regex", FuzzRegex, RegexSeeds, {}, 1 << 11},
        {"utf8", FuzzUtf8, Utf8Seeds, {"\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80", "\xED\xA0\x80"}, 1 << 12},
    };
    return targets;
}
