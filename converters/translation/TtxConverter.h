// TTX files: the text of the Tuv segments, optionally without the source language.
#pragma once

#include <string>
#include <vector>

#include "converters/DocConverter.h"
#include "converters/readers/XmlDocument.h"

class LineIndex;

class TtxConverter : public DocConverter {
public:
    TtxConverter();

    HGLOBAL Convert(const wchar_t* path, const SearchRequest& request) override;
    // The last three characters are "ttx" in any case; no dot is required.
    int Accepts(const wchar_t* path) override;
    std::unique_ptr<DocConverter> Clone() const override;
    // The parsed document's nodes come on top of the text.
    ULONGLONG WorkingBytes(ULONGLONG fileBytes) const override { return fileBytes * 8 + kBaseWorkingBytes; }

    const std::string& SourceLanguage() const { return sourceLanguage; }

private:
    void Walk(const XmlNode* node, int includeHidden, std::string* output);
    // Writes an element's value and a line feed; with segments wanted, the
    // value is a piece of the current unit's current side.
    void AppendPiece(const XmlNode* node, std::string* output);

    enum class Side { kNone, kSource, kTarget };
    int currentUnit = -1;  // the segment of the Tu being walked, if any
    const LineIndex* lines = nullptr;  // where the file\'s lines begin, while segments are wanted
    Side currentSide = Side::kNone;

    std::string sourceLanguage;       // Lang of the first Tuv with a non-empty Lang
    std::vector<bool> selectionStack;  // true for a selected Tuv, one entry per open node
};
