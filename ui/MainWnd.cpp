// Main window: creation of the panes, layout, menu states and commands.
#include "ui/MainWnd.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "base/ResourceText.h"
#include "base/SearchRecords.h"
#include "base/Settings.h"
#include "resource.h"
#include "ui/CheckListBox.h"
#include "ui/Dialogs.h"
#include "ui/ResultListBox.h"
#include "ui/SearchControls.h"
#include "ui/SegmentList.h"
#include "ui/controls/SplitWindow.h"
#include "ui/WindowPlacement.h"

bool IsEditControl(HWND window) {
    if (!window)
        return false;
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    return CompareStringOrdinal(name, -1, L"Edit", -1, TRUE) == CSTR_EQUAL;
}

bool IsInComboBox(HWND window) {
    for (int level = 0; window && level < 2; ++level, window = GetParent(window)) {
        wchar_t name[128] = {};
        GetClassNameW(window, name, 128);
        if (CompareStringOrdinal(name, -1, L"ComboBox", -1, TRUE) == CSTR_EQUAL)
            return true;
    }
    return false;
}

MainWnd::MainWnd(AppCommandHandler* app, int minTrackWidth, int minTrackHeight)
    : app(app), minTrackWidth(minTrackWidth), minTrackHeight(minTrackHeight) {}

MainWnd::~MainWnd() = default;

bool MainWnd::RegisterWindowClass(HINSTANCE newInstance) {
    instance = newInstance;
    const std::wstring name = LoadResourceText(IDS_WINDOW_CLASS);
    wcsncpy(className, name.empty() ? L"MIRLOCK" : name.c_str(), 100);
    WNDCLASSEXW wc{};
    if (GetClassInfoExW(instance, className, &wc))
        return true;
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = SharedWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_MIRLOCK));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_MIRLOCK), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszMenuName = MAKEINTRESOURCEW(IDR_MAINMENU);
    wc.lpszClassName = className;
    return RegisterClassExW(&wc) != 0;
}

HWND MainWnd::Create(HINSTANCE newInstance, const wchar_t* commandLine) {
    instance = newInstance;
    const std::wstring title = LoadResourceText(IDS_APP_TITLE);
    // The place it had when it was closed, on the screen it is on now; or,
    // at first, a size scaled to the DPI in the middle of the work area.
    const int dpi = WindowDpi(nullptr);
    const StoredPlacement stored = ReadStoredPlacement();
    RECT rect{};
    if (stored.valid) {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromRect(&stored.normal, MONITOR_DEFAULTTONEAREST), &monitor);
        rect = PlacedRect(stored, monitor.rcWork, dpi);
        startMaximized = stored.maximized;
    } else {
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        rect = DefaultWindowRect(work, dpi);
    }
    HWND created = CreateWindowExW(0, className, title.c_str(), WS_OVERLAPPEDWINDOW, rect.left, rect.top,
                                   rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, instance,
                                   this);
    if (!created)
        return nullptr;
    DragAcceptFiles(created, TRUE);
    if (commandLine && commandLine[0])
        SetLookInText(commandLine);
    return created;
}

HWND MainWnd::PanelWindow() const { return panel ? panel->hwnd : nullptr; }

void MainWnd::SetLookInText(const wchar_t* text) {
    if (HWND p = PanelWindow())
        SetDlgItemTextW(p, IDC_LOOK_IN, text);
}

namespace {
constexpr UINT_PTR kStatusTimerId = 1;
}

void MainWnd::SetStatusText(const wchar_t* text, bool immediate) {
    if (!statusBar)
        return;
    const ULONGLONG now = GetTickCount64();
    if (!immediate && now - lastStatusTick < kStatusRefreshMs) {
        pendingStatus = text;
        if (!statusTimer)
            statusTimer = SetTimer(hwnd, kStatusTimerId, kStatusRefreshMs, nullptr) != 0;
        return;
    }
    if (statusTimer) {
        KillTimer(hwnd, kStatusTimerId);
        statusTimer = false;
    }
    pendingStatus.clear();
    lastStatusTick = now;
    SetWindowTextW(statusBar, text);
}

