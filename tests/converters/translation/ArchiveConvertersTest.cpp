// XLZ, LWO and OpenTag conversion, and the order of the whole converter set.
#include <gtest/gtest.h>

#include <string>
#include <typeinfo>

#include "converters/ConverterList.h"
#include "converters/installed/FilterConverter.h"
#include "converters/installed/LibConverter.h"
#include "converters/translation/LwoConverter.h"
#include "converters/translation/OpenTagConverter.h"
#include "converters/translation/PoConverter.h"
#include "converters/translation/TtxConverter.h"
#include "converters/office/OdfConverter.h"
#include "converters/office/OoxmlConverter.h"
#include "converters/translation/TmxConverter.h"
#include "converters/TxtConverter.h"
#include "converters/translation/XliffConverter.h"
#include "converters/translation/XlzConverter.h"
#include "tests/ConvertHelper.h"
#include "tests/TestFiles.h"
#include "tests/ZipWriter.h"

namespace {

const std::string kUnit =
    "<xliff><file><body><trans-unit><source>Quelle</source><target>Ziel</target></trans-unit>"
    "</body></file></xliff>";

std::string Nested(int levels, const std::string& inner) {
    std::string open, close;
    for (int i = 0; i < levels; ++i) {
        open += "<n>";
        close += "</n>";
    }
    return open + inner + close;
}

class ArchiveTest : public testing::Test {
protected:
    std::optional<std::wstring> Convert(const DocConverter& converter, const ZipLayout& layout,
                                        const std::wstring& tags = L"") {
        const std::wstring name = L"a" + std::to_wstring(++count) + L".bin";
        dir.WriteFile(name, BuildZip(layout));
        return ConvertToText(converter, dir / name, ConverterRequest(1, tags));
    }

