// What a new user meets in the first minutes, through the real window: the
// summary with unreadable files, empty files, a folder that is not there, a
// stop, the case box with expressions, the collapsed group, pattern lists,
// UTF-8 text and the column headings; what a restart restores, the sort
// order of arriving rows, the keys and the mnemonics.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cwctype>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/SearchRecords.h"
#include "resource.h"
#include "search/FileFilters.h"
#include "tests/TestFiles.h"
#include "tests/ui/UiHarness.h"
#include "ui/MainWnd.h"
#include "ui/ResultCells.h"
#include "ui/ResultListBox.h"
#include "ui/SearchControls.h"
#include "ui/controls/Window.h"
#include "ui/WindowPlacement.h"

namespace {

std::wstring HeaderText(AppHarness& ui, int item) {
    wchar_t text[64] = {};
    HDITEMW h{};
    h.mask = HDI_TEXT;
    h.pszText = text;
    h.cchTextMax = 64;
    SendMessageW(ui.List().Header(), HDM_GETITEMW, item, reinterpret_cast<LPARAM>(&h));
    return text;
}

class FirstDayTest : public testing::Test {
protected:
    RegistrySandbox registry;
    TempDir files;
};

}  // namespace

TEST_F(FirstDayTest, CountsSayWhatWasFoundAndWhatCouldNotBeRead) {
    files.WriteFile(L"a.txt", "one term, two terms");
    files.WriteFile(L"b.txt", "nothing");
    files.WriteFile(L"empty.txt", "");
    files.WriteFile(L"x\\broken.xlf", "<xliff><file><body><trans-unit><source>term");
    files.WriteFile(L"y\\broken.tmx", "<tmx><body><tu><tuv><seg>term");
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().c_str()));
    EXPECT_EQ(ui.StatusText(), L"Ready");
    EXPECT_EQ(HeaderText(ui, 6), L"Updated (UTC)");

    // No hit anywhere: the two unreadable files are no matches.
    ui.SetText(IDC_SEARCH_TEXT, L"absent");
    ASSERT_TRUE(ui.Search());
    EXPECT_EQ(ui.StatusText(), L"Searched 5 files, found 0 matches in 0 files; 2 files could not be read.");
    EXPECT_EQ(ui.List().RowCount(), 2);
    // Hits and failures: only the hits are counted as matches; the empty
    // file gives no row.
    ui.SetText(IDC_SEARCH_TEXT, L"term");
    ASSERT_TRUE(ui.Search());
    EXPECT_EQ(ui.StatusText(), L"Searched 5 files, found 2 matches in 1 file; 2 files could not be read.");
    EXPECT_EQ(ui.List().RowCount(), 3);
    for (int i = 0; i < ui.List().RowCount(); ++i)
        EXPECT_STRNE(ui.List().RowResult(i)->name, L"empty.txt");
    // Listed (empty search text), the empty file is a file like any other.
    ui.SetText(IDC_SEARCH_TEXT, L"");
    ASSERT_TRUE(ui.Search());
    EXPECT_EQ(ui.List().RowCount(), 5);
}

TEST_F(FirstDayTest, AFolderThatIsNotThereIsSaidSoAndNotRemembered) {
    files.WriteFile(L"a.txt", "term");
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().c_str()));
    ui.SetText(IDC_SEARCH_TEXT, L"term");
    ASSERT_TRUE(ui.Search());
    ASSERT_EQ(ui.List().RowCount(), 1);
    const std::vector<std::wstring> history = ComboEntries(ui.Control(IDC_LOOK_IN));

    const std::wstring missing = files.Path() + L"nowhere";
    ui.SetText(IDC_LOOK_IN, missing);
    ui.Click(IDOK);
    ui.PumpIdle();
    EXPECT_FALSE(ui.App().IsSearching());
    EXPECT_EQ(ui.StatusText(), L"The folder " + missing + L" does not exist.");
    EXPECT_EQ(ComboEntries(ui.Control(IDC_LOOK_IN)), history);
    EXPECT_EQ(ui.List().RowCount(), 0) << "no rows that could be taken for this folder's";
    EXPECT_EQ(ui.Text(ui.Control(IDC_LOOK_IN)), missing) << "the text stays to be mended";
    // A file is not a folder either.
    ui.SetText(IDC_LOOK_IN, files.Path() + L"a.txt");
    ui.Click(IDOK);
    ui.PumpIdle();
    EXPECT_EQ(ui.StatusText(), L"The folder " + files.Path() + L"a.txt does not exist.");
    ui.Close();
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(registry.ReadString((L"Location" + std::to_wstring(i)).c_str()).find(L"nowhere"), std::wstring::npos);
}

