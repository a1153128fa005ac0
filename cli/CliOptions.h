// Command-line contract of the console front end.
#pragma once

#include <string>
#include <vector>

#include "base/SearchRecords.h"

struct CliOptions {
    enum class Command { kSearch, kCheck, kDumpText, kDumpRtf, kHelp, kVersion };

    Command command = Command::kSearch;
    std::wstring text;    // search text, may be empty
    std::wstring target;  // folder to search, or the file to dump
    int regex = 0;
    int caseSensitive = 1;
    int wholeWords = 0;
    int recursion = 1;
    std::wstring fileNameSpec = L"*.*";
    int maximumMatch = 999;
    int mode = 0;
    int includeHidden = 1;
    std::wstring ignoreTags;
    bool readUtf8 = true;
    bool context = false;
    bool quiet = false;
    bool stats = false;
    int threads = 0;        // 0: one per logical processor (at most 16)
    int filterTimeout = kDefaultFilterTimeout;  // seconds a content filter may take over a file
    bool segments = false;  // the segments holding hits after each file line (--dump-text: all)
    int side = 0;           // SearchSide
    std::wstring targetText;  // the target condition's text; empty: none
    bool notTarget = false;
    // Files by size and by the time of their last change (see SearchRequest).
    unsigned long long minSize = 0;
    unsigned long long maxSize = 0;
    unsigned long long modifiedFrom = 0;
    unsigned long long modifiedBefore = 0;
    // --files-from: the file that lists the files to search ("-": standard
    // input); empty: the folder is walked.
    std::wstring filesFrom;
    bool ignoreAccents = false;
    // How rows are printed: lines (the default), JSON Lines or CSV.
    enum class Output { kLines, kJson, kCsv, kPaths };
    Output output = Output::kLines;
    // The checks' pass (--check): which checks, and the lists they use.
    std::wstring checks;
    std::wstring glossary;
    std::wstring checklist;
    int lengthPercent = 0;
    bool checkLocked = false;
    std::wstring statuses;  // empty: every state
};

// Parses the arguments after the program name. On a usage error returns
// false with a one-line reason in `error`.
bool ParseCliOptions(const std::vector<std::wstring>& args, CliOptions* options,
                     std::wstring* error);

extern const char kCliUsage[];

// "mirlock-cli 0.1.0": the program and the one version of the build.
std::string CliVersionLine();
