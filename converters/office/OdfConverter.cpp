// OpenDocument: content.xml for the body, styles.xml for the named styles
// and the text document's headers and footers.
#include "converters/office/OdfConverter.h"

#include <rapidxml/rapidxml.hpp>

#include <cstdlib>
#include <cwchar>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/SearchRecords.h"

namespace {

constexpr int kMaxStyleChain = 32;

// White space as the collapsing sees it: the four XML spaces and the markers
// that stand for white-space-only text.
inline bool IsCollapsedSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || IsWhitespaceMarker(c);
}

// Where the stretch that runs on from `from` ends: at the first white space
// that is not a single plain space followed by more text, or at `n`.
size_t StretchEnd(const char* s, size_t from, size_t n) {
#if defined(__SSE2__)
    // Sixteen bytes a step while the byte after them is in the piece too.
    auto spaces = [](__m128i block) {
        const __m128i markers = _mm_and_si128(_mm_cmpgt_epi8(block, _mm_set1_epi8(-5)),
                                              _mm_cmplt_epi8(block, _mm_setzero_si128()));
        const __m128i xml = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8(' ')),
                                                      _mm_cmpeq_epi8(block, _mm_set1_epi8('\t'))),
                                         _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('\n')),
                                                      _mm_cmpeq_epi8(block, _mm_set1_epi8('\r'))));
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(xml, markers)));
    };
    // The ends among the first `lanes` bytes at `at`; with `pieceEnds` the
    // last of them is the piece's last byte, and a plain space there ends
    // the stretch.
    auto endsIn = [&](size_t at, unsigned lanes, bool pieceEnds) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at + 1));
        const unsigned plain =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(' '))));
        const unsigned last = pieceEnds ? 1u << (lanes - 1) : 0u;
        const unsigned valid = lanes < 16 ? (1u << lanes) - 1 : 0xFFFFu;
        return spaces(block) & ~(plain & ~(spaces(next) | last)) & valid;
    };
    for (; from + 17 <= n; from += 16) {
        if (const unsigned ends = endsIn(from, 16, false))
            return from + static_cast<size_t>(__builtin_ctz(ends));
    }
    // The last bytes (most pieces are a few words) at once too, when the
    // seventeen bytes read stay within the page the piece's bytes are in.
    constexpr uintptr_t kPage = 4096;
    if (from < n && (reinterpret_cast<uintptr_t>(s + from) & (kPage - 1)) <= kPage - 17) {
        const unsigned ends = endsIn(from, static_cast<unsigned>(n - from), true);
        return ends ? from + static_cast<size_t>(__builtin_ctz(ends)) : n;
    }
#endif
    for (; from < n; ++from) {
        if (IsCollapsedSpace(s[from]) &&
            !(s[from] == ' ' && from + 1 < n && !IsCollapsedSpace(s[from + 1])))
            return from;
    }
    return n;
}
constexpr unsigned long kMaxSpaces = 1000;

bool EndsWithIgnoringCase(const wchar_t* path, const wchar_t* suffix) {
    const size_t n = wcslen(path);
    const size_t m = wcslen(suffix);
    return n > m && _wcsicmp(path + n - m, suffix) == 0;
}

unsigned long CountOf(const XmlNode* node, std::string_view attribute) {
    const auto value = AttributeOf(node, attribute);
    if (!value)
        return 1;
    const unsigned long n = strtoul(std::string(*value).c_str(), nullptr, 10);
    return n ? n : 1;
}

// Elements that hold no text a reader sees: metadata, declarations, the
// record of deleted text, templates of indexes, forms, footnote numbers.
bool IsSkipped(std::string_view name, std::string_view local) {
    return SameName(local, "tracked-changes") || SameName(local, "note-citation") ||
           SameName(name, "dc:creator") || SameName(name, "dc:date") ||
           SameName(name, "svg:title") || SameName(name, "svg:desc") || SameName(local, "forms") ||
           SameName(local, "event-listeners") || SameName(local, "sequence-decls") ||
           SameName(local, "variable-decls") || SameName(local, "user-field-decls") ||
           SameName(local, "index-title-template") || SameName(local, "table-columns") ||
           SameName(local, "table-column") || SameName(local, "named-expressions") ||
           SameName(local, "database-ranges") ||
           (local.size() > 7 && SameName(local.substr(local.size() - 7), "-source"));
}

bool EndsWithCharacter(const std::string& s, char c) { return !s.empty() && s.back() == c; }

}  // namespace

