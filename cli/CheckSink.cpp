// Printing the checks' notes.
#include "cli/CheckSink.h"

#include "base/SearchRecords.h"
#include "cli/ConsoleOutput.h"
#include "search/ResultExport.h"

namespace {

// A shown text on one line: tabs and line breaks become spaces.
std::wstring Flat(const std::wstring& text) {
    std::wstring flat = text;
    for (wchar_t& c : flat) {
        if (c == L'\t' || c == L'\r' || c == L'\n')
            c = L' ';
    }
    return flat;
}

std::string JsonSpans(const std::vector<ShownSpan>& spans) {
    std::string out = "[";
    for (const ShownSpan& s : spans) {
        if (out.size() > 1)
            out += ",";
        out += "[" + std::to_string(s.begin) + "," + std::to_string(s.end) + "]";
    }
    return out + "]";
}

}  // namespace

bool CheckSink::ShowStatus(unsigned, ...) { return true; }

void CheckSink::Print(const std::wstring& path, const ShownSegment& segment, CheckKind kind,
                      const std::wstring& message, const std::vector<ShownSpan>& sourceSpans,
                      const std::vector<ShownSpan>& targetSpans) {
    if (json) {
        std::string line = "{\"path\":" + JsonString(path) + ",\"id\":" + JsonString(segment.id) +
                           ",\"check\":" + JsonString(CheckName(kind)) + ",\"message\":" + JsonString(message) +
                           ",\"source\":" + JsonString(segment.source) + ",\"target\":" + JsonString(segment.target) +
                           ",\"spans\":{\"source\":" + JsonSpans(sourceSpans) + ",\"target\":" +
                           JsonSpans(targetSpans) + "}}\n";
        fwrite(line.data(), 1, line.size(), stdout);
        return;
    }
    WriteUtf8(stdout, path + L"\t" + Flat(segment.id) + L"\t" + CheckName(kind) + L"\t" + Flat(message) + L"\t" +
                          Flat(segment.source) + L"\t" + Flat(segment.target) + L"\n");
}

bool CheckSink::AddResult(FileResult* result) {
    CountResult(request, *result);
    const std::wstring path = ExportPath(*result);
    if (result->status == kFileFailed) {
        // Failed files are reported as a search reports them.
        failed += 1;
        if (json) {
            const std::string line = "{\"path\":" + JsonString(path) + ",\"error\":" +
                                     JsonString(result->reason.empty() ? L"read error" : result->reason) + "}\n";
            fwrite(line.data(), 1, line.size(), stdout);
        } else {
            WriteUtf8(stdout, path + L"\tread error" + (result->reason.empty() ? L"" : L"\t" + result->reason) + L"\n");
        }
        return true;
    }
    if (result->segmentsSeen == 0)
        return true;
    pass->Take(*result);
    paths.push_back(path);
    for (const SegmentNote& note : result->notes) {
        Print(path, result->segments[static_cast<size_t>(note.segment)], static_cast<CheckKind>(note.kind),
              note.message, note.sourceSpans, note.targetSpans);
    }
    return true;
}
