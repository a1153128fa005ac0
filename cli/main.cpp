// mirlock-cli: the search engine driven to the end from the console.
#include <windows.h>
#include <psapi.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/ConsoleOutput.h"
#include "cli/CheckSink.h"
#include "cli/ConsoleSink.h"
#include "converters/ConverterList.h"
#include "converters/installed/FilterConverter.h"
#include "converters/readers/FileBlock.h"
#include "converters/readers/Rtfpars.h"
#include "converters/readers/Utf8Text.h"
#include "base/FoldText.h"
#include "base/LongPath.h"
#include "base/ReplaceFile.h"
#include "base/ResourceText.h"
#include "resource.h"
#include "base/ScopedHandle.h"
#include "base/SearchRecords.h"
#include "qa/CheckPass.h"
#include "search/ResultExport.h"
#include "search/SearchPool.h"
#include "search/Searcher.h"

namespace {

constexpr int kExitFound = 0;
constexpr int kExitNone = 1;
constexpr int kExitError = 2;

void FillRequest(const CliOptions& o, SearchRequest* request) {
    *request = SearchRequest{};
    wcsncpy(request->ignoreTags, o.ignoreTags.c_str(), kPathChars - 1);
    request->includeHidden = o.includeHidden;
    wcsncpy(request->searchText, o.text.c_str(), kPathChars - 1);
    wcsncpy(request->fileNameSpec, o.fileNameSpec.c_str(), kPathChars - 1);
    request->recursion = o.recursion;
    request->regex = o.regex;
    request->caseSensitive = o.caseSensitive;
    request->wholeWords = o.wholeWords;
    request->maximumMatch = o.maximumMatch;
    request->filterTimeout = o.filterTimeout;
    request->side = o.side;
    wcsncpy(request->targetText, o.targetText.c_str(), kPathChars - 1);
    request->notTarget = o.notTarget;
    request->keepSegments = o.segments;
    request->minSize = o.minSize;
    request->maxSize = o.maxSize;
    request->modifiedFrom = o.modifiedFrom;
    request->modifiedBefore = o.modifiedBefore;
    request->ignoreAccents = o.ignoreAccents;
}

bool FullPath(const std::wstring& path, wchar_t (&out)[kPathChars]) {
    const DWORD n = GetFullPathNameW(path.c_str(), kPathChars, out, nullptr);
    return n > 0 && n < kPathChars;
}

void PrintStats(const SearchRequest& request, unsigned long long bytes, ULONGLONG startTicks) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    const double seconds =
        static_cast<double>(now.QuadPart - static_cast<LONGLONG>(startTicks)) / frequency.QuadPart;
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    K32GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    fprintf(stderr, "files searched: %d\nbytes read: %llu\nseconds: %.3f\npeak working set: %llu\n",
            request.filesSearched, request.searchText[0] || request.everySegment ? bytes : 0ULL, seconds,
            static_cast<unsigned long long>(memory.PeakWorkingSetSize));
}

// A message of the search on stderr. Message formatting ends lines with
// CR LF; the console's lines end with LF.
void PrintMessage(const wchar_t* text) {
    std::wstring message;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p != L'\r')
            message += *p;
    }
    WriteUtf8(stderr, message + L"\n");
}

// The folder to walk, made whole, into the request; false with the reason
// on stderr when it is too long, missing or unreadable.
bool TakeFolder(const CliOptions& o, SearchRequest* request) {
    if (!FullPath(o.target, request->folder)) {
        fputs("mirlock-cli: FOLDER is too long\n", stderr);
        return false;
    }
    const FolderState folder = CheckFolder(request->folder);
    if (folder == FolderState::kReadable)
        return true;
    std::wstring text;
    FormatResourceText(&text, folder == FolderState::kMissing ? IDS_FOLDER_MISSING : IDS_FOLDER_UNREADABLE,
                       request->folder);
    WriteUtf8(stderr, L"mirlock-cli: " + text + L"\n");
    return false;
}

// Steps a started search to its end, sleeping while it waits on workers.
void RunToEnd(Searcher& searcher) {
    while (searcher.Step()) {
        if (searcher.IsWaiting())
            WaitForSingleObject(searcher.WorkerEvent(), INFINITE);
    }
}

// The paths of --files-from's list: UTF-8 with or without its mark, one a
// line (CR LF or LF), blank lines passed over; false when it cannot be read.
bool ReadFileList(const std::wstring& from, std::vector<std::wstring>* paths) {
    std::string bytes;
    if (from == L"-") {
        _setmode(_fileno(stdin), _O_BINARY);
        char chunk[65536];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, stdin)) > 0) {
            bytes.append(chunk, n);
            if (bytes.size() > (256u << 20))
                return false;  // no list of paths is that long
        }
    } else {
        DWORD error = 0;
        if (!ReadSmallFile(from, 256u << 20, &bytes, &error))
            return false;
    }
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0)
        bytes.erase(0, 3);
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find('\n', at);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            paths->push_back(WidenUtf8(line));
    }
    return true;
}

