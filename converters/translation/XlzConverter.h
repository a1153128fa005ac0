// XLZ archives: the first *.xlf entry, converted like an XLIFF file.
#pragma once

#include "converters/translation/XliffConverter.h"

class XlzConverter : public XliffConverter {
public:
    HGLOBAL Convert(const wchar_t* path, const SearchRequest& request) override;
    // At least four characters, the last three "xlz" in any case.
    int Accepts(const wchar_t* path) override;
    std::unique_ptr<DocConverter> Clone() const override;
    // A packed archive: its XML unpacks to many times the file's size.
    ULONGLONG WorkingBytes(ULONGLONG fileBytes) const override { return fileBytes * 40 + kBaseWorkingBytes; }
};
