// Cell texts, row heights and sorting of the result list.
#include "ui/ResultCells.h"

#include <shlwapi.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>

#include "base/ResourceText.h"
#include "base/SearchRecords.h"
#include "resource.h"
#include "search/ResultExport.h"

namespace {

std::wstring StringOr(unsigned id, const wchar_t* fallback) {
    std::wstring text = LoadResourceText(id);
    return text.empty() ? std::wstring(fallback) : text;
}

int CompareNoCase(const wchar_t* a, const wchar_t* b) {
    const int r = CompareStringOrdinal(a, -1, b, -1, TRUE);
    return r == CSTR_LESS_THAN ? -1 : r == CSTR_GREATER_THAN ? 1 : 0;
}

// -1, 0 or 1 by the key of `column` alone.
int CompareKeys(const FileResult& a, const FileResult& b, int column) {
    switch (column) {
    case kColumnName:
        return CompareNoCase(a.name, b.name);
    case kColumnLocation:
        return CompareNoCase(a.location.c_str(), b.location.c_str());
    case kColumnMatches: {
        const size_t x = a.matches.size(), y = b.matches.size();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    case kColumnSize: {
        const auto x = ResultSize(a), y = ResultSize(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    case kColumnFileType:
        if (a.status != b.status)
            return a.status < b.status ? -1 : 1;
        return CompareNoCase(FileTypeCellText(a).c_str(), FileTypeCellText(b).c_str());
    case kColumnUpdated: {
        const LONG r = CompareFileTime(&a.lastWriteTime, &b.lastWriteTime);
        return r < 0 ? -1 : r > 0 ? 1 : 0;
    }
    default:
        return 0;
    }
}

}  // namespace

std::wstring RelativeLocation(const wchar_t* location, const wchar_t* baseFolder) {
    size_t n = 0;
    if (baseFolder) {
        while (location[n] && baseFolder[n] &&
               std::towlower(location[n]) == std::towlower(baseFolder[n]))
            ++n;
    }
    // A folder given with its trailing backslash shares that backslash with
    // the location; the rest keeps it, so that "." + rest + name is a path.
    if (n > 0 && location[n - 1] == L'\\')
        --n;
    return std::wstring(location + n);
}

std::wstring MatchesCellText(const FileResult& result) { return ExportMatches(result); }

std::wstring SizeCellText(const FileResult& result) {
    wchar_t text[64] = {};
    StrFormatByteSizeW(static_cast<LONGLONG>(ResultSize(result)), text, 64);
    return text;
}

std::wstring FileTypeCellText(const FileResult& result) {
    if (result.status != kFileFailed)
        return result.fileType;
    const std::wstring failed = StringOr(IDS_FAILED, L"Failed");
    return result.reason.empty() ? failed : failed + L": " + result.reason;
}

std::wstring UpdatedCellText(const FILETIME& time) {
    SYSTEMTIME t{};
    if (!FileTimeToSystemTime(&time, &t))
        return std::wstring();
    wchar_t text[64];
    swprintf(text, 64, L"%d-%02d-%02d %02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
    return text;
}

std::wstring CellText(const FileResult& result, int column, const wchar_t* baseFolder) {
    switch (column) {
    case kColumnName: return result.name;
    case kColumnLocation: return RelativeLocation(result.location.c_str(), baseFolder);
    case kColumnMatches: return MatchesCellText(result);
    case kColumnSize: return SizeCellText(result);
    case kColumnFileType: return FileTypeCellText(result);
    case kColumnUpdated: return UpdatedCellText(result.lastWriteTime);
    default: return std::wstring();
    }
}

std::wstring RowCopyText(const FileResult& result, const wchar_t* baseFolder) {
    static const int order[] = {kColumnName, kColumnMatches, kColumnLocation,
                                kColumnSize, kColumnFileType, kColumnUpdated};
    std::wstring text;
    for (int column : order) {
        if (column != kColumnName)
            text += L'\t';
        text += CellText(result, column, baseFolder);
    }
    return text;
}

std::wstring RowPathText(const FileResult& result, const wchar_t* baseFolder) {
    return L"." + RelativeLocation(result.location.c_str(), baseFolder) + result.name;
}

int RowHeight(const FileResult& result, bool showContext, int dpi) {
    const int line = MulDiv(kRowLineHeight, dpi, 96);
    const size_t n = result.matches.size();
    if (!showContext || n == 0 || result.status == kFileListed)
        return line;
    return line + MulDiv(kContextGap, dpi, 96) + line * static_cast<int>(std::min<size_t>(n, 4));
}

size_t FirstShownUnit(const std::function<int(size_t, size_t)>& width, size_t before, int ellipsisWidth,
                      int available) {
    const int half = available / 2;
    if (before == 0 || width(0, before) <= half)
        return 0;
    // The fewer units are dropped the wider the rest: the least k that fits.
    size_t low = 1, high = before;
    while (low < high) {
        const size_t k = low + (high - low) / 2;
        if (ellipsisWidth + width(k, before) <= half)
            high = k;
        else
            low = k + 1;
    }
    return low;
}

bool ResultLess(const FileResult* a, const FileResult* b, int column) {
    const int c = CompareKeys(*a, *b, column);
    if (c != 0)
        return c < 0;
    return std::less<const FileResult*>()(a, b);
}

void SortResults(std::vector<FileResult*>& results, int column, bool ascending) {
    if (ascending) {
        std::stable_sort(results.begin(), results.end(),
                         [column](const FileResult* a, const FileResult* b) {
                             return ResultLess(a, b, column);
                         });
    } else {
        std::stable_sort(results.begin(), results.end(),
                         [column](const FileResult* a, const FileResult* b) {
                             return ResultLess(b, a, column);
                         });
    }
}
