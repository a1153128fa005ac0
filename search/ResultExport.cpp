// Writers of exported results: tables, JSON Lines and the HTML report.
#include "search/ResultExport.h"

#include <algorithm>
#include <cstdio>

#include "base/ResourceText.h"
#include "base/SearchRecords.h"
#include "converters/readers/Utf8Text.h"
#include "resource.h"

const char kUtf8Bom[] = "\xEF\xBB\xBF";

namespace {

std::string Utf8(std::wstring_view text) {
    std::string out;
    Utf16ToUtf8(text.data(), text.size(), &out);
    return out;
}

std::wstring ReadErrorText() {
    std::wstring text = LoadResourceText(IDS_READ_ERROR);
    return text.empty() ? L"read error" : text;
}

std::wstring StringOr(unsigned id, const wchar_t* fallback) {
    std::wstring text = LoadResourceText(id);
    return text.empty() ? fallback : text;
}

const char* Separator(TableFormat format) { return format == TableFormat::kCsv ? "," : "\t"; }

// Marks over a text's units: bit 1 a counted hit, bit 2 a condition's hit.
std::vector<unsigned char> MarkSpans(size_t length, const std::vector<ShownSpan>& hits,
                                     const std::vector<ShownSpan>& conditionHits) {
    std::vector<unsigned char> marks(length, 0);
    auto mark = [&](const std::vector<ShownSpan>& spans, unsigned char bit) {
        for (const ShownSpan& s : spans) {
            const size_t begin = static_cast<size_t>(std::clamp(s.begin, 0, static_cast<int>(length)));
            const size_t end = static_cast<size_t>(std::clamp(s.end, 0, static_cast<int>(length)));
            for (size_t i = begin; i < end; ++i)
                marks[i] |= bit;
        }
    };
    mark(hits, 1);
    mark(conditionHits, 2);
    return marks;
}

// The text as HTML, each run of marked units in a <mark> of its kind.
std::string MarkedHtml(std::wstring_view text, const std::vector<unsigned char>& marks) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        size_t j = i;
        while (j < text.size() && marks[j] == marks[i])
            ++j;
        const std::string run = HtmlText(text.substr(i, j - i));
        if (marks[i] == 0)
            out += run;
        else
            out += std::string(marks[i] & 1 ? "<mark>" : "<mark class=\"c\">") + run + "</mark>";
        i = j;
    }
    return out;
}

const char kReportStyle[] =
    "body{font:14px/1.4 'Segoe UI',Arial,sans-serif;margin:1.5em;color:#111}"
    "h1{font-size:1.4em;margin:0 0 .5em}"
    "dl{display:grid;grid-template-columns:max-content auto;gap:.1em 1em;margin:0 0 1em}"
    "dt{font-weight:600}dd{margin:0}"
    "table{border-collapse:collapse;width:100%}"
    "th,td{border:1px solid #bbb;padding:.25em .5em;text-align:left;vertical-align:top}"
    "th{background:#eee}thead{display:table-header-group}"
    "tr{page-break-inside:avoid;break-inside:avoid}"
    "td.n{text-align:right;white-space:nowrap}"
    "td.path{word-break:break-all}"
    ".failed td{color:#a00}"
    ".lines td{border-top:none;font-family:Consolas,monospace;font-size:.9em;white-space:pre-wrap;"
    "word-break:break-word;color:#444}"
    "table.seg{margin:.3em 0;width:100%}table.seg td,table.seg th{width:45%}"
    "table.seg td:first-child,table.seg th:first-child{width:10%}"
    "mark{background:#ffe14d;color:#000}mark.c{background:#9fd3ff}"
    "@media print{body{margin:0;font-size:10pt}th{background:#ddd}"
    "mark{background:none;font-weight:bold;text-decoration:underline}"
    "mark.c{text-decoration:none;font-style:italic}}";

