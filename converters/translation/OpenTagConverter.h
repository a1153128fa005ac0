// Holds the OpenTag place in the converter set; accepts and converts nothing.
#pragma once

#include "converters/DocConverter.h"

class OpenTagConverter : public DocConverter {
public:
    HGLOBAL Convert(const wchar_t* path, const SearchRequest& request) override;
    int Accepts(const wchar_t* path) override;
    std::unique_ptr<DocConverter> Clone() const override;
    // The parsed document's nodes come on top of the text.
    ULONGLONG WorkingBytes(ULONGLONG fileBytes) const override { return fileBytes * 8 + kBaseWorkingBytes; }
};
