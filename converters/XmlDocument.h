// The XML parsing shared by every XML-based converter: in-place
// parsing of NUL-terminated UTF-8 with whitespace trimming and no other flag,
// behind a nesting bound.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace rapidxml {
template <class Ch>
class xml_document;
template <class Ch>
class xml_node;
}  // namespace rapidxml

using XmlNode = rapidxml::xml_node<char>;

// Deeper documents count as malformed. The parser and the converters' walks
// recurse once per level; the bound keeps that well inside the 8 MB stack.
constexpr int kMaxXmlDepth = 2048;

// Reports whether the element nesting of `text` stays within `maxDepth`
// levels. Comments, CDATA sections, processing instructions, the document
// type and quoted attribute values are skipped; a cheap scan that may count
// too deep only for documents the parser would refuse anyway.
bool IsXmlNestingWithin(const char* text, int maxDepth);

// True when a numeric character reference that the parser would decode (in
// text or an attribute value, not in a comment, CDATA section, processing
// instruction or declaration) stands for a value beyond U+10FFFF. The parser
// adds its digits up in 32 bits on Windows, so "&#x100000041;" would come out
// as "A": such a document is malformed.
bool HasReferenceBeyondUnicode(const char* text);

// True when the NUL-terminated `text` holds at most `limit` places where an
// element may start: a '<' not followed by '/', '!' or '?'. No element can
// then nest deeper than `limit`, and the scan above is not needed.
bool FewElementStarts(const char* text, int limit);

class XmlDocument {
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // Parses `text` in place; the document's names and values point into it,
    // so it must outlive the document. False on any parse error (the parser's
    // message is never shown) or when the nesting bound is passed.
    bool Parse(char* text);

    // The document node.
    XmlNode* Root() const;

private:
    std::unique_ptr<rapidxml::xml_document<char>> document;
};

// Names as the converters compare them: byte for byte, or ASCII letters
// ignoring case.
bool NameIs(const XmlNode* node, const char* name);
bool NameIsIgnoringCase(const XmlNode* node, const char* name);
