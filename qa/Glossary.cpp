// Reading a glossary table and finding its terms as whole words.
#include "qa/Glossary.h"

#include <algorithm>
#include <cwctype>

#include <rapidxml/rapidxml.hpp>

#include "converters/readers/Utf8Text.h"
#include "converters/readers/XmlDocument.h"
#include "qa/TextParts.h"

namespace {

std::wstring Trimmed(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos)
        return std::wstring();
    return text.substr(first, text.find_last_not_of(L" \t\r\n") - first + 1);
}

// The records of CSV (quotes doubled inside quoted fields) or of
// tab-separated text, chosen by the first line.
std::vector<std::vector<std::wstring>> Records(const std::wstring& text) {
    const size_t firstLine = text.find(L'\n');
    const std::wstring head = text.substr(0, firstLine);
    const wchar_t separator = head.find(L'\t') != std::wstring::npos ? L'\t' : head.find(L';') != std::wstring::npos &&
                                                                                       head.find(L',') == std::wstring::npos
                                                                                   ? L';'
                                                                                   : L',';
    std::vector<std::vector<std::wstring>> records(1);
    std::wstring field;
    bool quoted = false, started = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (quoted) {
            if (c == L'"' && i + 1 < text.size() && text[i + 1] == L'"') {
                field += L'"';
                ++i;
            } else if (c == L'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == L'"' && !started) {
            quoted = started = true;
        } else if (c == separator) {
            records.back().push_back(field);
            field.clear();
            started = false;
        } else if (c == L'\n' || c == L'\r') {
            if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
                ++i;
            records.back().push_back(field);
            field.clear();
            started = false;
            records.emplace_back();
        } else {
            field += c;
            started = true;
        }
    }
    if (started || !records.back().empty())
        records.back().push_back(field);
    return records;
}

bool IsWordUnit(wchar_t c) { return IsLetter(c) || DigitValue(c) >= 0 || c == L'_'; }

}  // namespace

void Glossary::Add(const std::wstring& source, const std::wstring& target) {
    auto it = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.source == source; });
    if (it == entries.end()) {
        entries.push_back({source, {}, {}});
        it = entries.end() - 1;
    }
    size_t from = 0;
    for (;;) {
        const size_t bar = target.find(L'|', from);
        std::wstring term = Trimmed(target.substr(from, bar == std::wstring::npos ? bar : bar - from));
        if (!term.empty() && term[0] == L'!')
            it->forbidden.push_back(Trimmed(term.substr(1)));
        else if (!term.empty())
            it->targets.push_back(term);
        if (bar == std::wstring::npos)
            break;
        from = bar + 1;
    }
}

