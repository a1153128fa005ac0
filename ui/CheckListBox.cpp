// The checks list: grouping, drawing, the ignore list and the row commands.
#include "ui/CheckListBox.h"

#include <windowsx.h>

#include <algorithm>
#include <array>

#include "base/SearchRecords.h"
#include "qa/IgnoreList.h"
#include "resource.h"
#include "ui/Editors.h"
#include "ui/ResultCells.h"
#include "ui/SegmentList.h"

namespace {

constexpr UINT_PTR kPlaceTimer = 1;
constexpr UINT kPlaceDelayMs = 200;
constexpr int kNoteLines = 3;
constexpr int kIndent = 14;  // pixels at 96 DPI

// A shown text on one line: tabs and line breaks become spaces, unit for
// unit, so that the spans still fit.
std::wstring OneLine(const std::wstring& text) {
    std::wstring line = text;
    for (wchar_t& c : line) {
        if (c == L'\t' || c == L'\r' || c == L'\n')
            c = L' ';
    }
    return line;
}

}  // namespace

std::vector<CheckListEntry> GroupCheckNotes(const std::vector<CheckRow>& notes, const std::vector<bool>& hidden) {
    std::array<std::vector<int>, kCheckCount> byKind;
    for (size_t i = 0; i < notes.size(); ++i) {
        if (i < hidden.size() && hidden[i])
            continue;
        byKind[static_cast<size_t>(notes[i].kind)].push_back(static_cast<int>(i));
    }
    std::vector<CheckListEntry> entries;
    for (int kind = 0; kind < kCheckCount; ++kind) {
        const auto& list = byKind[static_cast<size_t>(kind)];
        if (list.empty())
            continue;
        entries.push_back({true, kind, -1, static_cast<int>(list.size())});
        for (int note : list)
            entries.push_back({false, kind, note, 0});
    }
    return entries;
}

bool CheckListBox::RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    if (GetClassInfoExW(instance, kClassName, &wc))
        return true;
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = SharedWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0;
}

bool CheckListBox::OnCreate(const CREATESTRUCTW* create, LRESULT* result) {
    *result = 0;
    dpi = WindowDpi(hwnd);
    RECT client{};
    GetClientRect(hwnd, &client);
    RowListBox::RegisterWindowClass(create->hInstance);
    listBox = CreateWindowExW(0, RowListBox::kClassName, nullptr,
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_OWNERDRAWVARIABLE | LBS_NOTIFY |
                                  LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT,
                              0, 0, client.right, client.bottom, hwnd,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LIST_BOX)), create->hInstance, nullptr);
    rows = RowListBox::FromWindow(listBox);
    if (rows)
        rows->SetOwner(this);
    else
        listBox = nullptr;
    return true;
}

bool CheckListBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    *result = 0;
    switch (message) {
    case WM_CREATE:
        return OnCreate(reinterpret_cast<const CREATESTRUCTW*>(lParam), result);
    case 0x02E2:  // WM_DPICHANGED_BEFOREPARENT
        dpi = WindowDpi(hwnd);
        Rebuild();  // rows measured again
        return false;
    case WM_SETFOCUS:
        if (listBox)
            SetFocus(listBox);
        return true;
    case WM_SIZE:
        if (listBox)
            MoveWindow(listBox, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return true;
    case WM_SETFONT: {
        if (listBox)
            SendMessageW(listBox, WM_SETFONT, wParam, lParam);
        if (boldFont)
            DeleteObject(boldFont);
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(wParam) ? reinterpret_cast<HFONT>(wParam)
                                                   : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)),
                   sizeof font, &font);
        font.lfWeight = FW_BOLD;
        boldFont = CreateFontIndirectW(&font);
        return true;
    }
    case WM_DESTROY:
        if (boldFont)
            DeleteObject(boldFont);
        boldFont = nullptr;
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
        ShowRowMenu(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return true;
    case WM_COMMAND:
        if (reinterpret_cast<HWND>(lParam) == listBox && listBox && HIWORD(wParam) == LBN_DBLCLK) {
            OpenCurrent();
            return true;
        }
        if (reinterpret_cast<HWND>(lParam) == listBox && listBox && HIWORD(wParam) == LBN_SELCHANGE) {
            SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(IDC_CHECK_LIST, LBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(hwnd));
            return true;
        }
        return false;
    default:
        return false;
    }
}

