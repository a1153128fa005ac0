// Reads any file for which the system has a content filter (IFilter): the
// filter's text chunks, joined with the separators their breaks call for.
#pragma once

#include <string>
#include <vector>

#include "converters/DocConverter.h"

class FilterConverter : public DocConverter {
public:
    FilterConverter() = default;

    HGLOBAL Convert(const wchar_t* path, const SearchRequest& request) override;
    // Loads the file's filter and releases it again. Extensions for which the
    // registry names no filter are remembered until the next search.
    int Accepts(const wchar_t* path) override;
    std::unique_ptr<DocConverter> Clone() const override;
    // Filters are COM objects that expect a single-threaded apartment.
    bool NeedsApartment() const override { return true; }
    // What a filter keeps while it reads is its own affair: leave it room.
    ULONGLONG WorkingBytes(ULONGLONG fileBytes) const override { return fileBytes * 8 + kBaseWorkingBytes; }
    void BeginSearch() override { noFilter.clear(); }

private:
    std::vector<std::wstring> noFilter;  // extensions without a filter, this search
};
