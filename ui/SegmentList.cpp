// Segment list: a virtual list view whose rows are drawn here, hits marked,
// and the bar above it.
#include "ui/SegmentList.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>

#include "base/ResourceText.h"
#include "resource.h"

namespace {

struct Column {
    UINT segmentTitle;
    UINT hitTitle;
    int width;  // pixels at 96 DPI
};
const Column kColumns[] = {
    {IDS_SEGMENT_ID, IDS_SEGMENT_HIT, 80},
    {IDS_SEGMENT_SOURCE, IDS_SEGMENT_CONTEXT, 330},
    {IDS_SEGMENT_TARGET, 0, 330},
};

// Control characters of a context line are drawn as spaces, keeping offsets.
std::wstring Printable(std::wstring text) {
    for (wchar_t& c : text) {
        if (c < 0x20)
            c = L' ';
    }
    return text;
}

bool IsHit(const Match& m) { return m.end > m.start && m.start >= 0; }

}  // namespace

HitColours ConditionHitColours(COLORREF window) {
    // Perceived brightness, 0 to 255.
    const int brightness = (GetRValue(window) * 299 + GetGValue(window) * 587 + GetBValue(window) * 114) / 1000;
    if (brightness >= 128)
        return {RGB(0, 0, 0), RGB(255, 200, 64)};
    return {RGB(255, 255, 255), RGB(150, 84, 0)};
}

bool ShowsSegments(const FileResult& row) { return !row.segments.empty(); }

int SegmentLineCount(const FileResult& row) {
    if (ShowsSegments(row))
        return static_cast<int>(row.segments.size());
    return static_cast<int>(std::count_if(row.matches.begin(), row.matches.end(),
                                          [](const std::unique_ptr<Match>& m) { return IsHit(*m); }));
}

SegmentCells SegmentLine(const FileResult& row, int index) {
    SegmentCells cells;
    if (index < 0)
        return cells;
    if (ShowsSegments(row)) {
        if (index >= static_cast<int>(row.segments.size()))
            return cells;
        const ShownSegment& s = row.segments[static_cast<size_t>(index)];
        cells.id = s.id;
        cells.source = s.source;
        cells.target = s.target;
        cells.sourceHits = &s.sourceHits;
        cells.targetHits = &s.targetHits;
        cells.conditionHits = &s.conditionHits;
        return cells;
    }
    int n = -1;
    for (const auto& m : row.matches) {
        if (!IsHit(*m) || ++n != index)
            continue;
        cells.id = std::to_wstring(index + 1);
        cells.source = Printable(m->context);
        const int length = static_cast<int>(cells.source.size());
        const int begin = std::clamp(m->start - m->contextStart, 0, length);
        const int end = std::clamp(m->end - m->contextStart, begin, length);
        if (end > begin)
            cells.contextHit.push_back({begin, end});
        break;
    }
    return cells;
}

std::wstring SegmentCopyText(const FileResult& row, const std::vector<int>& indexes) {
    std::wstring text;
    const bool segments = ShowsSegments(row);
    for (const int index : indexes) {
        const SegmentCells cells = SegmentLine(row, index);
        if (!text.empty())
            text += L"\r\n";
        text += cells.id + L"\t" + cells.source;
        if (segments)
            text += L"\t" + cells.target;
    }
    return text;
}

SegmentList::~SegmentList() {
    if (row)
        row->Release();
}

bool SegmentList::Create(HWND parent, HINSTANCE instance, int newDpi) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    dpi = newDpi;
    list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, nullptr,
                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_REPORT | LVS_OWNERDATA |
                               LVS_SHOWSELALWAYS,
                           0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SEGMENT_LIST)),
                           instance, nullptr);
    if (!list)
        return false;
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_LABELTIP | LVS_EX_DOUBLEBUFFER);
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.cx = ScalePixels(kColumns[i].width, dpi);
        const std::wstring title = LoadResourceText(kColumns[i].segmentTitle);
        column.pszText = const_cast<wchar_t*>(title.c_str());
        column.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    return true;
}

void SegmentList::SetDpi(int newDpi) {
    if (!list || newDpi == dpi)
        return;
    for (int i = 0; i < 3; ++i) {
        const int width = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, i, 0));
        SendMessageW(list, LVM_SETCOLUMNWIDTH, i, MulDiv(width, newDpi, dpi));
    }
    dpi = newDpi;
}

