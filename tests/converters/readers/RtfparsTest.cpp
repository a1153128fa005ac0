// The RTF text reader: what each construct leaves in the text, and bad input.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "converters/readers/Rtfpars.h"

namespace {

struct Options {
    bool ignoreHidden = false;
    bool dropNoProof = true;
    bool dropStruck = true;
    std::vector<std::string> sourceStyles;
};

std::wstring Read(const std::string& rtf, const Options& o = {}) {
    RtfReaderContext context;
    context.ignoreHidden = o.ignoreHidden;
    context.dropNoProofLetters = o.dropNoProof;
    context.dropStruckText = o.dropStruck;
    context.sourceStyleNames = o.sourceStyles;
    ReadRtf(context, rtf.c_str());
    return context.output;
}

struct RtfCase {
    const char* what;
    std::string rtf;
    std::wstring expected;
};

TEST(Rtfpars, TextBreaksAndSpecialCharacters) {
    const RtfCase cases[] = {
        {"par and its delimiter", "{\\rtf1\\ansi Hello\\par World}", L"Hello\nWorld"},
        {"line breaks are never text", "{\\rtf1 Hel\r\nlo\\pa\r\nr X}", L"Hello\nX"},
        {"breaks and quotes",
         "{\\rtf1 a\\tab b\\cell c\\line d\\endash e\\lquote f\\rquote g\\ldblquote h\\rdblquote}",
         L"a\tb\tc\nd-e'f'g\"h\""},
        {"symbols", "{\\rtf1 a\\~b\\\\c\\{d\\}e\\-f\\_g}", L"a b\\cdefg"},
        {"hex escapes as ISO 8859-1", "{\\rtf1 caf\\'e9 \\'93q\\'94 \\'zz}", L"caf\u00e9 \u0093q\u0094 "},
        {"hex digits a-f and A-F", "{\\rtf1 \\'aa\\'bB\\'Cc\\'dD\\'EF\\'fa\\'Af\\'0A}",
         L"\u00aa\u00bb\u00cc\u00dd\u00ef\u00fa\u00af\n"},
        {"an escaped zero byte would end the text early", "{\\rtf1 a\\'00b}", L"ab"},
        {"backslash space and digit", "{\\rtf1 a\\ b\\5c}", L"abc"},
        {"unknown words and emdash kept out, text kept", "{\\rtf1 \\unknownword x\\emdash y\\u8212?}", L"xy?"},
        {"text after the outermost brace", "{\\rtf1 a}tail}}", L"atail"},
        {"plain text without any group", "just text", L"just text"},
    };
    for (const RtfCase& c : cases)
        EXPECT_EQ(Read(c.rtf), c.expected) << c.what;
}

TEST(Rtfpars, DestinationsAreDiscardedUntilPlain) {
    const RtfCase cases[] = {
        {"star destination", "{\\rtf1{\\*\\generator Riched20 10.0;}text}", L"text"},
        {"font table", "{\\rtf1{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New Roman;}}body}", L"body"},
        {"color table, info, pict",
         "{\\rtf1{\\colortbl;\\red0;}{\\info{\\title T}}{\\pict 0102}{\\revtbl{x;}}{\\shpgrp s}b}", L"b"},
        {"plain brings text back", "{\\rtf1{\\*\\foo hidden\\plain shown}}", L"shown"},
        {"fields and headers are kept", "{\\rtf1{\\header H}{\\field{\\fldrslt R}}}", L"HR"},
    };
    for (const RtfCase& c : cases)
        EXPECT_EQ(Read(c.rtf), c.expected) << c.what;
}

TEST(Rtfpars, HiddenStruckAndNoProofText) {
    const std::string hidden = "{\\rtf1 before {\\v hidden\\par} after}";
    EXPECT_EQ(Read(hidden), L"before hidden\n after");
    Options ignore;
    ignore.ignoreHidden = true;
    EXPECT_EQ(Read(hidden, ignore), L"before  after") << "the par in hidden text is dropped too";
    EXPECT_EQ(Read("{\\rtf1 {\\v0 shown}}", ignore), L"shown");

    EXPECT_EQ(Read("{\\rtf1 {\\strike gone}kept}"), L"kept");
    Options keepStruck;
    keepStruck.dropStruck = false;
    EXPECT_EQ(Read("{\\rtf1 {\\strike gone}kept}", keepStruck), L"gonekept");

    // A bare \strike or \v switches on, whatever number the word before had.
    EXPECT_EQ(Read("{\\rtf1 {\\b0\\strike gone}{\\fs0\\strike gone}kept}"), L"kept");
    EXPECT_EQ(Read("{\\rtf1 a{\\b0\\v hidden}{\\f0\\v hidden}b}", ignore), L"ab");
    EXPECT_EQ(Read("{\\rtf1 a{\\b0\\v shown}b}"), L"ashownb");

    // \noproof reads the parameter the previous control word left.
    EXPECT_EQ(Read("{\\rtf1 {\\b0\\noproof ab1}|{\\b\\noproof ab1}|{\\i\\noproof x}}"), L"ab1|1|");
    EXPECT_EQ(Read("{\\rtf1 a\\5\\noproof xy1}"), L"a1") << "backslash-digit sets the parameter";
    EXPECT_EQ(Read("{\\rtf1 {\\noproof\\'e9t\\'e9}}"), L"\u00e9\u00e9") << "only ASCII letters";
}

TEST(Rtfpars, SourceStylesGiveASpace) {
    const std::string rtf =
        "{\\rtf1{\\stylesheet{\\s0 Normal;}{\\s2 Source;}{\\*\\cs10 Source Char;}}"
        "{\\s2 paragraph text}mid{\\cs10 char text}{\\s0 normal}end}";
    Options o;
    o.sourceStyles = {"Source", "Source Char"};
    EXPECT_EQ(Read(rtf, o), L" mid normalend");
    // A style number keeps its sign: -2 is not the source style 2.
    EXPECT_EQ(Read("{\\rtf1{\\stylesheet{\\s2 Source;}}{\\s-2 minus}{\\s2 two}}", o), L"minus ");
    EXPECT_EQ(Read(rtf), L"paragraph textmidchar textnormalend");
    o.sourceStyles = {"source"};
    EXPECT_EQ(Read(rtf, o), L"paragraph textmidchar textnormalend") << "names compare case-sensitively";
    o.sourceStyles = {"", "Source"};
    EXPECT_EQ(Read(rtf, o), L"paragraph textmidchar textnormalend") << "the list ends at an empty name";

    RtfReaderContext context;
    context.sourceStyleNames = {"Source"};
    ReadRtf(context, rtf.c_str());
    ASSERT_EQ(context.styles.size(), 3u);
    EXPECT_EQ(context.styles[0].styleNumber, 10) << "newest first";
    EXPECT_EQ(context.styles[0].styleName, "Source Char");
    EXPECT_FALSE(context.styles[0].isSource);
    EXPECT_TRUE(context.styles[1].isSource);
}

TEST(Rtfpars, BadInputNeverCrashesOrHangs) {
    for (const char* truncated : {"{\\rtf1 a\\'", "{\\rtf1 a\\'e", "abc\\", "\\b-", "{{{", "}}}x"})
        Read(truncated);
    EXPECT_EQ(Read("{\\rtf1 a\\'e"), L"a\u000e");
    EXPECT_EQ(Read("}}}x"), L"x");

    // A control word and a parameter far longer than the 1024-byte buffer.
    EXPECT_EQ(Read("{\\rtf1 \\" + std::string(5000, 'q') + " text}"), L"text");
    EXPECT_EQ(Read("{\\rtf1 \\b" + std::string(5000, '9') + "\\noproof ab1}"), L"1");
    EXPECT_EQ(Read("{\\rtf1 \\b-" + std::string(5000, '9') + "\\noproof ab1}"), L"1");

    // Nesting lives on the heap.
    EXPECT_EQ(Read(std::string(1000000, '{') + "x" + std::string(1000000, '}')), L"x");
    EXPECT_EQ(Read(std::string(1000000, '}') + "y"), L"y");
    EXPECT_EQ(Read("{\\stylesheet" + std::string(200000, '{') + "\\s1 a;}" + std::string(200000, '}') +
                   "{\\s1 z}"),
              L"z");

    std::mt19937 random(12345);
    for (int round = 0; round < 50; ++round) {
        std::string bytes(4096, '\0');
        for (char& b : bytes)
            b = static_cast<char>(1 + random() % 255);
        // Bias towards RTF syntax so that every path is taken.
        for (int i = 0; i < 600; ++i)
            bytes[random() % bytes.size()] = "\\{}'\r\n0-9abvs"[random() % 14];
        const std::wstring text = Read(bytes);
        EXPECT_LE(text.size(), bytes.size());
    }
}

}  // namespace
