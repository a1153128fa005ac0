// Screenshots of the main window at its first size, at its least size and
// after a sorted search, at 100 %, 150 % and 200 %, saved as PNG in the build
// folder for a person to look at; with checks that the layout is usable.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "resource.h"
#include "tests/PngWriter.h"
#include "tests/TestFiles.h"
#include "tests/ui/UiHarness.h"
#include "ui/CheckListBox.h"
#include "ui/ResultListBox.h"
#include "ui/controls/Window.h"
#include "ui/WindowPlacement.h"

namespace {

// Width and height from a PNG file's header; 0 when it is no PNG.
SIZE PngSize(const std::wstring& path) {
    const std::string bytes = ReadWholeFile(path);
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0)
        return {0, 0};
    auto big32 = [&](size_t at) {
        return (static_cast<unsigned char>(bytes[at]) << 24) | (static_cast<unsigned char>(bytes[at + 1]) << 16) |
               (static_cast<unsigned char>(bytes[at + 2]) << 8) | static_cast<unsigned char>(bytes[at + 3]);
    };
    return {static_cast<LONG>(big32(16)), static_cast<LONG>(big32(20))};
}

std::wstring ShotName(int dpi) { return BuildFolderFile(L"mirlock-main-" + std::to_wstring(dpi) + L"dpi.png"); }

