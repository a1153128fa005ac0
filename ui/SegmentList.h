// The segment list below the result list: the segments of the current row's
// file with their hits marked, or, for a file without segments, each hit with
// its context line; and the bar that parts it from the result list.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "base/SearchRecords.h"
#include "ui/controls/Window.h"

// One line of the list, as shown and copied: for a segment its id and the
// shown texts of its sides; for a hit its number and its context line.
struct SegmentCells {
    std::wstring id;
    std::wstring source;
    std::wstring target;
    const std::vector<ShownSpan>* sourceHits = nullptr;
    const std::vector<ShownSpan>* targetHits = nullptr;
    const std::vector<ShownSpan>* conditionHits = nullptr;
    std::vector<ShownSpan> contextHit;  // a hit's place in its context line (no pointer above then)
};

// Whether the list shows `row`'s segments (else its hits).
// The colours of the target condition's hits: a colour of their own, amber,
// light on a light window and deep on a dark one, with the text colour that
// reads on it; never the selection's colour, in which counted hits show.
struct HitColours {
    COLORREF text;
    COLORREF back;
};
HitColours ConditionHitColours(COLORREF window);

// Draws `text` on one line in `cell` (vertically centred, cut with an
// ellipsis), the units of `hits` in reverse and those of `conditionHits` in
// the condition's colour; `selected` rows in the selection's colours.
void DrawMarkedText(HDC dc, const RECT& cell, const std::wstring& text, const std::vector<ShownSpan>* hits,
                    const std::vector<ShownSpan>* conditionHits, bool selected, int dpi);

bool ShowsSegments(const FileResult& row);
int SegmentLineCount(const FileResult& row);
SegmentCells SegmentLine(const FileResult& row, int index);
// The lines `indexes` as copied: id TAB source TAB target (a hit: its
// number TAB its context), CR LF between them.
std::wstring SegmentCopyText(const FileResult& row, const std::vector<int>& indexes);

class SegmentList {
public:
    static constexpr int kMinHeight = 60;       // pixels at 96 DPI
    static constexpr int kDefaultHeight = 170;  // pixels at 96 DPI

    SegmentList() = default;
    ~SegmentList();
    SegmentList(const SegmentList&) = delete;
    SegmentList& operator=(const SegmentList&) = delete;

    bool Create(HWND parent, HINSTANCE instance, int dpi);
    HWND Handle() const { return list; }

    // Shows the lines of `row` (null: none), keeping a reference to it.
    void ShowRow(FileResult* row);
    const FileResult* Row() const { return row; }
    int LineCount() const;
    std::vector<int> SelectedLines() const;

    // The line with the focus (the last one selected), or -1.
    int CurrentLine() const;
    // Selects line `index` alone, gives it the focus and scrolls it into view.
    void SelectLine(int index);

    void Copy(HWND owner) const;
    void SelectAll();
    // Column widths for a new DPI.
    void SetDpi(int dpi);

    // The list's notifications, sent to its parent: its texts and the drawing
    // of the marked cells.
    bool OnNotify(const NMHDR* notify, LRESULT* result);

private:
    void SetColumnTitles(bool segments);
    LRESULT CustomDraw(NMLVCUSTOMDRAW* draw);

    HWND list = nullptr;
    FileResult* row = nullptr;
    bool segmentTitles = true;
    int dpi = 96;
    std::wstring tipText;  // the whole text of a cell, for its tooltip
};

// The bar between the result list and the segment list, dragged up and down;
// `moved` gets the bar's new top in the parent's client coordinates.
class SegmentBar : public Window {
public:
    static constexpr const wchar_t* kClassName = L"tvMirlockSegmentBar";
    static constexpr int kHeight = 4;  // pixels at 96 DPI

    explicit SegmentBar(std::function<void(int top)> moved) : moved(std::move(moved)) {}
    bool Create(HWND parent, HINSTANCE instance);
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    std::function<void(int)> moved;
    int grab = 0;  // where in the bar the button went down
    bool dragging = false;
};
