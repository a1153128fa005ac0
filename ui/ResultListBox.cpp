// The result list: rows drawn on demand from their FileResult records.
#include "ui/ResultListBox.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cwchar>

#include "base/LongPath.h"
#include "base/ResourceText.h"
#include "base/SearchRecords.h"
#include "resource.h"
#include "ui/Editors.h"
#include "ui/ResultCells.h"
#include "ui/controls/RowListBox.h"
#include "ui/ShellItems.h"

namespace {

constexpr int kHeaderHeight = 18;  // pixels at 96 DPI
constexpr UINT_PTR kPlaceTimer = 1;
// Rows that arrive in a sorted list are placed this long after the first of them.
constexpr UINT kPlaceDelayMs = 50;

struct ColumnSpec {
    unsigned textId;  // 0: no text
    int width;
    bool right;
};

// Header items in order; item 0 is a fixed margin.
const ColumnSpec kColumns[kColumnCount] = {
    {0, 11, false},
    {IDS_COLUMN_NAME, 180, false},
    {IDS_COLUMN_LOCATION, 170, false},
    {IDS_COLUMN_MATCHES, 70, true},
    {IDS_COLUMN_SIZE, 80, true},
    // "Text (Windows-1252)" whole; a failure's reason begins here and goes
    // on in the cell's tooltip.
    {IDS_COLUMN_FILE_TYPE, 150, false},
    {IDS_COLUMN_UPDATED, 116, false},
};

// The order in which a row's cells are drawn.
const int kDrawOrder[] = {kColumnName, kColumnMatches, kColumnLocation,
                          kColumnSize, kColumnFileType, kColumnUpdated};

// Control characters of a context line are drawn as spaces, keeping offsets.
std::wstring PrintableContext(const std::wstring& context) {
    std::wstring text = context;
    for (auto& c : text) {
        if (c < 0x20)
            c = L' ';
    }
    return text;
}

}  // namespace

bool ResultListBox::RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    if (GetClassInfoExW(instance, kClassName, &wc))
        return true;
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = SharedWindowProc;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0;
}

bool ResultListBox::OnCreate(const CREATESTRUCTW* create, LRESULT* result) {
    *result = 0;
    layout.Attach(hwnd);
    RECT client{};
    GetClientRect(hwnd, &client);
    dpi = WindowDpi(hwnd);
    headerHeight = ScalePixels(kHeaderHeight, dpi);
    header = CreateWindowExW(0, WC_HEADERW, nullptr,
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | HDS_BUTTONS | HDS_DRAGDROP |
                                 HDS_FULLDRAG,
                             0, 0, client.right, headerHeight, hwnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LIST_HEADER)),
                             create->hInstance, nullptr);
    if (!header)
        return true;  // a list without header and rows; nothing else fails
    for (int i = 0; i < kColumnCount; ++i) {
        std::wstring text = kColumns[i].textId ? LoadResourceText(kColumns[i].textId) : L"";
        HDITEMW item{};
        item.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
        item.pszText = text.data();
        item.cxy = ScalePixels(kColumns[i].width, dpi);
        item.fmt = (kColumns[i].right ? HDF_RIGHT : HDF_LEFT) | HDF_STRING;
        SendMessageW(header, HDM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    RowListBox::RegisterWindowClass(create->hInstance);
    listBox = CreateWindowExW(0, RowListBox::kClassName, nullptr,
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP |
                                  LBS_OWNERDRAWVARIABLE | LBS_NOTIFY | LBS_EXTENDEDSEL |
                                  LBS_NOINTEGRALHEIGHT,
                              0, headerHeight, client.right,
                              std::max<int>(0, client.bottom - headerHeight), hwnd,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LIST_BOX)),
                              create->hInstance, nullptr);
    rows = RowListBox::FromWindow(listBox);
    if (rows)
        rows->SetOwner(this);
    else
        listBox = nullptr;
    if (listBox) {
        // One tool, moved onto the cell whose whole text it shows.
        cellTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr,
                                  create->hInstance, nullptr);
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_SUBCLASS;
        tool.hwnd = listBox;
        tool.uId = 1;
        tool.lpszText = const_cast<wchar_t*>(L"");
        if (cellTip) {
            SendMessageW(cellTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
            SendMessageW(cellTip, TTM_SETMAXTIPWIDTH, 0, 800);
            SendMessageW(cellTip, TTM_ACTIVATE, FALSE, 0);
        }
    }
    layout.AddChild(listBox, AnchorRight | AnchorBottom | StretchWidth | StretchHeight);
    PlaceHeader();
    return true;
}

