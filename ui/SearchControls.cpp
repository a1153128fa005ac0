// Search panel: creation, option groups, histories and the request.
#include "ui/SearchControls.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "base/LongPath.h"
#include "base/ResourceText.h"
#include "base/SearchRecords.h"
#include "base/Settings.h"
#include "search/FileFilters.h"
#include "resource.h"
#include "ui/BrowseCombo.h"
#include "ui/controls/CollapsibleGroup.h"
#include "ui/MainWnd.h"

namespace {

constexpr int kHistoryEntries = 10;

int FontHeight(HWND window) {
    HDC dc = GetDC(window);
    if (!dc)
        return 13;
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return metrics.tmHeight;
}

void ReadText(HWND control, wchar_t (&text)[kPathChars]) {
    text[0] = 0;
    GetWindowTextW(control, text, kPathChars);
}

}  // namespace

void MoveToTopOfList(HWND combo, const wchar_t* text) {
    const LRESULT found = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(text));
    if (found >= 0)
        SendMessageW(combo, CB_DELETESTRING, found, 0);
    SendMessageW(combo, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
}

SearchControls::SearchControls(AppCommandHandler* app) : app(app) {}
SearchControls::~SearchControls() = default;

bool SearchControls::OptionsExpanded() const { return optionsGroup && optionsGroup->IsExpanded(); }
bool SearchControls::ConvertersExpanded() const {
    return convertersGroup && convertersGroup->IsExpanded();
}

bool SearchControls::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    *result = 0;
    switch (message) {
    case 1:
        OnInitialize();
        *result = FALSE;  // the focus was given to the search field
        return true;
    case WM_DESTROY:
        SaveHistory();
        return true;
    case WM_GETMINMAXINFO:
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize.x = minWidth;
        return true;
    case WM_SIZE:
        // The controls are placed already; a heading is as wide as its group.
        for (CollapsibleGroup* group : {optionsGroup.get(), convertersGroup.get()}) {
            if (group)
                group->Refit();
        }
        return false;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (wParam != IDC_LOOK_IN || !lookIn || item->itemID == static_cast<UINT>(-1))
            return false;
        lookIn->DrawItem(*item);
        *result = TRUE;
        return true;
    }
    case WM_MEASUREITEM: {
        auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (wParam != IDC_LOOK_IN)
            return false;
        // Sent while the dialog is still being made, before the combo's object exists.
        item->itemHeight = (item->itemID == static_cast<UINT>(-1) ? FontHeight(hwnd)
                                                                   : GetSystemMetrics(SM_CYSMICON)) +
                           2;
        *result = TRUE;
        return true;
    }
    case WM_SETFONT:
        for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            SendMessageW(child, WM_SETFONT, wParam, lParam);
        return true;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return true;
    default:
        return false;
    }
}

void SearchControls::OnCommand(int id, int code) {
    switch (id) {
    case IDOK:
        if (app)
            app->HandleAppCommand(IDOK);
        break;
    case IDCANCEL:
        // Escape in the panel stops a running search.
        if (app)
            app->HandleAppCommand(IDCANCEL);
        break;
    case IDC_IGNORE_TAGGED:
        EnableTagField();
        break;
    case IDC_SIZE_MODE:
    case IDC_DATE_MODE:
        if (code == CBN_SELCHANGE)
            EnableFilterFields();
        break;
    case IDC_LOOK_IN:
        if (!lookIn)
            break;
        if (code == CBN_DROPDOWN)
            lookIn->OnDropDown();
        else if (code == CBN_SELCHANGE)
            lookIn->OnSelectionChange();
        break;
    case IDC_OPTIONS_TOGGLE:
    case IDC_CONVERTERS_TOGGLE:
        ToggleGroup(id);
        break;
    default:
        break;
    }
}

void SearchControls::EnableTagField() {
    EnableWindow(Item(IDC_TAG_TEXT), IsDlgButtonChecked(hwnd, IDC_IGNORE_TAGGED) == BST_CHECKED);
}