// Every visible control of the panel lies inside it and overlaps no other
// (a group box holds its members; the collapsed group's line sits beside
// its title); every column of the list can be reached.
void ExpectUsableLayout(AppHarness& ui, const std::string& where) {
    RECT panel{};
    GetClientRect(ui.Panel(), &panel);
    std::vector<std::pair<HWND, RECT>> shown;
    for (HWND c = GetWindow(ui.Panel(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!(GetWindowLongW(c, GWL_STYLE) & WS_VISIBLE))
            continue;
        const RECT r = ChildRectInParent(c, ui.Panel());
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= panel.right && r.bottom <= panel.bottom)
            << where << ": control " << GetDlgCtrlID(c) << " reaches outside the panel";
        shown.emplace_back(c, r);
    }
    auto isFrame = [](HWND c) {
        wchar_t name[32] = {};
        GetClassNameW(c, name, 32);
        const LONG style = GetWindowLongW(c, GWL_STYLE);
        return (_wcsicmp(name, L"Button") == 0 && (style & 0x0F) == BS_GROUPBOX) ||
               (_wcsicmp(name, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ETCHEDHORZ);
    };
    for (size_t i = 0; i < shown.size(); ++i) {
        for (size_t j = i + 1; j < shown.size(); ++j) {
            if (isFrame(shown[i].first) || isFrame(shown[j].first))
                continue;
            RECT both{};
            EXPECT_FALSE(IntersectRect(&both, &shown[i].second, &shown[j].second))
                << where << ": controls " << GetDlgCtrlID(shown[i].first) << " and " << GetDlgCtrlID(shown[j].first)
                << " overlap";
        }
    }
    // The list is wide enough for its columns, or scrolls sideways to them.
    RECT list{};
    GetClientRect(ui.List().ListBox(), &list);
    const int columns = ui.List().ColumnsWidth();
    if (columns > list.right) {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE | SIF_PAGE;
        ASSERT_TRUE(GetScrollInfo(ui.List().ListBox(), SB_HORZ, &info)) << where;
        EXPECT_EQ(info.nMin, 0) << where;
        EXPECT_EQ(info.nMax + 1, columns) << where;
        EXPECT_EQ(static_cast<int>(info.nPage), list.right) << where;
        EXPECT_TRUE(GetWindowLongW(ui.List().ListBox(), GWL_STYLE) & WS_HSCROLL) << where;
    }
    EXPECT_GE(list.right, ScalePixels(ResultListBox::kMinWidth, WindowDpi(ui.Main())) - GetSystemMetrics(SM_CXVSCROLL) - 1)
        << where;
}

void Shoot(AppHarness& ui, const std::wstring& kind, int dpi) {
    RedrawWindow(ui.Main(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ui.PumpIdle();
    EXPECT_TRUE(SaveWindowPng(ui.Main(), BuildFolderFile(L"mirlock-" + kind + L"-" + std::to_wstring(dpi) + L"dpi.png")));
}

}  // namespace

// The user's DPI as it was before a parent test set another one for this
// process; "none" when no value was set.
constexpr wchar_t kDpiBefore[] = L"MIRLOCK_LOGPIXELS_BEFORE";

// A process started at another DPI has read it by now: the setting goes
// back at once, so that a parent killed before it restores it leaves the
// Wine prefix as it found it.
void RestoreUserDpi() {
    wchar_t before[32] = {};
    if (!GetEnvironmentVariableW(kDpiBefore, before, 32))
        return;
    HKEY desktop = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_SET_VALUE, &desktop) != ERROR_SUCCESS)
        return;
    if (wcscmp(before, L"none") == 0) {
        RegDeleteValueW(desktop, L"LogPixels");
    } else {
        const DWORD value = static_cast<DWORD>(_wtoi(before));
        RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    RegCloseKey(desktop);
}

TEST(Screenshot, MainWindowAfterASortedSearch) {
    RestoreUserDpi();
    RegistrySandbox registry;
    TempDir files;
    files.WriteFile(L"guide.txt", "Set the colour profile before printing.\r\nThe colour of each layer can be changed.");
    files.WriteFile(L"de-DE\\ui.xlf",
                    "<xliff version=\"1.2\"><file source-language=\"en\" target-language=\"de\"><body>"
                    "<trans-unit id=\"1\"><source>Choose a \xE2\x80\x9C" "colour\xE2\x80\x9D</source>"
                    "<target>\xE2\x80\x9E" "Farbe\xE2\x80\x9C w\xC3\xA4hlen \xE2\x80\x93 jetzt</target></trans-unit>"
                    "<trans-unit id=\"2\"><source>Colour depth</source><target>Farbtiefe</target></trans-unit>"
                    "</body></file></xliff>");
    files.WriteFile(L"notes\\todo.txt", "colour, colour, colour and one more colour");
    files.WriteFile(L"notes\\empty.txt", "");
    files.WriteFile(L"de-DE\\zz-broken.xlf", "<xliff version=\"1.2\">\n<file>\n<body><source>colour</file>");
    files.WriteFile(L"notes\\long.txt", std::string(90, 'x') + " a colour far along the line " + std::string(30, 'y'));
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().substr(0, files.Path().size() - 1).c_str()));
    const int dpi = WindowDpi(ui.Main());
    // The first window fits the screen and shows every column.
    RECT window{}, work{};
    GetWindowRect(ui.Main(), &window);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_TRUE(window.left >= work.left && window.top >= work.top && window.right <= work.right &&
                window.bottom <= work.bottom);
    if (work.right - work.left >= ScalePixels(kDefaultWindowWidth, dpi)) {
        RECT list{};
        GetClientRect(ui.List().ListBox(), &list);
        EXPECT_LE(ui.List().ColumnsWidth(), list.right) << "every column in view at first";
    }
    ui.SetText(IDC_SEARCH_TEXT, L"colour");
    // The options group collapsed with options in force: its heading names them.
    ui.Click(IDC_OPTIONS_TOGGLE);
    ui.Click(IDC_WHOLE_WORDS);
    ui.SetText(IDC_FILE_NAME, L"*.txt, *.xlf");
    ui.Click(IDC_OPTIONS_TOGGLE);
    EXPECT_EQ(ui.Text(GetWindow(ui.Control(IDC_OPTIONS_TOGGLE), GW_HWNDNEXT)),
              L"Search Options: Whole Words, File name \"*.txt, *.xlf\"");
    ASSERT_TRUE(ui.Search());
    // The empty file has no text: no row; the broken one is a failed row with its reason.
    ASSERT_EQ(ui.List().RowCount(), 5);
    ExpectUsableLayout(ui, "default size");
    Shoot(ui, L"default", dpi);
    // The XLIFF row's segments in the list below, hits marked.
    SetFocus(ui.List().ListBox());
    ui.Keys({VK_HOME});
    while (std::wstring(ui.List().CurrentResult() ? ui.List().CurrentResult()->name : L"") != L"ui.xlf" &&
           SendMessageW(ui.List().ListBox(), LB_GETCARETINDEX, 0, 0) + 1 < ui.List().RowCount())
        ui.Keys({VK_DOWN});
    ASSERT_EQ(SendMessageW(GetDlgItem(ui.Main(), IDC_SEGMENT_LIST), LVM_GETITEMCOUNT, 0, 0), 2);
    Shoot(ui, L"segments", dpi);

    // The least window: the panel's controls whole, the list still usable.
    ui.Click(IDC_CONVERTERS_TOGGLE);
    SetWindowPos(ui.Main(), nullptr, 0, 0, 1, 1, SWP_NOMOVE | SWP_NOZORDER);
    ui.PumpIdle();
    ExpectUsableLayout(ui, "least size, both groups open");
    HWND button = ui.Control(IDOK);
    RECT b = ChildRectInParent(button, ui.Main()), client{};
    GetClientRect(ui.Main(), &client);
    EXPECT_LE(b.bottom, client.bottom) << "the Search button can be reached";
    Shoot(ui, L"minimum", dpi);
    ui.Click(IDC_CONVERTERS_TOGGLE);

    SetWindowPos(ui.Main(), nullptr, 20, 20, ScalePixels(980, dpi), ScalePixels(480, dpi), SWP_NOZORDER);
    // The splitter dragged to a third of the new width, as a user would.
    HWND splitter = GetDlgItem(ui.Main(), IDC_SPLITTER);
    RECT bar{};
    GetWindowRect(splitter, &bar);
    POINT target = {ScalePixels(330, dpi), 0};
    ClientToScreen(ui.Main(), &target);
    const int x = target.x - bar.left;
    SendMessageW(splitter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 10));
    SendMessageW(splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(static_cast<WORD>(x), 10));
    SendMessageW(splitter, WM_LBUTTONUP, 0, MAKELPARAM(static_cast<WORD>(x), 10));
    // As the screen shows it after the drag, nothing painted on purpose.
    ui.PumpIdle();
    EXPECT_TRUE(SaveWindowPng(ui.Main(), BuildFolderFile(L"mirlock-dragged-" + std::to_wstring(dpi) + L"dpi.png")));
    ui.List().ClickColumn(1);  // Name, descending
    ui.List().ClickColumn(1);  // Name, ascending
    SendMessageW(ui.List().ListBox(), LB_SETSEL, TRUE, 0);
    ui.PumpIdle();
    ExpectUsableLayout(ui, "980 x 480");
    RedrawWindow(ui.Main(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ui.PumpIdle();

    ASSERT_STREQ(ui.List().RowResult(0)->name, L"guide.txt");
    EXPECT_EQ(SendMessageW(ui.List().ListBox(), LB_GETITEMHEIGHT, 0, 0),
              ScalePixels(15, dpi) * 3 + ScalePixels(6, dpi))
        << "two hits: room for the first line, the gap and two context lines";
    RECT header{};
    GetClientRect(ui.List().Header(), &header);
    EXPECT_EQ(header.bottom, ScalePixels(18, dpi));
    const std::wstring shot = ShotName(dpi);
    ASSERT_TRUE(SaveWindowPng(ui.Main(), shot));
    const SIZE size = PngSize(shot);
    EXPECT_GT(size.cx, ScalePixels(900, dpi));
}

// The same window in processes started with 150 % and 200 % set for the user.
TEST(Screenshot, AtOneHundredFiftyAndTwoHundredPercent) {
    if (WindowDpi(nullptr) != 96)
        GTEST_SKIP() << "this process is one of those at a higher DPI";
    HKEY desktop = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &desktop, nullptr),
              ERROR_SUCCESS);
    DWORD previous = 0, size = sizeof previous;
    const bool hadValue = RegQueryValueExW(desktop, L"LogPixels", nullptr, nullptr,
                                           reinterpret_cast<BYTE*>(&previous), &size) == ERROR_SUCCESS;
    SetEnvironmentVariableW(kDpiBefore, hadValue ? std::to_wstring(previous).c_str() : L"none");
    for (const DWORD dpi : {144u, 192u}) {
        RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring commandLine =
            L"\"" + std::wstring(self) +
            L"\" --gtest_filter=Screenshot.MainWindowAfterASortedSearch:Screenshot.OptionsAndAbout:Screenshot.ChecksList:Screenshot.FiltersSet";
        STARTUPINFOW startup{sizeof startup};
        PROCESS_INFORMATION process{};
        DeleteFileW(ShotName(dpi).c_str());
        const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                            nullptr, &startup, &process);
        DWORD exitCode = 1;
        if (started) {
            WaitForSingleObject(process.hProcess, 120000);
            GetExitCodeProcess(process.hProcess, &exitCode);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        EXPECT_TRUE(started);
        EXPECT_EQ(exitCode, 0u) << "the window test at " << dpi << " DPI failed";
        const SIZE big = PngSize(ShotName(dpi));
        const SIZE small = PngSize(ShotName(96));
        EXPECT_GT(big.cx, small.cx * static_cast<LONG>(dpi - 10) / 96) << dpi;
    }
    SetEnvironmentVariableW(kDpiBefore, nullptr);
    if (hadValue)
        RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&previous), sizeof previous);
    else
        RegDeleteValueW(desktop, L"LogPixels");
    RegCloseKey(desktop);
}

