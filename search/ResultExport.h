// Result rows written out for other programs: CSV and tab-separated tables,
// JSON Lines and a self-contained HTML report, all UTF-8.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

struct FileResult;
struct SearchRequest;

enum class TableFormat { kCsv, kTabs };

// The byte-order mark that spreadsheet programs need to read UTF-8.
extern const char kUtf8Bom[];

// The extension of a path's last name, ASCII letters in lower case, without
// the dot; empty when the name has none (or only starts with a dot).
std::wstring NameExtension(std::wstring_view path);

// A row's fields as exported.
std::wstring ExportPath(const FileResult& result);      // location and name
std::wstring ExportMatches(const FileResult& result);   // the count, "read error" or "-" for a listed file
// What the file was read as ("Text (UTF-8)", "XLIFF 1.2"); "Failed" for a failed file.
std::wstring ExportFileType(const FileResult& result);
// Why a failed file failed; empty for any other.
std::wstring ExportReason(const FileResult& result);
// "2026-12-08T10:32:54Z"; empty for a time the system cannot convert.
std::wstring IsoUtcTime(const FILETIME& time);

// The table's header line: Path, Name, Matches, Location, Size, File type,
// Updated, Segment, Source, Target; lines end with CR LF.
std::string TableHeader(TableFormat format);
// The file's line (the first seven fields), then one line per kept segment
// with its path, id, source and target (the others empty).
std::string TableRows(const FileResult& result, TableFormat format);
// One field: CSV quotes it when it holds a comma, a quote, a line break or
// leading or trailing spaces (quotes doubled); tab-separated text turns
// tabs and line breaks into spaces.
std::string TableField(std::wstring_view text, TableFormat format);

// A JSON string literal of UTF-16 text: valid UTF-8, control characters and
// lone surrogates escaped as \uXXXX, so that file names of any units pass.
std::string JsonString(std::wstring_view text);
// One file row as a JSON object on one line (LF-terminated): path, name,
// count or error (or "listed": true), size, updated, type; the matches with
// start, end, contextStart and context when `withMatches`, the kept segments
// when `withSegments`.
std::string JsonRow(const FileResult& result, bool withMatches, bool withSegments);
// The closing object: {"summary": {...}} with the counts and the summary text.
std::string JsonSummary(const SearchRequest& request, const std::wstring& summaryText);

// The report's texts beside its rows.
struct ReportHeading {
    std::wstring title;                                       // the page's title and heading
    std::vector<std::pair<std::wstring, std::wstring>> request;  // label, value
    std::wstring summary;
};
// One HTML page: heading, request, summary, a table of the rows with their
// context lines (hits marked) and, for bilingual files, their segments
// with source and target side by side.
std::string HtmlReport(const ReportHeading& heading, const std::vector<const FileResult*>& rows);
// The text as HTML with the units of `spans` in <mark>.
struct ShownSpan;
std::string HtmlMarked(std::wstring_view text, const std::vector<ShownSpan>& spans);
// The report's style sheet, for other reports of the same look.
const char* HtmlReportStyle();
// Text with &, <, > and " escaped, as UTF-8.
std::string HtmlText(std::wstring_view text);