void SearchControls::LoadHistory(int controlId, const wchar_t* format) {
    for (int i = 0; i < kHistoryEntries; ++i) {
        wchar_t text[kPathChars];
        ReadSettingString(IndexedSettingName(format, i).c_str(), text);
        if (text[0])
            SendMessageW(Item(controlId), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
}

void SearchControls::OnInitialize() {
    layout.Attach(hwnd);
    RECT client{};
    GetClientRect(hwnd, &client);
    minWidth = client.right;
    layout.AddDialogItem(IDC_SEARCH_TEXT, AnchorRight | StretchWidth | StretchHeight);

    LoadHistory(IDC_SEARCH_TEXT, L"SearchText%d");

    lookIn = std::make_unique<BrowseCombo>(FontHeight(hwnd), GetSystemMetrics(SM_CYSMICON));
    HWND combo = Item(IDC_LOOK_IN);
    lookIn->Bind(combo);
    SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), lookIn->ItemHeight(true));
    SendMessageW(combo, CB_SETITEMHEIGHT, 0, lookIn->ItemHeight(false));
    layout.AddDialogItem(IDC_LOOK_IN, AnchorRight | StretchWidth | StretchHeight);

    for (int i = kHistoryEntries - 1; i >= 0; --i) {
        wchar_t folder[kPathChars];
        ReadSettingString(IndexedSettingName(L"Location%d", i).c_str(), folder);
        if (folder[0])
            lookIn->PutOnTop(folder);
    }
    lookIn->AddSpecialFolders();
    SendMessageW(combo, CB_SETCURSEL, ReadSettingInt(L"LastLoc", 0), 0);

    LoadFilters();
    layout.AddDialogItem(IDC_SIZE_MODE, AnchorRight | StretchWidth);
    optionsGroup = std::make_unique<CollapsibleGroup>(hwnd, IDC_OPTIONS_GROUP, IDC_DATE_TO);
    layout.AddDialogItem(IDC_OPTIONS_GROUP, AnchorRight | StretchWidth);
    layout.AddDialogItem(IDC_FILE_NAME, AnchorRight | StretchWidth);
    layout.AddDialogItem(IDC_SIDE, AnchorRight | StretchWidth);
    layout.AddDialogItem(IDC_TARGET_TEXT, AnchorRight | StretchWidth);
    layout.AddChild(optionsGroup->Line(), AnchorRight | StretchWidth);
    LoadHistory(IDC_FILE_NAME, L"Filespec%d");
    LoadHistory(IDC_TARGET_TEXT, L"TargetText%d");
    for (int id : {IDS_SIDE_BOTH, IDS_SIDE_SOURCE, IDS_SIDE_TARGET})
        SendMessageW(Item(IDC_SIDE), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(LoadResourceText(id).c_str()));
    const int side = ReadSettingInt(L"Side", kSideBoth);
    SendMessageW(Item(IDC_SIDE), CB_SETCURSEL, side >= kSideBoth && side <= kSideTarget ? side : kSideBoth, 0);
    CheckDlgButton(hwnd, IDC_NOT_TARGET, ReadSettingInt(L"NotTarget", 0) ? BST_CHECKED : BST_UNCHECKED);

    convertersGroup = std::make_unique<CollapsibleGroup>(hwnd, IDC_CONVERTERS_GROUP, IDC_TAG_TEXT);
    layout.AddDialogItem(IDC_CONVERTERS_GROUP, AnchorRight | StretchWidth);
    layout.AddDialogItem(IDC_TAG_TEXT, AnchorRight | StretchWidth);
    LoadHistory(IDC_TAG_TEXT, L"Ignore%d");
    layout.AddChild(convertersGroup->Line(), AnchorRight | StretchWidth);

    CheckDlgButton(hwnd, IDC_SUBDIRS, ReadSettingInt(L"Recursion", 1) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd, IDC_REGEX, ReadSettingInt(L"Regex", 0) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd, IDC_CASE, ReadSettingInt(L"Case", 0) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd, IDC_WHOLE_WORDS,
                   ReadSettingInt(L"WholeWords", 0) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd, IDC_IGNORE_ACCENTS, ReadSettingInt(L"IgnoreAccents", 0) ? BST_CHECKED : BST_UNCHECKED);

    layout.AddDialogItem(IDOK, AnchorRight);
    // The request holds 259 characters of each field: longer text cannot be typed.
    for (int id : {IDC_SEARCH_TEXT, IDC_LOOK_IN, IDC_FILE_NAME, IDC_TARGET_TEXT, IDC_TAG_TEXT})
        SendMessageW(Item(id), CB_LIMITTEXT, kPathChars - 1, 0);
    SetFocus(Item(IDC_SEARCH_TEXT));
    ShowWindow(hwnd, SW_SHOW);
    // The groups as they were left; collapsed at first.
    UpdateHeadings();
    if (!ReadSettingInt(L"OptionsExpanded", 0))
        optionsGroup->Toggle();
    if (!ReadSettingInt(L"ConvertersExpanded", 0))
        convertersGroup->Toggle();
    EnableTagField();
}

