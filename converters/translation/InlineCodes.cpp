// Gathering the inline codes of the bilingual formats.
#include "converters/translation/InlineCodes.h"

#include <rapidxml/rapidxml.hpp>

#include <cstring>

#include "converters/readers/OfficePackage.h"
#include "converters/readers/Utf8Text.h"

namespace {

struct CodeName {
    const char* name;
    bool wraps;             // holds translatable words: known by attributes, not content
    const char* idFirst;    // the attribute that names it
    const char* idSecond;   // or, without it, this one
};

constexpr CodeName kXliff1[] = {{"g", true, "id", nullptr},     {"x", false, "id", nullptr},
                                {"bx", false, "id", "rid"},     {"ex", false, "id", "rid"},
                                {"ph", false, "id", nullptr},   {"bpt", false, "id", "rid"},
                                {"ept", false, "id", "rid"},    {"it", false, "id", nullptr},
                                {"mrk", true, "mid", "id"}};
constexpr CodeName kXliff2[] = {{"ph", false, "id", nullptr},  {"pc", true, "id", nullptr},
                                {"sc", false, "id", nullptr},  {"ec", false, "id", "startRef"},
                                {"mrk", true, "id", nullptr},  {"sm", false, "id", nullptr},
                                {"em", false, "startRef", nullptr}};
constexpr CodeName kTtx[] = {{"ut", false, nullptr, nullptr}, {"df", true, nullptr, nullptr}};
constexpr CodeName kTmx[] = {{"bpt", false, "i", "x"}, {"ept", false, "i", nullptr}, {"ph", false, "x", nullptr},
                             {"it", false, "x", nullptr}, {"ut", false, "x", nullptr}, {"hi", true, "x", nullptr}};

template <size_t N>
const CodeName* Find(const CodeName (&names)[N], const XmlNode* node, bool ignoreCase) {
    for (const CodeName& n : names) {
        if (ignoreCase ? NameIsIgnoringCase(node, n.name) : LocalNameIs(node, n.name))
            return &n;
    }
    return nullptr;
}

const CodeName* FindCode(CodeFormat format, const XmlNode* node) {
    switch (format) {
    case CodeFormat::kXliff1: return Find(kXliff1, node, false);
    case CodeFormat::kXliff2: return Find(kXliff2, node, false);
    case CodeFormat::kTtx: return Find(kTtx, node, true);
    case CodeFormat::kTmx: return Find(kTmx, node, false);
    }
    return nullptr;
}

void AppendUtf8(std::wstring* out, const char* text, size_t size) {
    std::string bytes(text, size);
    for (wchar_t c : WidenUtf8(bytes))
        *out += c == kCodeSeparator || c == L'\t' || c == L'\r' || c == L'\n' ? L' ' : c;
}

// The text below `node`, as the codes' ids are written: at most 64 bytes.
void AppendContent(const XmlNode* node, std::string* bytes) {
    for (const XmlNode* child = node->first_node(); child && bytes->size() < 64; child = child->next_sibling()) {
        if (child->type() == rapidxml::node_data || child->type() == rapidxml::node_cdata)
            bytes->append(child->value(), child->value_size());
        else if (child->type() == rapidxml::node_element)
            AppendContent(child, bytes);
    }
}

void Collect(const XmlNode* node, CodeFormat format, std::wstring* codes) {
    for (const XmlNode* child = node->first_node(); child; child = child->next_sibling()) {
        if (child->type() != rapidxml::node_element)
            continue;
        const CodeName* code = FindCode(format, child);
        // A marker of segmentation is no code ("mrk" of type "seg").
        if (code && strcmp(code->name, "mrk") == 0) {
            const auto* type = child->first_attribute("mtype");
            if (type && type->value_size() == 3 && memcmp(type->value(), "seg", 3) == 0)
                code = nullptr;
        }
        if (code) {
            const char* colon = static_cast<const char*>(memchr(child->name(), ':', child->name_size()));
            const char* local = colon ? colon + 1 : child->name();
            AppendUtf8(codes, local, child->name_size() - static_cast<size_t>(local - child->name()));
            *codes += L' ';
            const rapidxml::xml_attribute<char>* id = code->idFirst ? child->first_attribute(code->idFirst) : nullptr;
            if (!id && code->idSecond)
                id = child->first_attribute(code->idSecond);
            if (id) {
                AppendUtf8(codes, id->value(), id->value_size());
            } else if (code->wraps) {
                // Its words are translated: its attributes say what it is.
                std::string attributes;
                for (const auto* a = child->first_attribute(); a; a = a->next_attribute()) {
                    attributes.append(a->name(), a->name_size());
                    attributes += '=';
                    attributes.append(a->value(), a->value_size());
                    attributes += ' ';
                }
                AppendUtf8(codes, attributes.data(), attributes.size());
            } else {
                std::string content;
                AppendContent(child, &content);
                AppendUtf8(codes, content.data(), std::min<size_t>(content.size(), 64));
            }
            *codes += kCodeSeparator;
        }
        // Codes inside codes ("g" around "x") count too; a placeholder's
        // content is its own.
        if (!code || code->wraps)
            Collect(child, format, codes);
    }
}

}  // namespace

void CollectInlineCodes(const XmlNode* side, CodeFormat format, std::wstring* codes) {
    if (side)
        Collect(side, format, codes);
}