TEST_F(FirstDayTest, TheCaseBoxAppliesToExpressionsAndTheCollapsedGroupShowsWhatItUses) {
    files.WriteFile(L"a.txt", "Colour and COLOR");
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().c_str()));
    // Collapsed on a first start: the hidden box is unticked, as the search
    // with the group collapsed ignores case.
    EXPECT_EQ(IsDlgButtonChecked(ui.Panel(), IDC_CASE), BST_UNCHECKED);
    ui.SetText(IDC_SEARCH_TEXT, L"colou?r");
    ASSERT_TRUE(ui.Search());
    EXPECT_EQ(ui.List().RowCount(), 0) << "a literal search with the group collapsed";
    ui.SetText(IDC_SEARCH_TEXT, L"colour");
    ASSERT_TRUE(ui.Search());
    ASSERT_EQ(ui.List().RowCount(), 1);
    EXPECT_EQ(ui.List().RowResult(0)->matches.size(), 1u);

    ui.Click(IDC_OPTIONS_TOGGLE);
    EXPECT_EQ(IsDlgButtonChecked(ui.Panel(), IDC_CASE), BST_UNCHECKED) << "opening shows no tick that was not applied";
    ui.Click(IDC_REGEX);
    ui.SetText(IDC_SEARCH_TEXT, L"colou?r");
    ASSERT_TRUE(ui.Search());
    ASSERT_EQ(ui.List().RowCount(), 1);
    EXPECT_EQ(ui.List().RowResult(0)->matches.size(), 2u) << "unticked, the expression ignores case";
    ui.Click(IDC_CASE);
    ASSERT_TRUE(ui.Search());
    EXPECT_EQ(ui.List().RowCount(), 0) << "ticked, it does not";
    ui.Click(IDC_CASE);
    ui.SetText(IDC_SEARCH_TEXT, L"(?-i)COLOU?R");
    ASSERT_TRUE(ui.Search());
    ASSERT_EQ(ui.List().RowCount(), 1);
    EXPECT_EQ(ui.List().RowResult(0)->matches.size(), 1u) << "the inline modifier still works";
}

TEST_F(FirstDayTest, PatternListsUtf8AndAStoppedSearch) {
    files.WriteFile(L"ui.xlf", "<xliff version=\"1.2\"><file><body><trans-unit id=\"1\"><source>caf\xC3\xA9</source>"
                               "</trans-unit></body></file></xliff>");
    files.WriteFile(L"ui.ttx.bak", "caf\xC3\xA9");
    files.WriteFile(L"notes.txt", "caf\xC3\xA9 au lait");  // UTF-8 without a byte-order mark
    files.WriteFile(L".git\\x.txt", "caf\xC3\xA9");
    files.WriteFile(L"backup\\y.txt", "caf\xC3\xA9");
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().c_str()));
    ui.SetText(IDC_SEARCH_TEXT, L"caf\u00e9");
    ASSERT_TRUE(ui.Search());
    EXPECT_EQ(ui.List().RowCount(), 5) << "UTF-8 text is found on a first start";

    ui.Click(IDC_OPTIONS_TOGGLE);
    ui.SetText(IDC_FILE_NAME, L"*.xlf; *.txt ;-.git\\; -backup\\");
    ASSERT_TRUE(ui.Search());
    std::vector<std::wstring> names = ui.RowNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"notes.txt", L"ui.xlf"}));
    ui.SetText(IDC_FILE_NAME, L"-*.bak");
    ASSERT_TRUE(ui.Search());
    EXPECT_EQ(ui.List().RowCount(), 4);

    // Stopped at once: the summary says so; a search that ends by itself does not.
    ui.SetText(IDC_FILE_NAME, L"");
    for (int i = 0; i < 300; ++i)
        files.WriteFile(L"many\\f" + std::to_wstring(i) + L".txt", "caf\xC3\xA9");
    ui.Click(IDOK);
    ui.Click(IDOK);
    ASSERT_TRUE(ui.PumpUntil([&] { return !ui.App().IsSearching(); }));
    ui.PumpIdle();
    EXPECT_EQ(ui.StatusText().rfind(L"Stopped. ", 0), 0u) << testing::PrintToString(ui.StatusText());
    ASSERT_TRUE(ui.Search());
    EXPECT_EQ(ui.StatusText(), L"Found 305 matches.");
}

TEST_F(FirstDayTest, WhileASearchRunsTheStatusLineCountsFilesAndHits) {
    // Enough files in enough folders that the walk takes many refreshes.
    for (int folder = 0; folder < 20; ++folder) {
        for (int i = 0; i < 150; ++i)
            files.WriteFile(L"part" + std::to_wstring(folder) + L"\\f" + std::to_wstring(i) + L".txt",
                            i % 10 == 0 ? "needle" : "hay");
    }
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().c_str()));
    ui.SetText(IDC_SEARCH_TEXT, L"needle");
    std::vector<std::wstring> seen;
    ui.Click(IDOK);
    ASSERT_TRUE(ui.PumpUntil([&] {
        const std::wstring text = ui.StatusText();
        if (ui.App().IsSearching() && text.find(L" with hits") != std::wstring::npos &&
            (seen.empty() || seen.back() != text))
            seen.push_back(text);
        return !ui.App().IsSearching();
    }, 60000));
    ASSERT_FALSE(seen.empty()) << "no count was shown while the walk ran";
    const std::wstring& line = seen.back();
    EXPECT_EQ(line.rfind(L"Searching in " + files.Path().substr(0, 3), 0), 0u) << testing::PrintToString(line);
    const size_t dash = line.find(L" \x2014 ");
    ASSERT_NE(dash, std::wstring::npos) << testing::PrintToString(line);
    // Numbers grouped by thousands.
    auto number = [&](size_t at) {
        int value = 0;
        for (; at < line.size() && (iswdigit(line[at]) || line[at] == L','); ++at)
            value = line[at] == L',' ? value : value * 10 + (line[at] - L'0');
        return value;
    };
    const int searched = number(dash + 3);
    const int withHits = number(line.find(L" files, ", dash) + 8);
    EXPECT_GT(searched, 0);
    EXPECT_LE(withHits, searched);
    EXPECT_LE(line.size(), 100u);
    ui.PumpIdle();
    EXPECT_EQ(ui.StatusText(), L"Found 300 matches.") << "the summary at the end";
}

