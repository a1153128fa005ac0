// Holds the OpenTag place in the converter set; accepts and converts nothing.
#pragma once

#include "converters/DocConverter.h"

class OpenTagConverter : public DocConverter {
public:
    HGLOBAL Convert(const wchar_t* path, const SearchRequest& request) override;
    int Accepts(const wchar_t* path) override;
    std::unique_ptr<DocConverter> Clone() const override;
};