SIZE MainWnd::MinimumWindowSize(int dpi) const {
    // Sent while the window is made, before its panes exist.
    if (!hwnd || !panel || !panel->hwnd)
        return {0, 0};
    RECT client = {0, 0,
                   panel->MinWidth() + ScalePixels(SplitWindow::kWidth, dpi) + ScalePixels(ResultListBox::kMinWidth, dpi),
                   panel->ContentHeight()};
    if (statusBar && (GetWindowLongW(statusBar, GWL_STYLE) & WS_VISIBLE)) {
        RECT s{};
        GetWindowRect(statusBar, &s);
        client.bottom += s.bottom - s.top;
    }
    AdjustWindowRectEx(&client, static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)), GetMenu(hwnd) != nullptr,
                       static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE)));
    return {client.right - client.left, client.bottom - client.top};
}

void MainWnd::FitMinimumSize() {
    if (!hwnd || IsZoomed(hwnd) || IsIconic(hwnd))
        return;
    MINMAXINFO info{};
    SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    RECT w{};
    GetWindowRect(hwnd, &w);
    const LONG width = std::max(w.right - w.left, info.ptMinTrackSize.x);
    const LONG height = std::max(w.bottom - w.top, info.ptMinTrackSize.y);
    if (width != w.right - w.left || height != w.bottom - w.top)
        SetWindowPos(hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWnd::SetStatusParts() {
    if (!statusBar)
        return;
    RECT client{};
    GetClientRect(hwnd, &client);
    int parts[2] = {std::max<int>(0, client.right - ScalePixels(60, WindowDpi(hwnd))), client.right};
    SendMessageW(statusBar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
}

bool MainWnd::OnCreate(const CREATESTRUCTW*, LRESULT* result) {
    *result = 0;
    RECT client{};
    GetClientRect(hwnd, &client);
    const int dpi = WindowDpi(hwnd);
    font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

    statusBar = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP,
                                0, 0, 0, 0, hwnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS_BAR)),
                                instance, nullptr);
    SetStatusParts();
    int available = client.bottom;
    if (statusBar) {
        RECT s{};
        GetWindowRect(statusBar, &s);
        available -= s.bottom - s.top;
    }

    // The panel's date pickers are a common control of their own.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_DATE_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    panel = std::make_unique<SearchControls>(app);
    HWND panelWindow = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_SEARCH_PANEL), hwnd,
                                          SharedDialogProc, reinterpret_cast<LPARAM>(panel.get()));
    if (panelWindow)
        SendMessageW(panelWindow, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    // The bar where it was left (its place at 96 DPI is stored), else at a
    // third; never so far left that the panel's controls are cut.
    const PaneSplit split =
        PlacedPaneSplit(client.right, dpi, panel->MinWidth(), ReadSettingInt(L"SplitterPosition", 0),
                        ScalePixels(ResultListBox::kMinWidth, dpi));

    resultList = std::make_unique<ResultListBox>();
    if (!ResultListBox::RegisterWindowClass(instance) ||
        !CreateWindowExW(0, ResultListBox::kClassName, nullptr,
                         WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, split.barRight, 0,
                         split.listWidth, available, hwnd,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_RESULT_LIST)), instance,
                         resultList.get())) {
        resultList.reset();
        return true;  // a main window without result list and splitter
    }
    SendMessageW(resultList->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);

    // The checks list, in the same place, shown in place of the results.
    checkList = std::make_unique<CheckListBox>();
    if (CheckListBox::RegisterWindowClass(instance) &&
        CreateWindowExW(0, CheckListBox::kClassName, nullptr, WS_CHILD | WS_CLIPCHILDREN, split.barRight, 0,
                        split.listWidth, available, hwnd,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_CHECK_LIST)), instance, checkList.get()))
        SendMessageW(checkList->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    else
        checkList.reset();

    // The segment list below the result list, as it was left.
    showSegments = ReadSettingInt(L"ShowSegments", 1) != 0;
    segmentHeight = std::max(SegmentList::kMinHeight, ReadSettingInt(L"SegmentListHeight", SegmentList::kDefaultHeight));
    segmentList = std::make_unique<SegmentList>();
    if (segmentList->Create(hwnd, instance, dpi)) {
        SendMessageW(segmentList->Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        segmentBar = std::make_unique<SegmentBar>([this](int top) {
            // The list takes what is below the bar.
            const int dpiNow = WindowDpi(hwnd);
            const int bar = ScalePixels(SegmentBar::kHeight, dpiNow);
            const int height = rightColumn.bottom - top - bar;
            segmentHeight = std::max(SegmentList::kMinHeight, MulDiv(height, 96, dpiNow));
            PlaceRightColumn(rightColumn);
        });
        if (!segmentBar->Create(hwnd, instance))
            segmentBar.reset();
    } else {
        segmentList.reset();
    }

    splitter = std::make_unique<SplitWindow>(this);
    const RECT barRect = {split.barLeft, 0, split.barRight, available};
    if (splitter->Create(hwnd, instance, barRect, IDC_SPLITTER))
        splitter->SetPanes(panelWindow, resultList->hwnd);
    else
        splitter.reset();
    // The view as it was left.
    if (!ReadSettingInt(L"ShowContext", 1))
        resultList->SetShowContext(false);
    resultList->SetSortOrder(ReadSettingInt(L"SortColumn", 0), ReadSettingInt(L"SortAscending", 0) != 0);
    // The columns as wide as they were left (stored at 96 DPI).
    std::vector<int> widths = resultList->ColumnWidths96();
    for (size_t i = 0; i < widths.size(); ++i)
        widths[i] = ReadSettingInt(IndexedSettingName(L"ColumnWidth%d", static_cast<int>(i)).c_str(), widths[i]);
    resultList->SetColumnWidths96(widths);
    if (statusBar && !ReadSettingInt(L"ShowStatusBar", 1))
        ShowWindow(statusBar, SW_HIDE);
    Relayout();
    return true;
}

void MainWnd::SaveView() {
    const int dpi = WindowDpi(hwnd);
    WriteStoredPlacement(hwnd, dpi);
    if (splitter)
        WriteSettingInt(L"SplitterPosition", MulDiv(splitter->BarRect().left, 96, dpi));
    if (statusBar)
        WriteSettingInt(L"ShowStatusBar", (GetWindowLongW(statusBar, GWL_STYLE) & WS_VISIBLE) != 0);
    WriteSettingInt(L"ShowSegments", showSegments);
    WriteSettingInt(L"SegmentListHeight", segmentHeight);
    if (resultList) {
        WriteSettingInt(L"ShowContext", resultList->ShowsContext());
        WriteSettingInt(L"SortColumn", resultList->SortColumn());
        WriteSettingInt(L"SortAscending", resultList->SortAscending());
        const std::vector<int> widths = resultList->ColumnWidths96();
        for (size_t i = 0; i < widths.size(); ++i)
            WriteSettingInt(IndexedSettingName(L"ColumnWidth%d", static_cast<int>(i)).c_str(), widths[i]);
    }
}

namespace {

// The panel's controls that Tab stops at, in tab order.
std::vector<HWND> TabStops(HWND panel) {
    std::vector<HWND> stops;
    for (HWND c = GetWindow(panel, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        const LONG style = GetWindowLongW(c, GWL_STYLE);
        if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED))
            stops.push_back(c);
    }
    return stops;
}

}  // namespace

