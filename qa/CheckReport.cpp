// Tables and the HTML page of the checks' notes.
#include "qa/CheckReport.h"

#include <array>

CheckRow MakeCheckRow(const std::wstring& path, const ShownSegment& segment, CheckKind kind,
                      const std::wstring& message, const std::vector<ShownSpan>& sourceSpans,
                      const std::vector<ShownSpan>& targetSpans) {
    CheckRow row;
    row.kind = kind;
    row.path = path;
    row.id = segment.id;
    row.message = message;
    row.source = segment.source;
    row.target = segment.target;
    row.sourceSpans = sourceSpans;
    row.targetSpans = targetSpans;
    row.state = segment.state;
    row.locked = segment.locked;
    row.line = segment.line;
    return row;
}

std::wstring PathFileName(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::string CheckTable(const std::vector<const CheckRow*>& rows, TableFormat format) {
    const char* sep = format == TableFormat::kCsv ? "," : "\t";
    std::string out = kUtf8Bom;
    for (const char* name : {"Check", "File", "Id", "Message", "Source", "Target"})
        out += std::string(name) + sep;
    out += "Path\r\n";
    for (const CheckRow* r : rows) {
        out += TableField(CheckName(r->kind), format) + sep + TableField(PathFileName(r->path), format) + sep +
               TableField(r->id, format) + sep + TableField(r->message, format) + sep +
               TableField(r->source, format) + sep + TableField(r->target, format) + sep +
               TableField(r->path, format) + "\r\n";
    }
    return out;
}

std::string CheckHtml(const std::wstring& title, const std::wstring& summary, const std::vector<const CheckRow*>& rows) {
    std::array<std::vector<const CheckRow*>, kCheckCount> byKind;
    for (const CheckRow* r : rows)
        byKind[static_cast<size_t>(r->kind)].push_back(r);
    std::string out = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"/><title>" + HtmlText(title) +
                      "</title><style>" + HtmlReportStyle() + "</style></head><body>\n<h1>" + HtmlText(title) +
                      "</h1>\n<p class=\"summary\">" + HtmlText(summary) + "</p>\n";
    for (int kind = 0; kind < kCheckCount; ++kind) {
        const auto& list = byKind[static_cast<size_t>(kind)];
        if (list.empty())
            continue;
        out += "<h2>" + HtmlText(CheckHeading(static_cast<CheckKind>(kind))) + " (" + std::to_string(list.size()) +
               ")</h2>\n<table class=\"rows\"><thead><tr><th>File</th><th>Id</th><th>Message</th><th>Source</th>"
               "<th>Target</th></tr></thead>\n<tbody>\n";
        for (const CheckRow* r : list) {
            out += "<tr><td class=\"path\" title=\"" + HtmlText(r->path) + "\">" + HtmlText(PathFileName(r->path)) +
                   "</td><td>" + HtmlText(r->id) + "</td><td>" + HtmlText(r->message) + "</td><td>" +
                   HtmlMarked(r->source, r->sourceSpans) + "</td><td>" + HtmlMarked(r->target, r->targetSpans) +
                   "</td></tr>\n";
        }
        out += "</tbody></table>\n";
    }
    return out + "</body></html>\n";
}
