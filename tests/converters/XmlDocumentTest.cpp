// The nesting bound's pre-scan: what it counts and what it skips.
#include <gtest/gtest.h>

#include <string>

#include "converters/XmlDocument.h"

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
        {"<a>text &lt;b&gt; more</a>", 1},
        {"</x></y><a/>", 1},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(IsXmlNestingWithin(c.xml.c_str(), c.depth)) << c.xml;
        EXPECT_FALSE(IsXmlNestingWithin(c.xml.c_str(), c.depth - 1)) << c.xml;
    }
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

}  // namespace