bool MainWnd::TranslatePaneKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || !resultList || !panel || !panel->hwnd)
        return false;
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0)
        return false;
    HWND focus = GetFocus();
    HWND panelWindow = panel->hwnd;
    const bool checks = showChecks && checkList;
    HWND shownList = checks ? checkList->ListBox() : resultList->ListBox();
    const bool inList = checks ? checkList->IsOwnWindow(focus) : resultList->IsOwnWindow(focus);
    if (msg.wParam == VK_RETURN && focus == shownList && shownList) {
        if (checks)
            checkList->OpenCurrent();
        else
            resultList->OpenCurrent();
        return true;
    }
    if (msg.wParam != VK_TAB)
        return false;
    const bool back = GetKeyState(VK_SHIFT) < 0;
    const std::vector<HWND> stops = TabStops(panelWindow);
    if (stops.empty())
        return false;
    // The panes in tab order: the panel, the result list, the segment list.
    HWND segments = showSegments && segmentList && IsWindowVisible(segmentList->Handle()) ? segmentList->Handle()
                                                                                          : nullptr;
    if (inList) {
        SetFocus(back ? stops.back() : segments ? segments : stops.front());
        return true;
    }
    if (segments && focus == segments) {
        SetFocus(back ? shownList : stops.front());
        return true;
    }
    // The panel's own control that holds the focus (a combo box for its edit field).
    HWND control = focus;
    while (control && GetParent(control) != panelWindow)
        control = GetParent(control);
    if (!control)
        return false;
    if (control != (back ? stops.front() : stops.back()))
        return false;
    SetFocus(back && segments ? segments : shownList);
    return true;
}