TEST_F(FirstDayTest, ARestartRestoresWhatTheUserLeft) {
    files.WriteFile(L"b.txt", "term");
    files.WriteFile(L"sub\\a.txt", "term term");
    RECT placed{};
    int barLeft = 0;
    std::vector<int> widths;
    {
        AppHarness ui;
        ASSERT_TRUE(ui.Start(files.Path().c_str()));
        for (const wchar_t* text : {L"first", L"second", L"term"}) {
            ui.SetText(IDC_SEARCH_TEXT, text);
            ASSERT_TRUE(ui.Search());
        }
        ui.Click(IDC_CONVERTERS_TOGGLE);
        ui.List().ClickColumn(4);  // Size, descending
        ui.Command(IDM_CONTEXT);
        ui.Command(IDM_STATUS_BAR);
        SetWindowPos(ui.Main(), nullptr, 40, 30, 1000, 560, SWP_NOZORDER);
        HWND splitter = GetDlgItem(ui.Main(), IDC_SPLITTER);
        SendMessageW(splitter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 10));
        SendMessageW(splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 10));
        SendMessageW(splitter, WM_LBUTTONUP, 0, MAKELPARAM(60, 10));
        ui.PumpIdle();
        GetWindowRect(ui.Main(), &placed);
        barLeft = ChildRectInParent(splitter, ui.Main()).left;
        // A column made wider, as the header's divider leaves it.
        HDITEMW wider{};
        wider.mask = HDI_WIDTH;
        wider.cxy = 333;
        SendMessageW(ui.List().Header(), HDM_SETITEMW, kColumnLocation, reinterpret_cast<LPARAM>(&wider));
        widths = ui.List().ColumnWidths96();
        ui.Close();
    }
    {
        AppHarness ui;
        ASSERT_TRUE(ui.Start());
        EXPECT_EQ(ComboEntries(ui.Control(IDC_SEARCH_TEXT)), (std::vector<std::wstring>{L"term", L"second", L"first"}));
        RECT now{};
        GetWindowRect(ui.Main(), &now);
        EXPECT_TRUE(EqualRect(&now, &placed)) << now.left << "," << now.top << " " << now.right << "," << now.bottom;
        EXPECT_EQ(ChildRectInParent(GetDlgItem(ui.Main(), IDC_SPLITTER), ui.Main()).left, barLeft);
        EXPECT_FALSE(ui.Controls().OptionsExpanded());
        EXPECT_TRUE(ui.Controls().ConvertersExpanded());
        EXPECT_TRUE(IsWindowVisible(ui.Control(IDC_IGNORE_HIDDEN)));
        EXPECT_FALSE(ui.List().ShowsContext());
        EXPECT_FALSE(IsWindowVisible(ui.App().MainWindow()->StatusBar()));
        EXPECT_EQ(ui.List().SortColumn(), 4);
        EXPECT_FALSE(ui.List().SortAscending());
        EXPECT_EQ(ui.List().ColumnWidths96(), widths) << "the columns as wide as they were left";
        EXPECT_EQ(ui.List().ColumnWidths96()[kColumnLocation], 333 * 96 / WindowDpi(ui.Main()));
        for (int item = 0; item < 7; ++item) {
            HDITEMW h{};
            h.mask = HDI_FORMAT;
            SendMessageW(ui.List().Header(), HDM_GETITEMW, item, reinterpret_cast<LPARAM>(&h));
            EXPECT_EQ(h.fmt & (HDF_SORTUP | HDF_SORTDOWN), item == 4 ? HDF_SORTDOWN : 0) << "heading " << item;
        }
        // The stored sort orders the rows of the next search as they come.
        ui.SetText(IDC_LOOK_IN, files.Path());
        ui.SetText(IDC_SEARCH_TEXT, L"term");
        ASSERT_TRUE(ui.Search());
        EXPECT_EQ(ui.RowNames(), (std::vector<std::wstring>{L"a.txt", L"b.txt"})) << "the larger first";
        ShowWindow(ui.Main(), SW_MAXIMIZE);
        ui.Close();
    }
    // Maximised when closed: a start that asks for a state of its own gets it.
    {
        AppHarness minimised;
        ASSERT_TRUE(minimised.Start(L"", SW_SHOWMINNOACTIVE));
        EXPECT_FALSE(IsZoomed(minimised.Main()));
        EXPECT_TRUE(IsIconic(minimised.Main()));
        ShowWindow(minimised.Main(), SW_MAXIMIZE);  // left as it was found
    }
    // Otherwise maximised again, with the normal place kept.
    AppHarness ui;
    ASSERT_TRUE(ui.Start());
    EXPECT_TRUE(IsZoomed(ui.Main()));
    ShowWindow(ui.Main(), SW_RESTORE);
    RECT now{};
    GetWindowRect(ui.Main(), &now);
    EXPECT_TRUE(EqualRect(&now, &placed)) << now.left << "," << now.top << " " << now.right << "," << now.bottom;
}

