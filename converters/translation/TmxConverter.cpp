// TMX conversion: UTF-8 or UTF-16 documents, every tuv's elements (the
// segment, and notes and properties of the variant) one line each.
#include "converters/translation/TmxConverter.h"

#include <rapidxml/rapidxml.hpp>

#include <cstring>

#include "converters/readers/ArchiveEntry.h"
#include "converters/readers/FileBlock.h"
#include "converters/readers/LineIndex.h"
#include "converters/readers/OfficePackage.h"
#include "converters/readers/Utf8Text.h"
#include "converters/translation/InlineCodes.h"
#include "base/ThreadScratch.h"
#include "base/TextBlock.h"
#include "base/SearchRecords.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

TmxConverter::TmxConverter() {
    wcsncpy(typeName, L"TMX files", kConverterChars - 1);
    wcsncpy(fileSpec, L"*.tmx", kConverterChars - 1);
}

int TmxConverter::Accepts(const wchar_t* path) { return HasExtension3(path, L"tmx"); }

std::unique_ptr<DocConverter> TmxConverter::Clone() const {
    auto copy = std::make_unique<TmxConverter>();
    copy->CopyStringsFrom(*this);
    return copy;
}

bool TmxConverter::IsIgnored(const XmlNode* element) const {
    // By the whole name, or by the local name of a prefixed one.
    const std::string_view name(element->name(), element->name_size());
    const std::string_view local = LocalName(name);
    for (const std::string& ignored : ignoredNames) {
        if (name == ignored || local == ignored)
            return true;
    }
    return false;
}

void TmxConverter::Gather(const XmlNode* node, OfficeText& text) const {
    for (const XmlNode* child = node->first_node(); child; child = child->next_sibling()) {
        if (child->type() == rapidxml::node_data || child->type() == rapidxml::node_cdata)
            text.Append(std::string_view(child->value(), child->value_size()));
        else if (child->type() == rapidxml::node_element && !IsIgnored(child))
            Gather(child, text);
    }
}

namespace {

// A variant's language: xml:lang, or the older lang.
std::string_view VariantLanguage(const XmlNode* tuv) {
    const rapidxml::xml_attribute<char>* lang = tuv->first_attribute("xml:lang");
    if (!lang)
        lang = tuv->first_attribute("lang");
    return lang ? std::string_view(lang->value(), lang->value_size()) : std::string_view();
}

bool SameLanguage(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        const char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y)
            return false;
    }
    return true;
}

std::string_view AttributeText(const XmlNode* node, const char* name) {
    const rapidxml::xml_attribute<char>* a = node->first_attribute(name);
    return a ? std::string_view(a->value(), a->value_size()) : std::string_view();
}

}  // namespace

void TmxConverter::ReadHeader(const XmlNode* root) {
    headerLanguage.clear();
    for (const XmlNode* top = root->first_node(); top; top = top->next_sibling()) {
        if (top->type() != rapidxml::node_element || !LocalNameIs(top, "tmx"))
            continue;
        for (const XmlNode* child = top->first_node(); child; child = child->next_sibling()) {
            if (child->type() == rapidxml::node_element && LocalNameIs(child, "header")) {
                headerLanguage = AttributeText(child, "srclang");
                return;
            }
        }
    }
}

void TmxConverter::BeginUnit(const XmlNode* tu) {
    const std::string_view tuid = AttributeText(tu, "tuid");
    segments.Begin(tuid.empty() ? L"#" + std::to_wstring(segments.size() + 1) : SegmentIdText(tuid.data(), tuid.size()));
    if (lines)
        segments.SetLastLine(lines->LineOf(tu->name() - 1));
    // The source language: the unit's own when a variant has it, else the
    // header's when a variant has it, else the first variant's.
    std::vector<std::string_view> languages;
    for (const XmlNode* child = tu->first_node(); child; child = child->next_sibling()) {
        if (child->type() == rapidxml::node_element && LocalNameIs(child, "tuv"))
            languages.push_back(VariantLanguage(child));
    }
    auto held = [&](std::string_view language) {
        if (language.empty())
            return false;
        for (std::string_view l : languages) {
            if (SameLanguage(l, language))
                return true;
        }
        return false;
    };
    const std::string_view own = AttributeText(tu, "srclang");
    if (held(own))
        unitLanguage = own;
    else if (held(headerLanguage))
        unitLanguage = headerLanguage;
    else
        unitLanguage = languages.empty() ? std::string_view() : languages.front();
}

