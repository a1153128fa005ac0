// Package parts, relationships and the gathered text of office documents.
#include "converters/readers/OfficePackage.h"

#include <algorithm>
#include <new>
#include <rapidxml/rapidxml.hpp>

#include "base/ThreadScratch.h"
#include "base/TextScan.h"
#include "base/TextBlock.h"
#include "converters/readers/Utf8Text.h"

namespace {

std::string LowerAscii(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    }
    return s;
}

// `target` taken relative to the folder of part `from`, "../" and "./"
// resolved; a target starting with '/' is taken from the package's root.
std::string ResolveTarget(const std::string& from, std::string_view target) {
    std::vector<std::string> parts;
    if (!target.empty() && target[0] == '/') {
        target.remove_prefix(1);
    } else {
        size_t start = 0;
        for (size_t slash; (slash = from.find('/', start)) != std::string::npos; start = slash + 1)
            parts.push_back(from.substr(start, slash - start));
    }
    size_t start = 0;
    while (start <= target.size()) {
        size_t slash = target.find('/', start);
        if (slash == std::string_view::npos)
            slash = target.size();
        const std::string_view piece = target.substr(start, slash - start);
        if (piece == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!piece.empty() && piece != ".") {
            parts.emplace_back(piece);
        }
        start = slash + 1;
    }
    std::string resolved;
    for (const std::string& piece : parts) {
        if (!resolved.empty())
            resolved += '/';
        resolved += piece;
    }
    return resolved;
}

}  // namespace

std::string_view LocalName(std::string_view name) {
    // Names are short: a loop costs less than the C runtime's memchr.
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == ':')
            return name.substr(i + 1);
    }
    return name;
}

std::string_view LocalName(const XmlNode* node) { return LocalName(std::string_view(node->name(), node->name_size())); }

bool LocalNameIs(const XmlNode* node, std::string_view local) {
    return SameName(LocalName(node), local);
}

std::optional<std::string_view> AttributeOf(const XmlNode* node, std::string_view local) {
    for (const auto* a = node->first_attribute(); a; a = a->next_attribute()) {
        if (SameName(LocalName(std::string_view(a->name(), a->name_size())), local))
            return std::string_view(a->value(), a->value_size());
    }
    return std::nullopt;
}

std::optional<std::string_view> RelationshipIdOf(const XmlNode* node) {
    for (const auto* a = node->first_attribute(); a; a = a->next_attribute()) {
        const std::string_view name(a->name(), a->name_size());
        if (name.find(':') != std::string_view::npos && LocalName(name) == "id")
            return std::string_view(a->value(), a->value_size());
    }
    return std::nullopt;
}

const XmlNode* ChildOf(const XmlNode* node, std::string_view local) {
    for (const XmlNode* child = node->first_node(); child; child = child->next_sibling()) {
        if (child->type() == rapidxml::node_element && LocalNameIs(child, local))
            return child;
    }
    return nullptr;
}

const XmlNode* XmlPart::Root() const {
    const XmlNode* node = document.Root()->first_node();
    while (node && node->type() != rapidxml::node_element)
        node = node->next_sibling();
    return node;
}

std::wstring OfficePackage::OpenFailure() const {
    if (zip.FailureText() == L"not an archive")
        return L"an encrypted or damaged office document";
    if (zip.FailureText() == L"a damaged archive")
        return L"a damaged office document";
    return zip.FailureText();
}

bool OfficePackage::Open(const wchar_t* path) {
    index.clear();
    if (!zip.Open(path))
        return false;
    read.assign(static_cast<size_t>(zip.EntryCount()), false);
    index.reserve(static_cast<size_t>(zip.EntryCount()));
    for (int i = 0; i < zip.EntryCount(); ++i) {
        std::string name = LowerAscii(zip.EntryName(i));
        std::replace(name.begin(), name.end(), '\\', '/');
        index.emplace(std::move(name), i);  // the first of equal names wins
    }
    return true;
}