void AppendContextLines(const FileResult& r, std::string* out) {
    std::string lines;
    for (const auto& m : r.matches) {
        if (m->end < 0 || m->context.empty())
            continue;
        const std::wstring& context = m->context;
        std::vector<ShownSpan> hit{{m->start - m->contextStart, m->end - m->contextStart}};
        // Control characters of a line are shown as spaces, as in the window.
        std::wstring shown = context;
        for (auto& c : shown) {
            if (c < 0x20)
                c = L' ';
        }
        lines += MarkedHtml(shown, MarkSpans(shown.size(), hit, {})) + "\n";
    }
    if (!r.segments.empty()) {
        lines += "<table class=\"seg\"><tr><th>Id</th><th>Source</th><th>Target</th></tr>";
        for (const ShownSegment& s : r.segments) {
            lines += "<tr><td>" + HtmlText(s.id) + "</td><td>" +
                     MarkedHtml(s.source, MarkSpans(s.source.size(), s.sourceHits, {})) + "</td><td>" +
                     MarkedHtml(s.target, MarkSpans(s.target.size(), s.targetHits, s.conditionHits)) +
                     "</td></tr>";
        }
        lines += "</table>";
    }
    if (!lines.empty())
        *out += "<tr class=\"lines\"><td colspan=\"7\">" + lines + "</td></tr>\n";
}

}  // namespace

std::wstring ExportPath(const FileResult& result) { return result.location + result.name; }

std::wstring ExportMatches(const FileResult& result) {
    switch (result.status) {
    case kFileSearched: return std::to_wstring(result.matches.size()) + (result.limited ? L"+" : L"");
    case kFileFailed: return ReadErrorText();
    default: return L"-";
    }
}

std::wstring NameExtension(std::wstring_view path) {
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring_view name = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of(L'.');
    if (dot == std::wstring_view::npos || dot == 0)
        return std::wstring();
    std::wstring extension(name.substr(dot + 1));
    for (auto& c : extension) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return extension;
}

std::wstring ExportFileType(const FileResult& result) {
    return result.status == kFileFailed ? StringOr(IDS_FAILED, L"Failed") : result.fileType;
}

std::wstring ExportReason(const FileResult& result) {
    return result.status != kFileFailed ? std::wstring() : result.reason.empty() ? ReadErrorText() : result.reason;
}

