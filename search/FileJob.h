// The working record of one file while it is converted and matched.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "base/SearchRecords.h"

class DocConverter;
class FoldedOriginals;
class SegmentIndex;

struct FileJob {
    std::unique_ptr<DocConverter> converter;  // none when the search text is empty
    std::wstring path;        // the plain full path, for the record
    std::wstring systemPath;  // the form the converter opens (verbatim when long)
    SearchRequest* request = nullptr;
    int contextWidth = 127;
    std::unique_ptr<WIN32_FIND_DATAW> entry;
    wchar_t* text = nullptr;  // the locked, folded text while it is matched
    int textLength = 0;
    // What folding changed in `text`: what is shown is the file's own text.
    // Null: the text is shown as it is.
    const FoldedOriginals* originals = nullptr;
    std::vector<int> astralUnits;  // for whole words: where the text held surrogates before folding
    FileResult* result = nullptr;  // one counted reference once a record exists; released with the job
    // On a worker: the pool's stop flag, asked at every hit instead of the
    // sink (which only the walking thread talks to). Null: ask the sink.
    const std::atomic<bool>* stop = nullptr;
    // With a side or a target condition: decides which hits count.
    const SegmentIndex* segments = nullptr;

    FileJob();
    ~FileJob();
    FileJob(const FileJob&) = delete;
    FileJob& operator=(const FileJob&) = delete;
};