// The two dialogs as they open, for a person to look at.
TEST(Screenshot, OptionsAndAbout) {
    RegistrySandbox registry;
    AppHarness ui;
    ASSERT_TRUE(ui.Start());
    const int dpi = WindowDpi(ui.Main());
    for (const auto& [caption, command, file] :
         {std::tuple{L"Options", IDM_OPTIONS, L"mirlock-options-"}, std::tuple{L"About Mirlock", IDM_ABOUT, L"mirlock-about-"},
          std::tuple{L"Check segments", IDM_CHECK_SEGMENTS, L"mirlock-check-dialog-"}}) {
        bool saved = false;
        const std::wstring path = BuildFolderFile(file + std::to_wstring(dpi) + L"dpi.png");
        WhenDialogOpens(caption, [&](HWND dialog) {
            UpdateWindow(dialog);
            RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            // The last controls are painted by messages still queued.
            for (int i = 0; i < 10; ++i) {
                MSG msg;
                while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                    TranslateMessage(&msg);
                    DispatchMessageW(&msg);
                }
                Sleep(10);
            }
            saved = SaveWindowPng(dialog, path);
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        ui.Command(command);
        EXPECT_TRUE(saved) << caption;
    }
}

// The checks list after a pass, its first note selected, at the default and
// the least size.
TEST(Screenshot, ChecksList) {
    RestoreUserDpi();
    RegistrySandbox registry;
    TempDir files;
    files.WriteFile(L"de-DE\\ui.xlf",
                    "<xliff version=\"1.2\"><file source-language=\"en-US\" target-language=\"de-DE\"><body>"
                    "<trans-unit id=\"1\"><source>Print 3.5 pages of %s</source><target>3 Seiten drucken</target></trans-unit>"
                    "<trans-unit id=\"2\"><source>Save the file</source><target></target></trans-unit>"
                    "<trans-unit id=\"3\"><source>Close (now)</source><target>Schlie\xC3\x9F" "en (jetzt</target></trans-unit>"
                    "<trans-unit id=\"4\"><source>Colour</source><target>Farbe</target></trans-unit>"
                    "</body></file></xliff>");
    files.WriteFile(L"de-DE\\memory.tmx",
                    "<tmx version=\"1.4\"><header srclang=\"en-US\"/><body>"
                    "<tu tuid=\"9\"><tuv xml:lang=\"en-US\"><seg>Colour</seg></tuv><tuv xml:lang=\"de-DE\"><seg>Farbton</seg></tuv></tu>"
                    "</body></tmx>");
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().substr(0, files.Path().size() - 1).c_str()));
    CheckListBox& checks = *ui.App().MainWindow()->CheckList();
    checks.SetIgnoreList(nullptr, L"");
    const int dpi = WindowDpi(ui.Main());
    WhenDialogOpens(L"Check segments", [](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDOK, 0); });
    ui.Command(IDM_CHECK_SEGMENTS);
    ASSERT_TRUE(ui.PumpUntil([&] { return !ui.App().IsChecking() && !ui.App().IsSearching(); }, 60000));
    StopWatchingDialogs();
    checks.PlaceArrivedRows();
    ASSERT_GE(checks.NoteCount(), 5);
    SetFocus(checks.ListBox());
    checks.SelectRow(1);
    EXPECT_EQ(SendMessageW(checks.ListBox(), LB_GETITEMHEIGHT, 1, 0), ScalePixels(15, dpi) * 3 + ScalePixels(5, dpi))
        << "a note: its message, its source and its target";
    Shoot(ui, L"checks", dpi);
    SetWindowPos(ui.Main(), nullptr, 0, 0, 1, 1, SWP_NOMOVE | SWP_NOZORDER);
    ui.PumpIdle();
    RECT list{};
    GetClientRect(checks.ListBox(), &list);
    EXPECT_GE(list.right, ScalePixels(ResultListBox::kMinWidth, dpi) - GetSystemMetrics(SM_CXVSCROLL) - 1);
    Shoot(ui, L"checks-minimum", dpi);
}

