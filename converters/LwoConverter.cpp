// LWO conversion: one block of text per language code, in code order.
#include "converters/LwoConverter.h"

#include <rapidxml/rapidxml.hpp>

#include <cwchar>

#include "converters/ArchiveEntry.h"
#include "converters/ZipReader.h"

int LwoConverter::Accepts(const wchar_t* path) { return HasExtension3(path, L"lwo"); }

std::unique_ptr<DocConverter> LwoConverter::Clone() const {
    auto copy = std::make_unique<LwoConverter>();
    copy->CopyStringsFrom(*this);
    return copy;
}

void LwoConverter::Collect(const XmlNode* node, std::wstring* text) {
    if (node->type() == rapidxml::node_data) {
        text->push_back(L' ');
        AppendUtf8(node->value(), node->value_size(), text);
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
        return nullptr;
    ScopedTextBlock block(ReadEntryIntoBlock(archive, 0));
    archive.Close();
    if (!block)
        return nullptr;
    GlobalLockGuard<char> bytes(block.Get());
    if (!bytes.Get())
        return nullptr;
    XmlDocument document;
    if (!document.Parse(bytes.Get()))
        return nullptr;

    TextByLanguage texts;
    if (const XmlNode* top = document.Root()->first_node())
        Select(top, &texts);
    std::wstring result;
    for (const auto& [code, text] : texts) {
        result += L"\r\n";
        result += text;
    }
    return TextBlockFromString(result);
}
