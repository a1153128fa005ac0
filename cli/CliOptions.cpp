// Parsing of the console front end's arguments.
#include "cli/CliOptions.h"

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <string>

#include "qa/CheckKinds.h"
#include "search/FileFilters.h"
#include "search/SearchPool.h"

const char kCliUsage[] =
    "usage: mirlock-cli [options] TEXT FOLDER\n"
    "       mirlock-cli [options] --files-from FILE TEXT\n"
    "       mirlock-cli --help | --version\n"
    "       mirlock-cli --dump-text [--mode M] [--no-utf8] [--ignore-hidden] [--ignore-tags NAMES] [--segments]\n"
    "                        [--filter-timeout S] FILE\n"
    "       mirlock-cli --dump-rtf [--ignore-hidden] [--ignore-tags NAME] FILE\n"
    "\n"
    "  -e, --regex           TEXT is a regular expression\n"
    "  -i, --ignore-case     the search ignores case (also with -e)\n"
    "  -w, --word            whole words only: no letter, digit or _ just before or after a hit\n"
    "      --ignore-accents  a letter with diacritics matches its base letter (e, é, è, ê)\n"
    "  -n, --no-recurse      do not search sub-directories\n"
    "  -f, --files PATTERNS  file-name patterns separated by ; (default *.*);\n"
    "                        -PATTERN leaves files out, -NAME\\ leaves folders out\n"
    "  -l, --files-with-matches  only the paths of the files with hits, one a line\n"
    "      --files-from FILE search the files FILE lists, one path a line, in its order (UTF-8;\n"
    "                        - reads standard input); FOLDER is then left out\n"
    "      --min-size N      only files of at least N bytes (K, M, G: 1,024, 1,024 K, 1,024 M)\n"
    "      --max-size N      only files of at most N bytes\n"
    "      --newer DAY       only files changed after DAY (YYYY-MM-DD, local time), from the next day on\n"
    "      --older DAY       only files changed before DAY\n"
    "      --within N        only files changed in the last N days (7d) or hours (12h)\n"
    "  -m, --max N           at most N matches per file (default 999)\n"
    "      --mode M          converter set: ifilter (0, default), office (1), text (2)\n"
    "      --ignore-hidden   leave hidden text out\n"
    "      --ignore-tags S   leave text tagged S out\n"
    "      --utf8            read text files as UTF-8 when they are valid UTF-8 (default)\n"
    "      --no-utf8         read text files without a byte-order mark in the ANSI code page\n"
    "  -j, --threads N       convert and match files on N threads (1 to 64; 0, the\n"
    "                        default: one per logical processor, at most 16)\n"
    "      --filter-timeout S  a content filter that takes longer than S seconds over one\n"
    "                        file is ended and the file fails (1 to 3600, default 30)\n"
    "  -c, --context         print every match with its context\n"
    "  -q, --quiet           no summary line\n"
    "      --stats           files, bytes, seconds and peak memory on stderr\n"
    "      --side S          in bilingual files count only hits in the source, the\n"
    "                        target or both (default) sides of segments\n"
    "      --target T        count only hits in segments whose target holds T\n"
    "      --not-target T    count only hits in segments whose target lacks T\n"
    "      --segments        after each file line, each segment holding a counted hit as\n"
    "                        TAB segment TAB id TAB source TAB target; with --dump-text,\n"
    "                        every segment of the file after its text\n"
    "      --json            JSON Lines: one object per file (path, count or error, size,\n"
    "                        updated, type; matches with -c, segments with --segments),\n"
    "                        then one summary object\n"
    "      --csv             CSV (UTF-8 with a byte-order mark, CR LF): a header, one line\n"
    "                        per file, one per segment with --segments\n"
    "      --check LIST      check the segments of bilingual files instead of listing hits:\n"
    "                        checks separated by commas, or all (untranslated,\n"
    "                        same-as-source, inconsistent-target, inconsistent-source,\n"
    "                        numbers, tags, spaces, punctuation, urls, repeated-words,\n"
    "                        brackets, terms, length, custom); with TEXT only the\n"
    "                        segments holding its counted hits, with \"\" every segment\n"
    "      --glossary FILE   terms for the terms and same-as-source checks (CSV or TSV)\n"
    "      --checklist FILE  rules for the custom check (TAB-separated lines)\n"
    "      --max-length P    the length check flags targets longer than P percent of the source\n"
    "      --check-locked    check locked segments too (passed over by default)\n"
    "      --status LIST     check only segments in these states (new, draft, translated,\n"
    "                        reviewed, final, rejected); segments of files that name no\n"
    "                        state are always checked\n"
    "TEXT may be \"\": the files are listed and none is read.\n";