TEST_F(FirstDayTest, RowsOfANewSearchArriveInTheShownSortOrder) {
    for (int i = 0; i < 40; ++i)
        files.WriteFile(L"d" + std::to_wstring(i % 4) + L"\\f" + std::to_wstring(100 + i) + L".txt",
                        std::string(static_cast<size_t>(1 + (i * 37) % 40), 'x') + " term");
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().c_str()));
    ui.SetText(IDC_SEARCH_TEXT, L"term");
    ASSERT_TRUE(ui.Search());
    ui.List().ClickColumn(1);
    ui.List().ClickColumn(1);  // names ascending
    for (int column : {1, 4}) {
        if (column == 4)
            ui.List().ClickColumn(4);  // sizes, ascending as the names were
        ASSERT_TRUE(ui.Search());
        ASSERT_EQ(ui.List().RowCount(), 40);
        std::vector<FileResult*> shown, sorted;
        for (int i = 0; i < 40; ++i)
            shown.push_back(ui.List().RowResult(i));
        sorted = shown;
        SortResults(sorted, ui.List().SortColumn(), ui.List().SortAscending());
        EXPECT_EQ(shown, sorted) << "column " << column;
    }
    EXPECT_EQ(ui.List().RowResult(0)->size[0], 6u);
}

TEST_F(FirstDayTest, KeysReachTheListAndEveryMnemonicIsUnique) {
    for (int i = 0; i < 5; ++i)
        files.WriteFile(L"f" + std::to_wstring(i) + L".txt", "term");
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().c_str()));
    ui.SetText(IDC_SEARCH_TEXT, L"term");
    ASSERT_TRUE(ui.Search());
    HWND list = ui.List().ListBox();
    SetFocus(list);
    ui.PumpIdle();
    EXPECT_EQ(SendMessageW(list, LB_GETCARETINDEX, 0, 0), 0) << "the focus rectangle stands on the first row";
    EXPECT_TRUE(ui.List().SelectedRows().empty());
    ui.Keys({VK_DOWN});
    EXPECT_EQ(ui.List().SelectedRows(), std::vector<int>{0}) << "the first Down selects the first row";
    ui.Keys({VK_DOWN});
    EXPECT_EQ(ui.List().SelectedRows(), std::vector<int>{1});
    // Leaving the list and coming back keeps the caret where it was.
    SetFocus(ui.Control(IDC_SEARCH_TEXT));
    SetFocus(list);
    ui.PumpIdle();
    EXPECT_EQ(SendMessageW(list, LB_GETCARETINDEX, 0, 0), 1);

    // At the least size the columns scroll sideways, the header with them.
    SetWindowPos(ui.Main(), nullptr, 0, 0, 1, 1, SWP_NOMOVE | SWP_NOZORDER);
    ui.PumpIdle();
    // Groups opened there make the window grow: the button stays in reach.
    ui.Click(IDC_OPTIONS_TOGGLE);
    ui.Click(IDC_CONVERTERS_TOGGLE);
    RECT main{};
    GetClientRect(ui.Main(), &main);
    EXPECT_LE(ChildRectInParent(ui.Control(IDOK), ui.Main()).bottom, main.bottom);
    // Without the status bar the least window (groups open) is lower by its height.
    MINMAXINFO withBar{}, withoutBar{};
    SendMessageW(ui.Main(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&withBar));
    ui.Command(IDM_STATUS_BAR);
    SendMessageW(ui.Main(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&withoutBar));
    ui.Command(IDM_STATUS_BAR);
    RECT status{};
    GetWindowRect(ui.App().MainWindow()->StatusBar(), &status);
    EXPECT_EQ(withBar.ptMinTrackSize.y - withoutBar.ptMinTrackSize.y, status.bottom - status.top);
    ui.Click(IDC_OPTIONS_TOGGLE);
    ui.Click(IDC_CONVERTERS_TOGGLE);
    RECT client{};
    GetClientRect(list, &client);
    const int columns = ui.List().ColumnsWidth();
    ASSERT_GT(columns, client.right);
    SendMessageW(list, WM_HSCROLL, SB_RIGHT, 0);
    EXPECT_EQ(GetScrollPos(list, SB_HORZ), columns - client.right);
    EXPECT_EQ(ChildRectInParent(ui.List().Header(), ui.List().hwnd).left, client.right - columns);
    SendMessageW(list, WM_HSCROLL, SB_LINELEFT, 0);
    EXPECT_EQ(ChildRectInParent(ui.List().Header(), ui.List().hwnd).left, client.right - columns + 15);
    SendMessageW(list, WM_HSCROLL, SB_LEFT, 0);
    EXPECT_EQ(ChildRectInParent(ui.List().Header(), ui.List().hwnd).left, 0);
    // A resize leaves the columns where they were scrolled to.
    RECT outer{};
    GetWindowRect(ui.Main(), &outer);
    SetWindowPos(ui.Main(), nullptr, 0, 0, outer.right - outer.left + 3, outer.bottom - outer.top, SWP_NOMOVE | SWP_NOZORDER);
    ui.PumpIdle();
    EXPECT_EQ(GetScrollPos(list, SB_HORZ), 0);
    EXPECT_EQ(ChildRectInParent(ui.List().Header(), ui.List().hwnd).left, 0);

    // Mnemonics: unique in the panel, in each dialog, in the menu bar and in each menu.
    auto mnemonic = [](const std::wstring& text) -> wchar_t {
        for (size_t i = 0; i + 1 < text.size(); ++i) {
            if (text[i] == L'&' && text[i + 1] != L'&')
                return static_cast<wchar_t>(towupper(text[i + 1]));
            if (text[i] == L'&')
                ++i;
        }
        return 0;
    };
    auto expectUnique = [&](const std::vector<std::wstring>& texts, const std::string& where) {
        std::map<wchar_t, std::wstring> seen;
        for (const auto& t : texts) {
            const wchar_t m = mnemonic(t);
            if (!m)
                continue;
            EXPECT_TRUE(seen.emplace(m, t).second)
                << where << ": Alt+" << static_cast<char>(m) << " is " << testing::PrintToString(seen[m]) << " and "
                << testing::PrintToString(t);
        }
        return seen.size();
    };
    auto childTexts = [](HWND parent) {
        std::vector<std::wstring> texts;
        for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            wchar_t text[256] = {};
            GetWindowTextW(c, text, 256);
            texts.push_back(text);
        }
        return texts;
    };
    EXPECT_GE(expectUnique(childTexts(ui.Panel()), "panel"), 9u);
    HMENU bar = GetMenu(ui.Main());
    std::vector<std::wstring> titles;
    for (int i = 0; i < GetMenuItemCount(bar); ++i) {
        wchar_t text[128] = {};
        GetMenuStringW(bar, i, text, 128, MF_BYPOSITION);
        titles.push_back(text);
        std::vector<std::wstring> items;
        HMENU popup = GetSubMenu(bar, i);
        for (int k = 0; k < GetMenuItemCount(popup); ++k) {
            wchar_t item[128] = {};
            GetMenuStringW(popup, k, item, 128, MF_BYPOSITION);
            if (item[0]) {
                items.push_back(item);
                EXPECT_NE(mnemonic(item), 0) << "menu item " << testing::PrintToString(std::wstring(item));
            }
        }
        expectUnique(items, "menu " + std::to_string(i));
    }
    EXPECT_EQ(expectUnique(titles, "menu bar"), titles.size());
    for (const auto& [caption, command] : {std::pair{L"Options", IDM_OPTIONS}, std::pair{L"About Mirlock", IDM_ABOUT}}) {
        size_t found = 0;
        WhenDialogOpens(caption, [&](HWND dialog) {
            found = expectUnique(childTexts(dialog), testing::PrintToString(std::wstring(caption)));
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        ui.Command(command);
        StopWatchingDialogs();
        if (command == IDM_OPTIONS) {
            EXPECT_GE(found, 6u);
        }
    }
}

TEST(WindowPlacement, FirstAndStoredRectanglesFitTheScreen) {
    // The first window, scaled to the DPI, centred, cut to a small screen.
    const RECT laptop = {0, 0, 1366, 728};
    RECT r = DefaultWindowRect(laptop, 96);
    EXPECT_EQ(r.right - r.left, kDefaultWindowWidth);
    EXPECT_EQ(r.bottom - r.top, kDefaultWindowHeight);
    EXPECT_EQ(r.left, (1366 - kDefaultWindowWidth) / 2);
    const RECT big = {0, 0, 2560, 1400};
    r = DefaultWindowRect(big, 192);
    EXPECT_EQ(r.right - r.left, 2 * kDefaultWindowWidth);
    r = DefaultWindowRect(laptop, 192);
    EXPECT_TRUE(EqualRect(&r, &laptop)) << "no larger than the work area";
    const RECT shifted = {100, 50, 1100, 750};  // a work area that does not start at 0
    r = DefaultWindowRect(shifted, 96);
    EXPECT_TRUE(r.left >= 100 && r.top >= 50 && r.right <= 1100 && r.bottom <= 750);

    // A stored place: scaled from the DPI it was stored at, kept on the screen.
    StoredPlacement stored;
    stored.valid = true;
    stored.normal = {200, 100, 2200, 1100};
    stored.dpi = 192;
    r = PlacedRect(stored, big, 96);
    EXPECT_EQ(r.left, 200);
    EXPECT_EQ(r.right - r.left, 1000);
    EXPECT_EQ(r.bottom - r.top, 500);
    stored.normal = {-5000, 900, -4000, 1500};
    stored.dpi = 96;
    r = PlacedRect(stored, laptop, 96);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.bottom, 728);
    EXPECT_EQ(r.right - r.left, 1000);
}