void TmxConverter::FindVariants(const XmlNode* node, OfficeText& text) {
    for (const XmlNode* child = node->first_node(); child; child = child->next_sibling()) {
        if (child->type() != rapidxml::node_element || IsIgnored(child))
            continue;
        if (!LocalNameIs(child, "tuv")) {
            // A unit inside a unit is part of it.
            if (WantsSegments() && currentUnit < 0 && LocalNameIs(child, "tu")) {
                BeginUnit(child);
                currentUnit = static_cast<int>(segments.size()) - 1;
                FindVariants(child, text);
                segments.End();
                currentUnit = -1;
                continue;
            }
            FindVariants(child, text);
            continue;
        }
        // Only the segment text is a side's; notes and properties are no one's.
        const bool inUnit = currentUnit >= 0;
        const bool target = inUnit && !SameLanguage(VariantLanguage(child), unitLanguage);
        for (const XmlNode* part = child->first_node(); part; part = part->next_sibling()) {
            if (part->type() != rapidxml::node_element || IsIgnored(part))
                continue;
            const size_t begin = text.Size();
            Gather(part, text);
            if (inUnit && LocalNameIs(part, "seg")) {
                std::wstring codes;
                CollectInlineCodes(part, CodeFormat::kTmx, &codes);
                segments.AddCodes(target, codes);
            }
            if (inUnit && text.Size() > begin && LocalNameIs(part, "seg")) {
                segments.Add(target, {static_cast<uint32_t>(begin), static_cast<uint32_t>(text.Size())});
                if (target && segments.TargetLanguage().empty()) {
                    const std::string_view language = VariantLanguage(child);
                    segments.NoteLanguages(std::wstring(unitLanguage.begin(), unitLanguage.end()),
                                           std::wstring(language.begin(), language.end()));
                }
            }
            text.LineBreak();
        }
    }
}

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The start of the next "<tu" start tag at or after `p`, or null.
char* NextUnit(char* p) {
    for (;; ++p) {
        p = FindText(p, "<tu");
        if (!p)
            return nullptr;
        if (IsSpace(p[3]) || p[3] == '>')
            return p;
    }
}

// Whether a comment, CDATA section, declaration or processing instruction
// starts in [from, to), sixteen bytes a step; `to` is inside the text.
bool HoldsMarkupDeclaration(const char* from, const char* to) {
    const char* p = from;
#if defined(__SSE2__)
    for (; p + 17 <= to; p += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        const unsigned opens =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8('<'))));
        const unsigned marks = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(next, _mm_set1_epi8('!')),
                                           _mm_cmpeq_epi8(next, _mm_set1_epi8('?')))));
        if (opens & marks)
            return true;
    }
#endif
    for (; p < to; ++p) {
        if (p[0] == '<' && (p[1] == '!' || p[1] == '?'))
            return true;
    }
    return false;
}

}  // namespace

bool TmxConverter::ReadUnitByUnit(char* text, OfficeText& out, bool* malformed, std::wstring* why) {
    *malformed = false;
    for (const std::string& name : ignoredNames) {
        if (name == "tmx" || name == "body")
            return false;
    }
    // First the layout: units one after the other with white space between,
    // none holding a comment, CDATA section or processing instruction, and
    // no variant outside them.
    struct Unit {
        char* start;
        char* end;  // one past "</tu>"
    };
    std::vector<Unit> units;
    char* first = NextUnit(text);
    if (!first)
        return false;
    char* p = first;
    while (p) {
        char* close = FindText(p, "</tu>");
        if (!close || HoldsMarkupDeclaration(p, close))
            return false;
        units.push_back({p, close + 5});
        char* next = close + 5;
        while (IsSpace(*next))
            ++next;
        p = NextUnit(next);
        if (p != next)
            break;
    }
    char* tail = units.back().end;
    if (FindText(tail, "<tu"))
        return false;
    std::string frame(text, first);
    frame += tail;
    // A variant outside the units (in a prefixed unit, say) needs the whole parse.
    if (FindText(frame.data(), "<tuv") || FindText(frame.data(), ":tuv"))
        return false;

    // The document without its units must be sound on its own.
    XmlDocument document;
    if (!document.Parse(frame.data(), XmlProfile::kKeepSpace)) {
        *malformed = true;
        *why = document.ErrorText();
        return true;
    }
    if (WantsSegments())
        ReadHeader(document.Root());
    for (const Unit& unit : units) {
        const char saved = *unit.end;
        *unit.end = 0;
        const bool parsed = document.Parse(unit.start, XmlProfile::kKeepSpace);
        *unit.end = saved;
        if (!parsed) {
            *malformed = true;
            *why = document.ErrorText(text);  // counted from the document's start
            return true;
        }
        FindVariants(document.Root(), out);
        if (out.TooLarge())
            return true;
    }
    return true;
}