void CheckListBox::Clear() {
    if (hwnd)
        KillTimer(hwnd, kPlaceTimer);
    placePending = false;
    notes.clear();
    ignored.clear();
    entries.clear();
    if (rows)
        rows->DeleteAll();
}

void CheckListBox::Add(CheckRow row) {
    ignored.push_back(ignore && ignore->Contains(row));
    notes.push_back(std::move(row));
    if (!placePending && hwnd) {
        // Placing makes the list again: the more notes, the less often,
        // so that a pass with very many costs no more than the notes do.
        placePending = true;
        const UINT delay = static_cast<UINT>(std::min<size_t>(kPlaceDelayMs + notes.size() / 200, 3000));
        SetTimer(hwnd, kPlaceTimer, delay, nullptr);
    }
}

void CheckListBox::PlaceArrivedRows() {
    if (hwnd)
        KillTimer(hwnd, kPlaceTimer);
    placePending = false;
    Rebuild();
}

void CheckListBox::Rebuild() {
    if (!rows)
        return;
    // The selection and the caret stay with their notes; the view with its
    // first row.
    std::vector<int> selectedNotes;
    int caretNote = -1, caretKind = -1;
    for (int i = 0; i < rows->Count(); ++i) {
        const CheckListEntry& e = entries[rows->Data(i)];
        if (!e.heading && SendMessageW(listBox, LB_GETSEL, i, 0) > 0)
            selectedNotes.push_back(e.note);
    }
    const LRESULT caret = SendMessageW(listBox, LB_GETCARETINDEX, 0, 0);
    if (caret >= 0 && caret < rows->Count()) {
        const CheckListEntry& e = entries[rows->Data(static_cast<int>(caret))];
        caretNote = e.note;
        caretKind = e.kind;
    }
    const LRESULT top = SendMessageW(listBox, LB_GETTOPINDEX, 0, 0);

    std::vector<bool> hidden(notes.size(), false);
    if (!showIgnored)
        hidden = ignored;
    entries = GroupCheckNotes(notes, hidden);
    rows->SetRedraw(false);
    rows->DeleteAll();
    std::sort(selectedNotes.begin(), selectedNotes.end());
    int newCaret = -1;
    for (size_t i = 0; i < entries.size(); ++i) {
        const int at = rows->Add(i);
        const CheckListEntry& e = entries[i];
        if (!e.heading && std::binary_search(selectedNotes.begin(), selectedNotes.end(), e.note))
            SendMessageW(listBox, LB_SETSEL, TRUE, at);
        if (newCaret < 0 && ((caretNote >= 0 && e.note == caretNote) || (caretNote < 0 && e.heading && e.kind == caretKind)))
            newCaret = at;
    }
    if (newCaret >= 0)
        SendMessageW(listBox, LB_SETCARETINDEX, newCaret, FALSE);
    if (top > 0 && top < rows->Count())
        SendMessageW(listBox, LB_SETTOPINDEX, top, 0);
    rows->SetRedraw(true);
}

int CheckListBox::RowCount() const { return rows ? rows->Count() : 0; }

std::vector<const CheckRow*> CheckListBox::ShownNotes() const {
    std::vector<const CheckRow*> shown;
    std::vector<bool> hidden(notes.size(), false);
    if (!showIgnored)
        hidden = ignored;
    for (const CheckListEntry& e : GroupCheckNotes(notes, hidden)) {
        if (!e.heading)
            shown.push_back(&notes[static_cast<size_t>(e.note)]);
    }
    return shown;
}

