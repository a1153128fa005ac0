// Splitter: placement of the two panes and the drag with an inverted bar.
#include "ui/controls/SplitWindow.h"

#include <algorithm>


RECT SplitterDragLimits(const RECT& mainWindowRect, int leftMinWidth, int leftMaxWidth,
                        int rightMinWidth) {
    RECT limits = mainWindowRect;
    if (leftMaxWidth > 0)
        limits.right = limits.left + leftMaxWidth;
    limits.left += leftMinWidth;
    limits.right -= rightMinWidth;
    return limits;
}

PaneSplit InitialPaneSplit(int clientWidth, int dpi) {
    const int third = clientWidth / 3;
    const int bar = ScalePixels(SplitWindow::kWidth, dpi);
    return {third, third + bar, std::max(0, clientWidth - third - bar)};
}

PaneSplit PlacedPaneSplit(int clientWidth, int dpi, int panelMinWidth, int storedLeft, int listMinWidth) {
    const int bar = ScalePixels(SplitWindow::kWidth, dpi);
    int left = storedLeft > 0 ? ScalePixels(storedLeft, dpi) : clientWidth / 3;
    left = std::min(left, clientWidth - bar - listMinWidth);
    left = std::max(left, panelMinWidth);
    return {left, left + bar, std::max(0, clientWidth - left - bar)};
}

SplitWindow::~SplitWindow() {
    if (dragBrush)
        DeleteObject(dragBrush);
}

bool SplitWindow::Create(HWND mainWindow, HINSTANCE instance, const RECT& rect, int id) {
    WNDCLASSEXW wc{};
    if (!GetClassInfoExW(instance, kClassName, &wc)) {
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = SharedWindowProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_SIZEWE);
        wc.hbrBackground = CreateSolidBrush(RGB(192, 192, 192));
        wc.lpszClassName = kClassName;
        if (!RegisterClassExW(&wc))
            return false;
    }
    HWND created = CreateWindowExW(0, kClassName, nullptr, WS_CHILD | WS_VISIBLE, rect.left,
                                   rect.top, rect.right - rect.left, rect.bottom - rect.top,
                                   mainWindow,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   instance, this);
    if (!created)
        return false;
    barRect = ChildRectInParent(hwnd, mainWindow);
    return true;
}

HWND SplitWindow::MainWindow() const { return GetParent(hwnd); }

bool SplitWindow::HandleMessage(UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
    *result = 0;
    switch (message) {
    case WM_SIZE:
        if (owner)
            OnResize();
        return true;
    case WM_MOUSEMOVE:
        if (dragging)
            DragTo(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        return true;
    case WM_LBUTTONDOWN:
        BeginDrag();
        return true;
    case WM_LBUTTONUP:
        EndDrag();
        return true;
    case WM_CAPTURECHANGED:
        // Capture taken away (another window, a menu): end the drag cleanly.
        if (dragging && reinterpret_cast<HWND>(lParam) != hwnd) {
            DrawDragBar(barRect);
            dragging = false;
        }
        return true;
    default:
        return false;
    }
}

void SplitWindow::OnResize() {
    if (!leftPane || !rightPane)
        return;
    RECT client{};
    GetClientRect(MainWindow(), &client);
    const int available = client.bottom - (owner ? owner->ReservedBelow() : 0);
    barRect = ChildRectInParent(hwnd, MainWindow());
    barRect.bottom = barRect.top + std::max(0, available);
    // A window made narrower than the bar's place would leave no room for
    // the list: the bar moves left, as far as the panel's minimum width.
    MINMAXINFO info{};
    SendMessageW(leftPane, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    const LONG minWidth = info.ptMinTrackSize.x;
    const LONG width = barRect.right - barRect.left;
    const LONG maxLeft = std::max(minWidth, client.right - minWidth - width);
    if (barRect.left > maxLeft) {
        barRect.left = maxLeft;
        barRect.right = maxLeft + width;
    }
    ApplyLayout();
}

void SplitWindow::ApplyLayout() {
    HWND main = MainWindow();
    RECT client{};
    GetClientRect(main, &client);
    const int height = barRect.bottom - barRect.top;
    MoveWindow(hwnd, barRect.left, barRect.top, barRect.right - barRect.left, height, TRUE);
    if (leftPane) {
        const RECT left = ChildRectInParent(leftPane, main);
        MoveWindow(leftPane, left.left, left.top, std::max<LONG>(0, barRect.left - left.left), height,
                   TRUE);
    }
    if (rightPane) {
        const RECT right = {barRect.right, barRect.top, std::max<LONG>(barRect.right, client.right), barRect.top + height};
        if (owner)
            owner->PlaceRightPane(right);
        else
            MoveWindow(rightPane, right.left, right.top, right.right - right.left, height, TRUE);
    }
}

void SplitWindow::BeginDrag() {
    dragging = true;
    SetCapture(hwnd);
    HWND main = MainWindow();
    RECT window{};
    GetWindowRect(main, &window);
    MINMAXINFO info{};
    SendMessageW(leftPane, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    const int leftMin = info.ptMinTrackSize.x;
    const int leftMax = info.ptMaxTrackSize.x;
    // The same structure, not cleared: a pane that does not answer leaves the
    // left pane's minimum in it.
    SendMessageW(rightPane, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    dragLimits = SplitterDragLimits(window, leftMin, leftMax, info.ptMinTrackSize.x);
    barRect = ChildRectInParent(hwnd, main);
    DrawDragBar(barRect);
}

void SplitWindow::DragTo(int x, int y) {
    DrawDragBar(barRect);
    POINT p = {x, y};
    ClientToScreen(hwnd, &p);
    p.x = std::clamp(p.x, dragLimits.left, std::max(dragLimits.left, dragLimits.right));
    p.y = std::clamp(p.y, dragLimits.top, std::max(dragLimits.top, dragLimits.bottom));
    ScreenToClient(MainWindow(), &p);
    const LONG width = barRect.right - barRect.left;
    barRect.left = p.x;
    barRect.right = p.x + width;
    DrawDragBar(barRect);
}

void SplitWindow::EndDrag() {
    if (!dragging)
        return;
    dragging = false;
    // The bar is erased before the panes move, so that no inverted trace
    // stays on what they repaint.
    DrawDragBar(barRect);
    ApplyLayout();
    ReleaseCapture();
    // Whatever the bar's pattern crossed is painted again.
    RedrawWindow(MainWindow(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void SplitWindow::DrawDragBar(const RECT& rect) {
    if (!dragBrush) {
        static const WORD kPattern[8] = {0x5555, 0xAAAA, 0x5555, 0xAAAA,
                                         0x5555, 0xAAAA, 0x5555, 0xAAAA};
        if (HBITMAP bitmap = CreateBitmap(8, 8, 1, 1, kPattern)) {
            dragBrush = CreatePatternBrush(bitmap);
            DeleteObject(bitmap);
        }
    }
    HWND main = MainWindow();
    HDC dc = GetDCEx(main, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS | DCX_LOCKWINDOWUPDATE);
    if (!dc)
        return;
    HGDIOBJ old = SelectObject(dc, dragBrush ? static_cast<HGDIOBJ>(dragBrush) : GetStockObject(NULL_BRUSH));
    PatBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, PATINVERT);
    SelectObject(dc, old);
    ReleaseDC(main, dc);
}