namespace {

std::string_view LocalName(const XmlNode* node) {
    std::string_view name(node->name(), node->name_size());
    const size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string_view Attribute(const XmlNode* node, const char* name) {
    const auto* a = node->first_attribute(name);
    return a ? std::string_view(a->value(), a->value_size()) : std::string_view();
}

// The text of an element and its descendants.
std::string TextOf(const XmlNode* node) {
    std::string text;
    for (const XmlNode* child = node->first_node(); child; child = child->next_sibling()) {
        if (child->type() == rapidxml::node_data || child->type() == rapidxml::node_cdata)
            text.append(child->value(), child->value_size());
        else if (child->type() == rapidxml::node_element)
            text += TextOf(child);
    }
    return text;
}

struct TbxTerm {
    std::string language;
    std::string term;
    bool forbidden;
};

// The terms under `node` (a language section), each with its status: the
// status note beside it in its group, or one for the whole section.
void CollectTerms(const XmlNode* node, const std::string& language, bool forbidden, std::vector<TbxTerm>* terms) {
    for (const XmlNode* child = node->first_node(); child; child = child->next_sibling()) {
        if (child->type() != rapidxml::node_element)
            continue;
        if (LocalName(child) == "termNote" && Attribute(child, "type") == "administrativeStatus") {
            const std::string status = TextOf(child);
            forbidden |= status.find("deprecated") != std::string::npos ||
                         status.find("superseded") != std::string::npos || status.find("forbidden") != std::string::npos;
        }
    }
    for (const XmlNode* child = node->first_node(); child; child = child->next_sibling()) {
        if (child->type() != rapidxml::node_element)
            continue;
        if (LocalName(child) == "term")
            terms->push_back({language, TextOf(child), forbidden});
        else if (LocalName(child) != "termNote")
            CollectTerms(child, language, forbidden, terms);
    }
}

void CollectEntries(const XmlNode* node, std::vector<std::vector<TbxTerm>>* entries) {
    for (const XmlNode* child = node->first_node(); child; child = child->next_sibling()) {
        if (child->type() != rapidxml::node_element)
            continue;
        const std::string_view name = LocalName(child);
        if (name == "termEntry" || name == "conceptEntry") {
            std::vector<TbxTerm> terms;
            for (const XmlNode* section = child->first_node(); section; section = section->next_sibling()) {
                if (section->type() == rapidxml::node_element &&
                    (LocalName(section) == "langSet" || LocalName(section) == "langSec"))
                    CollectTerms(section, std::string(Attribute(section, "xml:lang")), false, &terms);
            }
            entries->push_back(std::move(terms));
        } else {
            CollectEntries(child, entries);
        }
    }
}

}  // namespace

bool Glossary::ReadTbx(std::string bytes, std::wstring* error) {
    XmlDocument document;
    bytes.push_back('\0');
    char* text = bytes.data();
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0)
        text += 3;
    if (!document.Parse(text)) {
        *error = L"the glossary is not TBX: " + document.ErrorText();
        return false;
    }
    std::vector<std::vector<TbxTerm>> entries;
    CollectEntries(document.Root(), &entries);
    std::string source;  // the first language named
    for (const auto& terms : entries) {
        if (source.empty() && !terms.empty())
            source = terms.front().language;
        std::wstring targets;
        for (const TbxTerm& t : terms) {
            if (t.language != source)
                targets += (targets.empty() ? L"" : L"|") + std::wstring(t.forbidden ? L"!" : L"") + WidenUtf8(t.term);
        }
        for (const TbxTerm& t : terms) {
            if (t.language == source && !t.forbidden && !t.term.empty())
                Add(Trimmed(WidenUtf8(t.term)), targets);
        }
    }
    return true;
}

bool Glossary::Read(const std::string& bytes, std::wstring* error) {
    std::string body = bytes;
    if (body.rfind("\xEF\xBB\xBF", 0) == 0)
        body.erase(0, 3);
    // TBX by its root.
    const size_t firstElement = body.find('<');
    if (firstElement != std::string::npos &&
        (body.find("<martif", firstElement) != std::string::npos || body.find("<tbx", firstElement) != std::string::npos) &&
        body.find_first_not_of(" \t\r\n") == firstElement)
        return ReadTbx(body, error);
    if (body.find('\0') != std::string::npos) {
        *error = L"the glossary is not UTF-8 text";
        return false;
    }
    for (const auto& record : Records(WidenUtf8(body))) {
        if (record.size() < 2)
            continue;
        const std::wstring source = Trimmed(record[0]);
        if (!source.empty())
            Add(source, record[1]);
    }
    return true;
}

int FindWholeTerm(std::wstring_view text, std::wstring_view term, bool matchCase, size_t from) {
    if (term.empty() || term.size() > text.size())
        return -1;
    auto same = [matchCase](wchar_t a, wchar_t b) {
        return a == b || (!matchCase && std::towlower(a) == std::towlower(b));
    };
    for (size_t i = from; i + term.size() <= text.size(); ++i) {
        if (!std::equal(term.begin(), term.end(), text.begin() + i, same))
            continue;
        const bool before = i == 0 || !IsWordUnit(text[i - 1]) || !IsWordUnit(term.front());
        const size_t end = i + term.size();
        const bool after = end == text.size() || !IsWordUnit(text[end]) || !IsWordUnit(term.back());
        if (before && after)
            return static_cast<int>(i);
    }
    return -1;
}