TEST_F(FirstDayTest, StoredPlacesThatMakeNoSenseGiveTheFirstWindow) {
    const struct {
        const wchar_t* name;
        DWORD value;
    } bad[] = {{L"WindowWidth", 0}, {L"WindowHeight", static_cast<DWORD>(-4)}, {L"WindowDpi", 20},
               {L"WindowWidth", 5000000}, {L"WindowDpi", 5000}};
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    // A splitter stored past the window's right edge leaves the list its width.
    registry.WriteInt(L"SplitterPosition", 100000);
    {
        AppHarness ui;
        ASSERT_TRUE(ui.Start());
        RECT list{};
        GetWindowRect(GetDlgItem(ui.Main(), IDC_RESULT_LIST), &list);
        EXPECT_GE(list.right - list.left, ScalePixels(ResultListBox::kMinWidth, WindowDpi(ui.Main())));
    }
    for (const auto& b : bad) {
        for (const wchar_t* name : {L"WindowLeft", L"WindowTop"})
            registry.WriteInt(name, 10);
        registry.WriteInt(L"WindowWidth", 700);
        registry.WriteInt(L"WindowHeight", 600);
        registry.WriteInt(L"WindowDpi", 96);
        registry.WriteInt(b.name, b.value);
        AppHarness ui;
        ASSERT_TRUE(ui.Start());
        RECT now{};
        GetWindowRect(ui.Main(), &now);
        const RECT first = DefaultWindowRect(work, WindowDpi(ui.Main()));
        EXPECT_TRUE(EqualRect(&now, &first)) << testing::PrintToString(std::wstring(b.name)) << " " << b.value;
    }
}