std::string CliVersionLine() {
    return "mirlock-cli " + std::to_string(MIRLOCK_VERSION_MAJOR) + "." + std::to_string(MIRLOCK_VERSION_MINOR) + "." +
           std::to_string(MIRLOCK_VERSION_PATCH);
}

namespace {

constexpr size_t kMaxField = 259;  // the request's text buffers hold 259 characters

bool ParseInt(const std::wstring& s, int* value) {
    if (s.empty())
        return false;
    wchar_t* end = nullptr;
    errno = 0;
    const long long v = wcstoll(s.c_str(), &end, 10);
    if (*end || errno || v < -2147483647LL - 1 || v > 2147483647LL)
        return false;
    *value = static_cast<int>(v);
    return true;
}

bool ParseMode(const std::wstring& s, int* mode) {
    if (s == L"ifilter")
        *mode = 0;
    else if (s == L"office")
        *mode = 1;
    else if (s == L"text")
        *mode = 2;
    else
        return ParseInt(s, mode);
    return true;
}

}  // namespace

bool ParseCliOptions(const std::vector<std::wstring>& args, CliOptions* o, std::wstring* error) {
    std::vector<std::wstring> positional;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        if (optionsEnded || a.size() < 2 || a[0] != L'-') {
            positional.push_back(a);
            continue;
        }
        auto value = [&](std::wstring* out) {
            if (i + 1 >= args.size()) {
                *error = a + L" needs a value";
                return false;
            }
            *out = args[++i];
            return true;
        };
        std::wstring v;
        if (a == L"--") {
            optionsEnded = true;
        } else if (a == L"-e" || a == L"--regex") {
            o->regex = 1;
        } else if (a == L"-i" || a == L"--ignore-case") {
            o->caseSensitive = 0;
        } else if (a == L"-w" || a == L"--word") {
            o->wholeWords = 1;
        } else if (a == L"--ignore-accents") {
            o->ignoreAccents = true;
        } else if (a == L"-n" || a == L"--no-recurse") {
            o->recursion = 0;
        } else if (a == L"-f" || a == L"--files") {
            if (!value(&v))
                return false;
            o->fileNameSpec = v.empty() ? L"*.*" : v;
        } else if (a == L"-m" || a == L"--max") {
            if (!value(&v))
                return false;
            if (!ParseInt(v, &o->maximumMatch)) {
                *error = L"not a number: " + v;
                return false;
            }
            // No file keeps fewer than one match: asking for that is a mistake.
            if (o->maximumMatch < 1) {
                *error = L"-m must be 1 or more: " + v;
                return false;
            }
        } else if (a == L"--mode") {
            if (!value(&v))
                return false;
            if (!ParseMode(v, &o->mode)) {
                *error = L"unknown mode: " + v;
                return false;
            }
        } else if (a == L"--utf8") {
            o->readUtf8 = true;
        } else if (a == L"--no-utf8") {
            o->readUtf8 = false;
        } else if (a == L"--ignore-hidden") {
            o->includeHidden = 0;
        } else if (a == L"--ignore-tags") {
            if (!value(&o->ignoreTags))
                return false;
        } else if (a == L"-c" || a == L"--context") {
            o->context = true;
        } else if (a == L"-q" || a == L"--quiet") {
            o->quiet = true;
        } else if (a == L"-j" || a == L"--threads") {
            if (!value(&v))
                return false;
            if (!ParseInt(v, &o->threads) || o->threads < 0 || o->threads > kMaxThreads) {
                *error = L"--threads takes 0 to " + std::to_wstring(kMaxThreads) + L": " + v;
                return false;
            }
        } else if (a == L"--filter-timeout") {
            if (!value(&v))
                return false;
            if (!ParseInt(v, &o->filterTimeout) || o->filterTimeout < 1 || o->filterTimeout > kMaxFilterTimeout) {
                *error = L"--filter-timeout takes 1 to " + std::to_wstring(kMaxFilterTimeout) + L" seconds: " + v;
                return false;
            }
        } else if (a == L"--stats") {
            o->stats = true;
        } else if (a == L"--json" || a == L"--csv" || a == L"-l" || a == L"--files-with-matches") {
            const auto output = a == L"--json"  ? CliOptions::Output::kJson
                                : a == L"--csv" ? CliOptions::Output::kCsv
                                                : CliOptions::Output::kPaths;
            if (o->output != CliOptions::Output::kLines && o->output != output) {
                *error = L"--json, --csv and -l exclude each other";
                return false;
            }
            o->output = output;
        } else if (a == L"--files-from") {
            if (!value(&o->filesFrom))
                return false;
        } else if (a == L"--segments") {
            o->segments = true;
        } else if (a == L"--side") {
            if (!value(&v))
                return false;
            if (v == L"both")
                o->side = 0;
            else if (v == L"source")
                o->side = 1;
            else if (v == L"target")
                o->side = 2;
            else {
                *error = L"--side takes source, target or both: " + v;
                return false;
            }
        } else if (a == L"--target" || a == L"--not-target") {
            if (!value(&o->targetText))
                return false;
            if (o->targetText.empty()) {
                *error = a + L" needs a text";
                return false;
            }
            o->notTarget = a == L"--not-target";
        } else if (a == L"--check") {
            if (!value(&o->checks))
                return false;
            CheckSettings settings;
            std::wstring bad;
            if (!ParseCheckList(o->checks, &settings, &bad)) {
                *error = L"unknown check: " + bad;
                return false;
            }
            o->command = CliOptions::Command::kCheck;
        } else if (a == L"--glossary") {
            if (!value(&o->glossary))
                return false;
        } else if (a == L"--checklist") {
            if (!value(&o->checklist))
                return false;
        } else if (a == L"--check-locked") {
            o->checkLocked = true;
        } else if (a == L"--status") {
            if (!value(&o->statuses))
                return false;
            unsigned statuses = 0;
            std::wstring bad;
            if (!ParseStatusList(o->statuses, &statuses, &bad)) {
                *error = L"unknown status: " + bad;
                return false;
            }
        } else if (a == L"--min-size" || a == L"--max-size") {
            if (!value(&v))
                return false;
            unsigned long long bytes = 0;
            if (!ParseByteSize(v, &bytes)) {
                *error = a + L" takes a size such as 200, 64K, 10M or 1G: " + v;
                return false;
            }
            (a == L"--min-size" ? o->minSize : o->maxSize) = bytes;
            if (a == L"--max-size" && bytes == 0) {
                *error = L"--max-size takes a size of 1 byte or more: " + v;
                return false;
            }
        } else if (a == L"--newer" || a == L"--older") {
            if (!value(&v))
                return false;
            // Newer: changed after that day (from the next one on); older:
            // changed before it.
            unsigned long long time = 0;
            if (!ParseLocalDay(v, a == L"--newer", &time)) {
                *error = a + L" takes a day as YYYY-MM-DD: " + v;
                return false;
            }
            if (a == L"--newer")
                o->modifiedFrom = std::max(o->modifiedFrom, time);
            else
                o->modifiedBefore = o->modifiedBefore ? std::min(o->modifiedBefore, time) : time;
        } else if (a == L"--within") {
            if (!value(&v))
                return false;
            unsigned long long time = 0;
            if (!ParseWithin(v, FileTimeNow(), &time)) {
                *error = L"--within takes days or hours such as 7d or 12h: " + v;
                return false;
            }
            o->modifiedFrom = std::max(o->modifiedFrom, time);
        } else if (a == L"--max-length") {
            if (!value(&v))
                return false;
            if (!ParseInt(v, &o->lengthPercent) || o->lengthPercent < 1) {
                *error = L"--max-length takes a percentage of 1 or more: " + v;
                return false;
            }
        } else if (a == L"-h" || a == L"--help") {
            o->command = CliOptions::Command::kHelp;
            return true;  // whatever else the line says
        } else if (a == L"--version") {
            o->command = CliOptions::Command::kVersion;
            return true;
        } else if (a == L"--dump-text") {
            o->command = CliOptions::Command::kDumpText;
        } else if (a == L"--dump-rtf") {
            o->command = CliOptions::Command::kDumpRtf;
        } else {
            *error = L"unknown option: " + a;
            return false;
        }
    }

    if (o->command != CliOptions::Command::kSearch && o->command != CliOptions::Command::kCheck) {
        if (positional.size() != 1) {
            *error = L"--dump-text and --dump-rtf take one FILE";
            return false;
        }
        o->target = positional[0];
    } else if (!o->filesFrom.empty()) {
        // The files come from the list: no folder is walked.
        if (positional.size() != 1) {
            *error = L"with --files-from, expected TEXT alone";
            return false;
        }
        o->text = positional[0];
    } else {
        if (positional.size() != 2) {
            *error = L"expected TEXT and FOLDER";
            return false;
        }
        o->text = positional[0];
        o->target = positional[1];
        if (!o->targetText.empty() && o->text.empty()) {
            *error = L"a target condition needs a search text";
            return false;
        }
    }
    if (o->text.size() > kMaxField || o->target.size() > kMaxField ||
        o->fileNameSpec.size() > kMaxField || o->ignoreTags.size() > kMaxField ||
        o->targetText.size() > kMaxField) {
        *error = L"an argument is longer than 259 characters";
        return false;
    }
    return true;
}