int SearchControls::ContentHeight() const {
    int bottom = 0;
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE)
            bottom = std::max<int>(bottom, ChildRectInParent(child, hwnd).bottom);
    }
    RECT margin = {0, 0, 0, 7};  // dialog units
    MapDialogRect(hwnd, &margin);
    return bottom + margin.bottom;
}

void SearchControls::ToggleGroup(int buttonId) {
    CollapsibleGroup* group = buttonId == IDC_OPTIONS_TOGGLE      ? optionsGroup.get()
                              : buttonId == IDC_CONVERTERS_TOGGLE ? convertersGroup.get()
                                                                  : nullptr;
    if (!group)
        return;
    if (group->IsExpanded())
        UpdateHeadings();  // collapsed, the heading says what the group holds
    group->Toggle();
    // Opened at the window's least size, the group would push the button
    // out of reach: the window grows to hold it.
    if (auto* main = dynamic_cast<MainWnd*>(WindowMap::Find(GetParent(hwnd))))
        main->FitMinimumSize();
}

void SearchControls::BuildRequest(SearchRequest* request) {
    ReadText(Item(IDC_SEARCH_TEXT), request->searchText);
    if (request->searchText[0])
        MoveToTopOfList(Item(IDC_SEARCH_TEXT), request->searchText);
    ReadText(Item(IDC_LOOK_IN), request->folder);
    const std::wstring whole = WholeFolderPath(request->folder);
    if (!whole.empty() && whole.size() < kPathChars)
        wcscpy(request->folder, whole.c_str());
    if (request->folder[0] && lookIn)
        lookIn->PutOnTop(request->folder);
    request->recursion = IsDlgButtonChecked(hwnd, IDC_SUBDIRS) == BST_CHECKED;
    WriteSettingInt(L"Recursion", request->recursion);

    // A collapsed group searches with what it holds, as its heading says.
    ReadOptions(request);
    WriteSettingInt(L"Case", request->caseSensitive);
    WriteSettingInt(L"Regex", request->regex);
    WriteSettingInt(L"WholeWords", request->wholeWords);
    WriteSettingInt(L"IgnoreAccents", request->ignoreAccents);
    SaveFilters();
    WriteSettingInt(L"FormatMode", request->formatMode);
    if (request->fileNameSpec[0])
        MoveToTopOfList(Item(IDC_FILE_NAME), request->fileNameSpec);
    if (request->targetText[0])
        MoveToTopOfList(Item(IDC_TARGET_TEXT), request->targetText);
    WriteSettingInt(L"Side", request->side);
    WriteSettingInt(L"NotTarget", request->notTarget);
    if (request->ignoreTags[0])
        MoveToTopOfList(Item(IDC_TAG_TEXT), request->ignoreTags);
    if (!request->fileNameSpec[0])
        wcscpy(request->fileNameSpec, L"*.*");
}