OdfConverter::OdfConverter() {
    wcsncpy(typeName, L"OpenDocument files", kConverterChars - 1);
    wcsncpy(fileSpec, L"*.odt;*.ods;*.odp;*.ott;*.ots;*.otp", kConverterChars - 1);
}

int OdfConverter::Accepts(const wchar_t* path) {
    for (const wchar_t* e : {L".odt", L".ods", L".odp", L".ott", L".ots", L".otp"}) {
        if (EndsWithIgnoringCase(path, e))
            return 1;
    }
    return 0;
}

std::unique_ptr<DocConverter> OdfConverter::Clone() const {
    auto copy = std::make_unique<OdfConverter>();
    copy->CopyStringsFrom(*this);
    return copy;
}

std::string OdfConverter::DecodeStyleName(std::string_view name) {
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '_') {
            const size_t end = name.find('_', i + 1);
            if (end != std::string_view::npos && end > i + 1 && end - i - 1 <= 6) {
                const std::string hex(name.substr(i + 1, end - i - 1));
                char* stop = nullptr;
                const unsigned long code = strtoul(hex.c_str(), &stop, 16);
                if (stop && *stop == 0 && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
                    wchar_t units[3] = {};
                    if (code >= 0x10000) {
                        units[0] = static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
                        units[1] = static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
                    } else {
                        units[0] = static_cast<wchar_t>(code);
                    }
                    out += Utf8Of(units);
                    i = end;
                    continue;
                }
            }
        }
        out.push_back(name[i]);
    }
    return out;
}

void OdfConverter::ReadStyles(const XmlNode* container, bool automatic) {
    for (const XmlNode* s = container ? container->first_node() : nullptr; s; s = s->next_sibling()) {
        if (s->type() != rapidxml::node_element || !LocalNameIs(s, "style"))
            continue;
        const auto name = AttributeOf(s, "name");
        if (!name)
            continue;
        OdfStyle style;
        style.automatic = automatic;
        const auto display = AttributeOf(s, "display-name");
        style.displayName = display ? std::string(*display) : DecodeStyleName(*name);
        style.parent = AttributeOf(s, "parent-style-name").value_or("");
        for (const XmlNode* p = s->first_node(); p; p = p->next_sibling()) {
            if (p->type() != rapidxml::node_element)
                continue;
            const std::string_view local = LocalName(p);
            if (SameName(local, "text-properties")) {
                if (const auto display = AttributeOf(p, "display"))
                    style.hidden = SameName(*display, "none") ? 1 : 0;
            } else if (SameName(local, "table-properties")) {
                if (const auto display = AttributeOf(p, "display"))
                    style.hidden = SameName(*display, "false") ? 1 : 0;
            } else if (SameName(local, "drawing-page-properties")) {
                if (const auto visibility = AttributeOf(p, "visibility"))
                    style.hidden = SameName(*visibility, "hidden") ? 1 : 0;
            }
        }
        styles[std::string(*name)] = std::move(style);
    }
}

int OdfConverter::StyleHidden(std::string_view name) const {
    for (int depth = 0; depth < kMaxStyleChain && !name.empty(); ++depth) {
        const auto found = styles.find(std::string(name));
        if (found == styles.end())
            return -1;
        if (found->second.hidden != -1)
            return found->second.hidden;
        name = found->second.parent;
    }
    return -1;
}

bool OdfConverter::StyleTagged(std::string_view name) const {
    // An automatic style (P1, T1) stands for the named style it derives from.
    if (tag.empty())
        return false;
    for (int depth = 0; depth < kMaxStyleChain && !name.empty(); ++depth) {
        const auto found = styles.find(std::string(name));
        if (found == styles.end())
            return false;
        if (!found->second.automatic)
            return found->second.displayName == tag;
        name = found->second.parent;
    }
    return false;
}