int RunSearch(const CliOptions& o) {
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    SearchRequest request;
    FillRequest(o, &request);
    std::vector<std::wstring> listed;
    if (!o.filesFrom.empty()) {
        if (!ReadFileList(o.filesFrom, &listed)) {
            WriteUtf8(stderr, L"mirlock-cli: " + o.filesFrom + L": cannot be read\n");
            return kExitError;
        }
    } else if (!TakeFolder(o, &request)) {
        return kExitError;
    }
    ConverterList converters;
    converters.SetReadUtf8(o.readUtf8);
    converters.BuildConverters(o.mode);
    ConsoleSink sink(&request, o.context, o.quiet, o.segments, static_cast<ConsoleSink::Output>(o.output));
    request.sink = &sink;

    Searcher searcher;
    searcher.SetWorkers(SearchThreadCount(o.threads));
    const unsigned long long bytesBefore = BytesReadInProcess();
    searcher.SetMessageHandler(PrintMessage);
    if (!o.filesFrom.empty())
        searcher.SetFileList(std::move(listed));
    if (!searcher.StartSearch(&request, &converters))
        return kExitError;
    RunToEnd(searcher);
    sink.SetSearching(0);
    fflush(stdout);
    if (o.stats)
        PrintStats(request, BytesReadInProcess() - bytesBefore, static_cast<ULONGLONG>(start.QuadPart));
    return sink.LinesPrinted() > 0 ? kExitFound : kExitNone;
}

// The checks' pass: the walk of a search, a note per line, the consistency
// groups at the end (their texts read again), the summary on stderr.
int RunCheck(const CliOptions& o) {
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    SearchRequest request;
    FillRequest(o, &request);
    request.everySegment = 1;
    std::vector<std::wstring> listed;
    if (!o.filesFrom.empty()) {
        if (!ReadFileList(o.filesFrom, &listed)) {
            WriteUtf8(stderr, L"mirlock-cli: " + o.filesFrom + L": cannot be read\n");
            return kExitError;
        }
    } else if (!TakeFolder(o, &request)) {
        return kExitError;
    }
    CheckSettings settings;
    std::wstring error;
    ParseCheckList(o.checks, &settings, &error);
    settings.lengthPercent = o.lengthPercent;
    settings.checkLocked = o.checkLocked;
    if (!o.statuses.empty())
        ParseStatusList(o.statuses, &settings.statuses, &error);
    CheckPass pass(settings);
    if (!pass.Load(o.glossary, o.checklist, &error)) {
        WriteUtf8(stderr, L"mirlock-cli: " + error + L"\n");
        return kExitError;
    }
    ConverterList converters;
    converters.SetReadUtf8(o.readUtf8);
    converters.BuildConverters(o.mode);
    const bool json = o.output == CliOptions::Output::kJson;
    CheckSink sink(&request, &pass, json);
    request.sink = &sink;
    Searcher searcher;
    searcher.SetWorkers(SearchThreadCount(o.threads));
    searcher.SetSegmentVisitor(pass.Visitor());
    if (!o.filesFrom.empty())
        searcher.SetFileList(std::move(listed));
    const unsigned long long bytesBefore = BytesReadInProcess();
    searcher.SetMessageHandler(PrintMessage);
    if (!searcher.StartSearch(&request, &converters))
        return kExitError;
    RunToEnd(searcher);
    // Each group's members, with their texts read again file by file.
    const std::vector<ConsistencyIndex::Group> groups = pass.Groups();
    for (const ConsistencyIndex::Group& group : groups)
        pass.CountGroup(group);
    ForEachGroupMember(searcher, groups, sink.Paths(),
                       [&](const ConsistencyIndex::Group& group, const ConsistencyIndex::Member& member,
                           const ShownSegment& segment) {
                           sink.Print(sink.Paths()[member.file], segment, group.kind, GroupMessage(group), {}, {});
                       });
    const std::wstring summary = pass.Summary();
    if (json) {
        const std::string line = "{\"summary\":" + JsonString(summary) + ",\"segments\":" +
                                 std::to_string(pass.SegmentsChecked()) + ",\"files\":" +
                                 std::to_string(pass.FilesChecked()) + ",\"issues\":" + std::to_string(pass.Issues()) +
                                 "}\n";
        fwrite(line.data(), 1, line.size(), stdout);
    }
    fflush(stdout);
    if (!o.quiet)
        WriteUtf8(stderr, summary + L"\n");
    if (o.stats)
        PrintStats(request, BytesReadInProcess() - bytesBefore, static_cast<ULONGLONG>(start.QuadPart));
    return pass.Issues() > 0 ? kExitFound + 1 : kExitFound;
}

