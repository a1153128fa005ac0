// OpenDocument text documents, spreadsheets and presentations, read from
// their zip packages: the text a user would read, in reading order.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "converters/DocConverter.h"
#include "converters/readers/OfficePackage.h"

class OdfConverter : public DocConverter {
public:
    OdfConverter();

    HGLOBAL Convert(const wchar_t* path, const SearchRequest& request) override;
    // .odt .ods .odp and the templates .ott .ots .otp, in any letter case.
    int Accepts(const wchar_t* path) override;
    std::unique_ptr<DocConverter> Clone() const override;
    // A packed archive: its XML unpacks to many times the file's size.
    ULONGLONG WorkingBytes(ULONGLONG fileBytes) const override { return fileBytes * 40 + kBaseWorkingBytes; }

    // The display name a style name stands for when it has none of its own:
    // "_20_" and the like are the characters they encode.
    static std::string DecodeStyleName(std::string_view name);

private:
    struct OdfStyle {
        std::string displayName;
        std::string parent;
        bool automatic = false;
        int hidden = -1;  // -1: the style does not say
    };

    void ReadStyles(const XmlNode* container, bool automatic);
    int StyleHidden(std::string_view name) const;
    bool StyleTagged(std::string_view name) const;

    void Walk(const XmlNode* node, OfficeText& text);
    void Paragraph(const XmlNode* p, OfficeText& text);
    void Span(const XmlNode* span, OfficeText& text);
    void Emit(std::string_view piece, OfficeText& text, bool collapse);
    bool Spreadsheet(const XmlNode* body, OfficeText& text);
    bool Rows(const XmlNode* container, OfficeText& text);
    bool Presentation(const XmlNode* body, OfficeText& text);

    bool ignoreHidden = false;
    std::string tag;
    std::unordered_map<std::string, OdfStyle> styles;
    bool inParagraph = false;
    std::vector<const XmlNode*> deferred;  // paragraphs met inside a paragraph
    bool tagged = false;
    bool taggedSpaceWritten = false;
    bool lastWasSpace = true;        // white space collapses into one space
    const char* paragraphEnd = "\r\n";  // "\n" between the paragraphs of a cell
    std::vector<const XmlNode*>* notes = nullptr;  // presentation notes, read last
};
