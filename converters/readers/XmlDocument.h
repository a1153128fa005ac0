// The XML parsing shared by every XML-based converter: in-place
// parsing of NUL-terminated UTF-8, with whitespace trimming (translation
// files) or without (office documents) and no other flag, behind a nesting
// bound.
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

// Both cheap checks in one pass over the NUL-terminated `text`: whether at
// most `limit` elements may start in it (as FewElementStarts), and whether
// "&#" stands anywhere in it (without one, no reference can be out of range).
// The pass may stop early once both answers are known to be no and yes.
struct MarkupSummary {
    bool fewStarts;
    bool numericReference;
    const char* end;  // the text's NUL, or null when the pass stopped before it
};
MarkupSummary SummarizeMarkup(const char* text, int limit);

// How a document's text is kept. Translation files are read trimmed: text
// nodes lose their outer white space and white-space-only text is dropped.
// Office documents keep every text node as written, white-space-only ones
// included ("<w:t xml:space="preserve"> </w:t>"): the first byte of such a
// node is stored as a marker byte (UnmarkWhitespace gives it back), since
// the parser itself drops text that is white space only.
enum class XmlProfile { kTrimmed, kKeepSpace };

// Marker bytes never occur in UTF-8.
inline bool IsWhitespaceMarker(char c) { return static_cast<unsigned char>(c) >= 0xFC; }
inline char UnmarkWhitespace(char c) {
    switch (static_cast<unsigned char>(c)) {
    case 0xFF: return ' ';
    case 0xFE: return '\t';
    case 0xFD: return '\n';
    case 0xFC: return '\r';
    default: return c;
    }
}

// The first occurrence of `needle` in the NUL-terminated `text`, or null:
// strstr, sixteen bytes at a time (the C runtime's is byte by byte).
char* FindText(char* text, const char* needle);

class XmlDocument {
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // Parses `text` in place; the document's names and values point into it,
    // so it must outlive the document. False on any parse error (the parser's
    // message is never shown) or when the nesting bound is passed.
    bool Parse(char* text, XmlProfile profile = XmlProfile::kTrimmed);

    // The document node.
    XmlNode* Root() const;

    // Why the last Parse failed, as a failed file's reason: "not well-formed
    // XML, line 12, column 5", counted from `documentStart` (by default the
    // text parsed), for a part parsed alone inside a larger buffer.
    std::wstring ErrorText(const char* documentStart = nullptr) const;

private:
    std::unique_ptr<rapidxml::xml_document<char>> document;
    const char* parsedText = nullptr;
    const char* errorWhere = nullptr;  // where the parser gave up
    std::wstring errorText;            // a failure without a place
};

// Names as the converters compare them: byte for byte, or ASCII letters
// ignoring case.
bool NameIs(const XmlNode* node, const char* name);
bool NameIsIgnoringCase(const XmlNode* node, const char* name);