void SearchControls::ReadOptions(SearchRequest* request) const {
    ReadText(Item(IDC_FILE_NAME), request->fileNameSpec);
    request->caseSensitive = IsDlgButtonChecked(hwnd, IDC_CASE) == BST_CHECKED;
    request->regex = IsDlgButtonChecked(hwnd, IDC_REGEX) == BST_CHECKED;
    request->wholeWords = IsDlgButtonChecked(hwnd, IDC_WHOLE_WORDS) == BST_CHECKED;
    request->ignoreAccents = IsDlgButtonChecked(hwnd, IDC_IGNORE_ACCENTS) == BST_CHECKED;
    const LRESULT side = SendMessageW(Item(IDC_SIDE), CB_GETCURSEL, 0, 0);
    request->side = side >= kSideBoth && side <= kSideTarget ? static_cast<int>(side) : kSideBoth;
    ReadText(Item(IDC_TARGET_TEXT), request->targetText);
    request->notTarget = IsDlgButtonChecked(hwnd, IDC_NOT_TARGET) == BST_CHECKED;
    ReadText(Item(IDC_TAG_TEXT), request->ignoreTags);
    if (IsDlgButtonChecked(hwnd, IDC_IGNORE_TAGGED) != BST_CHECKED)
        request->ignoreTags[0] = 0;
    request->includeHidden = IsDlgButtonChecked(hwnd, IDC_IGNORE_HIDDEN) == BST_CHECKED ? 0 : 1;
    ReadFilters(request);
}

namespace {

enum SizeMode { kSizeAny, kSizeAtLeast, kSizeAtMost, kSizeBetween };
enum DateMode { kDateAny, kDateAfter, kDateBefore, kDateBetween, kDateWithin };
const wchar_t* const kSizeModes[] = {L"any", L"at least", L"at most", L"between"};
const wchar_t* const kUnits[] = {L"bytes", L"KB", L"MB", L"GB"};
const wchar_t* const kDateModes[] = {L"any", L"after", L"before", L"between", L"in the last N days"};

int Selected(HWND combo, int count) {
    const LRESULT at = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    return at >= 0 && at < count ? static_cast<int>(at) : 0;
}

unsigned long long Number(HWND edit) {
    wchar_t text[32] = {};
    GetWindowTextW(edit, text, 32);
    return wcstoull(text, nullptr, 10);
}

SYSTEMTIME PickedDay(HWND picker) {
    SYSTEMTIME day{};
    if (SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&day)) != GDT_VALID)
        GetLocalTime(&day);
    return day;
}

// 20261101 for 1 November 2026, as the settings keep a day.
int DayNumber(const SYSTEMTIME& day) { return day.wYear * 10000 + day.wMonth * 100 + day.wDay; }

std::wstring ShortDate(const SYSTEMTIME& day) {
    wchar_t text[64] = {};
    if (!GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &day, nullptr, text, 64, nullptr))
        swprintf(text, 64, L"%04d-%02d-%02d", day.wYear, day.wMonth, day.wDay);
    return text;
}

}  // namespace