void MainWnd::PlaceRightColumn(const RECT& area) {
    rightColumn = area;
    if (!resultList)
        return;
    const int width = std::max<int>(0, area.right - area.left);
    const int height = std::max<int>(0, area.bottom - area.top);
    const bool segments = showSegments && segmentList && segmentBar;
    int listHeight = height;
    if (segments) {
        // The segment list keeps its height while the result list keeps a
        // few rows; short of room, both give way.
        const int dpi = WindowDpi(hwnd);
        const int bar = ScalePixels(SegmentBar::kHeight, dpi);
        const int leastList = std::min(height / 2, ScalePixels(80, dpi));
        int below = std::min(ScalePixels(segmentHeight, dpi), std::max(0, height - bar - leastList));
        below = std::max(0, below);
        listHeight = std::max(0, height - bar - below);
        MoveWindow(segmentBar->hwnd, area.left, area.top + listHeight, width, bar, TRUE);
        MoveWindow(segmentList->Handle(), area.left, area.top + listHeight + bar, width, below, TRUE);
    }
    if (segmentList)
        ShowWindow(segmentList->Handle(), segments ? SW_SHOWNA : SW_HIDE);
    if (segmentBar)
        ShowWindow(segmentBar->hwnd, segments ? SW_SHOWNA : SW_HIDE);
    const bool checks = showChecks && checkList;
    HWND shown = checks ? checkList->hwnd : resultList->hwnd;
    MoveWindow(shown, area.left, area.top, width, listHeight, TRUE);
    ShowWindow(shown, SW_SHOWNA);
    if (checkList)
        ShowWindow(checks ? resultList->hwnd : checkList->hwnd, SW_HIDE);
}

int MainWnd::ReservedBelow() const {
    if (!statusBar || !IsWindowVisible(statusBar))
        return 0;
    RECT s{};
    GetWindowRect(statusBar, &s);
    return s.bottom - s.top;
}

void MainWnd::UpdateSegments() {
    if (!segmentList || !resultList)
        return;
    if (!showChecks || !checkList) {
        segmentList->ShowRow(showSegments ? resultList->CurrentResult() : nullptr);
        return;
    }
    // The selected note's segment alone.
    FileResult* note = showSegments ? checkList->CurrentAsResult() : nullptr;
    if (note)
        note->AddRef();
    segmentList->ShowRow(note);
    if (note)
        note->Release();
}

void MainWnd::StepFile(bool forward) {
    if (showChecks || !resultList || resultList->RowCount() == 0)
        return;
    // Rows of files that could not be read hold no hit: passed over.
    const int count = resultList->RowCount();
    // Without a selected row the steps begin before the first (or after the last).
    int row = resultList->CurrentResult() ? resultList->CaretRow() : -1;
    for (int n = 0; n < count; ++n) {
        row = row < 0 ? (forward ? 0 : count - 1) : row + (forward ? 1 : -1);
        if (row < 0 || row >= count)
            return;  // no file beyond the last or before the first
        const FileResult* result = resultList->RowResult(row);
        if (result && result->status == kFileSearched && !result->matches.empty()) {
            resultList->SelectRow(row);
            return;
        }
    }
}

void MainWnd::StepHit(bool forward) {
    if (showChecks || !resultList || !segmentList)
        return;
    if (!showSegments)
        SetShowSegments(true);
    if (!resultList->CurrentResult()) {
        StepFile(forward);
        if (segmentList->LineCount() > 0)
            segmentList->SelectLine(forward ? 0 : segmentList->LineCount() - 1);
        return;
    }
    const int line = segmentList->CurrentLine();
    const int next = line < 0 ? (forward ? 0 : segmentList->LineCount() - 1) : line + (forward ? 1 : -1);
    if (next >= 0 && next < segmentList->LineCount()) {
        segmentList->SelectLine(next);
        return;
    }
    // Past the file's ends: the next file with hits, at its first (or last) line.
    const int row = resultList->CaretRow();
    StepFile(forward);
    if (resultList->CaretRow() != row && segmentList->LineCount() > 0)
        segmentList->SelectLine(forward ? 0 : segmentList->LineCount() - 1);
}