bool ResultListBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    *result = 0;
    switch (message) {
    case WM_CREATE:
        return OnCreate(reinterpret_cast<const CREATESTRUCTW*>(lParam), result);
    case 0x02E2:  // WM_DPICHANGED_BEFOREPARENT: before the main window measures the rows again
        dpi = WindowDpi(hwnd);
        return false;
    case WM_SETFOCUS:
        if (listBox)
            SetFocus(listBox);
        return true;
    case WM_SIZE:
        PlaceHeader();
        return false;
    case WM_GETMINMAXINFO:
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize.x = ScalePixels(kMinWidth, dpi);
        return true;
    case WM_DESTROY:
        // The list box goes before this object: rows arriving now are dropped.
        Clear();
        rows = nullptr;
        return false;
    case WM_TIMER:
        if (wParam != kPlaceTimer)
            return false;
        PlaceArrivedRows();
        return true;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) != listBox || !listBox)
            return false;
        ShowRowMenu(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        return true;
    case WM_SETFONT:
        if (header)
            SendMessageW(header, WM_SETFONT, wParam, lParam);
        if (listBox)
            SendMessageW(listBox, WM_SETFONT, wParam, lParam);
        return true;
    case WM_NOTIFY: {
        const auto* notify = reinterpret_cast<const NMHDR*>(lParam);
        if (notify->hwndFrom != header || !header)
            return false;
        return OnHeaderNotify(notify, result);
    }
    case WM_COMMAND:
        if (reinterpret_cast<HWND>(lParam) == listBox && listBox && HIWORD(wParam) == LBN_DBLCLK) {
            SendMessageW(GetParent(hwnd), WM_COMMAND, IDM_OPEN_FILE, 0);
            return true;
        }
        if (reinterpret_cast<HWND>(lParam) == listBox && listBox && HIWORD(wParam) == LBN_SELCHANGE) {
            NotifySelection();
            return true;
        }
        return false;
    default:
        return false;
    }
}

void ResultListBox::Hovered(int x, int y) {
    if (!cellTip || !header)
        return;
    POINT cell = {-1, -1};
    RECT box{};
    const LRESULT hit = SendMessageW(listBox, LB_ITEMFROMPOINT, 0, MAKELPARAM(x, y));
    const int row = LOWORD(hit);
    const FileResult* result = HIWORD(hit) ? nullptr : RowResult(row);
    RECT column{};
    if (result && result->status == kFileFailed &&
        SendMessageW(header, HDM_GETITEMRECT, kColumnFileType, reinterpret_cast<LPARAM>(&column)) &&
        x >= column.left - scrollX && x < column.right - scrollX &&
        SendMessageW(listBox, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&box)) != LB_ERR) {
        cell = {row, kColumnFileType};
        box.left = column.left - scrollX;
        box.right = column.right - scrollX;
        box.bottom = std::min<LONG>(box.bottom, box.top + ScalePixels(kRowLineHeight, dpi));
    }
    if (cell.x == tipCell.x && cell.y == tipCell.y)
        return;
    tipCell = cell;
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = listBox;
    tool.uId = 1;
    if (cell.x < 0) {
        SendMessageW(cellTip, TTM_ACTIVATE, FALSE, 0);
        return;
    }
    cellTipText = FileTypeCellText(*result);
    tool.rect = box;
    SendMessageW(cellTip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    tool.lpszText = cellTipText.data();
    SendMessageW(cellTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(cellTip, TTM_ACTIVATE, TRUE, 0);
}

std::wstring ResultListBox::CellTipText() const {
    if (!cellTip || tipCell.x < 0)
        return {};
    // What the tooltip itself holds, as a person would see it.
    wchar_t text[1024] = {};
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = listBox;
    tool.uId = 1;
    tool.lpszText = text;
    SendMessageW(cellTip, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&tool));
    return text;
}

int ResultListBox::ColumnsWidth() const {
    if (!header)
        return 0;
    int right = 0;
    const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        RECT r{};
        if (SendMessageW(header, HDM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r)))
            right = std::max<int>(right, r.right);
    }
    return right;
}

