// The matching step alone, without the disk: every file of a folder is
// converted and folded once into memory, then the query runs over all those
// texts several times, records and context included, and the fastest pass
// is reported. A machine that is busy in between lengthens some passes,
// never the fastest, so small changes to the hot path show.
//   mirlock-match-bench [-e] [-i] [-w] [--passes N] TEXT FOLDER
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "base/FoldText.h"
#include "base/ScopedHandle.h"
#include "base/SearchRecords.h"
#include "converters/ConverterList.h"
#include "converters/DocConverter.h"
#include "search/CaseInsensitiveFinder.h"
#include "search/FileJob.h"
#include "search/Matcher.h"
#include "search/RegexMatcher.h"
#include "search/SearchResultSink.h"

namespace {

class NullSink : public SearchResultSink {
public:
    bool ShowStatus(unsigned, ...) override { return true; }
    bool AddResult(FileResult*) override { return true; }
    void SetSearching(int) override {}
    bool IsStopRequested() override { return false; }
};

struct Text {
    std::wstring path;
    std::vector<wchar_t> units;  // folded, NUL-terminated
    std::shared_ptr<FoldedOriginals> originals;  // what folding changed, as the search keeps it
};

void Load(const std::wstring& dir, const ConverterList& converters, const SearchRequest& request,
          std::vector<Text>& texts) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((dir + L"*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = entry.cFileName;
        const std::wstring path = dir + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name != L"." && name != L"..")
                Load(path + L"\\", converters, request, texts);
            continue;
        }
        DocConverter* prototype = converters.FindConverter(path.c_str());
        if (!prototype)
            continue;
        std::unique_ptr<DocConverter> converter = prototype->Clone();
        HGLOBAL block = converter->Convert(path.c_str(), request);
        if (!block)
            continue;
        ScopedTextBlock owned(block);
        GlobalLockGuard<wchar_t> units(block);
        const size_t capacity = GlobalSize(block) / sizeof(wchar_t);
        if (!units.Get() || capacity == 0)
            continue;
        auto originals = std::make_shared<FoldedOriginals>();
        const size_t length = originals->FoldToNul(units.Get(), capacity);
        texts.push_back({path, std::vector<wchar_t>(units.Get(), units.Get() + length + 1), originals});
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    NullSink sink;
    SearchRequest request = {};
    request.caseSensitive = 1;
    request.maximumMatch = 999;
    request.sink = &sink;
    int passes = 7;
    std::vector<std::wstring> words;
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        if (a == L"-e")
            request.regex = 1;
        else if (a == L"-i")
            request.caseSensitive = 0;
        else if (a == L"-w")
            request.wholeWords = 1;
        else if (a == L"--passes" && i + 1 < argc)
            passes = _wtoi(argv[++i]);
        else
            words.push_back(a);
    }
    if (words.size() != 2) {
        fwprintf(stderr, L"usage: mirlock-match-bench [-e] [-i] [-w] [--passes N] TEXT FOLDER\n");
        return 2;
    }
    wcsncpy(request.searchText, words[0].c_str(), kPathChars - 1);
    std::wstring root = words[1];
    if (root.back() != L'\\')
        root += L'\\';

    ConverterList converters;
    converters.BuildConverters(0);
    std::vector<Text> texts;
    Load(root, converters, request, texts);

    std::unique_ptr<RegexMatcher> regex;
    if (request.regex) {
        std::string error;
        int position = 0;
        regex = RegexMatcher::Compile(request.searchText, &error, &position);
        if (!regex) {
            fprintf(stderr, "bad expression: %s\n", error.c_str());
            return 2;
        }
    }
    std::unique_ptr<CaseInsensitiveFinder> ignoringCase;
    if (!request.regex && !request.caseSensitive)
        ignoringCase = std::make_unique<CaseInsensitiveFinder>(request.searchText);

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    double best = 1e30;
    unsigned long long hits = 0, units = 0;
    WIN32_FIND_DATAW entry = {};
    for (int pass = 0; pass < passes; ++pass) {
        hits = 0;
        units = 0;
        LARGE_INTEGER start, stop;
        QueryPerformanceCounter(&start);
        for (Text& text : texts) {
            FileJob job;
            job.path = text.path;
            job.request = &request;
            job.entry = std::make_unique<WIN32_FIND_DATAW>(entry);
            job.text = text.units.data();
            job.textLength = static_cast<int>(text.units.size() - 1);
            job.originals = text.originals.get();
            MatchText(job, regex.get(), ignoringCase.get());
            units += static_cast<unsigned long long>(job.textLength);
            if (job.result) {
                hits += job.result->matches.size();
                job.result->Release();
                job.result = nullptr;  // the job would release it again
            }
        }
        QueryPerformanceCounter(&stop);
        const double seconds = static_cast<double>(stop.QuadPart - start.QuadPart) /
                               static_cast<double>(frequency.QuadPart);
        if (seconds < best)
            best = seconds;
    }
    printf("%zu texts, %llu units, %llu hits; fastest of %d passes: %.1f ms (%.2f ns per unit)\n",
           texts.size(), units, hits, passes, best * 1e3, best * 1e9 / static_cast<double>(units));
    return 0;
}