void MainWnd::SetShowChecks(bool show) {
    if (!checkList)
        show = false;
    if (show == showChecks)
        return;
    HWND focus = GetFocus();
    const bool listFocused = show ? resultList && resultList->IsOwnWindow(focus) : checkList->IsOwnWindow(focus);
    showChecks = show;
    Relayout();
    UpdateSegments();
    if (listFocused)
        SetFocus(show ? checkList->ListBox() : resultList->ListBox());
}

void MainWnd::SetShowSegments(bool show) {
    showSegments = show;
    if (!show && segmentList && GetFocus() == segmentList->Handle() && resultList)
        SetFocus(resultList->ListBox());
    Relayout();
    UpdateSegments();
}

void MainWnd::Relayout() {
    if (statusBar) {
        SendMessageW(statusBar, WM_SIZE, 0, 0);
        SetStatusParts();
    }
    if (splitter)
        SendMessageW(splitter->hwnd, WM_SIZE, 0, 0);
}

bool MainWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    *result = 0;
    switch (message) {
    case WM_CREATE:
        return OnCreate(reinterpret_cast<const CREATESTRUCTW*>(lParam), result);
    case WM_DESTROY:
        SaveView();
        PostQuitMessage(0);
        return true;
    case WM_SIZE:
        Relayout();
        return true;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return true;
    }
    case WM_ERASEBKGND:
        *result = 1;
        return true;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        const int dpi = WindowDpi(hwnd);
        const SIZE least = MinimumWindowSize(dpi);
        info->ptMinTrackSize.x = std::max(ScalePixels(minTrackWidth, dpi), static_cast<int>(least.cx));
        info->ptMinTrackSize.y = std::max(ScalePixels(minTrackHeight, dpi), static_cast<int>(least.cy));
        info->ptMaxTrackSize.x = GetSystemMetrics(SM_CXMAXTRACK);
        info->ptMaxTrackSize.y = GetSystemMetrics(SM_CYMAXTRACK);
        return true;
    }
    case WM_COMMAND:
        if ((LOWORD(wParam) == IDC_RESULT_LIST || LOWORD(wParam) == IDC_CHECK_LIST) && HIWORD(wParam) == LBN_SELCHANGE &&
            lParam) {
            UpdateSegments();
            return true;
        }
        OnCommand(LOWORD(wParam));
        return true;
    case WM_NOTIFY:
        if (segmentList && segmentList->OnNotify(reinterpret_cast<const NMHDR*>(lParam), result))
            return true;
        return false;
    case WM_INITMENUPOPUP:
        if (!HIWORD(lParam))
            UpdateMenu(LOWORD(lParam), reinterpret_cast<HMENU>(wParam));
        return true;
    case WM_TIMER:
        if (wParam == kStatusTimerId) {
            KillTimer(hwnd, kStatusTimerId);
            statusTimer = false;
            if (!pendingStatus.empty()) {
                const std::wstring text = pendingStatus;
                SetStatusText(text.c_str(), true);
            }
            return true;
        }
        return false;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return true;
    case 0x02E0: {  // WM_DPICHANGED: take the size the system suggests
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        if (resultList)
            resultList->SetShowContext(resultList->ShowsContext());  // rows measured again
        if (segmentList)
            segmentList->SetDpi(HIWORD(wParam));
        return true;
    }
    default:
        return false;
    }
}

