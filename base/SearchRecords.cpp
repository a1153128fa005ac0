// Construction and reference counting of the search records.
#include "base/SearchRecords.h"

#include <cwchar>

std::unique_ptr<Match> Match::Hit(int start, int end) {
    auto m = std::make_unique<Match>();
    m->start = start;
    m->end = end;
    return m;
}

std::unique_ptr<Match> Match::Failure() {
    auto m = std::make_unique<Match>();
    m->end = -1;
    return m;
}

std::unique_ptr<Match> Match::Listing() { return std::make_unique<Match>(); }

FileResult* FileResult::Create(const wchar_t* path, const WIN32_FIND_DATAW& entry) {
    auto* r = new FileResult();
    r->refCount = 0;
    r->location = SplitLocation(path);
    wcsncpy(r->name, entry.cFileName, kPathChars - 1);
    r->name[kPathChars - 1] = 0;
    r->lastWriteTime = entry.ftLastWriteTime;
    r->size[0] = entry.nFileSizeLow;
    r->size[1] = entry.nFileSizeHigh;
    r->status = kFileSearched;
    return r;
}

void FileResult::Release() {
    if (--refCount <= 0)
        delete this;
}

std::wstring SplitLocation(const wchar_t* path) {
    size_t cut = 0;
    // The drive ("C:") counts as part of the location even without a directory.
    if (path[0] && path[1] == L':')
        cut = 2;
    for (size_t i = 0; path[i]; ++i) {
        if (path[i] == L'\\' || path[i] == L'/')
            cut = i + 1;
    }
    return std::wstring(path, cut);
}

void CountResult(SearchRequest* request, const FileResult& result) {
    if (result.status == kFileFailed) {
        request->filesFailed += 1;
        return;
    }
    request->filesMatched += 1;
    request->matchCount += static_cast<int>(result.matches.size());
}