void ResultListBox::PlaceHeader() {
    if (!header)
        return;
    RECT client{};
    GetClientRect(hwnd, &client);
    const int columns = ColumnsWidth();
    if (rows)
        rows->SetContentWidth(columns);  // may scroll back: ScrolledSideways follows
    SetWindowPos(header, nullptr, -scrollX, 0, std::max<int>(client.right + scrollX, columns), headerHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void ResultListBox::ScrolledSideways(int x) {
    scrollX = x;
    PlaceHeader();
}

int ResultListBox::MeasureRow(ULONG_PTR data) {
    const auto* row = reinterpret_cast<const FileResult*>(data);
    return row ? RowHeight(*row, showContext, dpi) : ScalePixels(kRowLineHeight, dpi);
}

void ResultListBox::DeleteRow(ULONG_PTR data) {
    if (auto* row = reinterpret_cast<FileResult*>(data))
        row->Release();
}

void ResultListBox::DrawRow(const DRAWITEMSTRUCT& item) {
    const auto* row = reinterpret_cast<const FileResult*>(item.itemData);
    HDC dc = item.hDC;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const COLORREF textColor = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    const COLORREF backColor = GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW);
    const COLORREF oldText = SetTextColor(dc, textColor);
    const COLORREF oldBack = SetBkColor(dc, backColor);
    const UINT oldAlign = GetTextAlign(dc);
    const int oldMode = SetBkMode(dc, OPAQUE);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &item.rcItem, nullptr, 0, nullptr);

    if (row) {
        const int line = ScalePixels(kRowLineHeight, Dpi());
        for (int column : kDrawOrder) {
            RECT cell{};
            if (!header || !SendMessageW(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(&cell)))
                continue;
            HDITEMW format{};
            format.mask = HDI_FORMAT;
            SendMessageW(header, HDM_GETITEMW, column, reinterpret_cast<LPARAM>(&format));
            const bool right = (format.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT;
            const int pad = ScalePixels(3, Dpi());  // neighbouring cells never touch
            RECT text = {cell.left - scrollX + pad, item.rcItem.top, cell.right - scrollX - pad, item.rcItem.bottom};
            if (text.right <= text.left)
                continue;
            UINT flags = DT_SINGLELINE | DT_NOPREFIX | DT_TOP | (right ? DT_RIGHT : DT_LEFT);
            if (column == kColumnName)
                flags |= DT_END_ELLIPSIS;
            else if (column == kColumnLocation)
                flags |= DT_PATH_ELLIPSIS;
            RECT lineRect = text;
            lineRect.bottom = std::min<LONG>(text.bottom, text.top + line);
            const std::wstring cellText = CellText(*row, column, baseFolder);
            DrawTextW(dc, cellText.c_str(), static_cast<int>(cellText.size()), &lineRect, flags);
        }
        DrawContextLines(dc, item.rcItem, *row, selected);
    }

    SetTextAlign(dc, oldAlign);
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
    if (item.itemState & ODS_FOCUS)
        DrawFocusRect(dc, &item.rcItem);
}

void ResultListBox::DrawContextLines(HDC dc, const RECT& rowRect, const FileResult& row, bool selected) {
    const int dpi = Dpi();
    const int line = ScalePixels(kRowLineHeight, dpi);
    // Context lines stay in view when the columns scroll sideways.
    const int x0 = LOWORD(GetDialogBaseUnits()) * dpi / 96 / 4 + ScalePixels(26, dpi);
    int y = rowRect.top + ScalePixels(kContextGap, dpi) + line;
    // On the selection colour grey is unreadable: the context takes the
    // selection's text colour and the hit stands out in reverse.
    const COLORREF contextColor = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_GRAYTEXT);
    const COLORREF hitColor = GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOWTEXT);
    const COLORREF hitBack = GetSysColor(COLOR_HIGHLIGHTTEXT);
    SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    auto widthOf = [dc](const wchar_t* text, int count) {
        SIZE extent{};
        GetTextExtentPoint32W(dc, text, count, &extent);
        return static_cast<int>(extent.cx);
    };
    static const wchar_t kEllipsis[] = L"\x2026";
    const size_t shown = std::min<size_t>(row.matches.size(), kContextLinesShown);
    for (size_t i = 0; i < shown; ++i, y += line) {
        const Match& m = *row.matches[i];
        if (m.context.empty() || y >= rowRect.bottom)
            continue;
        const std::wstring context = PrintableContext(m.context);
        const int length = static_cast<int>(context.size());
        int before = std::clamp(m.start - m.contextStart, 0, length);
        const int hit = std::clamp(m.end - m.start, 0, length - before);
        // A hit beyond the middle of a narrow list: the line starts later,
        // behind an ellipsis, so that the hit begins in the first half.
        const int ellipsisWidth = widthOf(kEllipsis, 1);
        const size_t first = FirstShownUnit(
            [&](size_t from, size_t to) { return widthOf(context.c_str() + from, static_cast<int>(to - from)); },
            static_cast<size_t>(before), ellipsisWidth, static_cast<int>(rowRect.right) - x0);
        int x = x0;
        if (first > 0) {
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, contextColor);
            ExtTextOutW(dc, x, y, ETO_CLIPPED, &rowRect, kEllipsis, 1, nullptr);
            x += ellipsisWidth;
        }
        const int start = static_cast<int>(first);
        before -= start;
        const struct {
            int from, count;
            bool isHit;
        } pieces[] = {{start, before, false},
                      {start + before, hit, true},
                      {start + before + hit, length - start - before - hit, false}};
        for (const auto& piece : pieces) {
            if (piece.count <= 0)
                continue;
            const bool reverse = piece.isHit && selected;
            SetBkMode(dc, reverse ? OPAQUE : TRANSPARENT);
            SetBkColor(dc, hitBack);
            SetTextColor(dc, piece.isHit ? hitColor : contextColor);
            ExtTextOutW(dc, x, y, ETO_CLIPPED, &rowRect, context.c_str() + piece.from, piece.count,
                        nullptr);
            x += widthOf(context.c_str() + piece.from, piece.count);
            if (x >= rowRect.right)
                break;
        }
    }
}