void MainWnd::OnCommand(int id) {
    switch (id) {
    case IDOK:
    case IDCANCEL:
    case IDM_SEARCH:
    case IDM_OPTIONS:
    case IDM_EXPORT:
    case IDM_CHECK_SEGMENTS:
        if (app)
            app->HandleAppCommand(id);
        break;
    case IDM_ABOUT:
        ShowAbout();
        break;
    case IDM_EXIT:
        DestroyWindow(hwnd);
        break;
    case IDM_OPEN_FILE:
        if (showChecks && checkList)
            checkList->OpenCurrent();
        else if (resultList)
            resultList->OpenCurrent();
        break;
    case IDM_VIEW_RESULTS:
        SetShowChecks(false);
        break;
    case IDM_NEXT_HIT:
    case IDM_PREVIOUS_HIT:
        StepHit(id == IDM_NEXT_HIT);
        break;
    case IDM_NEXT_FILE:
    case IDM_PREVIOUS_FILE:
        StepFile(id == IDM_NEXT_FILE);
        break;
    case IDM_VIEW_CHECKS:
        SetShowChecks(true);
        break;
    case IDM_IGNORED_CHECKS:
        if (checkList) {
            checkList->SetShowIgnored(!checkList->ShowsIgnored());
            SetShowChecks(true);
        }
        break;
    case IDM_IGNORE:
        if (checkList && showChecks)
            checkList->ToggleIgnoreSelected();
        break;
    case IDM_CONTEXT:
        if (resultList)
            resultList->SetShowContext(!resultList->ShowsContext());
        break;
    case IDM_SEGMENTS:
        SetShowSegments(!showSegments);
        break;
    case IDM_STATUS_BAR:
        if (statusBar) {
            ShowWindow(statusBar, IsWindowVisible(statusBar) ? SW_HIDE : SW_SHOW);
            Relayout();
        }
        break;
    case IDM_CUT:
    case IDM_COPY:
    case IDM_PASTE:
    case IDM_DELETE:
    case IDM_SELECT_ALL:
    case IDM_UNDO:
        EditCommand(id);
        break;
    case IDM_COPY_PATH:
        if (resultList)
            resultList->CopyPaths();
        break;
    case IDM_COPY_FULL_PATH:
        if (resultList)
            resultList->CopyFullPaths();
        break;
    case IDM_OPEN_FOLDER:
        if (resultList)
            resultList->OpenFolders();
        break;
    case IDM_OPEN_WITH:
        if (resultList)
            resultList->OpenWith();
        break;
    default:
        break;
    }
}