std::unique_ptr<XmlPart> OfficePackage::ReadPart(const std::string& name, bool* failed) {
    *failed = false;
    const auto found = index.find(LowerAscii(name));
    if (found == index.end() || read[static_cast<size_t>(found->second)])
        return nullptr;
    read[static_cast<size_t>(found->second)] = true;
    auto part = std::make_unique<XmlPart>();
    char* bytes = zip.ReadEntry(found->second, &part->bytes) ? part->bytes.TerminatedBytes() : nullptr;
    // Parts are UTF-8 (a byte-order mark is skipped); a UTF-16 part, which
    // the format allows but no office suite writes, fails the document.
    if (bytes && static_cast<unsigned char>(bytes[0]) == 0xEF && static_cast<unsigned char>(bytes[1]) == 0xBB &&
        static_cast<unsigned char>(bytes[2]) == 0xBF)
        bytes += 3;
    if (!bytes || !part->document.Parse(bytes, XmlProfile::kKeepSpace) || !part->Root()) {
        *failed = true;
        return nullptr;
    }
    return part;
}

std::vector<Relationship> OfficePackage::RelationshipsOf(const std::string& name, bool* failed) {
    const size_t slash = name.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
    std::vector<Relationship> relationships;
    const std::unique_ptr<XmlPart> part = ReadPart(folder + "_rels/" + file + ".rels", failed);
    if (!part)
        return relationships;
    for (const XmlNode* r = part->Root()->first_node(); r; r = r->next_sibling()) {
        if (r->type() != rapidxml::node_element || !LocalNameIs(r, "Relationship"))
            continue;
        const auto id = AttributeOf(r, "Id");
        const auto mode = AttributeOf(r, "TargetMode");
        const auto type = AttributeOf(r, "Type");
        const auto target = AttributeOf(r, "Target");
        if (!type || !target || (mode && *mode == "External"))
            continue;
        relationships.push_back({std::string(id.value_or("")), std::string(*type), ResolveTarget(name, *target)});
    }
    return relationships;
}

std::string OfficePackage::MainPart(const char* fallback, bool* failed) {
    for (const Relationship& r : RelationshipsOf("", failed)) {
        if (RelationshipIs(r, "officeDocument"))
            return r.target;
    }
    return fallback;
}

std::string Utf8Of(const wchar_t* text) {
    std::string utf8;
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n > 1) {
        utf8.assign(static_cast<size_t>(n), '\0');
        WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), n, nullptr, nullptr);
        utf8.resize(static_cast<size_t>(n - 1));
    }
    return utf8;
}

RelationshipTargets::RelationshipTargets(const std::vector<Relationship>& relationships) {
    for (const Relationship& r : relationships)
        byId[r.id] = &r.target;
}

const std::string& RelationshipTargets::Of(std::optional<std::string_view> id) const {
    static const std::string none;
    if (!id)
        return none;
    const auto found = byId.find(*id);
    return found == byId.end() ? none : *found->second;
}

bool RelationshipIs(const Relationship& relationship, std::string_view kind) {
    const std::string_view type = relationship.type;
    return type.size() > kind.size() && type.substr(type.size() - kind.size()) == kind &&
           type[type.size() - kind.size() - 1] == '/';
}

namespace {

std::string& OfficeTextBuffer() {
    thread_local std::string* bufferSlot = nullptr;
    return ThreadScratch(bufferSlot);
}

}  // namespace

OfficeText::OfficeText(Buffer buffer) : out(buffer == Buffer::kThread ? OfficeTextBuffer() : own) { out.clear(); }

OfficeText::~OfficeText() {
    // A buffer grown for a very large document goes back after it.
    ReleaseIfLarge(out);
}

void OfficeText::Append(std::string_view text) {
    if (text.empty())
        return;
    // Only the first byte of a text node can be a marker.
    if (IsWhitespaceMarker(text[0])) {
        out.push_back(UnmarkWhitespace(text[0]));
        text.remove_prefix(1);
    }
    AppendBytes(text.data(), text.size());
}

HGLOBAL OfficeText::TakeBlock() {
    if (TooLarge()) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return nullptr;
    }
    // A UTF-8 byte never gives more than one unit.
    HGLOBAL block = AllocUnclearedTextBlock((out.size() + 1) * sizeof(wchar_t));
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    {
        GlobalLockGuard<wchar_t> units(block);
        if (units.Get()) {
            const size_t written = out.empty() ? 0 : Utf8ToUtf16Bounded(out.data(), out.size(), units.Get());
            units.Get()[written] = 0;
            return block;
        }
    }
    FreeTextBlock(block);
    return nullptr;
}
