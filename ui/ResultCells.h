// What the result list shows and copies of a row, computed without a window:
// cell texts, row heights and the sort order.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct FileResult;

enum ResultColumn : int {
    kColumnNone = 0,
    kColumnName = 1,
    kColumnLocation = 2,
    kColumnMatches = 3,
    kColumnSize = 4,
    kColumnFileType = 5,
    kColumnUpdated = 6,
    kColumnCount = 7,
};

constexpr int kRowLineHeight = 15;  // pixels at 96 DPI
constexpr int kContextGap = 6;
constexpr int kContextLinesShown = 3;

// The location without its common prefix with the searched folder (letter
// case ignored). The rest always starts with the backslash that follows the
// folder, whether or not the folder was given with one: a file directly in
// the folder shows "\".
std::wstring RelativeLocation(const wchar_t* location, const wchar_t* baseFolder);

std::wstring MatchesCellText(const FileResult& result);
std::wstring SizeCellText(const FileResult& result);
std::wstring FileTypeCellText(const FileResult& result);
// "2024-03-05 07:42": the stored time as it is (UTC), not turned into local time.
std::wstring UpdatedCellText(const FILETIME& time);
// The text of one cell of `column`, exactly as drawn.
std::wstring CellText(const FileResult& result, int column, const wchar_t* baseFolder);

// Name, Matches, Location, Size, File type and Updated, separated by tabs.
std::wstring RowCopyText(const FileResult& result, const wchar_t* baseFolder);
// "." followed by the relative location and the name.
std::wstring RowPathText(const FileResult& result, const wchar_t* baseFolder);

// Pixels: one line, plus the gap and room for four context lines (at most
// three drawn) when context is shown and the row has hits.
int RowHeight(const FileResult& result, bool showContext, int dpi);

// Where a context line starts when drawn `available` pixels wide, so that
// its hit stays in view: 0 when the text before the hit takes at most half
// the width; otherwise the first unit k such that an ellipsis of
// `ellipsisWidth` and the units from k up to the hit (`width(k, before)`)
// take at most half. `width(from, to)` measures units [from, to).
size_t FirstShownUnit(const std::function<int(size_t, size_t)>& width, size_t before, int ellipsisWidth,
                      int available);

// Orders by the key of `column`, ties by identity, so the order is total.
bool ResultLess(const FileResult* a, const FileResult* b, int column);
// Stable merge sort; descending reverses both the key and the tie-break.
void SortResults(std::vector<FileResult*>& results, int column, bool ascending);
