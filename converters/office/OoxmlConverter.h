// Word, Excel and PowerPoint documents (Office Open XML), read from their
// zip packages: the text a user would read, in reading order.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "converters/DocConverter.h"
#include "converters/readers/OfficePackage.h"

class OfficeText;

class OoxmlConverter : public DocConverter {
public:
    enum class Kind { kNone, kWord, kExcel, kPowerPoint };

    OoxmlConverter();

    HGLOBAL Convert(const wchar_t* path, const SearchRequest& request) override;
    // .docx .docm .dotx .dotm, .xlsx .xlsm .xltx .xltm, .pptx .pptm .potx
    // .potm .ppsx .ppsm, in any letter case.
    int Accepts(const wchar_t* path) override;
    std::unique_ptr<DocConverter> Clone() const override;
    // A packed archive: its XML unpacks to many times the file's size.
    ULONGLONG WorkingBytes(ULONGLONG fileBytes) const override { return fileBytes * 40 + kBaseWorkingBytes; }

    static Kind KindOf(const wchar_t* path);

private:
    // A Word style: its display name, the style it is based on, and whether
    // its character formatting hides text (-1: it does not say).
    struct WordStyle {
        std::string name;
        std::string basedOn;
        int vanish = -1;
    };

    bool ConvertWord(OfficePackage& package, OfficeText& text);
    bool ConvertExcel(OfficePackage& package, OfficeText& text);
    bool ConvertPowerPoint(OfficePackage& package, OfficeText& text);
    bool WalkPart(OfficePackage& package, const std::string& name, OfficeText& text);
    void ReadStyles(const XmlNode* root);
    int StyleVanish(std::string_view id) const;
    bool StyleTagged(std::string_view id) const;

    // The walk over paragraphs, runs and text.
    void Walk(const XmlNode* node, OfficeText& text);
    void Paragraph(const XmlNode* p, OfficeText& text);
    void Run(const XmlNode* r, OfficeText& text);
    void Emit(std::string_view piece, OfficeText& text);

    bool ignoreHidden = false;
    std::string tag;  // the style whose text becomes a space, UTF-8
    std::unordered_map<std::string, WordStyle> styles;  // by style id
    int paragraphVanish = -1;
    bool paragraphTagged = false;
    bool runTagged = false;
    bool taggedSpaceWritten = false;
    bool inParagraph = false;
    std::vector<const XmlNode*> deferred;  // paragraphs met inside a paragraph
};