std::vector<const CheckRow*> CheckListBox::SelectedNotes() const {
    std::vector<const CheckRow*> selected;
    for (int i = 0; rows && i < rows->Count(); ++i) {
        const CheckListEntry& e = entries[rows->Data(i)];
        if (SendMessageW(listBox, LB_GETSEL, i, 0) <= 0)
            continue;
        if (!e.heading) {
            selected.push_back(&notes[static_cast<size_t>(e.note)]);
            continue;
        }
        // A selected heading stands for its whole group.
        for (int j = i + 1; j < rows->Count() && !entries[rows->Data(j)].heading; ++j) {
            if (SendMessageW(listBox, LB_GETSEL, j, 0) <= 0)
                selected.push_back(&notes[static_cast<size_t>(entries[rows->Data(j)].note)]);
        }
    }
    return selected;
}

const CheckRow* CheckListBox::CurrentNote() const {
    if (!rows)
        return nullptr;
    const LRESULT caret = SendMessageW(listBox, LB_GETCARETINDEX, 0, 0);
    if (caret < 0 || caret >= rows->Count() || SendMessageW(listBox, LB_GETSEL, caret, 0) <= 0)
        return nullptr;
    const CheckListEntry& e = entries[rows->Data(static_cast<int>(caret))];
    return e.heading ? nullptr : &notes[static_cast<size_t>(e.note)];
}

FileResult* CheckListBox::CurrentAsResult() const {
    const CheckRow* note = CurrentNote();
    if (!note)
        return nullptr;
    WIN32_FIND_DATAW entry{};
    const std::wstring name = PathFileName(note->path);
    wcsncpy(entry.cFileName, name.c_str(), MAX_PATH - 1);
    FileResult* row = FileResult::Create(note->path.c_str(), entry);
    if (!row)
        return nullptr;
    ShownSegment segment;
    segment.id = note->id;
    segment.source = note->source;
    segment.target = note->target;
    segment.sourceHits = note->sourceSpans;
    segment.targetHits = note->targetSpans;
    segment.state = note->state;
    segment.locked = note->locked;
    row->segments.push_back(std::move(segment));
    return row;
}

bool CheckListBox::SelectRow(int row) {
    if (!rows || !rows->IsRow(row))
        return false;
    SendMessageW(listBox, LB_SETSEL, FALSE, -1);
    SendMessageW(listBox, LB_SETSEL, TRUE, row);
    SendMessageW(listBox, LB_SETCARETINDEX, row, FALSE);
    SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(IDC_CHECK_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(hwnd));
    return true;
}

bool CheckListBox::IsIgnored(const CheckRow& row) const { return ignore && ignore->Contains(row); }

void CheckListBox::SetShowIgnored(bool show) {
    if (show == showIgnored)
        return;
    showIgnored = show;
    Rebuild();
}

void CheckListBox::ToggleIgnoreSelected() {
    if (!ignore)
        return;
    const std::vector<const CheckRow*> selected = SelectedNotes();
    if (selected.empty())
        return;
    for (const CheckRow* note : selected) {
        const size_t index = static_cast<size_t>(note - notes.data());
        if (ignored[index])
            ignore->Remove(*note);
        else
            ignore->Add(*note);
    }
    // The same segment may be flagged by the note more than once (a member
    // of two groups): every row of it follows.
    for (size_t i = 0; i < notes.size(); ++i)
        ignored[i] = ignore->Contains(notes[i]);
    SaveIgnored();
    // Rows that went out of sight leave the caret on the row after them.
    LRESULT caret = SendMessageW(listBox, LB_GETCARETINDEX, 0, 0);
    SendMessageW(listBox, LB_SETSEL, FALSE, -1);
    Rebuild();
    if (!showIgnored && rows && rows->Count() > 0) {
        caret = std::clamp<LRESULT>(caret, 0, rows->Count() - 1);
        if (entries[rows->Data(static_cast<int>(caret))].heading && caret + 1 < rows->Count())
            ++caret;
        SelectRow(static_cast<int>(caret));
    } else {
        SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(IDC_CHECK_LIST, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(hwnd));
    }
}