HGLOBAL OdfConverter::Convert(const wchar_t* path, const SearchRequest& request) {
    ignoreHidden = request.includeHidden == 0;
    tag = Utf8Of(request.ignoreTags);
    styles.clear();
    OfficePackage package;
    if (!package.Open(path))
        return Fail(package.OpenFailure());
    bool failed = false;
    const std::unique_ptr<XmlPart> stylesPart = package.ReadPart("styles.xml", &failed);
    const std::unique_ptr<XmlPart> content = failed ? nullptr : package.ReadPart("content.xml", &failed);
    if (!content)
        return Fail(L"a damaged office document");
    if (stylesPart) {
        ReadStyles(ChildOf(stylesPart->Root(), "styles"), false);
        ReadStyles(ChildOf(stylesPart->Root(), "automatic-styles"), true);
    }
    ReadStyles(ChildOf(content->Root(), "automatic-styles"), true);

    OfficeText text;
    const XmlNode* body = ChildOf(content->Root(), "body");
    const XmlNode* kind = body ? body->first_node() : nullptr;
    while (kind && kind->type() != rapidxml::node_element)
        kind = kind->next_sibling();
    bool read = true;
    // "OpenDocument text", "OpenDocument spreadsheet", "OpenDocument presentation" ...
    const std::string_view kindName = kind ? LocalName(kind) : std::string_view("text");
    SetReadAs(L"OpenDocument " + std::wstring(kindName.begin(), kindName.end()));
    if (kind && LocalNameIs(kind, "spreadsheet")) {
        read = Spreadsheet(kind, text);
    } else if (kind && LocalNameIs(kind, "presentation")) {
        read = Presentation(kind, text);
    } else if (kind) {
        Walk(kind, text);
        // A text document's headers and footers stand in its master pages.
        const XmlNode* masters = stylesPart ? ChildOf(stylesPart->Root(), "master-styles") : nullptr;
        for (const XmlNode* page = masters ? masters->first_node() : nullptr; page; page = page->next_sibling()) {
            if (page->type() != rapidxml::node_element || !LocalNameIs(page, "master-page"))
                continue;
            for (const XmlNode* part = page->first_node(); part; part = part->next_sibling()) {
                const std::string_view local = part->type() == rapidxml::node_element ? LocalName(part) : "";
                if (SameName(local.substr(0, 6), "header") ||
                    SameName(local.substr(0, 6), "footer"))
                    Walk(part, text);
            }
        }
    }
    if (!read)
        return Fail(L"a damaged office document");
    return text.TakeBlock();
}

void OdfConverter::Emit(std::string_view piece, OfficeText& text, bool collapse) {
    if (tagged) {
        if (!taggedSpaceWritten)
            text.Append(' ');
        taggedSpaceWritten = true;
        lastWasSpace = true;
        return;
    }
    taggedSpaceWritten = false;
    if (!collapse) {
        text.Append(piece);
        lastWasSpace = false;
        return;
    }
    // Runs of white space are one space; at a paragraph's start, none. The
    // stretches between them are copied whole. A single plain space between
    // two words is its own collapse, so a stretch runs on over it: most
    // pieces are copied in one go.
    const size_t n = piece.size();
    size_t i = 0;
    while (i < n) {
        if (IsCollapsedSpace(piece[i])) {
            if (!lastWasSpace)
                text.Append(' ');
            lastWasSpace = true;
            ++i;
            continue;
        }
        const size_t end = StretchEnd(piece.data(), i + 1, n);
        text.AppendBytes(piece.data() + i, end - i);
        lastWasSpace = false;
        i = end;
    }
}

void OdfConverter::Walk(const XmlNode* node, OfficeText& text) {
    for (const XmlNode* child = node->first_node(); child; child = child->next_sibling()) {
        if (child->type() == rapidxml::node_data || child->type() == rapidxml::node_cdata) {
            if (inParagraph)
                Emit(std::string_view(child->value(), child->value_size()), text, true);
            continue;
        }
        if (child->type() != rapidxml::node_element)
            continue;
        const std::string_view local = LocalName(child);
        if (IsSkipped(std::string_view(child->name(), child->name_size()), local))
            continue;
        if (SameName(local, "p") || SameName(local, "h")) {
            Paragraph(child, text);
        } else if (SameName(local, "span")) {
            Span(child, text);
        } else if (SameName(local, "s")) {
            const unsigned long n = std::min(CountOf(child, "c"), kMaxSpaces);
            Emit(std::string(n, ' '), text, false);
            lastWasSpace = true;
        } else if (SameName(local, "tab")) {
            Emit("\t", text, false);
        } else if (SameName(local, "line-break")) {
            Emit("\r\n", text, false);
            lastWasSpace = true;
        } else if (SameName(local, "hidden-text")) {
            if (!ignoreHidden)
                Emit(AttributeOf(child, "string-value").value_or(""), text, true);
        } else if (SameName(local, "section")) {
            const auto display = AttributeOf(child, "display");
            if (!(ignoreHidden &&
                  ((display && SameName(*display, "none")) ||
                   StyleHidden(AttributeOf(child, "style-name").value_or("")) == 1)))
                Walk(child, text);
        } else if (SameName(local, "notes") && notes) {
            notes->push_back(child);
        } else {
            Walk(child, text);
        }
    }
}

