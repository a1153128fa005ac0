// Rows of varying height: storage, scrolling, selection, keyboard and mouse.
#include "ui/controls/RowListBox.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>

#include "ui/controls/Window.h"

namespace {

constexpr int kLineStep = 15;  // pixels at 96 DPI per arrow of the scroll bar
constexpr UINT_PTR kScrollBarTimer = 1;
// Rows that arrive one by one (a running search) update the scroll bar at
// most this often: drawing it for every row cost more than the row.
constexpr UINT kScrollBarDelayMs = 100;

}  // namespace

bool RowListBox::RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    if (GetClassInfoExW(instance, kClassName, &wc))
        return true;
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;  // every pixel is painted
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0;
}

RowListBox* RowListBox::FromWindow(HWND hwnd) {
    wchar_t name[32] = {};
    if (!hwnd || !GetClassNameW(hwnd, name, 32) || wcscmp(name, kClassName) != 0)
        return nullptr;
    return reinterpret_cast<RowListBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK RowListBox::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<RowListBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = new RowListBox(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    const LRESULT result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        delete self;
    }
    return result;
}

int RowListBox::ClientHeight() const { return clientHeight; }

const std::vector<int>& RowListBox::Tops() {
    tops.resize(rows.size() + 1);
    if (topsValid < 1) {
        tops[0] = 0;
        topsValid = 1;
    }
    for (size_t i = topsValid; i <= rows.size(); ++i)
        tops[i] = tops[i - 1] + rows[i - 1].height;
    topsValid = rows.size() + 1;
    return tops;
}

int RowListBox::TotalHeight() { return Tops().back(); }

int RowListBox::RowAt(int y) {
    const auto& t = Tops();
    const int absolute = y + scrollY;
    if (rows.empty() || absolute < 0 || absolute >= t.back())
        return -1;
    return static_cast<int>(std::upper_bound(t.begin(), t.end(), absolute) - t.begin()) - 1;
}

RECT RowListBox::RowRect(int index) {
    const auto& t = Tops();
    return {0, t[index] - scrollY, clientWidth, t[index + 1] - scrollY};
}

int RowListBox::Measure(int index, ULONG_PTR data) {
    if (owner)
        return std::clamp(owner->MeasureRow(data), 1, 32767);
    MEASUREITEMSTRUCT measure{};
    measure.CtlType = ODT_LISTBOX;
    measure.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
    measure.itemID = static_cast<UINT>(index);
    measure.itemData = data;
    measure.itemHeight = static_cast<UINT>(ScalePixels(kLineStep, dpi));
    SendMessageW(GetParent(hwnd), WM_MEASUREITEM, measure.CtlID, reinterpret_cast<LPARAM>(&measure));
    return std::clamp(static_cast<int>(measure.itemHeight), 1, 32767);
}

int RowListBox::Add(ULONG_PTR data) {
    const int index = Count();
    const int height = Measure(index, data);
    rows.push_back({data, height, false});
    if (redraw) {
        ScrollBarLater();
        const RECT r = RowRect(index);
        if (r.top < ClientHeight())
            InvalidateRect(hwnd, &r, FALSE);
    }
    return index;
}

void RowListBox::InsertBatch(const std::vector<int>& before, const std::vector<ULONG_PTR>& data) {
    if (data.empty() || before.size() != data.size())
        return;
    std::vector<Row> merged;
    merged.reserve(rows.size() + data.size());
    int newCaret = -1, newAnchor = -1;
    size_t k = 0;
    for (int i = 0;; ++i) {
        while (k < data.size() && before[k] <= i) {
            merged.push_back({data[k], Measure(static_cast<int>(merged.size()), data[k]), false});
            ++k;
        }
        if (i >= Count())
            break;
        if (i == caret)
            newCaret = static_cast<int>(merged.size());
        if (i == anchor)
            newAnchor = static_cast<int>(merged.size());
        merged.push_back(rows[i]);
    }
    for (; k < data.size(); ++k)
        merged.push_back({data[k], Measure(static_cast<int>(merged.size()), data[k]), false});
    rows.swap(merged);
    caret = newCaret;
    anchor = newAnchor;
    topsValid = std::min<size_t>(topsValid, static_cast<size_t>(std::max(before.front(), 0)) + 1);
    if (redraw) {
        // The rows below the first new one move: the view is painted again.
        ScrollBarLater();
        InvalidateRect(hwnd, nullptr, FALSE);
    }
}

