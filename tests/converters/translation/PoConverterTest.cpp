// Gettext catalogues: entries, plurals, escapes, character sets, byte-order
// marks, and files that are not catalogues.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "converters/ConverterList.h"
#include "converters/TxtConverter.h"
#include "converters/translation/PoConverter.h"
#include "tests/ConvertHelper.h"
#include "tests/TestFiles.h"

namespace {

class PoTest : public testing::Test {
protected:
    std::optional<std::wstring> Convert(const std::string& bytes, const wchar_t* extension = L".po") {
        const std::wstring name = L"f" + std::to_wstring(++count) + extension;
        dir.WriteFile(name, bytes);
        return ConvertToText(converter, dir / name, ConverterRequest());
    }
    std::optional<std::wstring> AsPlainText(const std::string& bytes) {
        const std::wstring name = L"t" + std::to_wstring(++count) + L".txt";
        dir.WriteFile(name, bytes);
        return ConvertToText(TxtConverter(), dir / name, ConverterRequest());
    }

    TempDir dir;
    PoConverter converter;
    int count = 0;
};

const char kCatalogue[] =
    "# Translators' comment\r\n"
    "msgid \"\"\r\n"
    "msgstr \"\"\r\n"
    "\"Project-Id-Version: demo\\n\"\r\n"
    "\"Content-Type: text/plain; charset=UTF-8\\n\"\r\n"
    "\r\n"
    "#: src/main.c:12\r\n"
    "#, fuzzy\r\n"
    "msgid \"Open file\"\r\n"
    "msgstr \"Datei \xC3\xB6" "ffnen\"\r\n"
    "\r\n"
    "msgctxt \"menu\"\r\n"
    "msgid \"Quit\"\r\n"
    "msgstr \"Beenden\"\r\n"
    "\r\n"
    "msgid \"%d file\"\r\n"
    "msgid_plural \"%d files\"\r\n"
    "msgstr[0] \"%d Datei\"\r\n"
    "msgstr[1] \"%d Dateien\"\r\n"
    "\r\n"
    "msgid \"\"\r\n"
    "\"A long text \"\r\n"
    "\"in two pieces\"\r\n"
    "msgstr\r\n"
    "\"Ein langer Text\"\r\n"
    "\r\n"
    "#~ msgid \"Old\"\r\n"
    "#~ msgstr \"Alt\"\r\n";

}  // namespace

TEST_F(PoTest, EntriesPluralsAndContextsButNoHeaderAndNoObsoleteEntries) {
    EXPECT_EQ(Convert(kCatalogue),
              std::wstring(L"Open file\r\nDatei \u00f6ffnen\r\n"
                           L"Quit\r\nBeenden\r\n"
                           L"%d file\r\n%d files\r\n%d Datei\r\n%d Dateien\r\n"
                           L"A long text in two pieces\r\nEin langer Text\r\n"));
    // The same with LF line ends, a UTF-8 mark, and as a template.
    std::string lf;
    for (const char* c = kCatalogue; *c; ++c) {
        if (*c != '\r')
            lf += *c;
    }
    EXPECT_EQ(Convert(lf), Convert(kCatalogue));
    EXPECT_EQ(Convert("\xEF\xBB\xBF" + lf, L".POT"), Convert(kCatalogue));
    // UTF-16 in either byte order.
    std::wstring wide = L"msgid \"caf\u00e9\"\nmsgstr \"Caf\u00e9 \u20ac\"\n";
    std::string le = "\xFF\xFE", be = "\xFE\xFF";
    for (wchar_t c : wide) {
        le += static_cast<char>(c & 0xFF);
        le += static_cast<char>(c >> 8);
        be += static_cast<char>(c >> 8);
        be += static_cast<char>(c & 0xFF);
    }
    EXPECT_EQ(Convert(le), std::wstring(L"caf\u00e9\r\nCaf\u00e9 \u20ac\r\n"));
    EXPECT_EQ(Convert(be), Convert(le));
}

TEST_F(PoTest, EscapesDecodeToBytesOfTheFilesCharacterSet) {
    std::vector<PoEntry> entries;
    const std::string text =
        "msgid \"a\\nb\\tc\\\"d\\\\e\\a\\b\\f\\v\\r\"\n"
        "msgstr \"\\101\\x42\\x6a\\x4A5\\x9z\\x30\\7\\012\\q\\x\\303\\251\"\n";
    ASSERT_TRUE(ParsePo(text.data(), text.size(), &entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].id, std::string("a\nb\tc\"d\\e\a\b\f\v\r"));
    ASSERT_EQ(entries[0].translations.size(), 1u);
    EXPECT_EQ(entries[0].translations[0], std::string("ABjJ5\tz0\7\nqx\xC3\xA9"));
    EXPECT_EQ(PoText(entries, CP_UTF8), std::wstring(L"a\nb\tc\"d\\e\a\b\f\v\r\r\nABjJ5\tz0\7\nqx\u00e9\r\n"));
}

