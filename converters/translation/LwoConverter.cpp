// LWO conversion: one block of text per language code, in code order.
#include "converters/translation/LwoConverter.h"

#include <rapidxml/rapidxml.hpp>

#include <cwchar>

#include "converters/readers/ArchiveEntry.h"
#include "converters/readers/Utf8Text.h"
#include "converters/readers/ZipReader.h"

int LwoConverter::Accepts(const wchar_t* path) { return HasExtension3(path, L"lwo"); }

std::unique_ptr<DocConverter> LwoConverter::Clone() const {
    auto copy = std::make_unique<LwoConverter>();
    copy->CopyStringsFrom(*this);
    return copy;
}

void LwoConverter::Collect(const XmlNode* node, std::string* text) {
    if (node->type() == rapidxml::node_data) {
        // The space before each run also ends any broken UTF-8 sequence of
        // the run before it: one conversion gives what one per run would.
        text->push_back(' ');
        text->append(node->value(), node->value_size());
    }
    for (const XmlNode* child = node->first_node(); child; child = child->next_sibling())
        Collect(child, text);
}

void LwoConverter::Select(const XmlNode* node, TextByLanguage* texts) {
    if (node->type() == rapidxml::node_element && NameIs(node, "p")) {
        // A p element is taken whole for its language, or not at all.
        if (const auto* lc = node->first_attribute("lc"))
            Collect(node, &(*texts)[std::string(lc->value(), lc->value_size())]);
        return;
    }
    for (const XmlNode* child = node->first_node(); child; child = child->next_sibling())
        Select(child, texts);
}

HGLOBAL LwoConverter::Convert(const wchar_t* path, const SearchRequest&) {
    ZipReader archive;
    if (!archive.Open(path))
        return Fail(archive.FailureText());
    ZipEntryData entry;
    char* bytes = ReadEntryText(archive, 0, &entry);
    archive.Close();
    if (!bytes)
        return Fail(L"a damaged archive");
    XmlDocument document;
    if (!document.Parse(bytes))
        return Fail(document.ErrorText());
    SetReadAs(L"LWO");

    TextByLanguage texts;
    if (const XmlNode* top = document.Root()->first_node())
        Select(top, &texts);
    // A line break, then the language's text, for each code; a UTF-8 byte
    // never gives more than one unit.
    size_t bound = 1;
    for (const auto& [code, text] : texts)
        bound += 2 + text.size();
    HGLOBAL result = AllocUnclearedTextBlock(bound * sizeof(wchar_t));
    if (!result)
        return nullptr;
    {
        GlobalLockGuard<wchar_t> out(result);
        if (out.Get()) {
            wchar_t* p = out.Get();
            for (const auto& [code, text] : texts) {
                *p++ = L'\r';
                *p++ = L'\n';
                p += Utf8ToUtf16Bounded(text.data(), text.size(), p);
            }
            *p = 0;
            return result;
        }
    }
    FreeTextBlock(result);
    return nullptr;
}