void CheckListBox::SaveIgnored() {
    if (!ignore || ignorePath.empty())
        return;
    DWORD error = 0;
    if (!ignore->Save(ignorePath, &error))
        ShowFailure(GetAncestor(hwnd, GA_ROOT), IDS_IGNORE_SAVE_FAILED, ignorePath, error);
}

std::wstring CheckListBox::ShownFile(const CheckRow& row) const {
    if (!baseFolder.empty()) {
        const std::wstring location = SplitLocation(row.path.c_str());
        return L"." + RelativeLocation(location.c_str(), baseFolder.c_str()) + PathFileName(row.path);
    }
    return row.path;
}

void CheckListBox::Copy() {
    std::wstring text;
    for (const CheckRow* note : SelectedNotes()) {
        text += std::wstring(CheckName(note->kind)) + L'\t' + note->path + L'\t' + OneLine(note->id) + L'\t' +
                OneLine(note->message) + L'\t' + OneLine(note->source) + L'\t' + OneLine(note->target) + L"\r\n";
    }
    if (!text.empty())
        PutTextOnClipboard(hwnd, text);
}

void CheckListBox::SelectAll() {
    if (rows && rows->Count() > 0)
        SendMessageW(listBox, LB_SELITEMRANGEEX, 0, rows->Count() - 1);
}

void CheckListBox::OpenCurrent() {
    if (const CheckRow* note = CurrentNote())
        OpenFileAtLine(hwnd, editor, note->path, note->line > 0 ? note->line : 1);
}

int CheckListBox::MeasureRow(ULONG_PTR data) {
    const int line = ScalePixels(kRowLineHeight, dpi);
    if (data >= entries.size() || entries[data].heading)
        return line + ScalePixels(6, dpi);
    return kNoteLines * line + ScalePixels(5, dpi);
}

void CheckListBox::DrawRow(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const COLORREF oldText = SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const COLORREF oldBack = SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &item.rcItem, nullptr, 0, nullptr);
    const int line = ScalePixels(kRowLineHeight, dpi);
    const int pad = ScalePixels(4, dpi);
    if (item.itemData < entries.size()) {
        const CheckListEntry& e = entries[item.itemData];
        RECT box = item.rcItem;
        if (e.heading) {
            // "Numbers (12)", bold, a rule under it.
            std::wstring text = std::wstring(CheckHeading(static_cast<CheckKind>(e.kind))) + L" (" +
                                std::to_wstring(e.count) + L")";
            HGDIOBJ oldFont = boldFont ? SelectObject(dc, boldFont) : nullptr;
            box.left += pad;
            box.top += ScalePixels(3, dpi);
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, DT_SINGLELINE | DT_NOPREFIX | DT_TOP);
            if (oldFont)
                SelectObject(dc, oldFont);
            if (!selected) {
                RECT rule = {item.rcItem.left, item.rcItem.bottom - 1, item.rcItem.right, item.rcItem.bottom};
                SetBkColor(dc, GetSysColor(COLOR_BTNSHADOW));
                ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rule, nullptr, 0, nullptr);
            }
        } else {
            const CheckRow& note = notes[static_cast<size_t>(e.note)];
            const bool isIgnored = ignored[static_cast<size_t>(e.note)];
            const int left = item.rcItem.left + ScalePixels(kIndent, dpi);
            RECT first = {left + pad, item.rcItem.top + ScalePixels(2, dpi), item.rcItem.right - pad,
                          item.rcItem.top + ScalePixels(2, dpi) + line};
            // The message first, then where: the file and the segment id.
            if (isIgnored && !selected)
                SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
            HGDIOBJ oldFont = boldFont ? SelectObject(dc, boldFont) : nullptr;
            std::wstring message = OneLine(note.message);
            if (isIgnored)
                message = LoadResourceText(IDS_CHECK_IGNORED) + L" " + message;
            RECT measured = first;
            DrawTextW(dc, message.c_str(), static_cast<int>(message.size()), &measured,
                      DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
            DrawTextW(dc, message.c_str(), static_cast<int>(message.size()), &first,
                      DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
            if (oldFont)
                SelectObject(dc, oldFont);
            RECT where = first;
            where.left = std::min<LONG>(measured.right + ScalePixels(12, dpi), first.right);
            const std::wstring place = ShownFile(note) + L"   " + OneLine(note.id);
            if (!selected)
                SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
            DrawTextW(dc, place.c_str(), static_cast<int>(place.size()), &where,
                      DT_SINGLELINE | DT_NOPREFIX | DT_PATH_ELLIPSIS);
            SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
            // Source and target, the spans the check points at marked.
            RECT source = {left, first.bottom, item.rcItem.right, first.bottom + line};
            RECT target = {left, source.bottom, item.rcItem.right, source.bottom + line};
            DrawMarkedText(dc, source, OneLine(note.source), &note.sourceSpans, nullptr, selected, dpi);
            DrawMarkedText(dc, target, OneLine(note.target), &note.targetSpans, nullptr, selected, dpi);
        }
    }
    if ((item.itemState & ODS_FOCUS) && GetFocus() == listBox) {
        RECT focus = item.rcItem;
        DrawFocusRect(dc, &focus);
    }
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
}