TEST_F(PoTest, TheHeaderNamesTheCharacterSet) {
    const struct {
        const char* name;
        unsigned codePage;
    } names[] = {{"UTF-8", CP_UTF8},     {" utf8 ", CP_UTF8},   {"CP1251", 1251},        {"windows-1250", 1250},
                 {"x-cp1253", 1253},     {"ISO-8859-1", 28591}, {"iso-8859-15", 28605},  {"KOI8-R", 20866},
                 {"KOI8-U", 21866},      {"Shift_JIS", 932},    {"SJIS", 932},           {"EUC-JP", 20932},
                 {"GB2312", 936},        {"GBK", 936},          {"GB18030", 54936},      {"Big5", 950},
                 {"EUC-KR", 949},        {"ASCII", 20127},      {"US-ASCII", 20127},     {"CHARSET", 0},
                 {"latin1", 0},          {"cp", 0},             {"ISO-8859-99", 0},      {"iso-8859-16", 28606},
                 {"ISO-8859-0", 0},      {"CP123456", 0}};
    for (const auto& n : names)
        EXPECT_EQ(CodePageOfCharset(n.name), n.codePage) << n.name;

    auto catalogue = [](const std::string& charset, const std::string& body) {
        return "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=" + charset + "\\n\"\n\n" + body;
    };
    // 0x80 is the euro sign in windows-1252 and a control in ISO-8859-1.
    EXPECT_EQ(Convert(catalogue("windows-1252", "msgid \"x\"\nmsgstr \"\x80\"\n")), std::wstring(L"x\r\n\u20ac\r\n"));
    EXPECT_EQ(Convert(catalogue("ISO-8859-1", "msgid \"x\"\nmsgstr \"\x80\"\n")), std::wstring(L"x\r\n\u0080\r\n"));
    EXPECT_EQ(Convert(catalogue("KOI8-R", "msgid \"x\"\nmsgstr \"\xE4\xC1\"\n")), std::wstring(L"x\r\n\u0414\u0430\r\n"));
    // No charset, an unknown one, or "CHARSET": UTF-8.
    EXPECT_EQ(Convert(catalogue("CHARSET", "msgid \"x\"\nmsgstr \"\xC3\xA9\"\n")), std::wstring(L"x\r\n\u00e9\r\n"));
    EXPECT_EQ(Convert("msgid \"x\"\nmsgstr \"\xC3\xA9\"\n"), std::wstring(L"x\r\n\u00e9\r\n"));
    // A header after the first entry still counts; a code page the system
    // lacks reads as UTF-8.
    EXPECT_EQ(Convert("msgid \"x\"\nmsgstr \"\x80\"\n\n" + catalogue("windows-1252", "")), std::wstring(L"x\r\n\u20ac\r\n"));
    EXPECT_EQ(Convert(catalogue("CP12", "msgid \"x\"\nmsgstr \"\xC3\xA9\"\n")), std::wstring(L"x\r\n\u00e9\r\n"));
    // A byte-order mark wins over the header.
    EXPECT_EQ(Convert("\xEF\xBB\xBF" + catalogue("windows-1252", "msgid \"x\"\nmsgstr \"\xC3\xA9\"\n")),
              std::wstring(L"x\r\n\u00e9\r\n"));
}

TEST_F(PoTest, FilesThatAreNoCataloguesAreReadAsPlainText) {
    const char* const notCatalogues[] = {
        "Dear colleague,\nmsgid is a word here.\n",
        "msgid \"open\nmsgstr \"x\"\n",               // a string without its closing quote
        "msgid \"a\rb\"\nmsgstr \"c\"\n",             // a line break inside a string
        "msgstr \"x\"\nmsgid \"y\"\n",                 // a translation before its msgid
        "msgid \"a\"\nmsgid_plural \"b\"\nmsgstr \"c\"\nmsgstr \"d\"\n",  // two plain translations
        "\"orphan\"\n",                                 // a string without a keyword
        "msgid \"a\"\n",                                // an entry without translation
        "msgid \"a\" junk\nmsgstr \"b\"\n",             // something after the strings
        "msgctxt \"c\"\nmsgctxt \"d\"\nmsgid \"a\"\nmsgstr \"b\"\n",
        "msgid \"a\"\nmsgid_plural \"b\"\nmsgid \"c\"\nmsgstr \"d\"\n",  // a msgid after a plural
        "msgid \"a\"\nmsgid_plural \"b\"\nmsgstr[x] \"c\"\n",            // a translation without a number
    };
    for (const char* text : notCatalogues)
        EXPECT_EQ(Convert(text), AsPlainText(text)) << text;
    // Comments only, domains and blank lines: a catalogue without entries.
    EXPECT_EQ(Convert("# nothing yet\ndomain \"app\"\n\n"), std::wstring());
    EXPECT_EQ(Convert("domain \"app\"\nmsgid \"a\"\nmsgstr \"b\"\n"), std::wstring(L"a\r\nb\r\n"));

    EXPECT_TRUE(converter.Accepts(L"C:\\l10n\\de.po"));
    EXPECT_TRUE(converter.Accepts(L"C:\\l10n\\app.POT"));
    EXPECT_FALSE(converter.Accepts(L"C:\\l10n\\de.pox"));
    EXPECT_FALSE(converter.Accepts(L"po"));
    EXPECT_FALSE(converter.Accepts(L".po"));
    // Among the translation formats of the converter sets; not in "Always text".
    for (int mode : {0, 1, 2}) {
        ConverterList list;
        list.BuildConverters(mode);
        DocConverter* found = list.FindConverter(L"C:\\l10n\\de.po");
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(dynamic_cast<PoConverter*>(found) != nullptr, mode != 2) << mode;
    }
}
