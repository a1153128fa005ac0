// TMX translation memories: the text of every variant of every unit.
#pragma once

#include <string>
#include <vector>

#include "converters/DocConverter.h"
#include "converters/XmlDocument.h"

class OfficeText;

class TmxConverter : public DocConverter {
public:
    TmxConverter();

    HGLOBAL Convert(const wchar_t* path, const SearchRequest& request) override;
    // At least four characters, the last three "tmx" in any case.
    int Accepts(const wchar_t* path) override;
    std::unique_ptr<DocConverter> Clone() const override;

private:
    bool IsIgnored(const XmlNode* element) const;
    void FindVariants(const XmlNode* node, OfficeText& text) const;
    void Gather(const XmlNode* node, OfficeText& text) const;

    std::vector<std::string> ignoredNames;  // UTF-8
};
