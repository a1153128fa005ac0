// The nesting bound's scans, what they count and what they skip; name comparison.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <random>
#include <rapidxml/rapidxml.hpp>
#include <memory>
#include <string>
#include <vector>

#include "converters/readers/XmlDocument.h"

namespace {

TEST(XmlNesting, CountsElementsAndSkipsEverythingElse) {
    struct Case {
        std::string xml;
        int depth;  // the smallest bound that accepts it
    } cases[] = {
        {"<a><b><c/></b></a>", 3},
        {"<a><b/><b/><b/></a>", 2},
        {"<a x=\"<b><c>\" y='>'><d/></a>", 2},
        {"<a><!-- <b><c><d> --><![CDATA[<e><f>]]><?pi <g><h>?></a>", 1},
        {"<!DOCTYPE a [<!ELEMENT a (b)> <!ENTITY e \"<x>\">]><a><b/></a>", 2},
        // Whatever white space follows the keyword, the subset is skipped whole.
        {"<!DOCTYPE a [<!ENTITY e 'x><z>'>]><a/>", 1},
        {"<!DOCTYPE\ta [<!ENTITY e 'x><z>'>]><a/>", 1},
        {"<!DOCTYPE\na [<!ENTITY e 'x><z>'>]><a/>", 1},
        {"<!DOCTYPE\ra [<!ENTITY e 'x><z>'>]><a/>", 1},
        {"<a>text &lt;b&gt; more</a>", 1},
        {"</x></y><a/>", 1},
        // Declarations the parser does not know end at their first '>', brackets or not.
        {"<a><![ x><b><c/></b></a>", 3},
        {"<a><!ELEMENT [<b>><b><c/></b></a>", 3},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(IsXmlNestingWithin(c.xml.c_str(), c.depth)) << c.xml;
        EXPECT_FALSE(IsXmlNestingWithin(c.xml.c_str(), c.depth - 1)) << c.xml;
    }
    // The count follows the parser past such a declaration: a million levels
    // behind one are refused, not parsed until the stack runs out.
    std::string hostile = "<x><![ y>";
    for (int i = 0; i < 1000000; ++i)
        hostile += "<a>";
    EXPECT_FALSE(IsXmlNestingWithin(hostile.c_str(), kMaxXmlDepth));
    XmlDocument document;
    EXPECT_FALSE(document.Parse(hostile.data()));

    // Text that ends inside a tag or an attribute value is left to the parser.
    EXPECT_TRUE(IsXmlNestingWithin("<a x=\"never closed", 1));
    EXPECT_TRUE(IsXmlNestingWithin("<a", 1));
}

TEST(XmlNesting, TheBoundHoldsAtEveryAlignment) {
    // The scan reads aligned blocks; the depth must not depend on where the text starts.
    std::string deep;
    for (int i = 0; i < 40; ++i)
        deep += "<n a='1'>";
    for (size_t shift = 0; shift < 16; ++shift) {
        const std::string text = std::string(shift, ' ') + deep;
        EXPECT_TRUE(IsXmlNestingWithin(text.c_str(), 40)) << shift;
        EXPECT_FALSE(IsXmlNestingWithin(text.c_str(), 39)) << shift;
    }
}

TEST(XmlNesting, ElementStartCountAgreesWithACharacterByCharacterCount) {
    // Random markup at every alignment, against a plain count of the '<'
    // that are not followed by '/', '!' or '?'. Few starts must also mean
    // that the full scan accepts the text at that bound. The same pass tells
    // whether "&#" stands anywhere.
    const char alphabet[] = "<<</!?a>\" &#";
    std::mt19937 random(17);
    for (int round = 0; round < 3000; ++round) {
        std::string text(random() % 16, 'x');
        const size_t prefix = text.size();
        // Some texts long enough for the counts kept per 255 steps to be summed several times.
        for (size_t i = 0, n = round % 100 == 0 ? 9000 + random() % 4000 : random() % 80; i < n;
             ++i)
            text += alphabet[random() % (sizeof alphabet - 1)];
        if (round % 200 == 100) {
            // Long texts where "&#" stands far in, or nowhere.
            std::replace(text.begin() + prefix, text.end(), '#', 'x');
            if (round % 400 == 100)
                text.insert(text.size() - random() % 4000, "&#");
        }
        int expected = 0;
        for (size_t i = prefix; i < text.size(); ++i) {
            const char next = i + 1 < text.size() ? text[i + 1] : 0;
            if (text[i] == '<' && next != '/' && next != '!' && next != '?')
                ++expected;
        }
        const char* start = text.c_str() + prefix;
        ASSERT_TRUE(FewElementStarts(start, expected)) << testing::PrintToString(std::string(start));
        if (expected > 0) {
            ASSERT_FALSE(FewElementStarts(start, expected - 1)) << testing::PrintToString(std::string(start));
        }
        ASSERT_TRUE(IsXmlNestingWithin(start, expected)) << testing::PrintToString(std::string(start));
        const bool reference = text.find("&#", prefix) != std::string::npos;
        ASSERT_EQ(SummarizeMarkup(start, expected).numericReference, reference)
            << testing::PrintToString(std::string(start));
        // Past a small bound the pass goes on for "&#" and the end alone.
        const MarkupSummary bounded = SummarizeMarkup(start, 3);
        ASSERT_EQ(bounded.fewStarts, expected <= 3);
        ASSERT_EQ(bounded.numericReference, reference) << testing::PrintToString(std::string(start));
        if (!reference) {
            ASSERT_EQ(bounded.end, text.c_str() + text.size());
        }
    }
}

// The deepest level a plain walk from '<' to '<' reaches, stopping where the
// bound's scan stops: in an unterminated attribute value or at the end.
int DeepestLevel(const char* p) {
    auto skipPast = [](const char* from, const char* terminator) {
        const char* found = strstr(from, terminator);
        return found ? found + strlen(terminator) : from + strlen(from);
    };
    int depth = 0;
    int deepest = 0;
    for (;;) {
        p = strchr(p, '<');
        if (!p)
            return deepest;
        if (p[1] == '/') {
            if (depth > 0)
                --depth;
            p += 2;
        } else if (p[1] == '?') {
            p = skipPast(p + 2, "?>");
        } else if (strncmp(p, "<!--", 4) == 0) {
            p = skipPast(p + 4, "-->");
        } else if (strncmp(p, "<![CDATA[", 9) == 0) {
            p = skipPast(p + 9, "]]>");
        } else if (strncmp(p, "<!DOCTYPE", 9) == 0 && p[9] && strchr(" \t\n\r", p[9])) {
            int brackets = 0;
            for (++p; *p && (*p != '>' || brackets > 0); ++p) {
                if (*p == '[')
                    ++brackets;
                else if (*p == ']' && brackets > 0)
                    --brackets;
            }
        } else if (p[1] == '!') {
            const char* end = strchr(p + 2, '>');
            p = end ? end + 1 : p + strlen(p);
        } else {
            deepest = std::max(deepest, ++depth);
            for (++p;;) {
                p += strcspn(p, ">\"'");
                if (*p != '"' && *p != '\'')
                    break;
                const char* close = strchr(p + 1, *p);
                if (!close)
                    return deepest;
                p = close + 1;
            }
            if (*p == '>' && p[-1] == '/')
                --depth;
        }
    }
}

TEST(XmlNesting, BoundAgreesWithAPlainWalkOverRandomMarkup) {
    // Tags, quotes, comments, sections, instructions and declarations in
    // random order and at every alignment: the bound accepts exactly the
    // texts whose deepest level it covers.
    const char* const pieces[] = {"<",   "<",  "<a", "<b x=",      "</",   "/>",  ">",
                                  ">",   "\"", "'",  "/",          "?",    "!",   "-",
                                  "[",   "]",  " ",  "t",          "<!--", "-->", "<![CDATA[",
                                  "]]>", "<?", "?>", "<!DOCTYPE ", "<!E",  "\n"};
    std::mt19937 random(23);
    for (int round = 0; round < 6000; ++round) {
        std::string text(random() % 16, 'x');
        const size_t prefix = text.size();
        for (size_t i = 0, n = round % 200 == 0 ? 4000 : random() % 120; i < n; ++i)
            text += pieces[random() % std::size(pieces)];
        const char* start = text.c_str() + prefix;
        const int deepest = DeepestLevel(start);
        ASSERT_TRUE(IsXmlNestingWithin(start, deepest))
            << testing::PrintToString(std::string(start));
        if (deepest > 0) {
            ASSERT_FALSE(IsXmlNestingWithin(start, deepest - 1))
                << testing::PrintToString(std::string(start));
        }
    }
}

TEST(XmlNesting, OneStartInTheSameLaneOfManyStepsIsCountedEveryTime) {
    // 600 starts sixteen bytes apart all fall in one lane of the steps: more
    // than a byte can count, so the per-lane counts must be summed in time.
    std::string text;
    for (int i = 0; i < 600; ++i) text += "<aaaaaaaaaaaaaa>";
    EXPECT_TRUE(FewElementStarts(text.c_str(), 600));
    EXPECT_FALSE(FewElementStarts(text.c_str(), 599));
}

TEST(XmlReferences, ValuesBeyondUnicodeAreMalformed) {
    const struct {
        const char* xml;
        bool parses;
    } cases[] = {
        {"<a>&#x100000041;</a>", false},     // 2^32 + 0x41: not "A"
        {"<a>&#4294967361;</a>", false},     // the same in decimal
        {"<a b='&#x110000;'/>", false},
        {"<a>&#x10FFFF; &#65; &#x41;</a>", true},
        {"<a><!-- &#x100000041; --><![CDATA[&#4294967361;]]><?pi &#x110000;?></a>", true},
        {"<!DOCTYPE a [<!ENTITY e \"&#x100000041;\">]><a/>", true},
        {"<a>&amp;#x100000041;</a>", true},  // an escaped ampersand starts no reference
        {"<a>&#65; C#1114112</a>", true},    // nor does any other character before '#'
    };
    for (const auto& c : cases) {
        std::string text = c.xml;
        XmlDocument document;
        EXPECT_EQ(document.Parse(text.data()), c.parses) << c.xml;
    }
    std::string text = "<a>&#x41;</a>";
    XmlDocument document;
    ASSERT_TRUE(document.Parse(text.data()));
    EXPECT_STREQ(document.Root()->first_node()->value(), "A");
    // The reference found at every offset of the sixteen-byte steps, the
    // ampersand in one step and its '#' in the next included; an ampersand
    // alone is no reference wherever it stands.
    // The text itself starts anywhere in a step, too.
    for (size_t start = 0; start < 16; ++start) {
        for (size_t pad = 0; pad < 40; ++pad) {
            std::string beyond = std::string(start, ' ') + "<a>" + std::string(pad, 'x') +
                                 "&#x100000041;</a>";  // wraps to "A" when unchecked
            EXPECT_FALSE(XmlDocument().Parse(beyond.data() + start)) << start << " " << pad;
            std::string plain = std::string(start, ' ') + "<a>" + std::string(pad, 'x') + "&amp;#x100000041;</a>";
            EXPECT_TRUE(XmlDocument().Parse(plain.data() + start)) << start << " " << pad;
        }
    }
}

TEST(XmlNames, WholeNamesOnly) {
    std::string text = "<trans-unit/>";
    XmlDocument document;
    ASSERT_TRUE(document.Parse(text.data()));
    const XmlNode* node = document.Root()->first_node();
    ASSERT_NE(node, nullptr);
    EXPECT_TRUE(NameIs(node, "trans-unit"));
    EXPECT_FALSE(NameIs(node, "trans"));
    EXPECT_FALSE(NameIs(node, "trans-units"));
    EXPECT_FALSE(NameIs(node, "Trans-unit"));
    EXPECT_TRUE(NameIsIgnoringCase(node, "TRANS-Unit"));
    EXPECT_FALSE(NameIsIgnoringCase(node, "TRANS-UNI"));
    EXPECT_FALSE(NameIsIgnoringCase(node, "TRANS-UNITS"));
}

TEST(XmlKeepSpace, WhiteSpaceOnlyTextIsKeptInsideTheRootOnly) {
    // Prolog and epilog white space, comments and a document type stay
    // outside; inside the root every white-space-only run is a text node.
    std::string xml =
        "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<!-- a <comment -->\n<!DOCTYPE r [ <!ENTITY e \"x\"> ]>\n"
        "<r a=\"1\">\n<t> </t><t>\ta b </t><t>\t</t><u/>\r\n</r>\n<!-- tail -->\n";
    XmlDocument document;
    ASSERT_TRUE(document.Parse(xml.data() + 3, XmlProfile::kKeepSpace));
    const XmlNode* root = document.Root()->first_node();
    ASSERT_NE(root, nullptr);
    std::string texts;
    for (const XmlNode* n = root->first_node(); n; n = n->next_sibling()) {
        const XmlNode* data = n->type() == rapidxml::node_data ? n : n->first_node();
        std::string value = data ? std::string(data->value(), data->value_size()) : "";
        if (!value.empty())
            value[0] = UnmarkWhitespace(value[0]);
        texts += "[" + value + "]";
    }
    EXPECT_EQ(texts, "[\n][ ][\ta b ][\t][][\r\n]");

    // A '>' inside text or a CDATA section ends no tag: the white space after
    // it is part of that text, and stays as written.
    std::string raw = "<r><t>a > </t><![CDATA[b > <c]]> <t> > </t></r>";
    ASSERT_TRUE(document.Parse(raw.data(), XmlProfile::kKeepSpace));
    const XmlNode* r = document.Root()->first_node();
    EXPECT_EQ(std::string(r->first_node()->value()), "a > ");
    EXPECT_EQ(std::string(r->first_node()->next_sibling()->value()), "b > <c");
    const XmlNode* space = r->first_node()->next_sibling()->next_sibling();
    EXPECT_EQ(UnmarkWhitespace(space->value()[0]), ' ');
    EXPECT_EQ(std::string(r->last_node()->value()), " > ");

    // The trimmed profile of the translation files is unchanged.
    std::string trimmed = "<r>\n<t> </t><t> a b </t></r>";
    ASSERT_TRUE(document.Parse(trimmed.data()));
    EXPECT_EQ(document.Root()->first_node()->first_node()->first_node(), nullptr);
    EXPECT_EQ(std::string(document.Root()->first_node()->last_node()->value()), "a b");
}

TEST(XmlKeepSpace, EveryRunBetweenTagsIsKeptAtEveryAlignment) {
    // Tags, words and white-space runs at random lengths, so that runs start
    // in every lane of the sixteen-byte steps (the last one included): each
    // piece of text between two tags comes back as one text node, as written.
    std::mt19937 random(31);
    const char* const pieces[] = {"<b/>", "<c x='1'/>", " ",   "\t", "\n",   "\r\n",
                                  "  ",   "x",          "y z", "> ", "&amp;"};
    for (int round = 0; round < 400; ++round) {
        std::string body;
        for (size_t i = 0, n = random() % 60; i < n; ++i)
            body += pieces[random() % std::size(pieces)];
        std::string xml = std::string(random() % 16, ' ') + "<r>" + body + "</r>";
        std::vector<std::string> expected;
        std::string piece;
        for (size_t i = xml.find("<r>") + 3; i < xml.size() - 4; ++i) {
            if (xml[i] == '<') {
                if (!piece.empty())
                    expected.push_back(piece);
                piece.clear();
                i = xml.find('>', i);
            } else {
                piece += xml[i];
            }
        }
        if (!piece.empty())
            expected.push_back(piece);
        for (std::string& e : expected) {
            std::string unescaped;
            for (size_t i = 0; i < e.size(); ++i) {
                unescaped += e[i];
                if (e.compare(i, 5, "&amp;") == 0)
                    i += 4;  // "&amp;" is read as '&'
            }
            e = unescaped;
        }
        XmlDocument document;
        ASSERT_TRUE(document.Parse(xml.data(), XmlProfile::kKeepSpace)) << xml;
        std::vector<std::string> texts;
        for (const XmlNode* n = document.Root()->first_node()->first_node(); n;
             n = n->next_sibling()) {
            if (n->type() != rapidxml::node_data)
                continue;
            std::string value(n->value(), n->value_size());
            value[0] = UnmarkWhitespace(value[0]);
            texts.push_back(value);
        }
        ASSERT_EQ(texts, expected) << testing::PrintToString(std::string(xml));
    }
}

// Parsers are kept by the thread from document to document: each document
// sees only its own nodes, whatever the ones before it held or failed on, and
// documents alive at once (more than are kept) stay apart.
TEST(XmlDocuments, EachDocumentHasOnlyItsOwnNodes) {
    std::string many = "<root>";
    for (int i = 0; i < 20000; ++i) many.append("<n a='").append(std::to_string(i)).append("'/>");
    many += "</root>";
    auto countChildren = [](const XmlDocument& d) {
        int count = 0;
        for (const XmlNode* n = d.Root()->first_node()->first_node(); n; n = n->next_sibling()) ++count;
        return count;
    };
    for (int round = 0; round < 3; ++round) {
        std::vector<std::string> texts;
        for (int i = 0; i < 7; ++i) {
            const std::string name = std::string("d").append(std::to_string(i));
            texts.push_back(std::string("<").append(name).append("><c/></").append(name).append(">"));
        }
        texts.push_back(many);
        texts.push_back("<broken><a></broken>");
        std::vector<std::unique_ptr<XmlDocument>> alive;
        for (std::string& text : texts) {
            const bool sound = text != "<broken><a></broken>";  // parsing writes into the text
            alive.push_back(std::make_unique<XmlDocument>());
            EXPECT_EQ(alive.back()->Parse(text.data()), sound);
        }
        for (int i = 0; i < 7; ++i) {
            const XmlNode* root = alive[static_cast<size_t>(i)]->Root()->first_node();
            ASSERT_NE(root, nullptr);
            EXPECT_TRUE(NameIs(root, std::string("d").append(std::to_string(i)).c_str()));
            EXPECT_EQ(countChildren(*alive[static_cast<size_t>(i)]), 1);
            EXPECT_EQ(root->next_sibling(), nullptr);
        }
        EXPECT_EQ(countChildren(*alive[7]), 20000);
        EXPECT_EQ(alive[8]->Root()->first_node(), nullptr) << "a failed parse leaves no nodes";
        // Freed in an order other than made, so the kept parsers are mixed.
        std::swap(alive[1], alive[7]);
    }
    // A kept parser that last held thousands of nodes parses a small document.
    std::string small = "<only/>";
    XmlDocument document;
    ASSERT_TRUE(document.Parse(small.data()));
    ASSERT_NE(document.Root()->first_node(), nullptr);
    EXPECT_TRUE(NameIs(document.Root()->first_node(), "only"));
    EXPECT_EQ(document.Root()->first_node()->next_sibling(), nullptr);
}

}  // namespace