int DumpText(const CliOptions& o) {
    SearchRequest request;
    FillRequest(o, &request);
    // The file may lie deeper than the classic path limit.
    const std::wstring full = FullPathName(o.target);
    const std::wstring systemPath = full.empty() ? std::wstring() : SystemPath(full);
    if (systemPath.empty()) {
        fputs("read error\n", stderr);
        return kExitError;
    }
    const wchar_t* path = systemPath.c_str();
    ConverterList converters;
    converters.SetReadUtf8(o.readUtf8);
    converters.BuildConverters(o.mode);
    HGLOBAL block = nullptr;
    SegmentTable segments;
    if (DocConverter* prototype = converters.FindConverter(path)) {
        try {
            auto converter = prototype->Clone();
            converter->SetCodePage(0);
            converter->SetWantSegments(o.segments);
            block = converter->Convert(path, request);
            segments = converter->Segments();
        } catch (...) {
            block = nullptr;
        }
    }
    ScopedTextBlock owned(block);
    GlobalLockGuard<wchar_t> text(block);
    std::wstring notice;
    if (converters.TakeNotice(&notice))
        WriteUtf8(stderr, L"mirlock-cli: " + notice + L"\n");
    if (!text.Get()) {
        fputs("read error\n", stderr);
        return kExitError;
    }
    const size_t length = TextBlockLength(block, text.Get());
    // The text as the file holds it; controls that would disturb a terminal
    // show as spaces, as the search's folding makes them.
    for (size_t i = 0; i < length; ++i)
        text.Get()[i] = ShownUnit(text.Get()[i]);
    const std::string bytes = ToUtf8(text.Get(), length);
    fwrite(bytes.data(), 1, bytes.size(), stdout);
    if (!segments.empty() && length > 0 && text.Get()[length - 1] != L'\n')
        fputc('\n', stdout);  // the segment lines start lines of their own
    for (size_t i = 0; i < segments.size(); ++i) {
        const std::wstring line = SegmentLine(segments.Id(i), ShownSideText(text.Get(), length, segments.Source(i)),
                                              ShownSideText(text.Get(), length, segments.Target(i)));
        const std::string lineBytes = ToUtf8(line.c_str(), line.size());
        fwrite(lineBytes.data(), 1, lineBytes.size(), stdout);
    }
    fflush(stdout);
    return kExitFound;
}

// The text the RTF reader makes of FILE with the options the Office
// converter host passes: no-proof letters and struck text always dropped,
// hidden text only when asked, the tag text as the one source-style name.
int DumpRtf(const CliOptions& o) {
    ScopedFile file(_wfopen(o.target.c_str(), L"rb"));
    std::string bytes;
    if (file) {
        char buffer[1 << 16];
        size_t got = 0;
        while ((got = fread(buffer, 1, sizeof buffer, file.Get())) > 0)
            bytes.append(buffer, got);
    }
    if (!file || ferror(file.Get())) {
        fputs("read error\n", stderr);
        return kExitError;
    }
    RtfReaderContext context;
    context.ignoreHidden = o.includeHidden == 0;
    context.dropNoProofLetters = true;
    context.dropStruckText = true;
    if (!o.ignoreTags.empty()) {
        const std::string name = ToAnsi(o.ignoreTags);
        context.sourceStyleNames.push_back(name);
    }
    ReadRtf(context, bytes.c_str());
    const std::string text = ToUtf8(context.output);
    fwrite(text.data(), 1, text.size(), stdout);
    fflush(stdout);
    return kExitFound;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    InitConsoleOutput();
    // Messages go out as they are written: a buffered stderr was seen to be
    // lost at exit when it is a file handed over by the parent process.
    setvbuf(stderr, nullptr, _IONBF, 0);
    std::vector<std::wstring> args(argv + 1, argv + argc);
    CliOptions options;
    std::wstring error;
    if (!ParseCliOptions(args, &options, &error)) {
        WriteUtf8(stderr, L"mirlock-cli: " + error + L"\n");
        fputs(kCliUsage, stderr);
        return kExitError;
    }
    if (options.command == CliOptions::Command::kHelp) {
        fputs(kCliUsage, stdout);
        return 0;
    }
    if (options.command == CliOptions::Command::kVersion) {
        puts(CliVersionLine().c_str());
        return 0;
    }
    int code = 0;
    if (options.command == CliOptions::Command::kDumpText)
        code = DumpText(options);
    else if (options.command == CliOptions::Command::kDumpRtf)
        code = DumpRtf(options);
    else if (options.command == CliOptions::Command::kCheck)
        code = RunCheck(options);
    else
        code = RunSearch(options);
    // This thread's filter host, if it ran one, is asked to leave and
    // waited for, so that it releases what it holds before the job that
    // holds it ends with this process.
    EndThreadFilterHost();
    return code;
}
