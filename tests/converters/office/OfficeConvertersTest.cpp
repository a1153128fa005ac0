// Word, Excel, PowerPoint and OpenDocument files built here part by part,
// and TMX memories: the text each gives, what hides it, what fails.
#include <gtest/gtest.h>

#include <random>

#include <string>
#include <utility>
#include <vector>

#include "converters/ConverterList.h"
#include "converters/office/OdfConverter.h"
#include "converters/readers/OfficePackage.h"
#include "converters/office/OoxmlConverter.h"
#include "converters/translation/TmxConverter.h"
#include "converters/TxtConverter.h"
#include "tests/ConvertHelper.h"
#include "tests/TestFiles.h"
#include "tests/ZipWriter.h"

namespace {

using Parts = std::vector<std::pair<std::string, std::string>>;

// Entries deflated with their sizes in data descriptors, as office suites write them.
std::string Package(const Parts& parts) {
    ZipLayout layout;
    for (const auto& [name, data] : parts)
        layout.entries.push_back({name, data, 8, 8, true});
    return BuildZip(layout);
}

const char kW[] = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";
const char kRelType[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string Rels(const std::vector<std::pair<std::string, std::string>>& idTypeTargets) {
    std::string xml = "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    int n = 0;
    for (const auto& [type, target] : idTypeTargets)
        xml += "<Relationship Id=\"rId" + std::to_string(++n) + "\" Type=\"" + kRelType + type + "\" Target=\"" + target + "\"/>";
    return xml + "</Relationships>";
}

std::string WordDocument(const std::string& body) {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><w:document ") + kW +
           " xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\"><w:body>" + body +
           "<w:sectPr/></w:body></w:document>";
}

std::string Para(const std::string& runs, const std::string& style = "") {
    return "<w:p>" + (style.empty() ? "" : "<w:pPr><w:pStyle w:val=\"" + style + "\"/></w:pPr>") + runs + "</w:p>";
}

std::string WRun(const std::string& text, const std::string& rPr = "") {
    return "<w:r>" + (rPr.empty() ? "" : "<w:rPr>" + rPr + "</w:rPr>") + "<w:t xml:space=\"preserve\">" + text +
           "</w:t></w:r>";
}

const std::string kWordStyles =
    std::string("<w:styles ") + kW +
    "><w:style w:type=\"character\" w:styleId=\"Secret\"><w:name w:val=\"Secret\"/><w:rPr><w:vanish/></w:rPr></w:style>"
    "<w:style w:type=\"character\" w:styleId=\"MoreSecret\"><w:name w:val=\"More\"/><w:basedOn w:val=\"Secret\"/></w:style>"
    "<w:style w:type=\"character\" w:styleId=\"Unhidden\"><w:name w:val=\"Unhidden\"/><w:basedOn w:val=\"Secret\"/>"
    "<w:rPr><w:vanish w:val=\"0\"/></w:rPr></w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"HiddenPara\"><w:name w:val=\"Hidden Para\"/><w:rPr><w:vanish w:val=\"1\"/></w:rPr></w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"SourceText\"><w:name w:val=\"Source Text\"/></w:style>"
    "<w:style w:type=\"character\" w:styleId=\"Loop1\"><w:name w:val=\"Loop1\"/><w:basedOn w:val=\"Loop2\"/></w:style>"
    "<w:style w:type=\"character\" w:styleId=\"Loop2\"><w:name w:val=\"Loop2\"/><w:basedOn w:val=\"Loop1\"/></w:style>"
    "</w:styles>";

Parts WordPackage(const std::string& body, const std::string& mainName = "word/document.xml") {
    const std::string folder = mainName.substr(0, mainName.rfind('/') + 1);
    const std::string file = mainName.substr(mainName.rfind('/') + 1);
    return {
        {"[Content_Types].xml", "<Types/>"},
        {"_rels/.rels", Rels({{"officeDocument", "/" + mainName}})},
        {mainName, WordDocument(body)},
        {folder + "_rels/" + file + ".rels",
         Rels({{"styles", "styles.xml"}, {"footer", "footer1.xml"}, {"header", "./header1.xml"},
               {"footnotes", "footnotes.xml"}, {"comments", "comments.xml"},
               {"hyperlink", "http://example.com\" TargetMode=\"External"}})},
        {folder + "styles.xml", kWordStyles},
        {folder + "header1.xml", std::string("<w:hdr ") + kW + ">" + Para(WRun("Header text")) + "</w:hdr>"},
        {folder + "footer1.xml", std::string("<w:ftr ") + kW + ">" + Para(WRun("Footer text")) + "</w:ftr>"},
        {folder + "footnotes.xml", std::string("<w:footnotes ") + kW +
                                       "><w:footnote w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/></w:r></w:p></w:footnote>"
                                       "<w:footnote w:id=\"1\">" + Para(WRun("A footnote")) + "</w:footnote></w:footnotes>"},
        {folder + "comments.xml", std::string("<w:comments ") + kW + "><w:comment w:id=\"0\" w:author=\"R\">" +
                                      Para(WRun("A comment")) + "</w:comment></w:comments>"},
    };
}

class OfficeTest : public testing::Test {
protected:
    std::optional<std::wstring> Convert(const DocConverter& converter, const std::wstring& name,
                                        const std::string& bytes, int includeHidden = 1,
                                        const std::wstring& tags = L"") {
        const std::wstring file = std::to_wstring(++count) + name;
        dir.WriteFile(file, bytes);
        return ConvertToText(converter, dir / file, ConverterRequest(includeHidden, tags));
    }
    std::optional<std::wstring> Word(const std::string& body, int includeHidden = 1, const std::wstring& tags = L"") {
        return Convert(ooxml, L"d.docx", Package(WordPackage(body)), includeHidden, tags);
    }

    TempDir dir;
    OoxmlConverter ooxml;
    OdfConverter odf;
    TmxConverter tmx;
    int count = 0;
};

const std::wstring kWordTail = L"Header text\r\nFooter text\r\nA footnote\r\nA comment\r\n";

TEST_F(OfficeTest, WordParagraphsTablesNotesAndTextBoxes) {
    const std::string body =
        Para(WRun("Hello") + WRun(" ") + WRun("world") + "<w:r><w:tab/><w:t>tabbed</w:t><w:br/><w:t>next</w:t></w:r>") +
        "<w:tbl><w:tblPr/><w:tr><w:tc><w:tcPr/>" + Para(WRun("cell 1")) + "</w:tc><w:tc>" + Para(WRun("cell 2")) +
        "</w:tc></w:tr></w:tbl>" +
        // A field's instruction and deleted text are no text; its result is.
        Para("<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText> PAGE </w:instrText></w:r>"
             "<w:r><w:t>7</w:t></w:r><w:del><w:r><w:delText>gone</w:delText></w:r></w:del>"
             "<w:ins><w:r><w:t>-added</w:t></w:r></w:ins><w:moveFrom><w:r><w:t>-moved</w:t></w:r></w:moveFrom>"
             "<w:moveTo><w:r><w:t>-moved</w:t></w:r></w:moveTo>") +
        // A text box, stored twice, is read once, after the paragraph that holds it.
        Para(WRun("Before ") +
             "<w:r><mc:AlternateContent><mc:Choice Requires=\"wps\"><w:drawing><wps:txbx><w:txbxContent>" +
             Para(WRun("Boxed")) + "</w:txbxContent></wps:txbx></w:drawing></mc:Choice><mc:Fallback><w:pict><v:textbox>"
             "<w:txbxContent>" + Para(WRun("Boxed")) + "</w:txbxContent></v:textbox></w:pict></mc:Fallback>"
             "</mc:AlternateContent></w:r>" + WRun("after")) +
        Para("");
    EXPECT_EQ(Word(body), L"Hello world\ttabbed\r\nnext\r\ncell 1\r\ncell 2\r\n7-added-moved\r\nBefore after\r\nBoxed\r\n\r\n" +
                              kWordTail);
    // An empty body still has its headers and notes; a main part under
    // another name is found through the package's relationships.
    EXPECT_EQ(Word(""), kWordTail);
    EXPECT_EQ(Convert(ooxml, L"named.docm", Package(WordPackage(Para(WRun("moved")), "doc/main.xml"))),
              L"moved\r\n" + kWordTail);
    // A part may begin with a byte-order mark.
    Parts marked = WordPackage(Para(WRun("marked")));
    marked[2].second = "\xEF\xBB\xBF" + marked[2].second;
    EXPECT_EQ(Convert(ooxml, L"marked.docx", Package(marked)), L"marked\r\n" + kWordTail);
}

TEST_F(OfficeTest, WordHiddenTextAndTaggedStyles) {
    const std::string body =
        Para(WRun("shown ") + WRun("direct ", "<w:vanish/>") + WRun("styled ", "<w:rStyle w:val=\"Secret\"/>") +
             WRun("inherited ", "<w:rStyle w:val=\"MoreSecret\"/>") + WRun("off ", "<w:vanish w:val=\"0\"/>") +
             WRun("unhidden ", "<w:rStyle w:val=\"Unhidden\"/>") + WRun("loop", "<w:rStyle w:val=\"Loop1\"/>")) +
        Para(WRun("para hidden ") + WRun("but shown", "<w:vanish w:val=\"false\"/>"), "HiddenPara") +
        Para(WRun("source one ") + WRun("source two"), "SourceText") + Para(WRun("target"));
    EXPECT_EQ(Word(body), L"shown direct styled inherited off unhidden loop\r\npara hidden but shown\r\nsource one source two\r\n"
                          L"target\r\n" + kWordTail);
    EXPECT_EQ(Word(body, 0), L"shown off unhidden loop\r\nbut shown\r\nsource one source two\r\ntarget\r\n" + kWordTail);
    // The tag field names a style by its display name; its text is one space.
    EXPECT_EQ(Word(body, 1, L"Source Text"),
              L"shown direct styled inherited off unhidden loop\r\npara hidden but shown\r\n \r\ntarget\r\n" + kWordTail);
    EXPECT_EQ(Word(body, 0, L"More"), L"shown off unhidden loop\r\nbut shown\r\nsource one source two\r\ntarget\r\n" + kWordTail);
    EXPECT_EQ(Word(body, 1, L"SourceText"), Word(body)) << "a style id is not its name";
}

TEST_F(OfficeTest, ExcelSheetsRowsAndCells) {
    const std::string sst =
        "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"3\" uniqueCount=\"3\">"
        "<si><t>Name</t></si><si><r><rPr><b/></rPr><t xml:space=\"preserve\">Rich </t></r><r><t>text</t></r>"
        "<rPh sb=\"0\" eb=\"1\"><t>phonetic</t></rPh></si><si><t xml:space=\"preserve\"> </t></si></sst>";
    auto sheet = [](const std::string& rows) {
        return "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>" + rows +
               "</sheetData></worksheet>";
    };
    const std::string workbook =
        "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
        "<sheet name=\"Second file, first sheet\" sheetId=\"2\" r:id=\"rId3\"/>"
        "<sheet name=\"Hidden\" sheetId=\"3\" state=\"hidden\" r:id=\"rId4\"/>"
        "<sheet name=\"First\" sheetId=\"1\" r:id=\"rId2\"/></sheets></workbook>";
    const Parts parts = {
        {"_rels/.rels", Rels({{"officeDocument", "xl/workbook.xml"}})},
        {"xl/workbook.xml", workbook},
        {"xl/_rels/workbook.xml.rels", Rels({{"sharedStrings", "sharedStrings.xml"}, {"worksheet", "worksheets/sheet1.xml"},
                                             {"worksheet", "worksheets/sheet2.xml"}, {"worksheet", "worksheets/sheet3.xml"}})},
        {"xl/sharedStrings.xml", sst},
        {"xl/worksheets/sheet1.xml",
         sheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" s=\"1\"/><c r=\"C1\" t=\"s\"><v>1</v></c></row>"
               "<row r=\"2\"><c r=\"A2\"><f>1+1</f><v>2</v></c><c r=\"B2\" t=\"inlineStr\"><is><t>inline</t></is></c>"
               "<c r=\"C2\" t=\"b\"><v>1</v></c><c r=\"D2\" t=\"s\"><v>99</v></c></row>"
               "<row r=\"3\" hidden=\"1\"><c r=\"A3\" t=\"str\"><v>hidden row</v></c></row><row r=\"4\"/>")},
        {"xl/worksheets/sheet2.xml", sheet("<row r=\"1\"><c t=\"s\"><v>2</v></c><c><v>3.5</v></c></row>")},
        {"xl/worksheets/sheet3.xml", sheet("<row r=\"1\"><c t=\"inlineStr\"><is><t>secret sheet</t></is></c></row>")},
    };
    EXPECT_EQ(Convert(ooxml, L"b.xlsx", Package(parts)),
              L" \t3.5\r\nsecret sheet\r\nName\tRich text\r\n2\tinline\t1\r\nhidden row\r\n");
    EXPECT_EQ(Convert(ooxml, L"b.XLSM", Package(parts), 0), L" \t3.5\r\nName\tRich text\r\n2\tinline\t1\r\n");
}

TEST_F(OfficeTest, PowerPointSlidesInOrderThenNotes) {
    const char kA[] = "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
                      "xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\"";
    auto slide = [&](const std::string& paragraphs, const std::string& attributes = "") {
        return std::string("<p:sld ") + kA + attributes + "><p:cSld><p:spTree><p:sp><p:nvSpPr><p:cNvPr id=\"2\" name=\"Title\" "
               "descr=\"alt\"/></p:nvSpPr><p:txBody><a:bodyPr/><a:lstStyle/>" + paragraphs +
               "</p:txBody></p:sp></p:spTree></p:cSld></p:sld>";
    };
    const Parts parts = {
        {"_rels/.rels", Rels({{"officeDocument", "ppt/presentation.xml"}})},
        {"ppt/presentation.xml", std::string("<p:presentation ") + kA +
                                     " xmlns:r=\"r\"><p:sldIdLst><p:sldId id=\"257\" r:id=\"rId3\"/><p:sldId id=\"256\" "
                                     "r:id=\"rId2\"/><p:sldId id=\"258\" r:id=\"rId4\"/></p:sldIdLst></p:presentation>"},
        {"ppt/_rels/presentation.xml.rels", Rels({{"slideMaster", "slideMasters/slideMaster1.xml"},
                                                  {"slide", "slides/slide1.xml"}, {"slide", "slides/slide2.xml"},
                                                  {"slide", "slides/slide3.xml"}})},
        {"ppt/slideMasters/slideMaster1.xml", slide("<a:p><a:r><a:t>Master text</a:t></a:r></a:p>")},
        {"ppt/slides/slide1.xml", slide("<a:p><a:r><a:rPr lang=\"en\"/><a:t>Second</a:t></a:r><a:br/><a:r><a:t>line</a:t></a:r>"
                                        "<a:endParaRPr/></a:p>")},
        {"ppt/slides/_rels/slide1.xml.rels", Rels({{"notesSlide", "../notesSlides/notesSlide1.xml"}})},
        {"ppt/slides/slide2.xml", slide("<a:p><a:r><a:t>First</a:t></a:r><a:r><a:t xml:space=\"preserve\"> </a:t></a:r>"
                                        "<a:fld type=\"slidenum\"><a:t>1</a:t></a:fld></a:p>")},
        {"ppt/slides/slide3.xml", slide("<a:p><a:r><a:t>Hidden slide</a:t></a:r></a:p>", " show=\"0\"")},
        {"ppt/slides/_rels/slide3.xml.rels", Rels({{"notesSlide", "../notesSlides/notesSlide3.xml"}})},
        {"ppt/notesSlides/notesSlide1.xml", slide("<a:p><a:r><a:t>Speaker notes</a:t></a:r></a:p>")},
        {"ppt/notesSlides/notesSlide3.xml", slide("<a:p><a:r><a:t>Hidden notes</a:t></a:r></a:p>")},
    };
    EXPECT_EQ(Convert(ooxml, L"s.pptx", Package(parts)),
              L"First 1\r\nSecond\r\nline\r\nHidden slide\r\nSpeaker notes\r\nHidden notes\r\n");
    EXPECT_EQ(Convert(ooxml, L"s.ppsx", Package(parts), 0), L"First 1\r\nSecond\r\nline\r\nSpeaker notes\r\n");
    // A slide listed again is read once: no part is parsed twice.
    Parts again = parts;
    std::string& list = again[1].second;
    std::string repeated;
    for (int i = 0; i < 1000; ++i)
        repeated += "<p:sldId id=\"256\" r:id=\"rId2\"/>";
    list.insert(list.find("</p:sldIdLst>"), repeated);
    EXPECT_EQ(Convert(ooxml, L"again.pptx", Package(again)),
              L"First 1\r\nSecond\r\nline\r\nHidden slide\r\nSpeaker notes\r\nHidden notes\r\n");
    // Two relationships with one id: the last of them names the slide (the
    // third slide, listed twice, is read once; the first is not listed).
    Parts twice = parts;
    std::string& rels = twice[2].second;
    rels.insert(rels.find("</Relationships>"), std::string("<Relationship Id=\"rId2\" Type=\"") + kRelType +
                                                   "slide\" Target=\"slides/slide3.xml\"/>");
    EXPECT_EQ(Convert(ooxml, L"twice.pptx", Package(twice)),
              L"First 1\r\nHidden slide\r\nHidden notes\r\n");
    // A slide whose part is missing is left out; the others are read.
    Parts missing;
    for (const auto& part : parts) {
        if (part.first.find("slide3") == std::string::npos)
            missing.push_back(part);
    }
    EXPECT_EQ(Convert(ooxml, L"missing.pptx", Package(missing)), L"First 1\r\nSecond\r\nline\r\nSpeaker notes\r\n");
    // A slide that is there but broken fails the presentation.
    Parts broken = parts;
    for (auto& part : broken) {
        if (part.first == "ppt/slides/slide2.xml")
            part.second = "<p:sld><p:cSld>";
    }
    EXPECT_FALSE(Convert(ooxml, L"broken.pptx", Package(broken)));
}

const char kOdfNames[] =
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
    "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
    "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
    "xmlns:presentation=\"urn:oasis:names:tc:opendocument:xmlns:presentation:1.0\" "
    "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" office:version=\"1.3\"";

std::string OdfPackage(const std::string& automaticStyles, const std::string& body, const std::string& styles = "",
                       const std::string& masters = "") {
    return Package({
        {"mimetype", "application/vnd.oasis.opendocument.text"},
        {"content.xml", std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content ") + kOdfNames +
                            "><office:automatic-styles>" + automaticStyles + "</office:automatic-styles><office:body>" +
                            body + "</office:body></office:document-content>"},
        {"styles.xml", std::string("<office:document-styles ") + kOdfNames + "><office:styles>" + styles +
                           "</office:styles><office:master-styles>" + masters +
                           "</office:master-styles></office:document-styles>"},
        {"META-INF/manifest.xml", "<manifest/>"},
    });
}

TEST_F(OfficeTest, OpenDocumentText) {
    const std::string automatic =
        "<style:style style:name=\"T1\" style:family=\"text\"><style:text-properties text:display=\"none\"/></style:style>"
        "<style:style style:name=\"P1\" style:family=\"paragraph\" style:parent-style-name=\"Source_20_Text\"/>"
        "<style:style style:name=\"P2\" style:family=\"paragraph\" style:parent-style-name=\"Invisible\"/>"
        // A style without a name is nobody's style.
        "<style:style style:family=\"text\"><style:text-properties text:display=\"none\"/></style:style>";
    const std::string named =
        "<style:style style:name=\"Source_20_Text\" style:family=\"paragraph\"/>"
        "<style:style style:name=\"Invisible\" style:display-name=\"Quite Invisible\" style:family=\"paragraph\">"
        "<style:text-properties text:display=\"none\"/></style:style>"
        "<style:style style:name=\"Emphasis\" style:family=\"text\"/>";
    const std::string body =
        "<office:text><text:sequence-decls><text:sequence-decl text:name=\"Figure\"/></text:sequence-decls>"
        "<text:tracked-changes><text:changed-region><text:deletion><text:p>deleted</text:p></text:deletion>"
        "</text:changed-region></text:tracked-changes>"
        "<text:h text:outline-level=\"1\">Title</text:h>"
        "<text:p>One<text:s text:c=\"3\"/>two<text:tab/>three<text:line-break/>four  \n  five"
        "<text:span text:style-name=\"T1\"> hidden</text:span> <text:span text:style-name=\"Emphasis\">six</text:span>"
        "<text:note text:note-class=\"footnote\"><text:note-citation>1</text:note-citation><text:note-body>"
        "<text:p>Note text</text:p></text:note-body></text:note> seven</text:p>"
        "<text:p text:style-name=\"P1\">Source words</text:p>"
        "<text:p text:style-name=\"P2\">invisible paragraph</text:p>"
        "<text:p>cond<text:hidden-text text:condition=\"x\" text:string-value=\"itional\" text:is-hidden=\"true\"/></text:p>"
        "<text:p><text:hidden-paragraph text:condition=\"x\"/>vanished</text:p>"
        "<text:p><text:hidden-paragraph text:condition=\"x\" text:is-hidden=\"false\"/>shown</text:p>"
        "<text:section text:name=\"S\" text:display=\"none\"><text:p>hidden section</text:p></text:section>"
        "<table:table><table:table-column table:number-columns-repeated=\"2\"/><table:table-row><table:table-cell>"
        "<text:p>c1</text:p></table:table-cell><table:table-cell><text:p>c2</text:p></table:table-cell></table:table-row>"
        "</table:table><office:annotation><dc:creator>Ann</dc:creator><dc:date>2026-01-01</dc:date>"
        "<text:p>A remark</text:p></office:annotation></office:text>";
    const std::string masters =
        "<style:master-page style:name=\"Standard\"><style:header><text:p>Page header</text:p></style:header>"
        "<style:footer><text:p>Page footer</text:p></style:footer></style:master-page>";
    const std::string package = OdfPackage(automatic, body, named, masters);
    EXPECT_EQ(Convert(odf, L"t.odt", package),
              L"Title\r\nOne   two\tthree\r\nfour five hidden six seven\r\nNote text\r\nSource words\r\n"
              L"invisible paragraph\r\nconditional\r\nvanished\r\nshown\r\nhidden section\r\nc1\r\nc2\r\nA remark\r\n"
              L"Page header\r\n"
              L"Page footer\r\n");
    EXPECT_EQ(Convert(odf, L"t.ODT", package, 0, L"Source Text"),
              L"Title\r\nOne   two\tthree\r\nfour five six seven\r\nNote text\r\n \r\ncond\r\nshown\r\nc1\r\nc2\r\n"
              L"A remark\r\nPage header\r\nPage footer\r\n");
    EXPECT_EQ(Convert(odf, L"t.ott", package, 1, L"Quite Invisible").value_or(L"").find(L"invisible"), std::wstring::npos);
    EXPECT_EQ(OdfConverter::DecodeStyleName("Heading_20_1_5f_x_"), "Heading 1_x_");
    // What is no character code stays as written: not hex, zero, a surrogate, too long.
    for (const char* kept : {"Odd_zz_and_0_Name", "Half_d800_", "Long_0000041_"})
        EXPECT_EQ(OdfConverter::DecodeStyleName(kept), kept);
    EXPECT_EQ(OdfConverter::DecodeStyleName("Smile_1f600_"), "Smile\xF0\x9F\x98\x80");
}

TEST_F(OfficeTest, OpenDocumentWhiteSpaceCollapsesAsWrittenCharacterByCharacter) {
    // Paragraphs of random words, spaces, tabs, line feeds and spans (some
    // holding white space only), of every length around the sixteen-byte
    // steps: each run of white space is one space, none at the start.
    const char* const pieces[] = {"w", "word", "longer words here", "sixteen letters", " ", "  ", "\t", "\n", " \n ",
                                  "<text:span> </text:span>", "<text:span>in span</text:span>",
                                  "<text:span>  </text:span>", "x y"};
    std::mt19937 random(31);
    std::string body = "<office:text>";
    std::wstring expected;
    for (int paragraph = 0; paragraph < 3000; ++paragraph) {
        std::string xml;
        std::string plain;  // the paragraph's text without its tags
        for (size_t i = 0, n = random() % 14; i < n; ++i) {
            std::string piece = pieces[random() % std::size(pieces)];
            if (piece == "sixteen letters")
                piece = std::string(14 + random() % 4, 'L') + " ";  // a space as the piece's last byte
            xml += piece;
            for (size_t k = 0; k < piece.size(); ++k) {
                if (piece[k] == '<')
                    k = piece.find('>', k);
                else
                    plain += piece[k];
            }
        }
        body += "<text:p>" + xml + "</text:p>";
        bool lastWasSpace = true;
        for (char c : plain) {
            const bool space = c == ' ' || c == '\t' || c == '\n';
            if (space && !lastWasSpace)
                expected += L' ';
            else if (!space)
                expected += static_cast<wchar_t>(c);
            lastWasSpace = space;
        }
        expected += L"\r\n";
    }
    body += "</office:text>";
    EXPECT_EQ(Convert(odf, L"spaces.odt", OdfPackage("", body)), expected);
}

TEST_F(OfficeTest, OpenDocumentSpreadsheetRepeatsAndHiddenSheets) {
    const std::string automatic =
        "<style:style style:name=\"ta1\" style:family=\"table\"><style:table-properties table:display=\"true\"/></style:style>"
        "<style:style style:name=\"ta2\" style:family=\"table\"><style:table-properties table:display=\"false\"/></style:style>";
    const std::string body =
        "<office:spreadsheet><table:table table:name=\"One\" table:style-name=\"ta1\">"
        "<table:table-column table:number-columns-repeated=\"16384\"/>"
        "<table:table-row><table:table-cell><text:p>a</text:p></table:table-cell>"
        "<table:table-cell table:number-columns-repeated=\"3\"><text:p>b</text:p></table:table-cell>"
        "<table:table-cell table:number-columns-repeated=\"0\"><text:p>z</text:p></table:table-cell>"
        "<table:table-cell table:number-columns-repeated=\"x\"><text:p>y</text:p></table:table-cell>"
        "<table:table-cell table:number-columns-repeated=\"16377\"/><table:table-cell><text:p>line 1</text:p>"
        "<text:p>line 2</text:p></table:table-cell></table:table-row>"
        "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell><text:p>twice</text:p></table:table-cell>"
        "</table:table-row><table:table-row table:visibility=\"collapse\"><table:table-cell><text:p>collapsed</text:p>"
        "</table:table-cell></table:table-row><table:table-row table:visibility=\"filter\"><table:table-cell>"
        "<text:p>filtered</text:p></table:table-cell></table:table-row>"
        "<table:table-row table:number-rows-repeated=\"1048570\"><table:table-cell table:number-columns-repeated=\"16384\"/>"
        "</table:table-row></table:table>"
        "<table:table table:name=\"Two\" table:style-name=\"ta2\"><table:table-row><table:table-cell>"
        "<text:p>hidden sheet</text:p></table:table-cell></table:table-row></table:table></office:spreadsheet>";
    const std::string package = OdfPackage(automatic, body);
    EXPECT_EQ(Convert(odf, L"c.ods", package),
              L"a\tb\tb\tb\tz\ty\tline 1\nline 2\r\ntwice\r\ntwice\r\ncollapsed\r\nfiltered\r\nhidden sheet\r\n");
    EXPECT_EQ(Convert(odf, L"c.ods", package, 0), L"a\tb\tb\tb\tz\ty\tline 1\nline 2\r\ntwice\r\ntwice\r\n");
    // Text repeated past the bound fails the file instead of filling memory.
    const std::string bomb =
        "<office:spreadsheet><table:table><table:table-row table:number-rows-repeated=\"1048576\">"
        "<table:table-cell table:number-columns-repeated=\"16384\"><text:p>x</text:p></table:table-cell>"
        "</table:table-row></table:table></office:spreadsheet>";
    EXPECT_FALSE(Convert(odf, L"bomb.ods", OdfPackage("", bomb)));
}

TEST_F(OfficeTest, OpenDocumentPresentation) {
    const std::string automatic =
        "<style:style style:name=\"dp1\" style:family=\"drawing-page\"/>"
        "<style:style style:name=\"dp2\" style:family=\"drawing-page\"><style:drawing-page-properties "
        "presentation:visibility=\"hidden\"/></style:style>";
    auto page = [](const std::string& style, const std::string& text, const std::string& note) {
        return "<draw:page draw:name=\"p\" draw:style-name=\"" + style + "\"><draw:frame><draw:text-box><text:p>" + text +
               "</text:p></draw:text-box></draw:frame><presentation:notes><draw:page-thumbnail/><draw:frame>"
               "<draw:text-box><text:p>" + note + "</text:p></draw:text-box></draw:frame></presentation:notes></draw:page>";
    };
    const std::string package = OdfPackage(automatic, "<office:presentation>" + page("dp1", "Slide one", "Note one") +
                                                          page("dp2", "Hidden slide", "Hidden note") +
                                                          page("dp1", "Slide three", "Note three") + "</office:presentation>");
    EXPECT_EQ(Convert(odf, L"p.odp", package),
              L"Slide one\r\nHidden slide\r\nSlide three\r\nNote one\r\nHidden note\r\nNote three\r\n");
    EXPECT_EQ(Convert(odf, L"p.odp", package, 0), L"Slide one\r\nSlide three\r\nNote one\r\nNote three\r\n");
}

TEST_F(OfficeTest, DamagedAndForeignDocumentsFail) {
    const Parts word = WordPackage(Para(WRun("text")));
    // Not a zip; an encrypted document (a compound file); no main part.
    EXPECT_FALSE(Convert(ooxml, L"plain.docx", "just some text"));
    EXPECT_FALSE(Convert(ooxml, L"locked.docx", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0')));
    EXPECT_FALSE(Convert(odf, L"locked.odt", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0')));
    for (const wchar_t* name : {L"empty.docx", L"empty.xlsx", L"empty.pptx"})
        EXPECT_FALSE(Convert(ooxml, name, Package({{"_rels/.rels", Rels({})}}))) << testing::PrintToString(std::wstring(name));
    EXPECT_FALSE(Convert(odf, L"empty.odt", Package({{"mimetype", "x"}})));
    // A part that claims more bytes than the archive holds; broken XML.
    ZipLayout lying;
    for (const auto& [name, data] : word)
        lying.entries.push_back({name, data, 8, 0, true});
    lying.entries[2].headerCompressedSize = 0x7FFFFFF0;
    EXPECT_FALSE(Convert(ooxml, L"lying.docx", BuildZip(lying)));
    Parts broken = word;
    broken[2].second = WordDocument("<w:p><w:r><w:t>open");
    EXPECT_FALSE(Convert(ooxml, L"broken.docx", Package(broken)));
    broken = word;
    broken[5].second = "<w:hdr><w:p>";  // a broken header fails the document too
    EXPECT_FALSE(Convert(ooxml, L"header.docx", Package(broken)));
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<text:span>";
    EXPECT_FALSE(Convert(odf, L"deep.odt", OdfPackage("", "<office:text><text:p>" + deep + "</text:p></office:text>")));
    // Read whole again after all that: nothing was left behind.
    EXPECT_EQ(Convert(ooxml, L"fine.docx", Package(word)), L"text\r\n" + kWordTail);
}

TEST_F(OfficeTest, TmxVariantsInEveryEncoding) {
    const std::string units =
        "<tmx version=\"1.4\"><header srclang=\"en\"><prop type=\"x-header\">header prop</prop></header><body>"
        "<tu tuid=\"1\"><note>unit note</note><tuv xml:lang=\"en\"><prop type=\"client\">ACME</prop>"
        "<seg>Click <bpt i=\"1\">&lt;b&gt;</bpt>OK<ept i=\"1\">&lt;/b&gt;</ept> now</seg></tuv>"
        "<tuv xml:lang=\"de\"><note>variant note</note><seg>Jetzt  auf <ph>&lt;br/&gt;</ph>OK</seg></tuv></tu>"
        "<tu><tuv xml:lang=\"fr\"><seg>caf\xC3\xA9</seg></tuv></tu></body></tmx>";
    const std::wstring all = L"ACME\r\nClick <b>OK</b> now\r\nvariant note\r\nJetzt  auf <br/>OK\r\ncaf\u00E9\r\n";
    EXPECT_EQ(Convert(tmx, L"m.tmx", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + units), all);
    EXPECT_EQ(Convert(tmx, L"m.tmx", "\xEF\xBB\xBF" + units), all);
    // Folded while written for a search, a reference to U+0000 ending the text there.
    for (const std::string& seg :
         {std::string("\xE2\x80\x9Cquoted\xE2\x80\x9D \xEF\xBC\xA1"), std::string("a&#0;b")}) {
        dir.WriteFile(L"fold.tmx",
                      "<tmx><body><tu><tuv><seg>" + seg + "</seg></tuv></tu></body></tmx>");
        const std::optional<std::wstring> expected =
            FoldedAfterwards(tmx, dir / L"fold.tmx", ConverterRequest());
        ASSERT_TRUE(expected) << seg;
        EXPECT_EQ(SearchTextFor(tmx, dir / L"fold.tmx", ConverterRequest()), expected) << seg;
    }
    const std::wstring wide(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>");
    std::wstring widened = wide;
    for (unsigned char c : units)
        widened += static_cast<wchar_t>(c);  // ASCII but for é, fixed below
    widened.replace(widened.find(L"caf") + 3, 2, L"\u00E9");
    EXPECT_EQ(Convert(tmx, L"m16.TMX", "\xFF\xFE" + Utf16Bytes(widened)), all);
    std::string big = Utf16Bytes(widened);
    for (size_t i = 0; i + 1 < big.size(); i += 2)
        std::swap(big[i], big[i + 1]);
    EXPECT_EQ(Convert(tmx, L"m16be.tmx", "\xFE\xFF" + big), all);
    EXPECT_EQ(Convert(tmx, L"m16nobom.tmx", Utf16Bytes(widened)), all);
    // Pruning by name, as for XLIFF.
    EXPECT_EQ(Convert(tmx, L"m.tmx", units, 1, L"note prop"), L"Click <b>OK</b> now\r\nJetzt  auf <br/>OK\r\ncaf\u00E9\r\n");
    EXPECT_EQ(Convert(tmx, L"m.tmx", units, 1, L"bpt ept ph\tprop  note"), L"Click OK now\r\nJetzt  auf OK\r\ncaf\u00E9\r\n")
        << "names are parted by tabs as well as spaces";
    EXPECT_FALSE(Convert(tmx, L"bad.tmx", "<tmx><body><tu><tuv><seg>open"));
    // Units are read one by one where the layout allows, the whole document
    // otherwise: the same text, and the same failures, either way.
    std::string commented = units;
    commented.insert(commented.find("<tu><tuv xml:lang=\"fr\">"), "<!-- </tu> <tu> -->");
    EXPECT_EQ(Convert(tmx, L"c.tmx", commented), all);
    std::string inner = units;
    inner.insert(inner.find("<seg>caf"), "<?pi </tu>?>");
    EXPECT_EQ(Convert(tmx, L"i.tmx", inner), all);
    std::string innerComment = units;
    innerComment.insert(innerComment.find("<seg>caf"), "<!-- </tu> -->");
    EXPECT_EQ(Convert(tmx, L"ic.tmx", innerComment), all);
    for (size_t pad = 0; pad < 17; ++pad) {
        // The comment starts well before the "</tu>" it hides, at every alignment.
        std::string longComment = units;
        longComment.insert(longComment.find("<seg>caf"),
                           "<!--" + std::string(pad, ' ') + " a comment long enough to hide </tu> -->");
        EXPECT_EQ(Convert(tmx, L"lc.tmx", longComment), all) << pad;
    }
    std::string brokenUnit = units;
    brokenUnit.replace(brokenUnit.find("</seg></tuv></tu></body>"), 6, "<seg>");
    EXPECT_FALSE(Convert(tmx, L"u.tmx", brokenUnit));
    EXPECT_FALSE(Convert(tmx, L"h.tmx", "<tmx><header><body>" + units.substr(units.find("<tu "))));
    EXPECT_EQ(Convert(tmx, L"t.tmx", units + "<tu><tuv><seg>late</seg></tuv></tu>"), all + L"late\r\n");
    EXPECT_EQ(Convert(tmx, L"e.tmx", "<tmx><body>\n<tu>\n</tu>\n<tu> <tuv> <seg> x </seg> </tuv> </tu></body></tmx>"),
              L" x \r\n");
    EXPECT_EQ(tmx.Clone()->Accepts(L"C:\\x.TmX"), 1);
    EXPECT_EQ(tmx.Accepts(L"tmx"), 0);
}

// Documents written by an office suite from tests/data/office/fixture.fod*
// (see make-fixtures.sh there).
TEST_F(OfficeTest, DocumentsWrittenByAnOfficeSuite) {
    const std::wstring folder = std::wstring(MIRLOCK_TEST_DATA) + L"\\office\\fixture.";
    auto read = [&](const wchar_t* extension, int includeHidden, const std::wstring& tags = L"") {
        const std::wstring path = folder + extension;
        const DocConverter& converter = OoxmlConverter::KindOf(path.c_str()) != OoxmlConverter::Kind::kNone
                                            ? static_cast<const DocConverter&>(ooxml)
                                            : odf;
        return ConvertToText(converter, path, ConverterRequest(includeHidden, tags)).value_or(L"<failed>");
    };
    const std::wstring body =
        L"Translation fixture\r\nPlain hidden wordsvisible end.\r\nTwo  spaces\tand a tab.\r\n";
    const std::wstring rest = L"Source sentence\r\nCell A1\r\nCell B1\r\nCaf\u00E9 \u201Cquoted\u201D end\r\n";
    // Word keeps notes in a part of their own; OpenDocument where they stand.
    EXPECT_EQ(read(L"docx", 1), body + rest + L"Fixture header\r\nFootnote text\r\n");
    EXPECT_EQ(read(L"odt", 1), body + L"Footnote text\r\n" + rest + L"Fixture header\r\n");
    for (const wchar_t* extension : {L"docx", L"odt"}) {
        const std::wstring text = read(extension, 0, L"Source Text");
        EXPECT_NE(text.find(L"Plain visible end.\r\n"), std::wstring::npos) << text;
        EXPECT_NE(text.find(L"\r\n \r\nCell A1"), std::wstring::npos) << text;
    }
    for (const wchar_t* extension : {L"xlsx", L"ods"}) {
        EXPECT_EQ(read(extension, 1), L"Source\tTarget\r\nfile\tDatei\t42\r\nSecret sheet\r\n") << extension;
        EXPECT_EQ(read(extension, 0), L"Source\tTarget\r\nfile\tDatei\t42\r\n") << extension;
    }
    for (const wchar_t* extension : {L"pptx", L"odp"}) {
        EXPECT_EQ(read(extension, 1), L"First slide title\r\nHidden slide text\r\nThird slide text\r\nNotes of slide one\r\n")
            << extension;
        EXPECT_EQ(read(extension, 0), L"First slide title\r\nThird slide text\r\nNotes of slide one\r\n") << extension;
    }
    // For a search the text is folded while it is written (the typographic
    // quotes above among it): the same text as folding it afterwards.
    for (const wchar_t* extension : {L"docx", L"odt", L"xlsx", L"ods", L"pptx", L"odp"}) {
        const std::wstring path = folder + extension;
        const DocConverter& converter =
            OoxmlConverter::KindOf(path.c_str()) != OoxmlConverter::Kind::kNone
                ? static_cast<const DocConverter&>(ooxml)
                : odf;
        const std::optional<std::wstring> expected =
            FoldedAfterwards(converter, path, ConverterRequest());
        ASSERT_TRUE(expected) << extension;
        EXPECT_EQ(SearchTextFor(converter, path, ConverterRequest()), expected) << extension;
    }
}

TEST(OfficeConverterList, EachFormatFindsItsReader) {
    for (int mode : {0, 1}) {
        ConverterList list;
        list.BuildConverters(mode);
        for (const wchar_t* name : {L"C:\\a.DOCX", L"C:\\a.docm", L"C:\\a.dotx", L"C:\\a.xlsx", L"C:\\a.xlsm",
                                    L"C:\\a.pptx", L"C:\\a.pptm", L"C:\\a.ppsx"})
            EXPECT_NE(dynamic_cast<OoxmlConverter*>(list.FindConverter(name)), nullptr) << mode;
        for (const wchar_t* name : {L"C:\\a.odt", L"C:\\a.ODS", L"C:\\a.odp", L"C:\\a.ott"})
            EXPECT_NE(dynamic_cast<OdfConverter*>(list.FindConverter(name)), nullptr) << mode;
        for (const wchar_t* name : {L"C:\\a.doc", L"C:\\adocx", L"C:\\a.docx.bak", L"C:\\a.odt.txt"})
            EXPECT_NE(dynamic_cast<TxtConverter*>(list.FindConverter(name)), nullptr) << mode;
    }
}

TEST(OfficeNames, LocalNameIsWhatFollowsTheFirstColon) {
    const std::pair<const char*, const char*> cases[] = {
        {"w:t", "t"}, {"t", "t"}, {":t", "t"}, {"a:b:c", "b:c"}, {"t:", ""}, {"", ""}};
    for (const auto& [name, local] : cases)
        EXPECT_EQ(LocalName(std::string_view(name)), local) << name;
}

}  // namespace

TEST_F(OfficeTest, EachDocumentSaysWhatItWasReadAsAndADamagedOneWhy) {
    const std::wstring folder = std::wstring(MIRLOCK_TEST_DATA) + L"\\office\\fixture.";
    auto search = [&](const DocConverter& prototype, const std::wstring& path, std::unique_ptr<DocConverter>* used) {
        *used = prototype.Clone();
        size_t folded = DocConverter::kNotFolded;
        ScopedGlobal block((*used)->ConvertForSearch(path.c_str(), ConverterRequest(1), &folded));
        return static_cast<bool>(block);
    };
    const std::pair<const wchar_t*, const wchar_t*> kinds[] = {
        {L"docx", L"Word document"},     {L"xlsx", L"Excel workbook"},           {L"pptx", L"PowerPoint presentation"},
        {L"odt", L"OpenDocument text"}, {L"ods", L"OpenDocument spreadsheet"}, {L"odp", L"OpenDocument presentation"}};
    for (const auto& [extension, readAs] : kinds) {
        const std::wstring path = folder + extension;
        const bool open = OoxmlConverter::KindOf(path.c_str()) != OoxmlConverter::Kind::kNone;
        std::unique_ptr<DocConverter> used;
        ASSERT_TRUE(search(open ? static_cast<const DocConverter&>(ooxml) : odf, path, &used)) << extension;
        EXPECT_EQ(used->ReadAs(), readAs);
        EXPECT_TRUE(used->FailureReason().empty());
    }
    // A part that claims more than the archive holds; an archive whose
    // directory is cut; a compound file, as a password makes of a document.
    ZipLayout lying;
    for (const auto& [name, data] : WordPackage(Para(WRun("text"))))
        lying.entries.push_back({name, data, 8, 0, true});
    lying.entries[2].headerCompressedSize = 0x7FFFFFF0;
    const std::string whole = Package(WordPackage(Para(WRun("text"))));
    std::string cut = whole;
    cut[cut.find("PK\x01\x02") + 2] = 'x';  // the directory's first record is no record
    const std::pair<std::string, const wchar_t*> damaged[] = {
        {BuildZip(lying), L"a damaged office document"},
        {cut, L"a damaged office document"},
        {std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0'), L"an encrypted or damaged office document"}};
    for (const auto& [bytes, reason] : damaged) {
        const std::wstring file = std::to_wstring(++count) + L"d.docx";
        dir.WriteFile(file, bytes);
        std::unique_ptr<DocConverter> used;
        EXPECT_FALSE(search(ooxml, dir / file, &used));
        EXPECT_EQ(used->FailureReason(), reason);
    }
}
