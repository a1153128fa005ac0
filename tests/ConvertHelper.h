// Runs a converter over a file as the search does and returns its text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "converters/DocConverter.h"
#include "base/SearchRecords.h"

// A request with default converter options: hidden text kept, no tags.
SearchRequest ConverterRequest(int includeHidden = 1, const std::wstring& ignoreTags = L"");

// The text before the first NUL of the converted block, or nothing when the
// conversion failed. The converter is cloned first, like in a search.
std::optional<std::wstring> ConvertToText(const DocConverter& prototype, const std::wstring& path,
                                          const SearchRequest& request);

// The text of a block before its first NUL; the block is freed.
std::optional<std::wstring> TakeText(HGLOBAL block);

// The text a search matches: converted for the search, then folded by the
// search unless the converter folded it while writing; nothing when the
// conversion failed.
std::optional<std::wstring> SearchTextFor(const DocConverter& prototype, const std::wstring& path,
                                          const SearchRequest& request);

// The converted text folded afterwards, as SearchTextFor must give it.
std::optional<std::wstring> FoldedAfterwards(const DocConverter& prototype,
                                             const std::wstring& path,
                                             const SearchRequest& request);

// The segments that a clone of `prototype` makes of `path` (converted for a
// search when `forSearch`), one line each: "id|source|target", the sides'
// shown texts. Every range is checked to lie in order inside the text.
std::vector<std::wstring> SegmentLinesFor(const DocConverter& prototype, const std::wstring& path,
                                          const SearchRequest& request, bool forSearch = false);
