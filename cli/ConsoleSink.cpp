// File lines on stdout, the summary on stderr.
#include "cli/ConsoleSink.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "cli/ConsoleOutput.h"
#include "base/ResourceText.h"
#include "base/SearchRecords.h"
#include "search/ResultExport.h"
#include "search/SearchSummary.h"

bool ConsoleSink::ShowStatus(unsigned id, ...) {
    // The console has no status line; the text is still formatted so that a
    // string that cannot be loaded stops the walk as it does in the window.
    wchar_t text[101];
    va_list args;
    va_start(args, id);
    const bool ok = FormatResourceString(id, &args, text, 101);
    va_end(args);
    return ok && !IsStopRequested();
}

bool ConsoleSink::AddResult(FileResult* result) {
    if (IsStopRequested())
        return false;
    CountResult(request, *result);
    if (output == Output::kPaths) {
        const std::wstring path = std::wstring(result->location) + result->name;
        if (result->status == kFileFailed) {
            WriteUtf8(stderr, L"mirlock-cli: " + path + L": read error" +
                                  (result->reason.empty() ? L"" : L": " + result->reason) + L"\n");
        } else if (result->status == kFileSearched && !result->matches.empty()) {
            WriteUtf8(stdout, path + L"\n");
            ++linesPrinted;
        }
        return true;
    }
    if (output != Output::kLines) {
        const std::string rows = output == Output::kJson ? JsonRow(*result, printContext, printSegments)
                                                         : TableRows(*result, TableFormat::kCsv);
        fwrite(rows.data(), 1, rows.size(), stdout);
        fflush(stdout);
        ++linesPrinted;
        return true;
    }

    std::wstring line = result->location;
    line += result->name;
    line += L'\t';
    switch (result->status) {
    case kFileFailed:
        line += L"read error";
        if (!result->reason.empty())
            line += L"\t" + result->reason;
        break;
    case kFileListed: line += L"-"; break;
    default: line += ExportMatches(*result); break;
    }
    line += L'\n';
    WriteUtf8(stdout, line);
    if (printContext) {
        for (const auto& m : result->matches) {
            std::string row = "\t";
            row += std::to_string(m->start);
            row += '\t';
            row += std::to_string(m->end);
            row += '\t';
            row += EscapeContext(m->context);
            row += '\n';
            fwrite(row.data(), 1, row.size(), stdout);
        }
    }
    if (printSegments && !result->segments.empty()) {
        // One conversion and one write for all of a file's lines.
        std::wstring lines;
        for (const ShownSegment& s : result->segments)
            AppendSegmentLine(s.id, s.source, s.target, &lines);
        WriteUtf8(stdout, lines);
    }
    // Each file's lines leave at once: whatever happens to the process later,
    // the rows found so far are out.
    fflush(stdout);
    ++linesPrinted;
    return true;
}

void ConsoleSink::SetSearching(int searching) {
    if (searching) {
        if (output == Output::kCsv) {
            const std::string header = kUtf8Bom + TableHeader(TableFormat::kCsv);
            fwrite(header.data(), 1, header.size(), stdout);
        }
        return;
    }
    const std::wstring summary = FormatSearchSummary(*request, false);
    if (output == Output::kJson) {
        const std::string line = JsonSummary(*request, summary);
        fwrite(line.data(), 1, line.size(), stdout);
    }
    fflush(stdout);
    if (!quiet)
        WriteUtf8(stderr, summary + L"\n");
}