// The options group open with a size and a date filter set, at the least
// window size.
TEST(Screenshot, FiltersSet) {
    RestoreUserDpi();
    RegistrySandbox registry;
    TempDir files;
    files.WriteFile(L"a.txt", "term");
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().substr(0, files.Path().size() - 1).c_str()));
    const int dpi = WindowDpi(ui.Main());
    ui.Click(IDC_OPTIONS_TOGGLE);
    SendMessageW(ui.Control(IDC_SIZE_MODE), CB_SETCURSEL, 3, 0);
    ui.SetText(IDC_SIZE_FROM, L"10");
    ui.SetText(IDC_SIZE_TO, L"500");
    SendMessageW(ui.Control(IDC_DATE_MODE), CB_SETCURSEL, 3, 0);
    for (int id : {IDC_SIZE_MODE, IDC_DATE_MODE})
        SendMessageW(ui.Panel(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(ui.Control(id)));
    SetWindowPos(ui.Main(), nullptr, 0, 0, 1, 1, SWP_NOMOVE | SWP_NOZORDER);
    ui.PumpIdle();
    ExpectUsableLayout(ui, "least size, filters set");
    Shoot(ui, L"filters", dpi);
    ui.Click(IDC_OPTIONS_TOGGLE);
    Shoot(ui, L"filters-collapsed", dpi);
}
