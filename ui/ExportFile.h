// File > Export results: the save dialog, the overwrite question, and a
// write that either leaves the whole file or none.
#pragma once

#include <windows.h>

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

// Writes `bytes` to a new file beside `path` (made under a random name
// where nothing is) and puts it in place, so that `path` holds either its
// old content or all of the new; a file that was there keeps its
// attributes and permissions. The temporary file never stays. False with
// the system's error code.
bool ReplaceFileWhole(const std::wstring& path, const std::string& bytes, DWORD* error);

// Asks for a file name (the system's save dialog), asks before replacing a
// file, writes, and says why when the write fails. False when nothing was
// written (cancelled or failed).
bool ExportResultsToFile(HWND owner, const std::vector<const FileResult*>& rows, const ReportHeading& heading);