void MainWnd::EditCommand(int id) {
    HWND focus = GetFocus();
    if (IsEditControl(focus)) {
        switch (id) {
        case IDM_CUT: SendMessageW(focus, WM_CUT, 0, 0); break;
        case IDM_COPY: SendMessageW(focus, WM_COPY, 0, 0); break;
        case IDM_PASTE: SendMessageW(focus, WM_PASTE, 0, 0); break;
        case IDM_DELETE: {
            DWORD start = 0, end = 0;
            SendMessageW(focus, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                         reinterpret_cast<LPARAM>(&end));
            if (start == end) {
                // The Delete key is an accelerator: without a selection it
                // still removes the character after the caret.
                SendMessageW(focus, WM_KEYDOWN, VK_DELETE, 0);
            } else {
                SendMessageW(focus, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
            }
            break;
        }
        case IDM_SELECT_ALL: SendMessageW(focus, EM_SETSEL, 0, -1); break;
        case IDM_UNDO: SendMessageW(focus, WM_UNDO, 0, 0); break;
        default: break;
        }
        return;
    }
    if (segmentList && focus == segmentList->Handle()) {
        if (id == IDM_COPY)
            segmentList->Copy(hwnd);
        else if (id == IDM_SELECT_ALL)
            segmentList->SelectAll();
        return;
    }
    if (checkList && checkList->IsOwnWindow(focus)) {
        if (id == IDM_COPY)
            checkList->Copy();
        else if (id == IDM_DELETE)
            checkList->ToggleIgnoreSelected();
        else if (id == IDM_SELECT_ALL)
            checkList->SelectAll();
        return;
    }
    if (resultList && resultList->IsOwnWindow(focus))
        resultList->EditCommand(id);
}

void MainWnd::UpdateMenu(int popupIndex, HMENU menu) {
    auto enable = [menu](int id, bool on) {
        EnableMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
    };
    HWND focus = GetFocus();
    switch (popupIndex) {
    case 0:
        enable(IDM_EXPORT, showChecks && checkList ? checkList->NoteCount() > 0 : resultList && resultList->RowCount() > 0);
        break;
    case 1:
        enable(IDM_COPY_PATH, false);
        enable(IDM_COPY_FULL_PATH, false);
        if (resultList && resultList->IsOwnWindow(focus)) {
            const bool any = resultList->SelectedCount() > 0;
            for (int id : {IDM_COPY, IDM_CUT, IDM_DELETE, IDM_COPY_PATH, IDM_COPY_FULL_PATH})
                enable(id, any);
            enable(IDM_PASTE, false);
            enable(IDM_UNDO, false);
            enable(IDM_SELECT_ALL, resultList->RowCount() > 0);
        } else if (checkList && checkList->IsOwnWindow(focus)) {
            const bool any = !checkList->SelectedNotes().empty();
            for (int id : {IDM_CUT, IDM_PASTE, IDM_UNDO})
                enable(id, false);
            enable(IDM_COPY, any);
            enable(IDM_DELETE, any);
            enable(IDM_SELECT_ALL, checkList->RowCount() > 0);
        } else if (segmentList && focus == segmentList->Handle()) {
            for (int id : {IDM_CUT, IDM_DELETE, IDM_PASTE, IDM_UNDO})
                enable(id, false);
            enable(IDM_COPY, !segmentList->SelectedLines().empty());
            enable(IDM_SELECT_ALL, segmentList->LineCount() > 0);
        } else if (IsEditControl(focus)) {
            enable(IDM_PASTE, IsClipboardFormatAvailable(CF_TEXT) != 0);
            DWORD start = 0, end = 0;
            SendMessageW(focus, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                         reinterpret_cast<LPARAM>(&end));
            for (int id : {IDM_COPY, IDM_CUT, IDM_DELETE})
                enable(id, start != end);
            enable(IDM_UNDO, SendMessageW(focus, EM_CANUNDO, 0, 0) != 0);
        }
        break;
    case 2:
        CheckMenuRadioItem(menu, IDM_VIEW_RESULTS, IDM_VIEW_CHECKS,
                           showChecks ? IDM_VIEW_CHECKS : IDM_VIEW_RESULTS, MF_BYCOMMAND);
        enable(IDM_VIEW_CHECKS, checkList != nullptr);
        enable(IDM_IGNORED_CHECKS, checkList != nullptr);
        CheckMenuItem(menu, IDM_IGNORED_CHECKS,
                      MF_BYCOMMAND | (checkList && checkList->ShowsIgnored() ? MF_CHECKED : MF_UNCHECKED));
        enable(IDM_CONTEXT, !showChecks);
        for (int id : {IDM_NEXT_HIT, IDM_PREVIOUS_HIT, IDM_NEXT_FILE, IDM_PREVIOUS_FILE})
            enable(id, !showChecks && resultList && resultList->RowCount() > 0);
        CheckMenuItem(menu, IDM_CONTEXT,
                      MF_BYCOMMAND | (resultList && resultList->ShowsContext() ? MF_CHECKED : MF_UNCHECKED));
        CheckMenuItem(menu, IDM_SEGMENTS, MF_BYCOMMAND | (showSegments ? MF_CHECKED : MF_UNCHECKED));
        CheckMenuItem(menu, IDM_STATUS_BAR,
                      MF_BYCOMMAND | (statusBar && IsWindowVisible(statusBar) ? MF_CHECKED : MF_UNCHECKED));
        break;
    case 3:
        if (showChecks && checkList) {
            enable(IDM_OPEN_FILE, checkList->CurrentNote() != nullptr);
            enable(IDM_OPEN_FOLDER, false);
            enable(IDM_OPEN_WITH, false);
        } else {
            enable(IDM_OPEN_FILE, resultList && resultList->SelectedCount() > 0);
            enable(IDM_OPEN_FOLDER, resultList && resultList->SelectedCount() > 0);
            enable(IDM_OPEN_WITH, resultList && resultList->CurrentResult());
        }
        enable(IDM_CHECK_SEGMENTS, true);
        enable(IDM_SEARCH, true);
        enable(IDM_OPTIONS, true);
        break;
    default:
        break;
    }
}

void MainWnd::ShowAbout() {
    versionText = std::make_unique<wchar_t[]>(kPathChars);
    BuildVersionLine(versionText.get(), kPathChars);
    RunAboutDialog(hwnd, versionText.get());
    versionText.reset();
}

void MainWnd::OnDropFiles(HDROP drop) {
    wchar_t path[MAX_PATH] = {};
    const UINT n = DragQueryFileW(drop, 0, path, MAX_PATH);
    DragFinish(drop);
    if (n == 0 || n >= MAX_PATH)
        return;
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // A file stands for the folder it is in.
        PathRemoveFileSpecW(path);
    }
    SetLookInText(path);
}