void RowListBox::SendDelete(int index) {
    if (owner) {
        owner->DeleteRow(rows[index].data);
        return;
    }
    DELETEITEMSTRUCT item{};
    item.CtlType = ODT_LISTBOX;
    item.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
    item.itemID = static_cast<UINT>(index);
    item.hwndItem = hwnd;
    item.itemData = rows[index].data;
    SendMessageW(GetParent(hwnd), WM_DELETEITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
}

bool RowListBox::Delete(int index) {
    if (!IsRow(index))
        return false;
    SendDelete(index);
    rows.erase(rows.begin() + index);
    topsValid = std::min<size_t>(topsValid, index + 1);
    if (caret > index || caret >= Count())
        --caret;
    if (anchor > index || anchor >= Count())
        --anchor;
    Changed();
    return true;
}

void RowListBox::DeleteAll() {
    for (int i = 0; i < Count(); ++i)
        SendDelete(i);
    rows.clear();
    topsValid = 1;
    caret = anchor = -1;
    scrollY = 0;
    Changed();
}

void RowListBox::SetData(int index, ULONG_PTR data) {
    rows[index].data = data;
    InvalidateRow(index);
}

void RowListBox::SetHeight(int index, int height) {
    height = std::clamp(height, 1, 32767);
    if (rows[index].height == height)
        return;
    rows[index].height = height;
    topsValid = std::min<size_t>(topsValid, index + 1);
    Changed();
}

void RowListBox::SetRedraw(bool on) {
    redraw = on;
    if (redraw)
        Changed();
}

int RowListBox::DeleteSelected() {
    for (int i = Count() - 1; i >= 0; --i) {
        if (rows[i].selected)
            SendDelete(i);
    }
    int kept = 0, caretAfter = -1;
    for (int i = 0; i < Count(); ++i) {
        if (rows[i].selected)
            continue;
        if (i <= caret)
            caretAfter = kept;
        rows[kept++] = rows[i];
    }
    rows.resize(kept);
    topsValid = 1;
    caret = IsRow(caretAfter) ? caretAfter : std::min(caret, Count() - 1);
    anchor = caret;
    Changed();
    return Count();
}

void RowListBox::Changed() {
    if (!redraw)
        return;
    UpdateScrollBar();
    InvalidateRect(hwnd, nullptr, FALSE);
}

void RowListBox::ScrollBarLater() {
    if (!scrollBarPending) {
        scrollBarPending = true;
        SetTimer(hwnd, kScrollBarTimer, kScrollBarDelayMs, nullptr);
    }
}

void RowListBox::UpdateScrollBar() {
    if (scrollBarPending) {
        scrollBarPending = false;
        KillTimer(hwnd, kScrollBarTimer);
    }
    const int total = TotalHeight();
    const int page = ClientHeight();
    const int maxY = std::max(0, total - page);
    scrollY = std::clamp(scrollY, 0, maxY);
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = std::max(0, total - 1);
    info.nPage = static_cast<UINT>(std::max(0, page));
    info.nPos = scrollY;
    SetScrollInfo(hwnd, SB_VERT, &info, TRUE);
}

void RowListBox::SetContentWidth(int width) {
    if (width == contentWidth)
        return;
    contentWidth = std::max(0, width);
    UpdateHorizontalBar();
}

void RowListBox::UpdateHorizontalBar() {
    const int maxX = std::max(0, contentWidth - clientWidth);
    const int x = std::clamp(scrollX, 0, maxX);
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = std::max(0, contentWidth - 1);
    info.nPage = static_cast<UINT>(std::max(0, clientWidth));
    info.nPos = x;
    // A page as wide as the range hides the bar.
    SetScrollInfo(hwnd, SB_HORZ, &info, TRUE);
    if (x != scrollX) {
        scrollX = x;
        if (owner)
            owner->ScrolledSideways(scrollX);
        InvalidateRect(hwnd, nullptr, FALSE);
    }
}

void RowListBox::ScrollSidewaysTo(int x) {
    x = std::clamp(x, 0, std::max(0, contentWidth - clientWidth));
    if (x == scrollX)
        return;
    scrollX = x;
    SetScrollPos(hwnd, SB_HORZ, scrollX, TRUE);
    if (owner)
        owner->ScrolledSideways(scrollX);
    InvalidateRect(hwnd, nullptr, FALSE);
}

int RowListBox::ScrollRequestTarget(int bar, WORD request, int position, int page, int end) const {
    const int line = ScalePixels(kLineStep, dpi);
    switch (request) {
    case SB_LINEUP: return position - line;  // SB_LINELEFT too, as the rest
    case SB_LINEDOWN: return position + line;
    case SB_PAGEUP: return position - page;
    case SB_PAGEDOWN: return position + page;
    case SB_TOP: return 0;
    case SB_BOTTOM: return end;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_TRACKPOS;
        GetScrollInfo(hwnd, bar, &info);
        return info.nTrackPos;
    }
    default: return position;
    }
}