void SegmentList::SetColumnTitles(bool segments) {
    if (segments == segmentTitles)
        return;
    segmentTitles = segments;
    for (int i = 0; i < 3; ++i) {
        const UINT id = segments ? kColumns[i].segmentTitle : kColumns[i].hitTitle;
        const std::wstring title = id ? LoadResourceText(id) : std::wstring();
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT;
        column.pszText = const_cast<wchar_t*>(title.c_str());
        SendMessageW(list, LVM_SETCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

void SegmentList::ShowRow(FileResult* newRow) {
    if (newRow == row)
        return;
    if (newRow)
        newRow->AddRef();
    if (row)
        row->Release();
    row = newRow;
    if (!list)
        return;
    // A virtual list: only the count is set, whatever the number of lines.
    SetColumnTitles(!row || ShowsSegments(*row));
    LVITEMW clear{};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
    SendMessageW(list, LVM_SETITEMCOUNT, LineCount(), 0);
    if (LineCount() > 0)
        SendMessageW(list, LVM_ENSUREVISIBLE, 0, FALSE);
    InvalidateRect(list, nullptr, TRUE);
}

int SegmentList::LineCount() const { return row ? SegmentLineCount(*row) : 0; }

std::vector<int> SegmentList::SelectedLines() const {
    std::vector<int> lines;
    if (!list)
        return lines;
    int i = -1;
    while ((i = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED))) >= 0)
        lines.push_back(i);
    return lines;
}

void SegmentList::Copy(HWND owner) const {
    const std::vector<int> lines = SelectedLines();
    if (row && !lines.empty())
        PutTextOnClipboard(owner, SegmentCopyText(*row, lines));
}

int SegmentList::CurrentLine() const {
    if (!list)
        return -1;
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

void SegmentList::SelectLine(int index) {
    if (!list || index < 0 || index >= LineCount())
        return;
    LVITEMW clear{};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&state));
    SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
}

void SegmentList::SelectAll() {
    if (!list)
        return;
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
}

bool SegmentList::OnNotify(const NMHDR* notify, LRESULT* result) {
    if (!list || notify->hwndFrom != list)
        return false;
    switch (notify->code) {
    case LVN_GETDISPINFOW: {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(notify));
        if ((info->item.mask & LVIF_TEXT) && info->item.pszText && info->item.cchTextMax > 0) {
            info->item.pszText[0] = 0;
            if (row) {
                const SegmentCells cells = SegmentLine(*row, info->item.iItem);
                const std::wstring& text = info->item.iSubItem == 0   ? cells.id
                                           : info->item.iSubItem == 1 ? cells.source
                                                                      : cells.target;
                wcsncpy(info->item.pszText, text.c_str(), static_cast<size_t>(info->item.cchTextMax) - 1);
                info->item.pszText[info->item.cchTextMax - 1] = 0;
            }
        }
        *result = 0;
        return true;
    }
    case LVN_GETINFOTIPW: {
        // The whole line, however narrow its columns are.
        auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(const_cast<NMHDR*>(notify));
        if (row && tip->pszText && tip->cchTextMax > 0) {
            const SegmentCells cells = SegmentLine(*row, tip->iItem);
            tipText = cells.source + (cells.target.empty() ? L"" : L"\r\n" + cells.target);
            wcsncpy(tip->pszText, tipText.c_str(), static_cast<size_t>(tip->cchTextMax) - 1);
            tip->pszText[tip->cchTextMax - 1] = 0;
        }
        *result = 0;
        return true;
    }
    case NM_CUSTOMDRAW:
        *result = CustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(notify)));
        return true;
    default:
        return false;
    }
}

LRESULT SegmentList::CustomDraw(NMLVCUSTOMDRAW* draw) {
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        // The whole line is drawn here, cell by cell.
        const int index = static_cast<int>(draw->nmcd.dwItemSpec);
        if (!row)
            return CDRF_DODEFAULT;
        HDC dc = draw->nmcd.hdc;
        const bool selected = (SendMessageW(list, LVM_GETITEMSTATE, index, LVIS_SELECTED) & LVIS_SELECTED) != 0;
        const SegmentCells cells = SegmentLine(*row, index);
        RECT line{};
        line.left = LVIR_BOUNDS;
        SendMessageW(list, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&line));
        RECT client{};
        GetClientRect(list, &client);
        line.right = std::max(line.right, client.right);
        SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &line, nullptr, 0, nullptr);
        for (int column = 0; column < 3; ++column) {
            RECT cell{};
            cell.top = column;
            cell.left = LVIR_BOUNDS;
            if (!SendMessageW(list, LVM_GETSUBITEMRECT, index, reinterpret_cast<LPARAM>(&cell)))
                continue;
            if (column == 0) {
                // The first sub-item's bounds are the whole line's.
                const int width = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0));
                cell.right = cell.left + width;
            }
            const std::wstring& text = column == 0 ? cells.id : column == 1 ? cells.source : cells.target;
            const std::vector<ShownSpan>* sourceHits = cells.sourceHits ? cells.sourceHits : &cells.contextHit;
            DrawMarkedText(dc, cell, text, column == 1 ? sourceHits : column == 2 ? cells.targetHits : nullptr,
                           column == 2 ? cells.conditionHits : nullptr, selected, dpi);
        }
        if ((SendMessageW(list, LVM_GETITEMSTATE, index, LVIS_FOCUSED) & LVIS_FOCUSED) && GetFocus() == list) {
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            DrawFocusRect(dc, &line);
        }
        return CDRF_SKIPDEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

