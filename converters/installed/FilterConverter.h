// Reads any file for which the system has a content filter (IFilter): the
// filter's text chunks, joined with the separators their breaks call for.
// The filters run in a filter host, one per thread that converts.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "converters/DocConverter.h"

class FilterConverter : public DocConverter {
public:
    FilterConverter() = default;

    HGLOBAL Convert(const wchar_t* path, const SearchRequest& request) override;
    // Nonzero when the registry names a content filter for the file's
    // extension. The filter itself is loaded by the host, when the file is
    // converted: no filter runs in this process. What the registry says is
    // remembered per extension until the next search.
    int Accepts(const wchar_t* path) override;
    std::unique_ptr<DocConverter> Clone() const override;
    // What a filter keeps while it reads is its own affair: leave it room.
    ULONGLONG WorkingBytes(ULONGLONG fileBytes) const override { return fileBytes * 8 + kBaseWorkingBytes; }
    void BeginSearch() override;
    int IsPlainText() override;
    void SetCodePage(int codePage) override;

    // The converters that come after this one in the list. A file whose
    // filter cannot be loaded goes to the first of them that takes it, as it
    // would have if no filter had been named for it.
    void SetFollowing(std::vector<std::unique_ptr<DocConverter>> converters) { following = std::move(converters); }

private:
    std::vector<std::wstring> noFilter;    // extensions without a filter, this search
    std::vector<std::wstring> withFilter;  // extensions with one
    std::vector<std::unique_ptr<DocConverter>> following;
    DocConverter* readBy = nullptr;  // the following converter that read the last file
};

// Ends the calling thread's filter host, if it has one (a thread that ends
// has its host ended with its other scratch objects).
void EndThreadFilterHost();