bool ResultListBox::OnHeaderNotify(const NMHDR* notify, LRESULT* result) {
    *result = 0;
    switch (notify->code) {
    case HDN_ITEMCLICKW:
    case HDN_ITEMCLICKA: {
        const int item = reinterpret_cast<const NMHEADERW*>(notify)->iItem;
        if (item >= 1 && item < kColumnCount)
            ClickColumn(item);
        return true;
    }
    case HDN_BEGINTRACKW:
    case HDN_BEGINTRACKA:
        // The first item is a fixed margin.
        *result = reinterpret_cast<const NMHEADERW*>(notify)->iItem == 0 ? TRUE : FALSE;
        return true;
    case HDN_ITEMCHANGEDW:
    case HDN_ITEMCHANGEDA:
        PlaceHeader();
        InvalidateRect(listBox, nullptr, TRUE);
        return true;
    case HDN_ENDDRAG:
        InvalidateRect(listBox, nullptr, TRUE);
        return true;
    default:
        return false;
    }
}

void ResultListBox::ShowRowMenu(int x, int y) {
    PlaceArrivedRows();
    POINT at = {x, y};
    if (x == -1 && y == -1) {
        // From the keyboard: at the current row.
        RECT r{};
        const LRESULT caret = SendMessageW(listBox, LB_GETCARETINDEX, 0, 0);
        if (caret < 0 || SendMessageW(listBox, LB_GETITEMRECT, caret, reinterpret_cast<LPARAM>(&r)) == LB_ERR)
            GetClientRect(listBox, &r);
        at = {r.left + 20, r.top + 8};
        ClientToScreen(listBox, &at);
    } else {
        // A click on a row that is not selected selects that row alone.
        POINT local = at;
        ScreenToClient(listBox, &local);
        const LRESULT hit = SendMessageW(listBox, LB_ITEMFROMPOINT, 0, MAKELPARAM(local.x, local.y));
        const int row = LOWORD(hit);
        if (!HIWORD(hit) && !SendMessageW(listBox, LB_GETSEL, row, 0)) {
            SendMessageW(listBox, LB_SETSEL, FALSE, -1);
            SendMessageW(listBox, LB_SETSEL, TRUE, row);
            SendMessageW(listBox, LB_SETCARETINDEX, row, 0);
        }
    }
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    const bool any = SelectedCount() > 0;
    const UINT state = any ? MF_ENABLED : MF_GRAYED;
    // The texts of the main menu's items, so that both menus say the same.
    HMENU main = GetMenu(GetAncestor(hwnd, GA_ROOT));
    auto add = [&](int id, UINT flags) {
        wchar_t text[128] = {};
        GetMenuStringW(main, id, text, 128, MF_BYCOMMAND);
        AppendMenuW(menu, MF_STRING | flags, id, text);
    };
    add(IDM_OPEN_FILE, state);
    add(IDM_OPEN_FOLDER, state);
    add(IDM_OPEN_WITH, state);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    add(IDM_COPY, state);
    add(IDM_COPY_PATH, state);
    add(IDM_COPY_FULL_PATH, state);
    add(IDM_CUT, state);
    add(IDM_DELETE, state);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    add(IDM_SELECT_ALL, RowCount() > 0 ? MF_ENABLED : MF_GRAYED);
    SetMenuDefaultItem(menu, IDM_OPEN_FILE, FALSE);
    // The main window carries out the command, as it does for the menu bar.
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, GetAncestor(hwnd, GA_ROOT), nullptr);
    DestroyMenu(menu);
}

