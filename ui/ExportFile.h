// File > Export results: the save dialog, the overwrite question, and a
// write that either leaves the whole file or none.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "search/ResultExport.h"

struct FileResult;

// The types offered, in the order of the dialog's filter (1-based index).
enum class ExportKind { kCsv = 1, kTabs = 2, kHtml = 3 };

// The type a name asks for by its extension (.csv; .tsv or .txt; .html or
// .htm), else the dialog's chosen type.
ExportKind ExportKindOf(const std::wstring& path, int filterIndex);

// The exported file's bytes for `rows`.
std::string ExportBytes(ExportKind kind, const std::vector<const FileResult*>& rows, const ReportHeading& heading);

// Asks for a file name (the system's save dialog), asks before replacing a
// file, writes, and says why when the write fails. False when nothing was
// written (cancelled or failed).
bool ExportResultsToFile(HWND owner, const std::vector<const FileResult*>& rows, const ReportHeading& heading);

// The same for any table: `bytes` makes the file's content for the type
// chosen; `titleId` is the dialog's title.
bool ExportToFile(HWND owner, unsigned titleId, const std::function<std::string(ExportKind)>& bytes);