void SearchControls::LoadFilters() {
    for (const wchar_t* mode : kSizeModes)
        SendMessageW(Item(IDC_SIZE_MODE), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(mode));
    for (const wchar_t* unit : kUnits)
        SendMessageW(Item(IDC_SIZE_UNIT), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(unit));
    for (const wchar_t* mode : kDateModes)
        SendMessageW(Item(IDC_DATE_MODE), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(mode));
    SendMessageW(Item(IDC_SIZE_MODE), CB_SETCURSEL, std::clamp(ReadSettingInt(L"SizeMode", 0), 0, 3), 0);
    SendMessageW(Item(IDC_SIZE_UNIT), CB_SETCURSEL, std::clamp(ReadSettingInt(L"SizeUnit", 1), 0, 3), 0);
    SendMessageW(Item(IDC_DATE_MODE), CB_SETCURSEL, std::clamp(ReadSettingInt(L"DateMode", 0), 0, 4), 0);
    for (int id : {IDC_SIZE_FROM, IDC_SIZE_TO, IDC_DAYS})
        SendMessageW(Item(id), EM_LIMITTEXT, 9, 0);
    auto number = [this](int id, const wchar_t* name) {
        const int value = ReadSettingInt(name, 0);
        SetDlgItemTextW(hwnd, id, value > 0 ? std::to_wstring(value).c_str() : L"");
    };
    number(IDC_SIZE_FROM, L"SizeFrom");
    number(IDC_SIZE_TO, L"SizeTo");
    number(IDC_DAYS, L"Days");
    for (const auto& [id, name] : {std::pair{IDC_DATE_FROM, L"DateFrom"}, std::pair{IDC_DATE_TO, L"DateTo"}}) {
        const int stored = ReadSettingInt(name, 0);
        SYSTEMTIME day{};
        day.wYear = static_cast<WORD>(stored / 10000);
        day.wMonth = static_cast<WORD>(stored / 100 % 100);
        day.wDay = static_cast<WORD>(stored % 100);
        unsigned long long check = 0;
        if (stored > 0 && LocalDayStart(day.wYear, day.wMonth, day.wDay, false, &check))
            SendMessageW(Item(id), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&day));
    }
    EnableFilterFields();
}

void SearchControls::SaveFilters() const {
    WriteSettingInt(L"SizeMode", Selected(Item(IDC_SIZE_MODE), 4));
    WriteSettingInt(L"SizeUnit", Selected(Item(IDC_SIZE_UNIT), 4));
    WriteSettingInt(L"DateMode", Selected(Item(IDC_DATE_MODE), 5));
    WriteSettingInt(L"SizeFrom", static_cast<int>(std::min<unsigned long long>(Number(Item(IDC_SIZE_FROM)), 999999999)));
    WriteSettingInt(L"SizeTo", static_cast<int>(std::min<unsigned long long>(Number(Item(IDC_SIZE_TO)), 999999999)));
    WriteSettingInt(L"Days", static_cast<int>(std::min<unsigned long long>(Number(Item(IDC_DAYS)), 999999999)));
    WriteSettingInt(L"DateFrom", DayNumber(PickedDay(Item(IDC_DATE_FROM))));
    WriteSettingInt(L"DateTo", DayNumber(PickedDay(Item(IDC_DATE_TO))));
}

void SearchControls::EnableFilterFields() {
    const int size = Selected(Item(IDC_SIZE_MODE), 4), date = Selected(Item(IDC_DATE_MODE), 5);
    EnableWindow(Item(IDC_SIZE_FROM), size != kSizeAny);
    EnableWindow(Item(IDC_SIZE_TO), size == kSizeBetween);
    EnableWindow(Item(IDC_SIZE_UNIT), size != kSizeAny);
    EnableWindow(Item(IDC_DATE_FROM), date == kDateAfter || date == kDateBefore || date == kDateBetween);
    EnableWindow(Item(IDC_DATE_TO), date == kDateBetween);
    EnableWindow(Item(IDC_DAYS), date == kDateWithin);
}

