// The checks' notes as rows of their own, apart from the files they came
// from: what the checks list shows and what its exports write.
#pragma once

#include <string>
#include <vector>

#include "base/SearchRecords.h"
#include "qa/CheckKinds.h"
#include "search/ResultExport.h"

struct CheckRow {
    CheckKind kind = CheckKind::kUntranslated;
    std::wstring path;  // the file's full path
    std::wstring id;
    std::wstring message;
    std::wstring source;  // the segment's shown texts
    std::wstring target;
    std::vector<ShownSpan> sourceSpans;
    std::vector<ShownSpan> targetSpans;
    int state = 0;
    bool locked = false;
    int line = 0;  // where the segment starts in its file; 0: not known
    int group = -1;  // the consistency group it belongs to, else -1
};

// The row of one note on segment `segment` of a file.
CheckRow MakeCheckRow(const std::wstring& path, const ShownSegment& segment, CheckKind kind,
                      const std::wstring& message, const std::vector<ShownSpan>& sourceSpans,
                      const std::vector<ShownSpan>& targetSpans);

// The name part of a path.
std::wstring PathFileName(const std::wstring& path);

// A table of the rows: check, file, id, message, source, target, path;
// UTF-8 with its mark, CR LF between lines.
std::string CheckTable(const std::vector<const CheckRow*>& rows, TableFormat format);
// One HTML page: the title, the summary, then the rows grouped by check in
// the checks' order, each group headed by its name and count, the spans of
// source and target marked.
std::string CheckHtml(const std::wstring& title, const std::wstring& summary, const std::vector<const CheckRow*>& rows);