void RowListBox::ScrollTo(int y) {
    const int maxY = std::max(0, TotalHeight() - ClientHeight());
    y = std::clamp(y, 0, maxY);
    if (y == scrollY)
        return;
    const int delta = scrollY - y;
    scrollY = y;
    if (redraw) {
        ScrollWindowEx(hwnd, 0, delta, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE);
        SetScrollPos(hwnd, SB_VERT, scrollY, TRUE);
    }
}

void RowListBox::EnsureVisible(int index) {
    if (!IsRow(index))
        return;
    const auto& t = Tops();
    const int page = ClientHeight();
    if (t[index] < scrollY)
        ScrollTo(t[index]);
    else if (t[index + 1] > scrollY + page)
        ScrollTo(std::min(t[index], t[index + 1] - page));
}

void RowListBox::InvalidateRow(int index) {
    if (!IsRow(index) || !redraw)
        return;
    const RECT r = RowRect(index);
    InvalidateRect(hwnd, &r, FALSE);
}

void RowListBox::NotifyParent(WORD code) {
    SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code),
                 reinterpret_cast<LPARAM>(hwnd));
}

void RowListBox::SelectRange(int from, int to, bool on) {
    if (from > to)
        std::swap(from, to);
    from = std::max(from, 0);
    to = std::min(to, Count() - 1);
    for (int i = from; i <= to; ++i) {
        if (rows[i].selected != on) {
            rows[i].selected = on;
            InvalidateRow(i);
        }
    }
}

void RowListBox::MoveCaret(int index, bool extend, bool keepSelection) {
    if (rows.empty())
        return;
    index = std::clamp(index, 0, Count() - 1);
    const int old = caret;
    caret = index;
    InvalidateRow(old);
    if (extend) {
        if (!IsRow(anchor))
            anchor = index;
        if (!keepSelection)
            SelectRange(0, Count() - 1, false);
        SelectRange(anchor, index, true);
    } else if (!keepSelection) {
        SelectRange(0, Count() - 1, false);
        rows[index].selected = true;
        anchor = index;
    }
    InvalidateRow(index);
    EnsureVisible(index);
    if (!keepSelection || extend)
        NotifyParent(LBN_SELCHANGE);
}