namespace {

// The access key of a menu title or a control's text: the letter after a
// single "&", lower-cased; 0 when it has none.
wchar_t AccessKey(const std::wstring& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != L'&')
            continue;
        if (text[i + 1] != L'&')
            return static_cast<wchar_t>(towlower(text[i + 1]));
        ++i;
    }
    return 0;
}

}  // namespace

TEST_F(FirstDayTest, EveryAccessKeyOfTheMenuBarAndThePanelIsTakenOnce) {
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().c_str()));
    std::map<wchar_t, std::wstring> taken;
    auto take = [&](const std::wstring& text) {
        const wchar_t key = AccessKey(text);
        if (!key)
            return;
        const auto [at, fresh] = taken.emplace(key, text);
        EXPECT_TRUE(fresh) << testing::PrintToString(text) << " and " << testing::PrintToString(at->second)
                           << " both take Alt+" << static_cast<char>(key);
    };
    HMENU bar = GetMenu(ui.Main());
    ASSERT_TRUE(bar);
    const int titles = GetMenuItemCount(bar);
    EXPECT_GE(titles, 5);
    for (int i = 0; i < titles; ++i) {
        wchar_t title[64] = {};
        GetMenuStringW(bar, static_cast<UINT>(i), title, 64, MF_BYPOSITION);
        EXPECT_NE(AccessKey(title), 0) << testing::PrintToString(std::wstring(title));
        take(title);
    }
    // Every label, box and button of the panel, shown or in a collapsed group.
    int labels = 0;
    for (HWND child = GetWindow(ui.Panel(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t cls[32] = {};
        GetClassNameW(child, cls, 32);
        if (_wcsicmp(cls, L"Static") != 0 && _wcsicmp(cls, L"Button") != 0)
            continue;
        if (GetWindowLongPtrW(child, GWL_STYLE) & SS_NOPREFIX)
            continue;
        take(ui.Text(child));
        ++labels;
    }
    EXPECT_GE(labels, 12);
    // Alt+F opens the File menu, wherever the focus is in the panel.
    EXPECT_EQ(taken[L'f'], L"&File");
}

TEST_F(FirstDayTest, ACollapsedGroupSearchesWithWhatItHoldsAndItsHeadingSaysSo) {
    files.WriteFile(L"a.txt", "Colour and colour");
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().c_str()));
    HWND heading = GetWindow(ui.Control(IDC_OPTIONS_TOGGLE), GW_HWNDNEXT);
    EXPECT_EQ(ui.Text(heading), L"Search Options:") << "defaults on a first start: nothing to name";
    ui.Click(IDC_OPTIONS_TOGGLE);
    ui.Click(IDC_CASE);
    ui.Click(IDC_OPTIONS_TOGGLE);
    EXPECT_EQ(ui.Text(heading), L"Search Options: Case Sensitive");
    ui.SetText(IDC_SEARCH_TEXT, L"colour");
    ASSERT_TRUE(ui.Search());
    ASSERT_EQ(ui.List().RowCount(), 1);
    EXPECT_EQ(ui.List().RowResult(0)->matches.size(), 1u) << "the tick counts while the group is collapsed";

    ui.Click(IDC_OPTIONS_TOGGLE);
    EXPECT_EQ(ui.Text(heading), L"Search Options:") << "open, the group shows its title";
    ui.Click(IDC_REGEX);
    ui.SetText(IDC_TARGET_TEXT, L"Wiederholen");
    ui.Click(IDC_NOT_TARGET);
    ui.Click(IDC_OPTIONS_TOGGLE);
    const std::wstring whole = L"Search Options: Case Sensitive, Regular Expression, Target not containing \"Wiederholen\"";
    EXPECT_EQ(ui.Text(heading), whole);
    EXPECT_EQ(ui.Controls().OptionsHeadingText(), whole);
    // The heading's tooltip holds the whole text, updated with it.
    std::vector<HWND> tips;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM found) -> BOOL {
            wchar_t cls[64] = {};
            GetClassNameW(w, cls, 64);
            if (_wcsicmp(cls, TOOLTIPS_CLASSW) == 0)
                reinterpret_cast<std::vector<HWND>*>(found)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tips));
    std::wstring tipped;
    for (HWND tip : tips) {
        wchar_t tipText[512] = {};
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = ui.Panel();
        tool.uId = reinterpret_cast<UINT_PTR>(heading);
        tool.lpszText = tipText;
        SendMessageW(tip, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
        if (tipText[0])
            tipped = tipText;
    }
    EXPECT_EQ(tipped, whole);
    RECT label{}, group{};
    GetWindowRect(heading, &label);
    GetWindowRect(ui.Control(IDC_OPTIONS_GROUP), &group);
    EXPECT_LE(label.right, group.right) << "a long heading is cut at the group's edge";
    ASSERT_TRUE(ui.Search());
    EXPECT_EQ(ui.List().RowCount(), 0) << "the target condition holds collapsed too: plain text has no segments";

    ui.Click(IDC_CONVERTERS_TOGGLE);
    ui.Click(IDC_IGNORE_HIDDEN);
    ui.Click(IDC_CONVERTERS_TOGGLE);
    HWND converters = GetWindow(ui.Control(IDC_CONVERTERS_TOGGLE), GW_HWNDNEXT);
    EXPECT_EQ(ui.Text(converters), L"Converters: Ignore hidden text");
}