std::vector<int> ResultListBox::ColumnWidths96() const {
    std::vector<int> widths;
    for (int i = 0; header && i < kColumnCount; ++i) {
        HDITEMW item{};
        item.mask = HDI_WIDTH;
        SendMessageW(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        widths.push_back(MulDiv(item.cxy, 96, dpi));
    }
    return widths;
}

void ResultListBox::SetColumnWidths96(const std::vector<int>& widths) {
    if (!header || widths.size() != static_cast<size_t>(kColumnCount))
        return;
    for (int i = 0; i < kColumnCount; ++i) {
        // A width nobody could mean (the store damaged) keeps the column's own.
        if (widths[static_cast<size_t>(i)] <= 0 || widths[static_cast<size_t>(i)] > 4000)
            continue;
        HDITEMW item{};
        item.mask = HDI_WIDTH;
        item.cxy = ScalePixels(widths[static_cast<size_t>(i)], dpi);
        SendMessageW(header, HDM_SETITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    PlaceHeader();
    InvalidateRect(hwnd, nullptr, TRUE);
}

void ResultListBox::SetSortOrder(int column, bool ascending) {
    if (column < 0 || column >= kColumnCount)
        return;
    for (int i = 0; header && i < kColumnCount; ++i) {
        HDITEMW format{};
        format.mask = HDI_FORMAT;
        if (!SendMessageW(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&format)))
            continue;
        format.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (i == column && column != kColumnNone)
            format.fmt |= ascending ? HDF_SORTUP : HDF_SORTDOWN;
        SendMessageW(header, HDM_SETITEMW, i, reinterpret_cast<LPARAM>(&format));
    }
    sortColumn = column;
    sortAscending = ascending;
}

void ResultListBox::ClickColumn(int column) {
    PlaceArrivedRows();
    if (column < 1 || column >= kColumnCount)
        return;
    HDITEMW format{};
    format.mask = HDI_FORMAT;
    if (header && SendMessageW(header, HDM_GETITEMW, sortColumn, reinterpret_cast<LPARAM>(&format))) {
        format.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        SendMessageW(header, HDM_SETITEMW, sortColumn, reinterpret_cast<LPARAM>(&format));
    }
    if (column == sortColumn)
        sortAscending = !sortAscending;
    else
        sortColumn = column;
    SortRows();
    format = HDITEMW{};
    format.mask = HDI_FORMAT;
    if (header && SendMessageW(header, HDM_GETITEMW, column, reinterpret_cast<LPARAM>(&format))) {
        format.fmt = (format.fmt & ~(HDF_SORTUP | HDF_SORTDOWN)) |
                     (sortAscending ? HDF_SORTUP : HDF_SORTDOWN);
        SendMessageW(header, HDM_SETITEMW, column, reinterpret_cast<LPARAM>(&format));
    }
    InvalidateRect(listBox, nullptr, TRUE);
}

void ResultListBox::SortRows() {
    const int count = RowCount();
    if (count <= 0 || !rows)
        return;
    std::vector<FileResult*> results;
    results.reserve(count);
    for (int i = 0; i < count; ++i)
        results.push_back(RowResult(i));
    SortResults(results, sortColumn, sortAscending);
    // The rows stay (and so does the selection); each takes its new result.
    rows->SetRedraw(false);
    for (int i = 0; i < count; ++i) {
        rows->SetData(i, reinterpret_cast<ULONG_PTR>(results[i]));
        rows->SetHeight(i, RowHeight(*results[i], showContext, dpi));
    }
    rows->SetRedraw(true);
}

void ResultListBox::AddRow(FileResult* result) {
    if (!rows) {
        result->Release();
        return;
    }
    if (sortColumn == kColumnNone) {
        rows->Add(reinterpret_cast<ULONG_PTR>(result));
        return;
    }
    // A sorted list stays sorted: the new row goes where the sort puts it,
    // a moment later, together with the rows that come with it.
    arrived.push_back(result);
    if (arrived.size() == 1)
        SetTimer(hwnd, kPlaceTimer, kPlaceDelayMs, nullptr);
}

void ResultListBox::PlaceArrivedRows() {
    if (arrived.empty())
        return;
    KillTimer(hwnd, kPlaceTimer);
    std::vector<FileResult*> batch;
    batch.swap(arrived);
    if (!rows) {
        for (FileResult* r : batch)
            r->Release();
        return;
    }
    auto before = [this](const FileResult* a, const FileResult* b) {
        return sortAscending ? ResultLess(a, b, sortColumn) : ResultLess(b, a, sortColumn);
    };
    std::stable_sort(batch.begin(), batch.end(), before);
    // Each new row goes after every row it does not come before.
    std::vector<int> places;
    std::vector<ULONG_PTR> data;
    places.reserve(batch.size());
    data.reserve(batch.size());
    int low = 0;
    for (FileResult* r : batch) {
        int high = RowCount();
        while (low < high) {
            const int middle = low + (high - low) / 2;
            if (before(r, RowResult(middle)))
                high = middle;
            else
                low = middle + 1;
        }
        places.push_back(low);
        data.push_back(reinterpret_cast<ULONG_PTR>(r));
    }
    rows->InsertBatch(places, data);
}

void ResultListBox::Clear() {
    if (!arrived.empty()) {
        KillTimer(hwnd, kPlaceTimer);
        for (FileResult* r : arrived)
            r->Release();
        arrived.clear();
    }
    if (rows)
        rows->DeleteAll();
    NotifySelection();
}

int ResultListBox::CaretRow() const {
    if (!listBox || !rows)
        return -1;
    const int caret = static_cast<int>(SendMessageW(listBox, LB_GETCARETINDEX, 0, 0));
    return caret >= 0 && caret < rows->Count() ? caret : -1;
}

void ResultListBox::SelectRow(int row) {
    PlaceArrivedRows();
    if (!listBox || !rows || row < 0 || row >= rows->Count())
        return;
    SendMessageW(listBox, LB_SETSEL, FALSE, -1);
    SendMessageW(listBox, LB_SETSEL, TRUE, row);
    SendMessageW(listBox, LB_SETCARETINDEX, row, FALSE);
    NotifySelection();
}

void ResultListBox::NotifySelection() {
    SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(IDC_RESULT_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(hwnd));
}

FileResult* ResultListBox::CurrentResult() const {
    if (!listBox || !rows)
        return nullptr;
    const int caret = static_cast<int>(SendMessageW(listBox, LB_GETCARETINDEX, 0, 0));
    if (caret < 0 || caret >= rows->Count() || SendMessageW(listBox, LB_GETSEL, caret, 0) <= 0)
        return nullptr;
    return RowResult(caret);
}

int ResultListBox::RowCount() const { return rows ? rows->Count() : 0; }

int ResultListBox::SelectedCount() const {
    if (!listBox)
        return 0;
    const LRESULT n = SendMessageW(listBox, LB_GETSELCOUNT, 0, 0);
    return n == LB_ERR ? 0 : static_cast<int>(n);
}

FileResult* ResultListBox::RowResult(int row) const {
    return rows && rows->IsRow(row) ? reinterpret_cast<FileResult*>(rows->Data(row)) : nullptr;
}

std::vector<int> ResultListBox::SelectedRows() const {
    std::vector<int> selected(SelectedCount());
    if (!selected.empty()) {
        const LRESULT n = SendMessageW(listBox, LB_GETSELITEMS, selected.size(),
                                       reinterpret_cast<LPARAM>(selected.data()));
        selected.resize(n == LB_ERR ? 0 : n);
    }
    return selected;  // ascending
}

bool ResultListBox::IsOwnWindow(HWND window) const {
    return window && (window == hwnd || window == listBox || window == header);
}

void ResultListBox::OpenCurrent() {
    PlaceArrivedRows();
    if (!listBox)
        return;
    const LRESULT row = SendMessageW(listBox, LB_GETCARETINDEX, 0, 0);
    if (row == LB_ERR || row < 0 || row >= RowCount())
        return;
    const FileResult* result = RowResult(static_cast<int>(row));
    if (!result)
        return;
    OpenFileAtLine(hwnd, editor, result->location + result->name, result->firstHitLine > 0 ? result->firstHitLine : 1);
}

std::vector<std::wstring> ResultListBox::SelectedPaths() const {
    std::vector<std::wstring> paths;
    for (int row : SelectedRows()) {
        if (const FileResult* r = RowResult(row))
            paths.push_back(r->location + r->name);
    }
    return paths;
}

void ResultListBox::CopyFullPaths() {
    PlaceArrivedRows();
    std::wstring text;
    for (const std::wstring& path : SelectedPaths())
        text += (text.empty() ? L"" : L"\r\n") + path;
    if (!text.empty())
        SetClipboardText(text);
}

void ResultListBox::OpenFolders() {
    PlaceArrivedRows();
    std::vector<std::wstring> paths = SelectedPaths();
    if (paths.empty())
        return;
    if (!ShowInFolder(paths))
        ShowFailure(hwnd, IDS_OPEN_FAILED, paths.front().substr(0, paths.front().find_last_of(L'\\') + 1),
                    GetLastError());
}

void ResultListBox::OpenWith() {
    PlaceArrivedRows();
    const FileResult* r = CurrentResult();
    if (!r)
        return;
    OpenWithChoice(hwnd, r->location + r->name);
}

IDataObject* ResultListBox::CreateDragData() const { return CreateFilesDataObject(SelectedPaths()); }

void ResultListBox::DragSelectedRows() {
    PlaceArrivedRows();
    const std::vector<std::wstring> paths = SelectedPaths();
    if (!paths.empty())
        DragFiles(hwnd, paths);
}

void ResultListBox::SetShowContext(bool show) {
    PlaceArrivedRows();
    showContext = show;
    if (!rows)
        return;
    const int count = RowCount();
    std::vector<FileResult*> results;
    results.reserve(count);
    for (int i = 0; i < count; ++i) {
        FileResult* r = RowResult(i);
        r->AddRef();
        results.push_back(r);
    }
    // Every row is measured again on its way back in, in the same order.
    rows->SetRedraw(false);
    Clear();
    for (FileResult* r : results)
        rows->Add(reinterpret_cast<ULONG_PTR>(r));  // the extra reference becomes the row's
    rows->SetRedraw(true);
}

void ResultListBox::SetClipboardText(const std::wstring& text) { PutTextOnClipboard(hwnd, text); }

void ResultListBox::CopyPaths() {
    PlaceArrivedRows();
    std::wstring text;
    for (int row : SelectedRows()) {
        if (!text.empty())
            text += L"\r\n";
        text += RowPathText(*RowResult(row), baseFolder);
    }
    if (!text.empty())
        SetClipboardText(text);
}

void ResultListBox::EditCommand(int id) {
    PlaceArrivedRows();
    if (!listBox)
        return;
    if (id == IDM_SELECT_ALL) {
        if (RowCount() > 0)
            SendMessageW(listBox, LB_SELITEMRANGEEX, 0, RowCount() - 1);
        NotifySelection();
        return;
    }
    const std::vector<int> rows = SelectedRows();
    if (rows.empty())
        return;
    if (id == IDM_COPY || id == IDM_CUT) {
        std::wstring text;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (i > 0)
                text += L"\r\n";
            text += RowCopyText(*RowResult(rows[i]), baseFolder);
        }
        SetClipboardText(text);
    }
    if (id == IDM_DELETE || id == IDM_CUT) {
        SendMessageW(listBox, LB_DELETESELECTED, 0, 0);  // the highest row first
        NotifySelection();
    }
}
