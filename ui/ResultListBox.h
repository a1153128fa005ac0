// The right pane: a column header over an owner-drawn list box whose rows
// show one FileResult each, with context lines and highlighted hits.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <string>
#include <vector>

#include "ui/controls/AnchorLayout.h"
#include "ui/controls/RowListBox.h"
#include "ui/controls/Window.h"

struct FileResult;

class ResultListBox : public Window, private RowOwner {
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
    // Puts the rows that arrived in a sorted list into their places now
    // (they are placed in batches, a moment after they arrive).
    void PlaceArrivedRows();

    int RowCount() const;
    int SelectedCount() const;
    FileResult* RowResult(int row) const;
    // The row with the caret when it is selected, else null.
    FileResult* CurrentResult() const;
    std::vector<int> SelectedRows() const;
    // The row with the caret, or -1.
    int CaretRow() const;
    // Selects row `row` alone, puts the caret on it, scrolls it into view
    // and tells the main window, as a click does.
    void SelectRow(int row);

    // Opens the current row's file: in the editor when one is set (its
    // command line with %1 the path and %2 the line of the first hit),
    // else with the system's program for it.
    void OpenCurrent();
    void SetEditor(const std::wstring& commandLine) { editor = commandLine; }
    // Explorer on the selected rows' folders, their files selected.
    void OpenFolders();
    // The system's "Open with" choice for the current row's file.
    void OpenWith();
    // The selected rows' full paths, in row order.
    std::vector<std::wstring> SelectedPaths() const;
    void CopyFullPaths();
    // The data object a drag of the selected rows carries (null without a
    // selection); the caller releases it.
    IDataObject* CreateDragData() const;
    void SetShowContext(bool show);
    bool ShowsContext() const { return showContext; }
    void CopyPaths();
    void EditCommand(int id);
    // Sorts by header item `column` as a click on it does.
    void ClickColumn(int column);
    // Sets the sort column and direction (marked on the header) without
    // sorting the rows: for an empty list, as stored between runs.
    void SetSortOrder(int column, bool ascending);
    // The narrowest the list is made by the window's minimum size.
    static constexpr int kMinWidth = 200;  // pixels at 96 DPI
    int SortColumn() const { return sortColumn; }
    // The columns' widths in pixels at 96 DPI, in column order; and the same
    // applied at the window's DPI (a width of 0 or less, or a list of
    // another length, leaves the columns as they are).
    std::vector<int> ColumnWidths96() const;
    void SetColumnWidths96(const std::vector<int>& widths);
    bool SortAscending() const { return sortAscending; }

    bool IsOwnWindow(HWND window) const;
    // The right edge of the rightmost column.
    int ColumnsWidth() const;
    HWND Header() const { return header; }
    HWND ListBox() const { return listBox; }
    // The tooltip's text for the cell under the mouse; empty when it shows none.
    std::wstring CellTipText() const;

private:
    int MeasureRow(ULONG_PTR data) override;
    void DrawRow(const DRAWITEMSTRUCT& item) override;
    void DeleteRow(ULONG_PTR data) override;
    void ScrolledSideways(int x) override;
    void DragSelectedRows() override;
    // Over a "File type" cell of a failed row: its whole text in a tooltip.
    void Hovered(int x, int y) override;
    // The header as wide as its columns (at least the window) and moved
    // left by the rows' sideways scroll; the rows learn the columns' width.
    void PlaceHeader();
    void DrawContextLines(HDC dc, const RECT& row, const FileResult& result, bool selected);
    bool OnHeaderNotify(const NMHDR* header, LRESULT* result);
    void SortRows();
    // The rows' shortcut menu at a screen point (-1, -1: from the keyboard).
    void ShowRowMenu(int x, int y);
    void SetClipboardText(const std::wstring& text);
    // Tells the parent that the selection changed (as the list box's
    // LBN_SELCHANGE, from the control IDC_RESULT_LIST).
    void NotifySelection();
    int Dpi() const { return dpi; }

    const wchar_t* baseFolder = nullptr;
    HWND header = nullptr;
    HWND listBox = nullptr;
    RowListBox* rows = nullptr;  // the list box's object
    AnchorLayout layout;
    bool showContext = true;
    int sortColumn = 0;
    bool sortAscending = false;
    int dpi = 96;  // read once: asking costs a call into the system for every row
    int scrollX = 0;
    // Rows that arrived while the list is sorted, each holding its reference,
    // waiting to be merged into the rows: placing each one at once would
    // move every row below it, for every row of a large search.
    std::vector<FileResult*> arrived;
    int headerHeight = 18;
    std::wstring editor;
    HWND cellTip = nullptr;  // the tooltip of the cell under the mouse
    std::wstring cellTipText;
    POINT tipCell = {-1, -1};  // its row and column, or -1
};