TEST_F(FirstDayTest, AFailedRowSaysWhyInItsFileTypeCellAndItsTooltip) {
    files.WriteFile(L"broken.xlf", "<xliff version=\"1.2\">\n<file>\n<body><source>needle</file>");
    files.WriteFile(L"plain.txt", "a needle");
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().c_str()));
    ui.SetText(IDC_SEARCH_TEXT, L"needle");
    ASSERT_TRUE(ui.Search());
    ASSERT_EQ(ui.List().RowCount(), 2);
    int failed = -1;
    for (int row = 0; row < 2; ++row) {
        const FileResult& result = *ui.List().RowResult(row);
        if (result.status == kFileFailed)
            failed = row;
        else
            EXPECT_EQ(CellText(result, kColumnFileType, L""), L"Text (Windows-1252)");
    }
    ASSERT_GE(failed, 0);
    const std::wstring why = CellText(*ui.List().RowResult(failed), kColumnFileType, L"");
    EXPECT_EQ(why.rfind(L"Failed: not well-formed XML, line 3, column ", 0), 0u) << testing::PrintToString(why);
    // The mouse over the cell shows the whole reason; over another cell, nothing.
    RECT column{}, row{};
    SendMessageW(ui.List().Header(), HDM_GETITEMRECT, kColumnFileType, reinterpret_cast<LPARAM>(&column));
    SendMessageW(ui.List().ListBox(), LB_GETITEMRECT, failed, reinterpret_cast<LPARAM>(&row));
    SendMessageW(ui.List().ListBox(), WM_MOUSEMOVE, 0, MAKELPARAM((column.left + column.right) / 2, row.top + 3));
    EXPECT_EQ(ui.List().CellTipText(), why);
    SendMessageW(ui.List().ListBox(), WM_MOUSEMOVE, 0, MAKELPARAM(3, row.top + 3));
    EXPECT_EQ(ui.List().CellTipText(), L"");
}

TEST_F(FirstDayTest, ARelativeFolderIsSearchedAndShownWhole) {
    files.WriteFile(L"docs\\a.txt", "needle");
    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    ASSERT_TRUE(SetCurrentDirectoryW(files.Path().c_str()));
    AppHarness ui;
    ASSERT_TRUE(ui.Start(L""));
    ui.SetText(IDC_SEARCH_TEXT, L"needle");
    ui.SetText(IDC_LOOK_IN, L"docs");
    const bool searched = ui.Search();
    SetCurrentDirectoryW(before);
    ASSERT_TRUE(searched);
    ASSERT_EQ(ui.List().RowCount(), 1);
    EXPECT_EQ(ui.List().RowResult(0)->location, files.Path() + L"docs\\");
    EXPECT_EQ(std::wstring(ui.App().Request().folder), files.Path() + L"docs");
    EXPECT_EQ(ui.Text(ui.Control(IDC_LOOK_IN)), files.Path() + L"docs") << "the history holds the whole folder";
}

TEST_F(FirstDayTest, ASearchInResultsReadsTheListedFilesAlone) {
    files.WriteFile(L"a.txt", "alpha beta");
    files.WriteFile(L"sub\\b.txt", "alpha");
    files.WriteFile(L"c.txt", "beta");
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().c_str()));
    ui.SetText(IDC_SEARCH_TEXT, L"alpha");
    ASSERT_TRUE(ui.Search());
    ASSERT_EQ(ui.List().RowCount(), 2);

    // Ticked: "beta" in the two listed files only, though c.txt holds it too;
    // the folder no longer matters.
    ui.Click(IDC_IN_RESULTS);
    ui.SetText(IDC_SEARCH_TEXT, L"beta");
    ui.SetText(IDC_LOOK_IN, files / L"no such folder");
    ASSERT_TRUE(ui.Search());
    EXPECT_EQ(ui.RowNames(), std::vector<std::wstring>{L"a.txt"}) << ui.StatusText();
    EXPECT_EQ(ui.StatusText(), L"Found 1 match.");

    // Nothing listed: said, and nothing searched.
    ui.SetText(IDC_SEARCH_TEXT, L"gamma");
    ASSERT_TRUE(ui.Search());
    EXPECT_EQ(ui.List().RowCount(), 0);
    ASSERT_TRUE(ui.Search());
    EXPECT_EQ(ui.StatusText(), L"No files are listed to search in.");

    // Unticked, the folder is walked again.
    ui.Click(IDC_IN_RESULTS);
    ui.SetText(IDC_LOOK_IN, files.Path());
    ui.SetText(IDC_SEARCH_TEXT, L"beta");
    ASSERT_TRUE(ui.Search());
    EXPECT_EQ(ui.List().RowCount(), 2);
}