void CheckListBox::ShowRowMenu(int x, int y) {
    POINT at = {x, y};
    if (x == -1 && y == -1) {
        // From the keyboard: at the caret's row.
        RECT row{};
        const LRESULT caret = SendMessageW(listBox, LB_GETCARETINDEX, 0, 0);
        SendMessageW(listBox, LB_GETITEMRECT, caret, reinterpret_cast<LPARAM>(&row));
        at = {row.left + ScalePixels(20, dpi), row.top + ScalePixels(8, dpi)};
        ClientToScreen(listBox, &at);
    } else {
        POINT client = at;
        ScreenToClient(listBox, &client);
        const LRESULT hit = SendMessageW(listBox, LB_ITEMFROMPOINT, 0, MAKELPARAM(client.x, client.y));
        const int row = LOWORD(hit);
        if (!HIWORD(hit) && !SendMessageW(listBox, LB_GETSEL, row, 0))
            SelectRow(row);
    }
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    const std::vector<const CheckRow*> selected = SelectedNotes();
    const UINT state = selected.empty() ? MF_GRAYED : MF_ENABLED;
    const bool letBack = !selected.empty() && std::all_of(selected.begin(), selected.end(), [this](const CheckRow* n) {
        return ignored[static_cast<size_t>(n - notes.data())];
    });
    HMENU main = GetMenu(GetAncestor(hwnd, GA_ROOT));
    auto add = [&](int id, UINT flags) {
        wchar_t text[128] = {};
        GetMenuStringW(main, id, text, 128, MF_BYCOMMAND);
        AppendMenuW(menu, MF_STRING | flags, id, text);
    };
    add(IDM_OPEN_FILE, CurrentNote() ? MF_ENABLED : MF_GRAYED);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | state, IDM_IGNORE,
                LoadResourceText(letBack ? IDS_CHECK_LET_BACK : IDS_CHECK_IGNORE).c_str());
    add(IDM_COPY, state);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    add(IDM_SELECT_ALL, RowCount() > 0 ? MF_ENABLED : MF_GRAYED);
    SetMenuDefaultItem(menu, IDM_OPEN_FILE, FALSE);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, GetAncestor(hwnd, GA_ROOT), nullptr);
    DestroyMenu(menu);
}
