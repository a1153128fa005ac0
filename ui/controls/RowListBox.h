// An owner-drawn list of rows of varying height with extended selection.
//
// It answers the list-box messages the result list uses (LB_ADDSTRING with
// item data, LB_DELETESTRING, LB_RESETCONTENT, LB_GET/SETITEMDATA,
// LB_GET/SETITEMHEIGHT, LB_GETCOUNT, LB_GETSEL, LB_SETSEL, LB_GETSELCOUNT,
// LB_GETSELITEMS, LB_SELITEMRANGEEX, LB_GET/SETCARETINDEX, LB_GET/SETTOPINDEX,
// LB_GETITEMRECT, LB_ITEMFROMPOINT, LB_INITSTORAGE) and asks its parent for
// row heights, drawing and deletion with WM_MEASUREITEM, WM_DRAWITEM and
// WM_DELETEITEM, as an owner-drawn variable-height list box with extended
// selection does; it sends LBN_SELCHANGE and LBN_DBLCLK.
//
// The system's list box measures the rows above a new one at every insertion
// (a whole search of 100,000 rows took minutes to fill); here the row
// positions are a running sum, kept up to date in one pass after any change.
#pragma once

#include <windows.h>

#include <vector>

// Deletes every selected row, the highest index first, in one pass; returns
// the number of rows left.
constexpr UINT LB_DELETESELECTED = WM_USER + 100;

// What the list asks of the window that owns its rows. Without an owner it
// sends the owner-draw messages to its parent instead; with one it calls it
// directly (under Wine a message costs more than measuring or freeing a row).
class RowOwner {
public:
    virtual ~RowOwner() = default;
    virtual int MeasureRow(ULONG_PTR data) = 0;
    virtual void DrawRow(const DRAWITEMSTRUCT& item) = 0;
    virtual void DeleteRow(ULONG_PTR data) = 0;
    // The rows were scrolled sideways to `x` pixels from their left edge.
    virtual void ScrolledSideways(int x) { (void)x; }
    // The user pressed on a selected row and moved past the drag distance:
    // the owner may drag the selected rows out (and returns when the drop
    // is over).
    virtual void DragSelectedRows() {}
    // The mouse is over the rows at (x, y), in the list's client pixels.
    virtual void Hovered(int x, int y) { (void)x, (void)y; }
};

class RowListBox {
public:
    static constexpr const wchar_t* kClassName = L"tvMirlockRows";
    static bool RegisterWindowClass(HINSTANCE instance);
    // The object behind a window of this class, or null.
    static RowListBox* FromWindow(HWND hwnd);

    void SetOwner(RowOwner* newOwner) { owner = newOwner; }

    // The same operations as the list-box messages, called directly.
    int Count() const { return static_cast<int>(rows.size()); }
    bool IsRow(int index) const { return index >= 0 && index < Count(); }
    int Add(ULONG_PTR data);
    // Puts each data[k] before row before[k] of the list as it is now (at
    // the end for Count()), `before` not decreasing, in one pass; the
    // selection, caret and anchor stay with their rows.
    void InsertBatch(const std::vector<int>& before, const std::vector<ULONG_PTR>& data);
    bool Delete(int index);
    void DeleteAll();
    int DeleteSelected();
    ULONG_PTR Data(int index) const { return rows[index].data; }
    void SetData(int index, ULONG_PTR data);
    int Height(int index) const { return rows[index].height; }
    void SetHeight(int index, int height);
    void SetRedraw(bool on);
    // The width of what the rows draw; wider than the window, the rows
    // scroll sideways with a horizontal scroll bar.
    void SetContentWidth(int width);
    int ScrollX() const { return scrollX; }
    void ScrollSidewaysTo(int x);

private:
    struct Row {
        ULONG_PTR data;
        int height;
        bool selected;
    };

    explicit RowListBox(HWND hwnd) : hwnd(hwnd) {}
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    int Measure(int index, ULONG_PTR data);
    void SendDelete(int index);
    const std::vector<int>& Tops();
    int TotalHeight();
    int RowAt(int y);  // -1 below the last row
    RECT RowRect(int index);
    int ClientHeight() const;

    void UpdateScrollBar();
    void UpdateHorizontalBar();
    void ScrollBarLater();
    void ScrollTo(int y);
    // Where a scroll bar's request moves `position` (`end`: the far end).
    int ScrollRequestTarget(int bar, WORD request, int position, int page, int end) const;
    void EnsureVisible(int index);
    void InvalidateRow(int index);
    void Changed();  // repaints and rescrolls when drawing is on

    void Paint(HDC dc, const RECT& area);
    void OnButtonDown(int x, int y, WPARAM keys, bool doubleClick);
    void OnMouseMove(int x, int y, WPARAM keys);
    void OnButtonUp();
    void OnKeyDown(WPARAM key);
    void MoveCaret(int index, bool extend, bool keepSelection);
    void SelectRange(int from, int to, bool on);
    void NotifyParent(WORD code);

    HWND hwnd;
    RowOwner* owner = nullptr;
    std::vector<Row> rows;
    std::vector<int> tops;   // tops[i]: y of row i from the first row's top; tops[n]: total
    size_t topsValid = 1;    // how many entries of `tops` are correct
    int scrollY = 0;
    int scrollX = 0;
    int contentWidth = 0;
    int caret = -1;
    int anchor = -1;
    bool redraw = true;
    bool focused = false;
    bool tracking = false;
    // A plain press on a selected row: a drag out when the mouse moves past
    // the system's drag distance, a click on that row alone when the button
    // comes up first.
    bool pressOnSelection = false;
    POINT pressPoint{};
    HFONT font = nullptr;
    int wheelRemainder = 0;
    int dpi = 96;
    bool scrollBarPending = false;
    int clientWidth = 0;  // kept from WM_SIZE: rows arrive faster than the system answers
    int clientHeight = 0;
};
