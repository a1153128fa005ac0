// The text of a file as its content filter delivers it: the chunk and text
// loops, run in the process that calls them (the filter host does).
#pragma once

#include <string>

enum class FilterRead {
    kText,      // `text` holds the file's text (possibly empty)
    kNoFilter,  // no filter could be loaded for the file
    kFailed,    // the filter failed to start or while it delivered; no partial text
};

// Loads the filter for `path`, walks its text chunks and joins their text,
// each chunk after the separator its break calls for ("" , " " or CR LF),
// every piece folded. The calling thread must have COM initialised.
FilterRead ReadFilterText(const wchar_t* path, std::wstring* text);