TEST_F(FirstDayTest, SizeAndDateFiltersAreAppliedNamedAndKept) {
    files.WriteFile(L"small.txt", "term");
    files.WriteFile(L"big.txt", "term" + std::string(3000, 'x'));
    files.WriteFile(L"old\\big.txt", "term" + std::string(3000, 'x'));
    auto setChanged = [&](const std::wstring& name, int year, int month, int day) {
        unsigned long long start = 0;
        ASSERT_TRUE(LocalDayStart(year, month, day, false, &start));
        start += 12ull * 36000000000ull;  // noon
        HANDLE file = CreateFileW((files / name).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        FILETIME changed{static_cast<DWORD>(start), static_cast<DWORD>(start >> 32)};
        SetFileTime(file, nullptr, nullptr, &changed);
        CloseHandle(file);
    };
    setChanged(L"small.txt", 2026, 11, 2);
    setChanged(L"big.txt", 2026, 11, 2);
    setChanged(L"old\\big.txt", 2026, 11, 1);
    {
        AppHarness ui;
        ASSERT_TRUE(ui.Start(files.Path().c_str()));
        ui.SetText(IDC_SEARCH_TEXT, L"term");
        ui.Click(IDC_OPTIONS_TOGGLE);
        // At least 2 KB, changed after 1 November (from the 2nd on).
        SendMessageW(ui.Control(IDC_SIZE_MODE), CB_SETCURSEL, 1, 0);
        SendMessageW(ui.Panel(), WM_COMMAND, MAKEWPARAM(IDC_SIZE_MODE, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(ui.Control(IDC_SIZE_MODE)));
        EXPECT_TRUE(IsWindowEnabled(ui.Control(IDC_SIZE_FROM)));
        EXPECT_FALSE(IsWindowEnabled(ui.Control(IDC_SIZE_TO))) << "the second size is for \"between\"";
        ui.SetText(IDC_SIZE_FROM, L"2");
        SendMessageW(ui.Control(IDC_SIZE_UNIT), CB_SETCURSEL, 1, 0);
        SendMessageW(ui.Control(IDC_DATE_MODE), CB_SETCURSEL, 1, 0);
        SendMessageW(ui.Panel(), WM_COMMAND, MAKEWPARAM(IDC_DATE_MODE, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(ui.Control(IDC_DATE_MODE)));
        SYSTEMTIME first{};
        first.wYear = 2026;
        first.wMonth = 11;
        first.wDay = 1;
        SendMessageW(ui.Control(IDC_DATE_FROM), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&first));
        ASSERT_TRUE(ui.Search());
        EXPECT_EQ(ui.RowNames(), std::vector<std::wstring>{L"big.txt"}) << ui.StatusText();
        EXPECT_EQ(ui.App().Request().filesSearched, 1) << "files left out are not counted as searched";
        // Collapsed, the heading names the filters in force.
        ui.Click(IDC_OPTIONS_TOGGLE);
        const std::wstring heading = ui.Controls().OptionsHeadingText();
        EXPECT_NE(heading.find(L"Size at least 2 KB"), std::wstring::npos) << testing::PrintToString(heading);
        EXPECT_NE(heading.find(L"Modified after "), std::wstring::npos) << testing::PrintToString(heading);
        ASSERT_TRUE(ui.Search());
        EXPECT_EQ(ui.RowNames(), std::vector<std::wstring>{L"big.txt"}) << "a collapsed group applies them";
        ui.Close();
    }
    AppHarness again;
    ASSERT_TRUE(again.Start(files.Path().c_str()));
    EXPECT_EQ(SendMessageW(again.Control(IDC_SIZE_MODE), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(again.Text(again.Control(IDC_SIZE_FROM)), L"2");
    SYSTEMTIME kept{};
    SendMessageW(again.Control(IDC_DATE_FROM), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&kept));
    EXPECT_EQ(kept.wYear * 10000 + kept.wMonth * 100 + kept.wDay, 20261101);
    // "between" takes both days whole.
    SendMessageW(again.Control(IDC_SIZE_MODE), CB_SETCURSEL, 0, 0);
    SendMessageW(again.Control(IDC_DATE_MODE), CB_SETCURSEL, 3, 0);
    SendMessageW(again.Control(IDC_DATE_TO), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&kept));
    again.SetText(IDC_SEARCH_TEXT, L"term");
    ASSERT_TRUE(again.Search());
    EXPECT_EQ(again.RowNames(), std::vector<std::wstring>{L"big.txt"}) << "old\\big.txt, changed on 1 November";
}

TEST_F(FirstDayTest, IgnoreAccentsIsAppliedNamedAndKept) {
    files.WriteFile(L"a.txt", "Le caf\xC3\xA9 est ouvert.\n");
    {
        AppHarness ui;
        ASSERT_TRUE(ui.Start(files.Path().c_str()));
        ui.SetText(IDC_SEARCH_TEXT, L"cafe");
        ASSERT_TRUE(ui.Search());
        EXPECT_EQ(ui.List().RowCount(), 0);
        ui.Click(IDC_OPTIONS_TOGGLE);
        ui.Click(IDC_IGNORE_ACCENTS);
        ASSERT_TRUE(ui.Search());
        ASSERT_EQ(ui.List().RowCount(), 1);
        EXPECT_EQ(ui.List().RowResult(0)->matches[0]->context.find(L"caf\u00e9"), 3u) << "shown as the file holds it";
        ui.Click(IDC_OPTIONS_TOGGLE);
        EXPECT_EQ(ui.Controls().OptionsHeadingText(), L"Search Options: Ignore accents");
        ui.Close();
    }
    EXPECT_EQ(registry.ReadInt(L"IgnoreAccents"), 1u);
    AppHarness again;
    ASSERT_TRUE(again.Start(files.Path().c_str()));
    EXPECT_EQ(IsDlgButtonChecked(again.Panel(), IDC_IGNORE_ACCENTS), BST_CHECKED);
}
