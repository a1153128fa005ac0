// The right pane: a column header over an owner-drawn list box whose rows
// show one FileResult each, with context lines and highlighted hits.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/AnchorLayout.h"
#include "ui/Window.h"

struct FileResult;

class ResultListBox : public Window {
public:
    static constexpr const wchar_t* kClassName = L"tvMirlockResultList";

    ResultListBox() = default;
    ~ResultListBox() override = default;

    static bool RegisterWindowClass(HINSTANCE instance);

    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    bool OnCreate(const CREATESTRUCTW* create, LRESULT* result) override;

    // The searched folder; locations are shown relative to it. The text
    // must outlive the rows (it is the application's request).
    void SetBaseFolder(const wchar_t* folder) { baseFolder = folder; }
    const wchar_t* BaseFolder() const { return baseFolder; }

    // Appends a row that owns the reference the caller took for it.
    void AddRow(FileResult* result);
    // Removes every row, releasing each row's reference.
    void Clear();

    int RowCount() const;
    int SelectedCount() const;
    FileResult* RowResult(int row) const;
    std::vector<int> SelectedRows() const;

    void OpenCurrent();
    void SetShowContext(bool show);
    bool ShowsContext() const { return showContext; }
    void CopyPaths();
    void EditCommand(int id);
    // Sorts by header item `column` as a click on it does.
    void ClickColumn(int column);
    int SortColumn() const { return sortColumn; }
    bool SortAscending() const { return sortAscending; }

    bool IsOwnWindow(HWND window) const;
    HWND Header() const { return header; }
    HWND ListBox() const { return listBox; }

private:
    void OnDrawItem(const DRAWITEMSTRUCT& item);
    void DrawContextLines(HDC dc, const RECT& row, const FileResult& result, COLORREF textColor);
    void OnMeasureItem(MEASUREITEMSTRUCT* item);
    bool OnHeaderNotify(const NMHDR* header, LRESULT* result);
    void SortRows();
    void SetClipboardText(const std::wstring& text);
    int Dpi() const { return WindowDpi(hwnd); }

    const wchar_t* baseFolder = nullptr;
    HWND header = nullptr;
    HWND listBox = nullptr;
    AnchorLayout layout;
    bool showContext = true;
    int sortColumn = 0;
    bool sortAscending = false;
};
