// What the office-document readers share: the parts of a zip package read
// and parsed by name, Office Open XML relationships, names and attributes
// compared by their local part, and the text gathered in UTF-8.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "converters/readers/XmlDocument.h"
#include "converters/readers/ZipReader.h"

// An element's or attribute's name without its prefix: "t" for "w:t".
// Equality of two names, byte by byte in line: names are a few bytes long,
// and a call into the C runtime for each comparison costs more.
inline bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

std::string_view LocalName(std::string_view name);
std::string_view LocalName(const XmlNode* node);
bool LocalNameIs(const XmlNode* node, std::string_view local);
// The value of the first attribute whose local name is `local`.
std::optional<std::string_view> AttributeOf(const XmlNode* node, std::string_view local);
// The value of a prefixed attribute whose local name is "id" ("r:id"): the
// relationship an element points at.
std::optional<std::string_view> RelationshipIdOf(const XmlNode* node);
// The first child element whose local name is `local`, or null.
const XmlNode* ChildOf(const XmlNode* node, std::string_view local);

// One parsed XML part; the document points into `bytes`.
struct XmlPart {
    ZipEntryData bytes;
    XmlDocument document;
    // The document's first element (the root), or null.
    const XmlNode* Root() const;
};

struct Relationship {
    std::string id;
    std::string type;    // the full type URI
    std::string target;  // the part name it points at, resolved ("word/header1.xml")
};

class OfficePackage {
public:
    bool Open(const wchar_t* path);
    // Why Open failed, as a failed document's reason. A file that is no zip
    // archive is, for a document of these types, most often one encrypted
    // with a password (its parts then sit in a compound file).
    std::wstring OpenFailure() const;

    // Part `name` ("word/document.xml", any letter case) read and parsed
    // with spaces kept. Null with `*failed` false when there is no such
    // part, with `*failed` true when it cannot be read or parsed. Each part
    // is read once: asked for again (a slide listed twice, a header named by
    // a thousand relationships), it counts as absent, so that a small
    // document cannot make the reader parse one large part over and over.
    std::unique_ptr<XmlPart> ReadPart(const std::string& name, bool* failed);

    // The relationships of part `name` (those of the package for ""), in the
    // order they are written; empty when there are none. External targets
    // are left out.
    std::vector<Relationship> RelationshipsOf(const std::string& name, bool* failed);

    // The target of the package's main-document relationship, or `fallback`.
    std::string MainPart(const char* fallback, bool* failed);

private:
    ZipReader zip;
    std::unordered_map<std::string, int> index;  // lower-case name with '/' -> entry
    std::vector<bool> read;                      // by entry
};

// A NUL-terminated UTF-16 text in UTF-8 (the tag field, compared with names).
std::string Utf8Of(const wchar_t* text);

// The targets of a part's relationships by id, the last of equal ids
// winning: looked up once for each sheet or slide a workbook or
// presentation lists.
class RelationshipTargets {
public:
    explicit RelationshipTargets(const std::vector<Relationship>& relationships);
    // The target of the relationship whose id is `id`; empty when none is.
    const std::string& Of(std::optional<std::string_view> id) const;

private:
    std::unordered_map<std::string_view, const std::string*> byId;
};

// True when a relationship type URI ends with "/" + `kind` ("header").
bool RelationshipIs(const Relationship& relationship, std::string_view kind);

// The text gathered from a document, in UTF-8, turned into a text block at
// the end. Bounded: a document whose text grows past the bound fails.
class OfficeText {
public:
    static constexpr size_t kMaxBytes = 256u << 20;

    // The document's text goes into a buffer that the thread keeps; a
    // piece gathered on the side (a shared string) into one of its own.
    enum class Buffer { kThread, kOwn };
    explicit OfficeText(Buffer buffer = Buffer::kThread);
    ~OfficeText();
    OfficeText(const OfficeText&) = delete;
    OfficeText& operator=(const OfficeText&) = delete;

    // A text node's bytes, marker bytes turned back into white space.
    void Append(std::string_view text);
    // Bytes as they are. Most pieces are a word or a few: those are copied
    // here, without a call into the C runtime.
    void AppendBytes(const char* bytes, size_t count) {
        if (count > 16) {
            out.append(bytes, count);
            return;
        }
        for (size_t i = 0; i < count; ++i) out.push_back(bytes[i]);
    }
    void Append(char c) { out.push_back(c); }
    void LineBreak() { out += "\r\n"; }
    bool EndsWith(char c) const { return !out.empty() && out.back() == c; }
    size_t Size() const { return out.size(); }
    bool TooLarge() const { return out.size() > kMaxBytes; }
    std::string& Bytes() { return out; }

    // The text block; null when memory is short or the text too large.
    HGLOBAL TakeBlock();

private:
    std::string own;
    std::string& out;
};