std::wstring IsoUtcTime(const FILETIME& time) {
    SYSTEMTIME t{};
    if ((time.dwLowDateTime == 0 && time.dwHighDateTime == 0) || !FileTimeToSystemTime(&time, &t))
        return std::wstring();
    wchar_t text[32];
    swprintf(text, 32, L"%04d-%02d-%02dT%02d:%02d:%02dZ", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return text;
}

namespace {

// A spreadsheet reads a cell that begins with one of these as a formula: a
// segment "=HYPERLINK(...)" or a file named "=1+1.txt" would run when the
// export is opened. The character alone (a listed file's "-") is no formula.
bool ReadAsFormula(std::wstring_view text) {
    return text.size() > 1 && std::wstring_view(L"=+-@\t\r").find(text.front()) != std::wstring_view::npos;
}

}  // namespace

std::string TableField(std::wstring_view text, TableFormat format) {
    // Such a cell is written with an apostrophe before it, which
    // spreadsheets take as "this is text".
    const bool formula = ReadAsFormula(text);
    if (format == TableFormat::kTabs) {
        std::wstring flat = formula ? L"'" + std::wstring(text) : std::wstring(text);
        for (auto& c : flat) {
            if (c == L'\t' || c == L'\r' || c == L'\n')
                c = L' ';
        }
        // A field that begins with a quote is taken by quote-aware readers
        // as the start of a quoted field running on past tabs and rows, and
        // strict ones refuse a quote inside an unquoted field: a field that
        // holds a quote is quoted, its quotes doubled. No other field is.
        if (flat.find(L'"') != std::wstring::npos) {
            std::wstring quoted = L"\"";
            for (wchar_t c : flat) {
                if (c == L'"')
                    quoted += L'"';
                quoted += c;
            }
            flat = quoted + L'"';
        }
        return Utf8(flat);
    }
    const bool quote = formula || text.find_first_of(L",\"\r\n") != std::wstring_view::npos ||
                       (!text.empty() && (text.front() == L' ' || text.back() == L' '));
    if (!quote)
        return Utf8(text);
    std::wstring quoted = formula ? L"\"'" : L"\"";
    for (wchar_t c : text) {
        if (c == L'"')
            quoted += L'"';
        quoted += c;
    }
    quoted += L'"';
    return Utf8(quoted);
}

std::string TableHeader(TableFormat format) {
    static const wchar_t* const kNames[] = {L"Path", L"Name",    L"Matches", L"Location", L"Size",
                                            L"File type", L"Updated", L"Segment", L"Source", L"Target",
                                            L"Reason"};
    std::string line;
    for (const wchar_t* name : kNames) {
        if (!line.empty())
            line += Separator(format);
        line += TableField(name, format);
    }
    return line + "\r\n";
}

std::string TableRows(const FileResult& r, TableFormat format) {
    const std::string sep = Separator(format);
    const std::string path = TableField(ExportPath(r), format);
    std::string out = path + sep + TableField(r.name, format) + sep + TableField(ExportMatches(r), format) + sep +
                      TableField(r.location, format) + sep + std::to_string(ResultSize(r)) + sep +
                      TableField(ExportFileType(r), format) + sep + TableField(IsoUtcTime(r.lastWriteTime), format) +
                      sep + sep + sep + sep + TableField(ExportReason(r), format) + "\r\n";
    for (const ShownSegment& s : r.segments) {
        out += path + sep + sep + sep + sep + sep + sep + sep + TableField(s.id, format) + sep +
               TableField(s.source, format) + sep + TableField(s.target, format) + sep + "\r\n";
    }
    return out;
}

std::string JsonString(std::wstring_view text) {
    std::string out = "\"";
    size_t i = 0;
    auto escape = [&out](unsigned unit) {
        char buffer[8];
        snprintf(buffer, sizeof buffer, "\\u%04x", unit);
        out += buffer;
    };
    while (i < text.size()) {
        const wchar_t c = text[i];
        if (c == L'"' || c == L'\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20) {
            switch (c) {
            case L'\n': out += "\\n"; break;
            case L'\r': out += "\\r"; break;
            case L'\t': out += "\\t"; break;
            default: escape(c); break;
            }
            ++i;
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                   text[i + 1] <= 0xDFFF) {
            out += Utf8(text.substr(i, 2));
            i += 2;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            escape(c);  // a lone surrogate has no UTF-8 form
            ++i;
        } else {
            size_t j = i + 1;
            while (j < text.size() && text[j] >= 0x20 && text[j] != L'"' && text[j] != L'\\' &&
                   (text[j] < 0xD800 || text[j] > 0xDFFF))
                ++j;
            out += Utf8(text.substr(i, j - i));
            i = j;
        }
    }
    return out + "\"";
}

std::string JsonRow(const FileResult& r, bool withMatches, bool withSegments) {
    std::string out = "{\"path\":" + JsonString(ExportPath(r)) + ",\"name\":" + JsonString(r.name);
    if (r.status == kFileFailed)
        out += ",\"error\":" + JsonString(ExportReason(r));
    else if (r.status == kFileListed)
        out += ",\"listed\":true";
    else
        out += ",\"count\":" + std::to_string(r.matches.size()) + (r.limited ? ",\"limited\":true" : "");
    out += ",\"size\":" + std::to_string(ResultSize(r));
    const std::wstring updated = IsoUtcTime(r.lastWriteTime);
    out += ",\"updated\":" + (updated.empty() ? std::string("null") : JsonString(updated));
    // "type" stays the name's extension, as readers of this output know it;
    // "readAs" is what the program read the file as.
    out += ",\"type\":" + JsonString(NameExtension(r.name));
    if (!r.fileType.empty())
        out += ",\"readAs\":" + JsonString(r.fileType);
    if (withMatches && r.status == kFileSearched) {
        out += ",\"matches\":[";
        for (size_t i = 0; i < r.matches.size(); ++i) {
            const Match& m = *r.matches[i];
            out += std::string(i ? "," : "") + "{\"start\":" + std::to_string(m.start) +
                   ",\"end\":" + std::to_string(m.end) + ",\"contextStart\":" + std::to_string(m.contextStart) +
                   ",\"context\":" + JsonString(m.context) + "}";
        }
        out += "]";
    }
    if (withSegments && r.status == kFileSearched) {
        out += ",\"segments\":[";
        for (size_t i = 0; i < r.segments.size(); ++i) {
            const ShownSegment& s = r.segments[i];
            out += std::string(i ? "," : "") + "{\"id\":" + JsonString(s.id) + ",\"source\":" + JsonString(s.source) +
                   ",\"target\":" + JsonString(s.target) + "}";
        }
        out += "]";
    }
    return out + "}\n";
}

std::string JsonSummary(const SearchRequest& request, const std::wstring& summaryText) {
    return "{\"summary\":{\"searched\":" + std::to_string(request.filesSearched) +
           ",\"matched\":" + std::to_string(request.filesMatched) + ",\"matches\":" + std::to_string(request.matchCount) +
           ",\"failed\":" + std::to_string(request.filesFailed) + ",\"text\":" + JsonString(summaryText) + "}}\n";
}

std::string HtmlText(std::wstring_view text) {
    std::wstring escaped;
    escaped.reserve(text.size());
    for (wchar_t c : text) {
        switch (c) {
        case L'&': escaped += L"&amp;"; break;
        case L'<': escaped += L"&lt;"; break;
        case L'>': escaped += L"&gt;"; break;
        case L'"': escaped += L"&quot;"; break;
        default: escaped += c; break;
        }
    }
    return Utf8(escaped);
}

std::string HtmlMarked(std::wstring_view text, const std::vector<ShownSpan>& spans) {
    return MarkedHtml(text, MarkSpans(text.size(), spans, {}));
}

const char* HtmlReportStyle() { return kReportStyle; }

std::string HtmlReport(const ReportHeading& heading, const std::vector<const FileResult*>& rows) {
    std::string out = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"/><title>" + HtmlText(heading.title) +
                      "</title><style>" + kReportStyle + "</style></head><body>\n<h1>" + HtmlText(heading.title) +
                      "</h1>\n<dl>";
    for (const auto& [label, value] : heading.request)
        out += "<dt>" + HtmlText(label) + "</dt><dd>" + HtmlText(value) + "</dd>";
    out += "</dl>\n<p class=\"summary\">" + HtmlText(heading.summary) + "</p>\n";
    out += "<table class=\"rows\"><thead><tr><th>Name</th><th>Matches</th><th>Location</th><th>Size</th>"
           "<th>File type</th><th>Updated</th><th>Reason</th></tr></thead>\n<tbody>\n";
    for (const FileResult* r : rows) {
        out += std::string(r->status == kFileFailed ? "<tr class=\"failed\">" : "<tr class=\"file\">") +
               "<td>" + HtmlText(r->name) + "</td><td class=\"n\">" + HtmlText(ExportMatches(*r)) +
               "</td><td class=\"path\">" + HtmlText(r->location) + "</td><td class=\"n\">" +
               std::to_string(ResultSize(*r)) + "</td><td>" + HtmlText(ExportFileType(*r)) + "</td><td>" +
               HtmlText(IsoUtcTime(r->lastWriteTime)) + "</td><td>" + HtmlText(ExportReason(*r)) + "</td></tr>\n";
        AppendContextLines(*r, &out);
    }
    return out + "</tbody></table>\n</body></html>\n";
}