HGLOBAL TmxConverter::Convert(const wchar_t* path, const SearchRequest& request) {
    ignoredNames.clear();
    const std::string tags = Utf8Of(request.ignoreTags);
    for (size_t start = 0; start < tags.size();) {
        const size_t end = std::min(tags.find_first_of(" \t", start), tags.size());
        if (end > start)
            ignoredNames.push_back(tags.substr(start, end - start));
        start = end + 1;
    }

    thread_local std::vector<char>* bufferSlot = nullptr;
    thread_local std::string* wideSlot = nullptr;
    std::vector<char>& buffer = ThreadScratch(bufferSlot);
    std::string& wide = ThreadScratch(wideSlot);  // a UTF-16 document in UTF-8
    struct ReleaseAfterFile {
        std::vector<char>& buffer;
        std::string& wide;
        ~ReleaseAfterFile() {
            ReleaseLargeBuffer(&buffer);
            ReleaseIfLarge(wide);
        }
    } release{buffer, wide};
    size_t size = 0;
    if (!ReadFileIntoBuffer(path, &buffer, &size))
        return nullptr;
    auto* bytes = reinterpret_cast<unsigned char*>(buffer.data());
    char* text = buffer.data();
    const bool littleEndian = size >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == '<' && bytes[1] == 0));
    const bool bigEndian = size >= 2 && ((bytes[0] == 0xFE && bytes[1] == 0xFF) || (bytes[0] == 0 && bytes[1] == '<'));
    if (littleEndian || bigEndian) {
        // The buffer ends with two zero bytes: a whole NUL unit either way.
        const size_t units = size / 2;
        if (bigEndian) {
            for (size_t i = 0; i + 1 < size; i += 2)
                std::swap(bytes[i], bytes[i + 1]);
        }
        const auto* utf16 = reinterpret_cast<const wchar_t*>(buffer.data());
        const size_t skip = utf16[0] == 0xFEFF ? 1 : 0;
        Utf16ToUtf8(utf16 + skip, wcsnlen(utf16 + skip, units - skip), &wide);
        text = wide.data();
    } else if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        text += 3;
    }
    segments.clear();
    currentUnit = -1;
    headerLanguage.clear();
    // The lines are counted before the parser changes the text in place.
    LineIndex lineIndex;
    if (WantsSegments())
        lineIndex.Build(text);
    lines = WantsSegments() ? &lineIndex : nullptr;
    struct ForgetLines {
        const LineIndex*& lines;
        ~ForgetLines() { lines = nullptr; }
    } forget{lines};
    OfficeText out;
    out.Bytes().reserve(size);  // the text is never longer than the file
    bool malformed = false;
    std::wstring why;
    if (!ReadUnitByUnit(text, out, &malformed, &why)) {
        XmlDocument document;
        malformed = !document.Parse(text, XmlProfile::kKeepSpace);
        if (malformed)
            why = document.ErrorText();
        if (!malformed) {
            segments.clear();
            currentUnit = -1;
            if (WantsSegments())
                ReadHeader(document.Root());
            FindVariants(document.Root(), out);
        }
    }
    if (malformed) {
        segments.clear();
        SetLastError(ERROR_XML_PARSE_ERROR);
        return Fail(why);
    }
    SetReadAs(L"TMX");
    if (!segments.empty() && !out.TooLarge())
        SegmentBytesToUnits(out.Bytes().data(), out.Size(), 0, &segments);
    return out.TakeBlock();
}
