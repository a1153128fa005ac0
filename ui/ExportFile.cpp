// The export's dialog, questions and the all-or-nothing write.
#include "ui/ExportFile.h"

#include <commdlg.h>


#include "base/LongPath.h"
#include "base/ResourceText.h"
#include "base/ReplaceFile.h"
#include "resource.h"
#include "ui/controls/Window.h"

namespace {

std::wstring Formatted(unsigned id, const wchar_t* first, const wchar_t* second = L"") {
    std::wstring text;
    FormatResourceText(&text, id, first, second);
    return text;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(SystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

ExportKind ExportKindOf(const std::wstring& path, int filterIndex) {
    const std::wstring extension = NameExtension(path);
    if (extension == L"csv")
        return ExportKind::kCsv;
    if (extension == L"tsv" || extension == L"txt" || extension == L"tab")
        return ExportKind::kTabs;
    if (extension == L"html" || extension == L"htm")
        return ExportKind::kHtml;
    return filterIndex == 2 ? ExportKind::kTabs : filterIndex == 3 ? ExportKind::kHtml : ExportKind::kCsv;
}

std::string ExportBytes(ExportKind kind, const std::vector<const FileResult*>& rows, const ReportHeading& heading) {
    if (kind == ExportKind::kHtml)
        return HtmlReport(heading, rows);
    const TableFormat format = kind == ExportKind::kCsv ? TableFormat::kCsv : TableFormat::kTabs;
    std::string bytes = kUtf8Bom + TableHeader(format);
    for (const FileResult* r : rows)
        bytes += TableRows(*r, format);
    return bytes;
}

bool ExportResultsToFile(HWND owner, const std::vector<const FileResult*>& rows, const ReportHeading& heading) {
    return ExportToFile(owner, IDS_EXPORT_TITLE,
                        [&](ExportKind kind) { return ExportBytes(kind, rows, heading); });
}

bool ExportToFile(HWND owner, unsigned titleId, const std::function<std::string(ExportKind)>& bytes) {
    const std::wstring title = LoadResourceText(titleId);
    // Type names and patterns, NUL-separated, from one string with '|'.
    std::wstring filter = LoadResourceText(IDS_EXPORT_FILTER);
    for (auto& c : filter) {
        if (c == L'|')
            c = L'\0';
    }
    filter += L'\0';
    std::wstring name(32768, L'\0');
    int filterIndex = 1;
    for (;;) {
        OPENFILENAMEW ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = owner;
        ofn.lpstrFilter = filter.c_str();
        ofn.nFilterIndex = filterIndex;
        ofn.lpstrFile = name.data();
        ofn.nMaxFile = static_cast<DWORD>(name.size());
        ofn.lpstrTitle = title.c_str();
        ofn.lpstrDefExt = L"csv";
        ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_ENABLESIZING;
        if (!GetSaveFileNameW(&ofn))
            return false;
        filterIndex = static_cast<int>(ofn.nFilterIndex);
        const std::wstring path = name.c_str();
        if (FileExists(path) &&
            MessageBoxW(owner, Formatted(IDS_EXPORT_REPLACE, path.c_str()).c_str(), title.c_str(),
                        MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
            continue;  // back to the dialog for another name
        DWORD error = 0;
        if (ReplaceFileWhole(path, bytes(ExportKindOf(path, filterIndex)), &error))
            return true;
        MessageBoxW(owner, Formatted(IDS_EXPORT_FAILED, path.c_str(), SystemErrorText(error).c_str()).c_str(),
                    title.c_str(), MB_OK | MB_ICONERROR);
        return false;
    }
}
