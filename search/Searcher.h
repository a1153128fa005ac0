// Carries out one search at a time: the walk, and one job per matching file.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/SearchRecords.h"
#include "search/FileIterator.h"
#include "search/Matcher.h"

class ConverterList;
class RegexMatcher;
class CaseInsensitiveFinder;
class DocConverter;
struct FileJob;
struct SearchRequest;

// The line (from 1) that holds unit `offset` of a text: CR LF, CR and LF
// each end one line.
int LineOfOffset(const wchar_t* text, int length, int offset);

class Searcher : public FileIterator {
public:
    static constexpr int kContextWidth = 127;

    Searcher();
    ~Searcher() override;

    // Shows a message to the user (the bad-regular-expression message). The
    // engine never opens a window; its owner decides how the text is shown.
    using MessageHandler = std::function<void(const wchar_t* text)>;
    void SetMessageHandler(MessageHandler handler) { showMessage = std::move(handler); }

    // Resets the counters, compiles a regular expression once (reporting a
    // bad one with message 2002), begins the walk and calls SetSearching(1).
    // False when the request is refused; the walk has then not begun.
    bool StartSearch(SearchRequest* request, ConverterList* converters);

protected:
    bool OnEnterDirectory(const wchar_t* path) override;
    bool OnFile(const wchar_t* path, const WIN32_FIND_DATAW& entry) override;

private:
    bool IsStopRequested() const;
    void RunJob(FileJob& job);
    void ConvertAndMatch(FileJob& job);

    SearchRequest* request = nullptr;
    ConverterList* converters = nullptr;
    int contextWidth = kContextWidth;
    // Bilingual files: which hits count, and the segments a row keeps.
    MatchOutcome MatchBySegments(FileJob& job, const DocConverter& converter);
    bool BySegments() const { return request->side != kSideBoth || request->targetText[0] != 0; }
    // Makes the case-insensitive finder or compiles the expression for
    // `text`; a bad expression is reported (message 2002) and refused.
    bool Prepare(const wchar_t* text, std::unique_ptr<RegexMatcher>* compiled,
                 std::unique_ptr<CaseInsensitiveFinder>* finder);

    std::unique_ptr<RegexMatcher> regex;
    std::unique_ptr<CaseInsensitiveFinder> ignoringCase;
    // The target condition's text, prepared like the search text.
    std::unique_ptr<RegexMatcher> targetRegex;
    std::unique_ptr<CaseInsensitiveFinder> targetIgnoringCase;
    MessageHandler showMessage;
};