    TempDir dir;
    int count = 0;
};

TEST_F(ArchiveTest, XlzSearchesTheFirstXlfEntry) {
    XlzConverter xlz;
    ZipLayout layout;
    layout.entries = {{"skl/skeleton.skl", "<x/>"}, {"Content/DOC.XLF", kUnit}};
    EXPECT_EQ(Convert(xlz, layout), L"Quelle \r\nZiel ");
    EXPECT_EQ(Convert(xlz, layout, L"source"), L"\r\nZiel ");

    layout.entries = {{"first.xlf", kUnit}, {"second.xlf", "<x><trans-unit><source>B</source></trans-unit></x>"}};
    EXPECT_EQ(Convert(xlz, layout), L"Quelle \r\nZiel ");

    layout.entries = {{"only.xliff", kUnit}};
    EXPECT_FALSE(Convert(xlz, layout));
    layout.entries = {{"empty.xlf", "", 0}};
    EXPECT_EQ(Convert(xlz, layout), L"\r\n");
    layout.entries = {{"bad.xlf", "<x><unclosed>"}};
    EXPECT_FALSE(Convert(xlz, layout));
    layout.entries = {{"deep.xlf", Nested(1000000, "")}};
    EXPECT_FALSE(Convert(xlz, layout));

    dir.WriteFile(L"plain.xlz", kUnit);
    EXPECT_FALSE(ConvertToText(xlz, dir / L"plain.xlz", ConverterRequest()));
    EXPECT_TRUE(xlz.Accepts(L"C:\\a.XLZ"));
    EXPECT_FALSE(xlz.Accepts(L"C:\\a.xlz.tmp"));
    EXPECT_FALSE(xlz.Accepts(L"xlz"));
}

TEST_F(ArchiveTest, LwoGroupsTextByLanguageCode) {
    LwoConverter lwo;
    ZipLayout layout;
    layout.entries = {{"doc.xml",
                     "<doc><p lc=\"en\">one</p><p lc=\"de\">eins <b>fett</b> drei</p><p lc=\"en\">two</p></doc>"}};
    EXPECT_EQ(Convert(lwo, layout), L"\r\n eins fett drei\r\n one two");

    // Byte-wise order of the codes; de and DE differ.
    layout.entries = {{"doc.xml", "<doc><p lc=\"de\">d</p><p lc=\"EN\">E</p><p lc=\"DE\">D</p></doc>"}};
    EXPECT_EQ(Convert(lwo, layout), L"\r\n D\r\n E\r\n d");

    // Without lc nothing inside counts; a nested p belongs to the outer language;
    // P in capitals is no p but is looked into.
    layout.entries = {{"doc.xml",
                     "<doc><p>none<p lc=\"en\">inner</p></p>"
                     "<p lc=\"fr\">un<p lc=\"en\">deux</p></p>"
                     "<P lc=\"xx\">caps<p lc=\"it\">uno</p></P></doc>"}};
    EXPECT_EQ(Convert(lwo, layout), L"\r\n un deux\r\n uno");

    layout.entries = {{"doc.xml", "<doc><q>no p here</q></doc>"}};
    EXPECT_EQ(Convert(lwo, layout), L"");
    layout.entries = {{"binary.dat", "\x01\x02 not xml <"}, {"doc.xml", "<p lc=\"en\">later</p>"}};
    EXPECT_FALSE(Convert(lwo, layout));
    layout.entries = {{"deep.xml", Nested(1000000, "<p lc=\"en\">x</p>")}};
    EXPECT_FALSE(Convert(lwo, layout));
    layout.entries = {{"deep.xml", Nested(1500, "<p lc=\"en\">x</p>")}};
    EXPECT_EQ(Convert(lwo, layout), L"\r\n x");

    EXPECT_TRUE(lwo.Accepts(L"C:\\a.LWO"));
    EXPECT_FALSE(lwo.Accepts(L"C:\\a.lwo.old"));
}

TEST(OpenTag, NeverChosenAndConvertsNothing) {
    OpenTagConverter openTag;
    SetLastError(1234);
    EXPECT_EQ(openTag.Convert(L"C:\\a.otg", ConverterRequest()), nullptr);
    EXPECT_EQ(GetLastError(), 1234u);
    EXPECT_EQ(openTag.Accepts(L"C:\\a.otg"), 0);
    EXPECT_EQ(openTag.Accepts(L"C:\\a.xml"), 0);
    EXPECT_NE(dynamic_cast<OpenTagConverter*>(openTag.Clone().get()), nullptr);
}

std::string Kinds(const ConverterList& list) {
    std::string kinds;
    for (int i = 0; i < list.Count(); ++i) {
        const DocConverter& c = *list.At(i);
        const std::type_info& t = typeid(c);
        kinds += t == typeid(TtxConverter)       ? "TTX "
                 : t == typeid(XlzConverter)     ? "XLZ "
                 : t == typeid(XliffConverter)   ? "XLIFF "
                 : t == typeid(LwoConverter)     ? "LWO "
                 : t == typeid(OpenTagConverter) ? "OpenTag "
                 : t == typeid(TmxConverter)     ? "TMX "
                 : t == typeid(PoConverter)      ? "PO "
                 : t == typeid(OoxmlConverter)   ? "OOXML "
                 : t == typeid(OdfConverter)     ? "ODF "
                 : t == typeid(TxtConverter)     ? "TXT "
                 : t == typeid(FilterConverter)  ? "IFilter "
                 : t == typeid(LibConverter)     ? ""  // one per installed import converter
                                                 : "? ";
    }
    return kinds;
}

TEST(ConverterOrder, FixedMembersPerMode) {
    // Office documents that no system component takes are read last but one.
    const std::string full = "TTX XLZ XLIFF LWO OpenTag TMX PO OOXML ODF TXT ";
    for (int mode : {0, 1, 7}) {
        ConverterList list;
        list.BuildConverters(mode);
        // The content filters come in the default mode, before the plain text.
        EXPECT_EQ(Kinds(list), mode == 0 ? "TTX XLZ XLIFF LWO OpenTag TMX PO IFilter OOXML ODF TXT " : full) << "mode " << mode;
        EXPECT_EQ(list.FindConverter(L"C:\\a.xlz"), list.At(1));
        EXPECT_EQ(list.FindConverter(L"C:\\a.xlf"), list.At(2));
        EXPECT_EQ(list.FindConverter(L"C:\\a.lwo"), list.At(3));
        EXPECT_EQ(list.FindConverter(L"C:\\a.otg"), list.At(list.Count() - 1));
    }
    ConverterList text;
    text.BuildConverters(2);
    EXPECT_EQ(Kinds(text), "TXT ");
}

}  // namespace
