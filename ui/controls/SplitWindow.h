// The 4-pixel bar between two panes side by side (the search panel and the
// result list), dragged with an inverted pattern bar; the panes change size
// when the button goes up.
#pragma once

#include <windows.h>

#include "ui/controls/Window.h"

// What the window that holds the two panes does for the bar: it places
// its right pane (it may split that area further) and says how much of its
// client area, from the bottom, the panes leave to others (a status bar).
class SplitOwner {
public:
    virtual ~SplitOwner() = default;
    virtual void PlaceRightPane(const RECT& area) = 0;
    virtual int ReservedBelow() const { return 0; }
};

// The screen rectangle the cursor is kept in while dragging: the main
// window's rectangle, its left edge moved in by the left pane's minimum
// tracking width (its right edge first cut to the left pane's maximum, when
// it gives one), and its right edge moved in by the right pane's minimum.
RECT SplitterDragLimits(const RECT& mainWindowRect, int leftMinWidth, int leftMaxWidth,
                        int rightMinWidth);

// The split of a new main window: the panel takes a third of the client
// width, the bar the next 4 pixels (at 96 DPI), the list the rest.
struct PaneSplit {
    int barLeft;
    int barRight;
    int listWidth;
};
PaneSplit InitialPaneSplit(int clientWidth, int dpi);
// The split of a new main window with what is known of its panes: the bar
// at `storedLeft` pixels at 96 DPI when one was stored (> 0), else at a
// third; kept right of the panel's least width and, room allowing, left of
// the list's.
PaneSplit PlacedPaneSplit(int clientWidth, int dpi, int panelMinWidth, int storedLeft, int listMinWidth);

class SplitWindow : public Window {
public:
    static constexpr const wchar_t* kClassName = L"tovansplit";
    static constexpr int kWidth = 4;  // pixels at 96 DPI

    explicit SplitWindow(SplitOwner* owner) : owner(owner) {}
    ~SplitWindow() override;

    // The bar as child `id` of `mainWindow`, at `rect`.
    bool Create(HWND mainWindow, HINSTANCE instance, const RECT& rect, int id);
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    void SetPanes(HWND left, HWND right) {
        leftPane = left;
        rightPane = right;
    }
    void ApplyLayout();
    void BeginDrag();
    void DragTo(int x, int y);
    void EndDrag();
    void DrawDragBar(const RECT& rect);

    const RECT& BarRect() const { return barRect; }
    const RECT& DragLimits() const { return dragLimits; }
    bool IsDragging() const { return dragging; }

private:
    void OnResize();
    HWND MainWindow() const;

    bool dragging = false;
    RECT barRect{};
    RECT dragLimits{};
    HWND leftPane = nullptr;
    HWND rightPane = nullptr;
    HBRUSH dragBrush = nullptr;
    SplitOwner* owner;
};