void SearchControls::ReadFilters(SearchRequest* request) const {
    const int size = Selected(Item(IDC_SIZE_MODE), 4), date = Selected(Item(IDC_DATE_MODE), 5);
    const int shift = 10 * Selected(Item(IDC_SIZE_UNIT), 4);
    auto bytes = [shift](unsigned long long value) {
        return value > (1ull << (62 - shift)) ? (1ull << 62) : value << shift;
    };
    const unsigned long long from = bytes(Number(Item(IDC_SIZE_FROM))), to = bytes(Number(Item(IDC_SIZE_TO)));
    request->minSize = size == kSizeAtLeast || size == kSizeBetween ? from : 0;
    request->maxSize = size == kSizeAtMost ? std::max<unsigned long long>(from, 1)
                       : size == kSizeBetween ? std::max<unsigned long long>(to, 1)
                                              : 0;
    const SYSTEMTIME first = PickedDay(Item(IDC_DATE_FROM)), last = PickedDay(Item(IDC_DATE_TO));
    unsigned long long bound = 0;
    request->modifiedFrom = 0;
    request->modifiedBefore = 0;
    // After a day: from the next one on; before a day: up to the one
    // before; between two days: both of them.
    if (date == kDateAfter && LocalDayStart(first.wYear, first.wMonth, first.wDay, true, &bound))
        request->modifiedFrom = bound;
    if (date == kDateBefore && LocalDayStart(first.wYear, first.wMonth, first.wDay, false, &bound))
        request->modifiedBefore = bound;
    if (date == kDateBetween && LocalDayStart(first.wYear, first.wMonth, first.wDay, false, &bound)) {
        request->modifiedFrom = bound;
        if (LocalDayStart(last.wYear, last.wMonth, last.wDay, true, &bound))
            request->modifiedBefore = bound;
    }
    if (date == kDateWithin)
        ParseWithin(std::to_wstring(Number(Item(IDC_DAYS))) + L"d", FileTimeNow(), &request->modifiedFrom);
}

std::vector<std::wstring> SearchControls::FilterHeadings() const {
    std::vector<std::wstring> parts;
    const int size = Selected(Item(IDC_SIZE_MODE), 4), date = Selected(Item(IDC_DATE_MODE), 5);
    const std::wstring unit = kUnits[Selected(Item(IDC_SIZE_UNIT), 4)];
    const std::wstring from = std::to_wstring(Number(Item(IDC_SIZE_FROM)));
    if (size == kSizeAtLeast || size == kSizeAtMost)
        parts.push_back(L"Size " + std::wstring(kSizeModes[size]) + L" " + from + L" " + unit);
    else if (size == kSizeBetween)
        parts.push_back(L"Size " + from + L" to " + std::to_wstring(Number(Item(IDC_SIZE_TO))) + L" " + unit);
    const std::wstring first = ShortDate(PickedDay(Item(IDC_DATE_FROM)));
    if (date == kDateAfter || date == kDateBefore)
        parts.push_back(L"Modified " + std::wstring(kDateModes[date]) + L" " + first);
    else if (date == kDateBetween)
        parts.push_back(L"Modified " + first + L" to " + ShortDate(PickedDay(Item(IDC_DATE_TO))));
    else if (date == kDateWithin)
        parts.push_back(L"Modified in the last " + std::to_wstring(Number(Item(IDC_DAYS))) + L" days");
    return parts;
}

void SearchControls::UpdateHeadings() {
    if (optionsGroup)
        optionsGroup->SetCollapsedText(OptionsHeadingText());
    if (convertersGroup)
        convertersGroup->SetCollapsedText(ConvertersHeadingText());
}

std::wstring SearchControls::OptionsHeadingText() const {
    SearchRequest request{};
    ReadOptions(&request);
    std::wstring heading = OptionsHeading(L"Search Options:", request);
    for (const std::wstring& part : FilterHeadings())
        heading += (heading.back() == L':' ? L" " : L", ") + part;
    return heading;
}

std::wstring SearchControls::ConvertersHeadingText() const {
    SearchRequest request{};
    ReadOptions(&request);
    return ConvertersHeading(L"Converters:", request);
}

namespace {

std::wstring Joined(const std::wstring& title, const std::vector<std::wstring>& inForce) {
    std::wstring text = title;
    for (size_t i = 0; i < inForce.size(); ++i)
        text += (i ? L", " : L" ") + inForce[i];
    return text;
}

std::wstring Quoted(const wchar_t* text) { return L"\"" + std::wstring(text) + L"\""; }

}  // namespace