void DrawMarkedText(HDC dc, const RECT& cell, const std::wstring& text, const std::vector<ShownSpan>* hits,
                    const std::vector<ShownSpan>* conditionHits, bool selected, int dpi) {
    const int pad = ScalePixels(4, dpi);
    RECT area = {cell.left + pad, cell.top, cell.right - pad, cell.bottom};
    if (area.right <= area.left || text.empty())
        return;
    // Each unit's look: 0 plain, 1 a counted hit, 2 a hit of the target condition.
    std::vector<unsigned char> look(text.size(), 0);
    auto mark = [&](const std::vector<ShownSpan>* spans, unsigned char value) {
        if (!spans)
            return;
        for (const ShownSpan& s : *spans) {
            for (int i = std::max(0, s.begin); i < s.end && i < static_cast<int>(text.size()); ++i)
                look[static_cast<size_t>(i)] = std::max(look[static_cast<size_t>(i)], value);
        }
    };
    mark(conditionHits, 2);
    mark(hits, 1);
    // What fits: the whole text, or as much as leaves room for an ellipsis.
    static const wchar_t kEllipsis[] = L"\x2026";
    SIZE size{};
    const int available = area.right - area.left;
    int fit = static_cast<int>(text.size());
    GetTextExtentPoint32W(dc, text.c_str(), fit, &size);
    bool cut = false;
    if (size.cx > available) {
        SIZE ellipsis{};
        GetTextExtentPoint32W(dc, kEllipsis, 1, &ellipsis);
        GetTextExtentExPointW(dc, text.c_str(), fit, std::max<int>(0, available - ellipsis.cx), &fit, nullptr, &size);
        cut = true;
    }
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int y = area.top + std::max<int>(0, (area.bottom - area.top - metrics.tmHeight) / 2);
    int x = area.left;
    SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    const COLORREF plainText = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    const COLORREF plainBack = GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW);
    for (int start = 0; start < fit;) {
        int end = start + 1;
        while (end < fit && look[static_cast<size_t>(end)] == look[static_cast<size_t>(start)])
            ++end;
        const unsigned char kind = look[static_cast<size_t>(start)];
        // Hits stand out in reverse; the condition's in a colour of their own.
        COLORREF fore = plainText, back = plainBack;
        if (kind == 1) {
            fore = GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_HIGHLIGHTTEXT);
            back = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_HIGHLIGHT);
        } else if (kind == 2) {
            const HitColours condition = ConditionHitColours(GetSysColor(COLOR_WINDOW));
            fore = condition.text;
            back = condition.back;
        }
        SetTextColor(dc, fore);
        SetBkColor(dc, back);
        SetBkMode(dc, kind ? OPAQUE : TRANSPARENT);
        GetTextExtentPoint32W(dc, text.c_str() + start, end - start, &size);
        // A run's own box, inside the cell: a hit's colour fills no more.
        RECT box = {x, y, std::min<LONG>(x + size.cx, area.right), std::min<LONG>(y + metrics.tmHeight, area.bottom)};
        ExtTextOutW(dc, x, y, ETO_CLIPPED | (kind ? ETO_OPAQUE : 0), &box, text.c_str() + start,
                    static_cast<UINT>(end - start), nullptr);
        x += size.cx;
        start = end;
    }
    if (cut) {
        SetTextColor(dc, plainText);
        SetBkMode(dc, TRANSPARENT);
        ExtTextOutW(dc, x, y, ETO_CLIPPED, &area, kEllipsis, 1, nullptr);
    }
}

bool SegmentBar::Create(HWND parent, HINSTANCE instance) {
    WNDCLASSEXW wc{};
    if (!GetClassInfoExW(instance, kClassName, &wc)) {
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = SharedWindowProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_SIZENS);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kClassName;
        if (!RegisterClassExW(&wc))
            return false;
    }
    return CreateWindowExW(0, kClassName, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SEGMENT_BAR)), instance, this) != nullptr;
}

bool SegmentBar::HandleMessage(UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
    *result = 0;
    switch (message) {
    case WM_LBUTTONDOWN:
        dragging = true;
        grab = static_cast<short>(HIWORD(lParam));
        SetCapture(hwnd);
        return true;
    case WM_MOUSEMOVE:
        if (dragging && moved) {
            // The panes follow the bar as it moves.
            POINT p = {0, static_cast<short>(HIWORD(lParam))};
            MapWindowPoints(hwnd, GetParent(hwnd), &p, 1);
            moved(p.y - grab);
        }
        return true;
    case WM_LBUTTONUP:
        if (dragging) {
            dragging = false;
            ReleaseCapture();
        }
        return true;
    case WM_CAPTURECHANGED:
        dragging = false;
        return true;
    default:
        return false;
    }
}
