// The "Look in" combo box: history, special folders, browser and drawing.
#include "ui/BrowseCombo.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>

#include "base/ResourceText.h"
#include "base/SearchRecords.h"
#include "resource.h"

namespace {

BrowseCombo::FolderPicker& Picker() {
    static BrowseCombo::FolderPicker picker;
    return picker;
}

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data)
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

// The parsing name of special folder `csidl`, as the shell gives it.
bool SpecialFolderName(int csidl, wchar_t (&name)[kPathChars]) {
    PIDLIST_ABSOLUTE item = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &item)) || !item)
        return false;
    bool ok = false;
    IShellFolder* parent = nullptr;
    PCUITEMID_CHILD child = nullptr;
    if (SUCCEEDED(SHBindToParent(item, IID_IShellFolder, reinterpret_cast<void**>(&parent), &child))) {
        STRRET ret{};
        if (SUCCEEDED(parent->GetDisplayNameOf(child, SHGDN_FORPARSING, &ret)))
            ok = SUCCEEDED(StrRetToBufW(&ret, child, name, kPathChars));
        parent->Release();
    }
    CoTaskMemFree(item);
    return ok && name[0];
}

}  // namespace

void BrowseCombo::SetFolderPicker(FolderPicker picker) { Picker() = std::move(picker); }

void BrowseCombo::Bind(HWND combo) {
    hwnd = combo;
    WindowMap::Add(combo, this);
    FillBrowseEntry();
    previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(combo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SharedWindowProc)));
}

bool BrowseCombo::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_LBUTTONDOWN)
        clickSelection = static_cast<int>(SendMessageW(hwnd, CB_GETCURSEL, 0, 0));
    *result = previousProc ? CallWindowProcW(previousProc, hwnd, message, wParam, lParam)
                           : DefWindowProcW(hwnd, message, wParam, lParam);
    return true;
}

void BrowseCombo::FillBrowseEntry() {
    SendMessageW(hwnd, CB_RESETCONTENT, 0, 0);
    const std::wstring text = LoadResourceText(IDS_BROWSE_ENTRY);
    const LRESULT index = SendMessageW(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (index >= 0)
        SendMessageW(hwnd, CB_SETITEMDATA, index, kBrowseEntry);
}

void BrowseCombo::AddSpecialFolders() {
    if (SendMessageW(hwnd, CB_GETCOUNT, 0, 0) > 1)
        return;  // a folder history was loaded
    static const int kFolders[] = {CSIDL_COMMON_DOCUMENTS, CSIDL_DESKTOP, CSIDL_FAVORITES,
                                   CSIDL_HISTORY, CSIDL_RECENT, CSIDL_PERSONAL};
    for (int csidl : kFolders) {
        wchar_t name[kPathChars] = {};
        if (!SpecialFolderName(csidl, name))
            continue;
        const LRESULT index = SendMessageW(hwnd, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(name));
        if (index >= 0)
            SendMessageW(hwnd, CB_SETITEMDATA, index, csidl);
    }
}

void BrowseCombo::PutOnTop(const wchar_t* text) {
    const LRESULT found = SendMessageW(hwnd, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(text));
    if (found >= 0)
        SendMessageW(hwnd, CB_DELETESTRING, found, 0);
    const LRESULT index = SendMessageW(hwnd, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (index >= 0) {
        SendMessageW(hwnd, CB_SETITEMDATA, index, kUserFolder);
        SendMessageW(hwnd, CB_SETCURSEL, index, 0);
    }
}

void BrowseCombo::OnDropDown() {
    // Opened from the keyboard as well as with the mouse.
    clickSelection = static_cast<int>(SendMessageW(hwnd, CB_GETCURSEL, 0, 0));
}

void BrowseCombo::OnSelectionChange() {
    const LRESULT selected = SendMessageW(hwnd, CB_GETCURSEL, 0, 0);
    if (selected < 0 || SendMessageW(hwnd, CB_GETITEMDATA, selected, 0) != kBrowseEntry)
        return;
    // The field still shows the folder chosen before the browse entry.
    wchar_t start[kPathChars] = {};
    GetWindowTextW(hwnd, start, kPathChars);
    const std::wstring browseText = LoadResourceText(IDS_BROWSE_ENTRY);
    // Where the field already shows the picked entry (or nothing), the folder
    // is that of the entry selected when the list was opened.
    if ((!start[0] || browseText == start) && clickSelection >= 0) {
        const LRESULT n = SendMessageW(hwnd, CB_GETLBTEXTLEN, clickSelection, 0);
        if (n >= 0 && n < kPathChars)
            SendMessageW(hwnd, CB_GETLBTEXT, clickSelection, reinterpret_cast<LPARAM>(start));
    }
    std::wstring chosen;
    if (BrowseForFolder(start, &chosen))
        PutOnTop(chosen.c_str());
    else
        SendMessageW(hwnd, CB_SETCURSEL, clickSelection, 0);
}

bool BrowseCombo::BrowseForFolder(const wchar_t* start, std::wstring* chosen) {
    if (Picker())
        return Picker()(hwnd, start, chosen);
    browseStart = std::make_unique<wchar_t[]>(kPathChars);
    wcsncpy(browseStart.get(), start, kPathChars - 1);
    const std::wstring title = LoadResourceText(IDS_SELECT_FOLDER);
    BROWSEINFOW info{};
    info.hwndOwner = hwnd;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(browseStart.get());
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    browseStart.reset();
    if (!item)
        return false;
    wchar_t path[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListW(item, path) && path[0];
    CoTaskMemFree(item);
    if (ok)
        *chosen = path;
    return ok;
}

void BrowseCombo::DrawItem(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const COLORREF oldText = SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const COLORREF oldBack = SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    wchar_t text[kPathChars] = {};
    const LRESULT length = SendMessageW(hwnd, CB_GETLBTEXTLEN, item.itemID, 0);
    if (length >= 0 && length < kPathChars)
        SendMessageW(hwnd, CB_GETLBTEXT, item.itemID, reinterpret_cast<LPARAM>(text));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const RECT& r = item.rcItem;
    const int y = (r.top + r.bottom - metrics.tmHeight) / 2;
    const int dpi = WindowDpi(hwnd);
    const int x = 2 * (LOWORD(GetDialogBaseUnits()) * dpi / 96 / 4) + ScalePixels(16, dpi);
    ExtTextOutW(dc, x, y, ETO_OPAQUE | ETO_CLIPPED, &r, text, static_cast<UINT>(wcslen(text)), nullptr);
    if (SendMessageW(hwnd, CB_GETITEMDATA, item.itemID, 0) != kBrowseEntry && text[0]) {
        SHFILEINFOW info{};
        if (SHGetFileInfoW(text, 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON) && info.hIcon) {
            const int size = GetSystemMetrics(SM_CXSMICON);
            DrawIconEx(dc, r.left + 2, (r.top + r.bottom - size) / 2, info.hIcon, size, size, 0,
                       nullptr, DI_NORMAL);
            DestroyIcon(info.hIcon);
        }
    }
    if (item.itemState & ODS_FOCUS)
        DrawFocusRect(dc, &r);
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
}
