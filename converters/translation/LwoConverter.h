// LWO archives: the p elements of the first entry, grouped by language code.
#pragma once

#include <map>
#include <string>

#include "converters/translation/OpenTagConverter.h"
#include "converters/readers/XmlDocument.h"

class LwoConverter : public OpenTagConverter {
public:
    HGLOBAL Convert(const wchar_t* path, const SearchRequest& request) override;
    // At least four characters, the last three "lwo" in any case.
    int Accepts(const wchar_t* path) override;
    std::unique_ptr<DocConverter> Clone() const override;
    // A packed archive: its XML unpacks to many times the file's size.
    ULONGLONG WorkingBytes(ULONGLONG fileBytes) const override { return fileBytes * 40 + kBaseWorkingBytes; }

private:
    // Texts gathered in UTF-8 and converted once; codes in byte-wise order.
    using TextByLanguage = std::map<std::string, std::string>;
    static void Select(const XmlNode* node, TextByLanguage* texts);
    static void Collect(const XmlNode* node, std::string* text);
};