void RowListBox::OnButtonDown(int x, int y, WPARAM keys, bool doubleClick) {
    SetFocus(hwnd);
    pressOnSelection = false;
    const int row = RowAt(y);
    if (row < 0)
        return;
    if (doubleClick) {
        NotifyParent(LBN_DBLCLK);
        return;
    }
    if (!(keys & (MK_CONTROL | MK_SHIFT)) && rows[row].selected && owner) {
        // The selection stays as it is until it is clear whether this is a
        // drag of the selected rows or a click on one of them.
        pressOnSelection = true;
        pressPoint = {x, y};
        const int old = caret;
        caret = row;
        InvalidateRow(old);
        InvalidateRow(row);
        SetCapture(hwnd);
        return;
    }
    if (keys & MK_CONTROL && !(keys & MK_SHIFT)) {
        rows[row].selected = !rows[row].selected;
        anchor = row;
        const int old = caret;
        caret = row;
        InvalidateRow(old);
        InvalidateRow(row);
        NotifyParent(LBN_SELCHANGE);
    } else {
        MoveCaret(row, (keys & MK_SHIFT) != 0, (keys & MK_CONTROL) != 0 && !(keys & MK_SHIFT));
    }
    tracking = true;
    SetCapture(hwnd);
}

void RowListBox::OnMouseMove(int x, int y, WPARAM keys) {
    if (owner)
        owner->Hovered(x, y);
    if (!(keys & MK_LBUTTON))
        return;
    if (pressOnSelection) {
        const int dx = GetSystemMetrics(SM_CXDRAG), dy = GetSystemMetrics(SM_CYDRAG);
        if (std::abs(x - pressPoint.x) <= dx && std::abs(y - pressPoint.y) <= dy)
            return;
        pressOnSelection = false;
        ReleaseCapture();
        if (owner)
            owner->DragSelectedRows();
        return;
    }
    if (tracking) {
        int row = RowAt(std::clamp(y, 0, ClientHeight() - 1));
        if (row < 0)
            row = Count() - 1;
        if (row != caret)
            MoveCaret(row, true, (keys & MK_CONTROL) != 0);
    }
}

void RowListBox::OnButtonUp() {
    if (pressOnSelection) {
        // No drag: the click selects its row alone, as on any other row.
        pressOnSelection = false;
        ReleaseCapture();
        if (IsRow(caret))
            MoveCaret(caret, false, false);
        return;
    }
    if (tracking) {
        tracking = false;
        ReleaseCapture();
    }
}

void RowListBox::OnKeyDown(WPARAM key) {
    if (rows.empty())
        return;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const bool control = GetKeyState(VK_CONTROL) < 0;
    const int page = std::max(1, ClientHeight());
    const int current = IsRow(caret) ? caret : 0;
    // With nothing selected, the first arrow selects the row it stands on.
    const bool noneSelected =
        !IsRow(caret) || std::none_of(rows.begin(), rows.end(), [](const Row& r) { return r.selected; });
    int target = current;
    switch (key) {
    case VK_UP: target = noneSelected ? current : current - 1; break;
    case VK_DOWN: target = noneSelected ? current : current + 1; break;
    case VK_HOME: target = 0; break;
    case VK_END: target = Count() - 1; break;
    case VK_PRIOR: {
        const int y = Tops()[current] - page + 1;
        target = std::max(0, RowAt(y - scrollY));
        if (target == current)
            target = current - 1;
        break;
    }
    case VK_NEXT: {
        const int y = Tops()[current] + page - 1;
        const int found = RowAt(y - scrollY);
        target = found < 0 ? Count() - 1 : found;
        if (target == current)
            target = current + 1;
        break;
    }
    case VK_SPACE:
        if (control) {
            rows[current].selected = !rows[current].selected;
            anchor = current;
            InvalidateRow(current);
            NotifyParent(LBN_SELCHANGE);
        } else {
            MoveCaret(current, shift, false);
        }
        return;
    default:
        return;
    }
    MoveCaret(target, shift, control && !shift);
}

