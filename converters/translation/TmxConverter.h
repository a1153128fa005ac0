// TMX translation memories: the text of every variant of every unit.
#pragma once

#include <string>
#include <vector>

#include "converters/DocConverter.h"
#include "converters/readers/XmlDocument.h"

class OfficeText;

class LineIndex;

class TmxConverter : public DocConverter {
public:
    TmxConverter();

    HGLOBAL Convert(const wchar_t* path, const SearchRequest& request) override;
    // At least four characters, the last three "tmx" in any case.
    int Accepts(const wchar_t* path) override;
    std::unique_ptr<DocConverter> Clone() const override;
    // The parsed document's nodes come on top of the text.
    ULONGLONG WorkingBytes(ULONGLONG fileBytes) const override { return fileBytes * 8 + kBaseWorkingBytes; }

private:
    bool IsIgnored(const XmlNode* element) const;
    void FindVariants(const XmlNode* node, OfficeText& text);
    // With segments wanted: the header's source language, and a new
    // segment for unit `tu` with the source language it keeps.
    void ReadHeader(const XmlNode* root);
    void BeginUnit(const XmlNode* tu);
    void Gather(const XmlNode* node, OfficeText& text) const;
    // Reads a memory one unit at a time: each tu element parsed on its own
    // into a small document whose memory is reused, and the rest of the
    // document parsed once without the units, so that the memory and time
    // of the parse no longer grow with the whole file. False, with nothing
    // changed, when the layout does not allow it (comments or other markup
    // between or inside units); the whole document is parsed then.
    // On a malformed document *malformed is set and *why says where.
    bool ReadUnitByUnit(char* text, OfficeText& out, bool* malformed, std::wstring* why);

    std::vector<std::string> ignoredNames;  // UTF-8
    std::string headerLanguage;  // the header's srclang
    std::string unitLanguage;    // the source language of the current unit
    int currentUnit = -1;        // its segment, when segments are wanted
    const LineIndex* lines = nullptr;  // where the file\'s lines begin, while segments are wanted
};
