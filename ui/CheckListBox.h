// The checks list: the notes of a pass of the checks, grouped by check
// under a heading with their count ("Numbers (12)"), each row the message,
// the file and segment id, and the source and target with the spans the
// check points at. It shows in place of the result list.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "qa/CheckReport.h"
#include "ui/controls/RowListBox.h"
#include "ui/controls/Window.h"

class IgnoreList;
struct FileResult;

// The list's rows in order: a heading (kind) before the notes of its check,
// each note by its index in `notes`; notes that `hidden` says no to are left
// out, and the count of a heading is that of the notes under it.
struct CheckListEntry {
    bool heading;
    int kind;   // the check, for a heading
    int note;   // the note's index, for a note
    int count;  // the notes under a heading
};
std::vector<CheckListEntry> GroupCheckNotes(const std::vector<CheckRow>& notes, const std::vector<bool>& hidden);

class CheckListBox : public Window, private RowOwner {
public:
    static constexpr const wchar_t* kClassName = L"tvMirlockCheckList";
    static bool RegisterWindowClass(HINSTANCE instance);

    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    bool OnCreate(const CREATESTRUCTW* create, LRESULT* result) override;

    // The ignore list the rows are matched against, and the file it is
    // written to after each change (empty: never written).
    void SetIgnoreList(IgnoreList* list, const std::wstring& path) {
        ignore = list;
        ignorePath = path;
    }
    // The searched folder: files are named relative to it.
    void SetBaseFolder(const std::wstring& folder) { baseFolder = folder; }

    void Clear();
    // A note found by the pass; placed under its heading a moment later.
    void Add(CheckRow row);
    // Places the notes that arrived now.
    void PlaceArrivedRows();

    // Ignored notes shown too (greyed), so that they can be let back.
    void SetShowIgnored(bool show);
    bool ShowsIgnored() const { return showIgnored; }
    // Delete: the selected notes are ignored from now on; ignored notes
    // that are shown are let back. The list is written at once.
    void ToggleIgnoreSelected();
    bool IsIgnored(const CheckRow& row) const;

    int RowCount() const;  // headings included
    int NoteCount() const { return static_cast<int>(notes.size()); }
    // The notes that are not ignored (all when ignored ones are shown), in
    // the list's order.
    std::vector<const CheckRow*> ShownNotes() const;
    std::vector<const CheckRow*> SelectedNotes() const;
    // The note at the caret when it is selected, else null.
    const CheckRow* CurrentNote() const;
    // The current note as a row of one segment, for the segment list (a new
    // record with no reference taken), or null.
    FileResult* CurrentAsResult() const;
    // Selects list row `row` alone and puts the caret on it, as a click does.
    bool SelectRow(int row);

    void Copy();
    void SelectAll();
    void OpenCurrent();
    void SetEditor(const std::wstring& commandLine) { editor = commandLine; }

    HWND ListBox() const { return listBox; }
    bool IsOwnWindow(HWND window) const { return window && (window == hwnd || window == listBox); }

private:
    int MeasureRow(ULONG_PTR data) override;
    void DrawRow(const DRAWITEMSTRUCT& item) override;
    void DeleteRow(ULONG_PTR) override {}
    void ShowRowMenu(int x, int y);
    void Rebuild();
    void SaveIgnored();
    std::wstring ShownFile(const CheckRow& row) const;

    HWND listBox = nullptr;
    RowListBox* rows = nullptr;
    std::vector<CheckRow> notes;
    std::vector<bool> ignored;            // per note: on the ignore list
    std::vector<CheckListEntry> entries;  // what the list box's rows stand for
    IgnoreList* ignore = nullptr;
    std::wstring ignorePath;
    std::wstring baseFolder;
    std::wstring editor;
    bool showIgnored = false;
    bool placePending = false;
    int dpi = 96;
    HFONT boldFont = nullptr;
};