void OdfConverter::Paragraph(const XmlNode* p, OfficeText& text) {
    // A paragraph inside a paragraph (a note, a text frame) follows the one
    // that holds it.
    if (inParagraph) {
        deferred.push_back(p);
        return;
    }
    const std::string_view style = AttributeOf(p, "style-name").value_or("");
    bool hidden = StyleHidden(style) == 1;
    if (const XmlNode* mark = ChildOf(p, "hidden-paragraph")) {
        const auto state = AttributeOf(mark, "is-hidden");
        hidden = hidden || !state || !SameName(*state, "false");
    }
    if (!(ignoreHidden && hidden)) {
        inParagraph = true;
        lastWasSpace = true;
        taggedSpaceWritten = false;
        tagged = StyleTagged(style);
        Walk(p, text);
        tagged = false;
        inParagraph = false;
        text.Append(paragraphEnd);
    }
    std::vector<const XmlNode*> inner;
    inner.swap(deferred);
    for (const XmlNode* next : inner)
        Paragraph(next, text);
}

void OdfConverter::Span(const XmlNode* span, OfficeText& text) {
    const std::string_view style = AttributeOf(span, "style-name").value_or("");
    if (ignoreHidden && StyleHidden(style) == 1)
        return;
    const bool outer = tagged;
    tagged = tagged || StyleTagged(style);
    Walk(span, text);
    tagged = outer;
}

bool OdfConverter::Spreadsheet(const XmlNode* body, OfficeText& text) {
    for (const XmlNode* table = body->first_node(); table; table = table->next_sibling()) {
        if (table->type() != rapidxml::node_element || !LocalNameIs(table, "table"))
            continue;
        if (ignoreHidden && StyleHidden(AttributeOf(table, "style-name").value_or("")) == 1)
            continue;
        if (!Rows(table, text))
            return false;
    }
    return true;
}

bool OdfConverter::Rows(const XmlNode* container, OfficeText& text) {
    for (const XmlNode* row = container->first_node(); row; row = row->next_sibling()) {
        if (row->type() != rapidxml::node_element)
            continue;
        const std::string_view local = LocalName(row);
        if (SameName(local, "table-header-rows") || SameName(local, "table-rows") ||
            SameName(local, "table-row-group")) {
            if (!Rows(row, text))
                return false;
            continue;
        }
        if (!SameName(local, "table-row"))
            continue;
        const auto visibility = AttributeOf(row, "visibility");
        if (ignoreHidden && visibility &&
            (SameName(*visibility, "collapse") || SameName(*visibility, "filter")))
            continue;
        // The row's cells with text, a tab between them. Repeated cells and
        // rows are written out only when they hold text: the empty repeats
        // that fill a sheet to its last column and row cost nothing.
        OfficeText line(OfficeText::Buffer::kOwn);
        for (const XmlNode* cell = row->first_node(); cell; cell = cell->next_sibling()) {
            if (cell->type() != rapidxml::node_element)
                continue;
            const std::string_view kind = LocalName(cell);
            if (!SameName(kind, "table-cell") && !SameName(kind, "covered-table-cell"))
                continue;
            OfficeText value(OfficeText::Buffer::kOwn);
            paragraphEnd = "\n";
            Walk(cell, value);
            paragraphEnd = "\r\n";
            std::string& bytes = value.Bytes();
            while (EndsWithCharacter(bytes, '\n'))
                bytes.pop_back();
            if (bytes.empty())
                continue;
            for (unsigned long n = CountOf(cell, "number-columns-repeated"); n > 0; --n) {
                if (line.Size())
                    line.Append('\t');
                line.Append(bytes);
                if (line.TooLarge())
                    return false;
            }
        }
        if (!line.Size())
            continue;
        for (unsigned long n = CountOf(row, "number-rows-repeated"); n > 0; --n) {
            text.Append(line.Bytes());
            text.LineBreak();
            if (text.TooLarge())
                return false;
        }
    }
    return true;
}

bool OdfConverter::Presentation(const XmlNode* body, OfficeText& text) {
    // Slides in order, then the notes of those shown.
    std::vector<const XmlNode*> pageNotes;
    notes = &pageNotes;
    for (const XmlNode* page = body->first_node(); page; page = page->next_sibling()) {
        if (page->type() != rapidxml::node_element || !LocalNameIs(page, "page"))
            continue;
        if (ignoreHidden && StyleHidden(AttributeOf(page, "style-name").value_or("")) == 1)
            continue;
        Walk(page, text);
        if (text.TooLarge())
            break;
    }
    notes = nullptr;
    for (const XmlNode* note : pageNotes)
        Walk(note, text);
    return !text.TooLarge();
}