void RowListBox::Paint(HDC dc, const RECT& area) {
    // Drawn into a bitmap first, so that a repainted row never flickers.
    HDC memory = CreateCompatibleDC(dc);
    const int width = area.right - area.left, height = area.bottom - area.top;
    HBITMAP bitmap = CreateCompatibleBitmap(dc, std::max(1, width), std::max(1, height));
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    SetViewportOrgEx(memory, -area.left, -area.top, nullptr);
    HGDIOBJ oldFont = font ? SelectObject(memory, font) : nullptr;
    HBRUSH background = GetSysColorBrush(COLOR_WINDOW);
    FillRect(memory, &area, background);

    int first = RowAt(area.top);
    if (first >= 0) {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_LISTBOX;
        item.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
        item.itemAction = ODA_DRAWENTIRE;
        item.hwndItem = hwnd;
        item.hDC = memory;
        for (int i = first; i < Count(); ++i) {
            const RECT r = RowRect(i);
            if (r.top >= area.bottom)
                break;
            item.itemID = static_cast<UINT>(i);
            item.itemData = rows[i].data;
            item.rcItem = r;
            item.itemState = (rows[i].selected ? ODS_SELECTED : 0) | (focused && i == caret ? ODS_FOCUS : 0);
            if (owner)
                owner->DrawRow(item);
            else
                SendMessageW(GetParent(hwnd), WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
        }
    }
    BitBlt(dc, area.left, area.top, width, height, memory, area.left, area.top, SRCCOPY);
    if (oldFont)
        SelectObject(memory, oldFont);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

LRESULT RowListBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (!IsRectEmpty(&ps.rcPaint))
            Paint(dc, ps.rcPaint);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_CREATE: {
        dpi = WindowDpi(hwnd);
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        clientWidth = create->cx;
        clientHeight = create->cy;
        RECT r{};
        if (GetClientRect(hwnd, &r)) {
            clientWidth = r.right;
            clientHeight = r.bottom;
        }
        return 0;
    }
    case WM_TIMER:
        if (wParam == kScrollBarTimer && redraw)
            UpdateScrollBar();
        return 0;
    case 0x02E2:  // WM_DPICHANGED_BEFOREPARENT
        dpi = WindowDpi(hwnd);
        return 0;
    case WM_SIZE:
        clientHeight = HIWORD(lParam);
        clientWidth = LOWORD(lParam);
        UpdateHorizontalBar();
        if (redraw) {
            UpdateScrollBar();
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    case WM_SETFONT:
        font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam))
            InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font);
    case WM_SETREDRAW:
        SetRedraw(wParam != 0);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        focused = message == WM_SETFOCUS;
        // As the system's list: focused, the caret is on a row, so that the
        // focus rectangle shows where the keys will act.
        if (focused && !IsRow(caret) && !rows.empty())
            caret = 0;
        InvalidateRow(caret);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_VSCROLL:
        ScrollTo(ScrollRequestTarget(SB_VERT, LOWORD(wParam), scrollY, ClientHeight(), TotalHeight()));
        return 0;
    case WM_HSCROLL:
        ScrollSidewaysTo(ScrollRequestTarget(SB_HORZ, LOWORD(wParam), scrollX, clientWidth, contentWidth));
        return 0;
    case 0x020E: {  // WM_MOUSEHWHEEL: a tilted wheel scrolls sideways
        const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
        ScrollSidewaysTo(scrollX + notches * 3 * ScalePixels(kLineStep, dpi));
        return 0;
    }
    case WM_MOUSEWHEEL: {
        UINT lines = 3;
        SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
        wheelRemainder += GET_WHEEL_DELTA_WPARAM(wParam);
        const int notches = wheelRemainder / WHEEL_DELTA;
        wheelRemainder %= WHEEL_DELTA;
        const int step = lines == WHEEL_PAGESCROLL ? ClientHeight()
                                                   : static_cast<int>(lines) * ScalePixels(kLineStep, dpi);
        ScrollTo(scrollY - notches * step);
        return 0;
    }
    case WM_RBUTTONDOWN:
        SetFocus(hwnd);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnButtonDown(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)), wParam,
                     message == WM_LBUTTONDBLCLK);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)), wParam);
        return 0;
    case WM_LBUTTONUP:
        OnButtonUp();
        return 0;
    case WM_CAPTURECHANGED:
        // Taking the capture again while holding it is no loss of it (Wine
        // says so with this message).
        if (reinterpret_cast<HWND>(lParam) != hwnd) {
            tracking = false;
            pressOnSelection = false;
        }
        return 0;
    case WM_KEYDOWN:
        OnKeyDown(wParam);
        return 0;
    case WM_DESTROY:
        DeleteAll();
        return 0;

    case LB_ADDSTRING:
    case LB_INSERTSTRING:
        return Add(static_cast<ULONG_PTR>(lParam));
    case LB_DELETESTRING:
        return Delete(static_cast<int>(wParam)) ? Count() : LB_ERR;
    case LB_RESETCONTENT:
        DeleteAll();
        return 0;
    case LB_DELETESELECTED:
        return DeleteSelected();
    case LB_INITSTORAGE:
        rows.reserve(rows.size() + wParam);
        return static_cast<LRESULT>(rows.capacity());
    case LB_GETCOUNT:
        return Count();
    case LB_GETITEMDATA:
        return IsRow(static_cast<int>(wParam)) ? static_cast<LRESULT>(rows[wParam].data) : LB_ERR;
    case LB_SETITEMDATA:
        if (!IsRow(static_cast<int>(wParam)))
            return LB_ERR;
        SetData(static_cast<int>(wParam), static_cast<ULONG_PTR>(lParam));
        return TRUE;
    case LB_GETITEMHEIGHT:
        return IsRow(static_cast<int>(wParam)) ? rows[wParam].height : LB_ERR;
    case LB_SETITEMHEIGHT:
        if (!IsRow(static_cast<int>(wParam)))
            return LB_ERR;
        SetHeight(static_cast<int>(wParam), LOWORD(lParam));
        return 0;
    case LB_GETSEL:
        return IsRow(static_cast<int>(wParam)) ? rows[wParam].selected : LB_ERR;
    case LB_SETSEL: {
        const int index = static_cast<int>(lParam);
        if (index == -1)
            SelectRange(0, Count() - 1, wParam != 0);
        else if (IsRow(index))
            SelectRange(index, index, wParam != 0);
        else
            return LB_ERR;
        return 0;
    }
    case LB_SELITEMRANGEEX: {
        const int from = static_cast<int>(wParam), to = static_cast<int>(lParam);
        if (from <= to)
            SelectRange(from, to, true);
        else
            SelectRange(to, from, false);
        return 0;
    }
    case LB_GETSELCOUNT:
        return std::count_if(rows.begin(), rows.end(), [](const Row& r) { return r.selected; });
    case LB_GETSELITEMS: {
        auto* out = reinterpret_cast<int*>(lParam);
        int n = 0;
        for (int i = 0; i < Count() && n < static_cast<int>(wParam); ++i) {
            if (rows[i].selected)
                out[n++] = i;
        }
        return n;
    }
    case LB_GETCARETINDEX:
        return caret;
    case LB_SETCARETINDEX:
        if (!IsRow(static_cast<int>(wParam)))
            return LB_ERR;
        InvalidateRow(caret);
        caret = static_cast<int>(wParam);
        InvalidateRow(caret);
        EnsureVisible(caret);
        return 0;
    case LB_GETTOPINDEX:
        return std::max(0, RowAt(0));
    case LB_SETTOPINDEX:
        if (!IsRow(static_cast<int>(wParam)))
            return LB_ERR;
        ScrollTo(Tops()[wParam]);
        return 0;
    case LB_GETITEMRECT:
        if (!IsRow(static_cast<int>(wParam)))
            return LB_ERR;
        *reinterpret_cast<RECT*>(lParam) = RowRect(static_cast<int>(wParam));
        return 1;
    case LB_ITEMFROMPOINT: {
        const int row = RowAt(static_cast<short>(HIWORD(lParam)));
        return row < 0 ? MAKELRESULT(std::max(0, Count() - 1), 1) : MAKELRESULT(row, 0);
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}