std::wstring OptionsHeading(const std::wstring& title, const SearchRequest& request) {
    std::vector<std::wstring> inForce;
    if (request.caseSensitive)
        inForce.push_back(L"Case Sensitive");
    if (request.wholeWords)
        inForce.push_back(L"Whole Words");
    if (request.regex)
        inForce.push_back(L"Regular Expression");
    if (request.ignoreAccents)
        inForce.push_back(L"Ignore accents");
    const std::wstring patterns = request.fileNameSpec;
    if (!patterns.empty() && patterns != L"*.*" && patterns != L"*")
        inForce.push_back(L"File name " + Quoted(request.fileNameSpec));
    if (request.side == kSideSource)
        inForce.push_back(L"Search in Source");
    else if (request.side == kSideTarget)
        inForce.push_back(L"Search in Target");
    if (request.targetText[0])
        inForce.push_back((request.notTarget ? L"Target not containing " : L"Target containing ") +
                          Quoted(request.targetText));
    return Joined(title, inForce);
}

std::wstring ConvertersHeading(const std::wstring& title, const SearchRequest& request) {
    std::vector<std::wstring> inForce;
    if (!request.includeHidden)
        inForce.push_back(L"Ignore hidden text");
    if (request.ignoreTags[0])
        inForce.push_back(L"Ignore text tagged " + Quoted(request.ignoreTags));
    return Joined(title, inForce);
}

std::wstring SearchControls::FolderText() const {
    wchar_t text[kPathChars];
    ReadText(Item(IDC_LOOK_IN), text);
    return text;
}

bool SearchControls::SearchesInResults() const {
    return IsDlgButtonChecked(hwnd, IDC_IN_RESULTS) == BST_CHECKED;
}

void SearchControls::SetPanelBusy(bool busy) {
    HWND button = Item(IDOK);
    if (busy) {
        SetWindowTextW(button, LoadResourceText(IDS_STOP).c_str());
        savedFocus = GetFocus();
        for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (child != button)
                EnableWindow(child, FALSE);
        }
        // The keyboard keeps a place to go: Enter or Space on "Stop".
        if (!savedFocus || IsChild(hwnd, savedFocus))
            SetFocus(button);
    } else {
        for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            EnableWindow(child, TRUE);
        EnableTagField();
        SetWindowTextW(button, LoadResourceText(IDS_SEARCH).c_str());
        if (savedFocus && IsWindow(savedFocus))
            SetFocus(savedFocus);
    }
}

void SearchControls::SaveList(int controlId, const wchar_t* format) {
    HWND combo = Item(controlId);
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < kHistoryEntries && i < count; ++i) {
        wchar_t text[kPathChars] = {};
        const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
        if (length < 0 || length >= kPathChars)
            continue;
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        WriteSettingString(IndexedSettingName(format, i).c_str(), text);
    }
}

void SearchControls::SaveHistory() {
    HWND combo = Item(IDC_LOOK_IN);
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < kHistoryEntries && i < count; ++i) {
        if (SendMessageW(combo, CB_GETITEMDATA, i, 0) != BrowseCombo::kUserFolder)
            break;
        wchar_t text[kPathChars] = {};
        const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
        if (length < 0 || length >= kPathChars)
            break;
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        WriteSettingString(IndexedSettingName(L"Location%d", i).c_str(), text);
        WriteSettingInt(L"LastLoc", static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)));
    }
    SaveList(IDC_SEARCH_TEXT, L"SearchText%d");
    SaveList(IDC_FILE_NAME, L"Filespec%d");
    SaveList(IDC_TARGET_TEXT, L"TargetText%d");
    WriteSettingInt(L"OptionsExpanded", OptionsExpanded());
    WriteSettingInt(L"ConvertersExpanded", ConvertersExpanded());
    SaveList(IDC_TAG_TEXT, L"Ignore%d");
}
