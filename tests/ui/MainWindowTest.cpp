// The window program driven in-process through its real loop: first start,
// searches with rows, context and sorting, the clipboard, stopping, the
// histories across restarts, the layout and the splitter, the dialogs.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "resource.h"
#include "converters/installed/FilterHost.h"
#include "tests/ConverterRegistration.h"
#include "tests/FilterRegistration.h"
#include "tests/ProcessUsage.h"
#include "tests/TestFiles.h"
#include "tests/ui/UiHarness.h"
#include "ui/BrowseCombo.h"
#include "ui/ResultCells.h"
#include "ui/ResultListBox.h"
#include "ui/SearchControls.h"
#include "ui/SegmentList.h"
#include "ui/controls/SplitWindow.h"
#include "ui/controls/Window.h"

namespace {

std::wstring WithoutSlash(const std::wstring& path) { return path.substr(0, path.size() - 1); }

std::string Repeat(const std::string& piece, int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += piece;
    return s;
}

RECT ChildRect(HWND child) { return ChildRectInParent(child, GetParent(child)); }

void ClickHeader(AppHarness& ui, int item) { ui.ClickHeader(item); }

int HeaderSortMark(AppHarness& ui, int item) {
    HDITEMW h{};
    h.mask = HDI_FORMAT;
    SendMessageW(ui.List().Header(), HDM_GETITEMW, item, reinterpret_cast<LPARAM>(&h));
    return h.fmt & (HDF_SORTUP | HDF_SORTDOWN);
}

UINT MenuState(AppHarness& ui, int popup, int id) {
    HMENU sub = GetSubMenu(GetMenu(ui.Main()), popup);
    SendMessageW(ui.Main(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sub), popup);
    return GetMenuState(sub, id, MF_BYCOMMAND);
}

std::vector<int> RowHeights(AppHarness& ui) {
    std::vector<int> heights;
    for (int i = 0; i < ui.List().RowCount(); ++i)
        heights.push_back(static_cast<int>(SendMessageW(ui.List().ListBox(), LB_GETITEMHEIGHT, i, 0)));
    return heights;
}

void SelectRows(AppHarness& ui, std::initializer_list<int> rows) {
    SendMessageW(ui.List().ListBox(), LB_SETSEL, FALSE, -1);
    for (int r : rows)
        SendMessageW(ui.List().ListBox(), LB_SETSEL, TRUE, r);
    SetFocus(ui.List().ListBox());
    ui.PumpIdle();
}

class MainWindowTest : public testing::Test {
protected:
    RegistrySandbox registry;  // outlives the window, which writes its histories on the way out
    TempDir files;
};

}  // namespace

TEST_F(MainWindowTest, FirstStartWithNoSettings) {
    AppHarness ui;
    ASSERT_TRUE(ui.Start());
    EXPECT_EQ(ui.StatusText(), L"Ready");
    // The six special folders, the user's documents on top and selected, then the browse entry.
    HWND lookIn = ui.Control(IDC_LOOK_IN);
    std::vector<LPARAM> marks;
    for (int i = 0; i < SendMessageW(lookIn, CB_GETCOUNT, 0, 0); ++i)
        marks.push_back(SendMessageW(lookIn, CB_GETITEMDATA, i, 0));
    EXPECT_EQ(marks, (std::vector<LPARAM>{CSIDL_PERSONAL, CSIDL_RECENT, CSIDL_HISTORY, CSIDL_FAVORITES,
                                          CSIDL_DESKTOP, CSIDL_COMMON_DOCUMENTS, BrowseCombo::kBrowseEntry}));
    EXPECT_EQ(SendMessageW(lookIn, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(ComboEntries(lookIn).back(), L"<Browse ...>");
    EXPECT_EQ(IsDlgButtonChecked(ui.Panel(), IDC_SUBDIRS), BST_CHECKED);
    // The collapsed group shows what a search with it collapsed uses.
    EXPECT_EQ(IsDlgButtonChecked(ui.Panel(), IDC_CASE), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(ui.Panel(), IDC_REGEX), BST_UNCHECKED);
    EXPECT_EQ(ui.Text(ui.Control(IDC_FILE_NAME)), L"");
    // Both groups start collapsed, the tag field disabled; the focus is in the search field.
    EXPECT_FALSE(IsWindowVisible(ui.Control(IDC_CASE)));
    EXPECT_FALSE(IsWindowVisible(ui.Control(IDC_IGNORE_HIDDEN)));
    EXPECT_EQ(ui.Text(ui.Control(IDC_OPTIONS_TOGGLE)), L"+");
    EXPECT_FALSE(IsWindowEnabled(ui.Control(IDC_TAG_TEXT)));
    EXPECT_TRUE(IsChild(ui.Control(IDC_SEARCH_TEXT), GetFocus()));
    // Typing stops at the 259 characters the request holds.
    ui.Type(std::wstring(300, L'q'));
    EXPECT_EQ(ui.Text(ui.Control(IDC_SEARCH_TEXT)).size(), 259u);
    EXPECT_EQ(ui.App().Request().maximumMatch, 999);
    EXPECT_EQ(ui.App().Converters().Mode(), 0);
    EXPECT_EQ(registry.ValueCount(), 0) << "nothing is written before a search";
    ui.Close();
    EXPECT_FALSE(registry.HasValue(L"Location0"));
    EXPECT_FALSE(registry.HasValue(L"LastLoc"));
}

TEST_F(MainWindowTest, SearchShowsRowsContextAndSorts) {
    files.WriteFile(L"a.txt", "The colour of the sea.");
    files.WriteFile(L"sub\\b.txt", "colour, colour\nand colour " + std::string(3000, 'x'));
    files.WriteFile(L"sub\\deep\\c.txt", Repeat("colour ", 10));
    files.WriteFile(L"none.txt", "nothing here");
    AppHarness ui;
    ASSERT_TRUE(ui.Start(WithoutSlash(files.Path()).c_str()));
    ui.SetText(IDC_SEARCH_TEXT, L"colour");
    ASSERT_TRUE(ui.Search());

    EXPECT_EQ(ui.StatusText(), L"Searched 4 files, found 14 matches in 3 files.");
    EXPECT_EQ(ui.RowNames(), (std::vector<std::wstring>{L"a.txt", L"b.txt", L"c.txt"}));
    EXPECT_EQ(RowHeights(ui), (std::vector<int>{36, 66, 81}));
    EXPECT_EQ(ui.Text(ui.Control(IDOK)), L"Search");
    EXPECT_TRUE(IsWindowEnabled(ui.Control(IDC_SEARCH_TEXT)));
    EXPECT_EQ(SendMessageW(ui.List().ListBox(), LB_GETSEL, 0, 0), 0) << "first row deselected";

    // Size twice (largest first, then smallest), then Name keeps the direction.
    ClickHeader(ui, 4);
    EXPECT_EQ(ui.RowNames(), (std::vector<std::wstring>{L"b.txt", L"c.txt", L"a.txt"}));
    EXPECT_EQ(HeaderSortMark(ui, 4), HDF_SORTDOWN);
    EXPECT_EQ(RowHeights(ui), (std::vector<int>{66, 81, 36})) << "heights follow their rows";
    ClickHeader(ui, 4);
    EXPECT_EQ(ui.RowNames(), (std::vector<std::wstring>{L"a.txt", L"c.txt", L"b.txt"}));
    EXPECT_EQ(HeaderSortMark(ui, 4), HDF_SORTUP);
    ClickHeader(ui, 1);
    EXPECT_EQ(ui.RowNames(), (std::vector<std::wstring>{L"a.txt", L"b.txt", L"c.txt"}));
    EXPECT_EQ(HeaderSortMark(ui, 1), HDF_SORTUP);
    EXPECT_EQ(HeaderSortMark(ui, 4), 0);
    ClickHeader(ui, 0);  // the margin item does not sort
    EXPECT_EQ(ui.List().SortColumn(), 1);

    // The context switch, from the View menu, with its check mark.
    EXPECT_TRUE(MenuState(ui, 2, IDM_CONTEXT) & MF_CHECKED);
    ui.Command(IDM_CONTEXT);
    EXPECT_EQ(RowHeights(ui), (std::vector<int>{15, 15, 15}));
    EXPECT_FALSE(MenuState(ui, 2, IDM_CONTEXT) & MF_CHECKED);
    ui.Command(IDM_CONTEXT);
    EXPECT_EQ(RowHeights(ui), (std::vector<int>{36, 66, 81}));

    // Nothing selected in the list: the Edit menu's row commands are off.
    SetFocus(ui.List().ListBox());
    EXPECT_TRUE(MenuState(ui, 1, IDM_COPY) & MF_GRAYED);
    EXPECT_TRUE(MenuState(ui, 1, IDM_CUT) & MF_GRAYED);
    EXPECT_TRUE(MenuState(ui, 1, IDM_DELETE) & MF_GRAYED);
    EXPECT_TRUE(MenuState(ui, 1, IDM_COPY_PATH) & MF_GRAYED);
    EXPECT_FALSE(MenuState(ui, 1, IDM_SELECT_ALL) & MF_GRAYED);
    EXPECT_TRUE(MenuState(ui, 3, IDM_OPEN_FILE) & MF_GRAYED);

    // Ctrl+C in the list copies the selected rows; Ctrl+Shift+C their paths.
    SelectRows(ui, {0, 2});
    EXPECT_FALSE(MenuState(ui, 1, IDM_COPY) & MF_GRAYED);
    EXPECT_FALSE(MenuState(ui, 3, IDM_OPEN_FILE) & MF_GRAYED);
    ui.Keys({VK_CONTROL, 'C'});
    const std::wstring copied = ClipboardText();
    EXPECT_EQ(copied.substr(0, copied.find(L'\t')), L"a.txt");
    EXPECT_NE(copied.find(L"\r\nc.txt\t10\t\\sub\\deep\\\t"), std::wstring::npos) << copied;
    EXPECT_EQ(copied.find(L"\r\n", copied.find(L"\r\n") + 2), std::wstring::npos) << "no line break after the last row";
    ui.Keys({VK_CONTROL, VK_SHIFT, 'C'});
    EXPECT_EQ(ClipboardText(), L".\\a.txt\r\n.\\sub\\deep\\c.txt");

    // Ctrl+C in the search field copies the field's selection instead.
    HWND searchEdit = GetWindow(ui.Control(IDC_SEARCH_TEXT), GW_CHILD);
    SetFocus(searchEdit);
    SendMessageW(searchEdit, EM_SETSEL, 1, 4);
    ui.Keys({VK_CONTROL, 'C'});
    EXPECT_EQ(ClipboardText(), L"olo");
    EXPECT_EQ(ui.List().SelectedCount(), 2) << "the rows are untouched";
    ui.Close();

    // The searched folder is the first history entry; the options stored
    // are those the search used, the collapsed group's too.
    EXPECT_EQ(registry.ReadString(L"Location0"), WithoutSlash(files.Path()));
    EXPECT_EQ(registry.ReadInt(L"LastLoc"), 0u);
    EXPECT_EQ(registry.ReadInt(L"Recursion"), 1u);
    EXPECT_EQ(registry.ReadInt(L"Case"), 0u);
    EXPECT_EQ(registry.ReadInt(L"Regex"), 0u);
}

TEST_F(MainWindowTest, CutDeleteAndListedFiles) {
    for (int i = 1; i <= 6; ++i)
        files.WriteFile(L"f" + std::to_wstring(i) + L".txt", "term");
    AppHarness ui;
    ASSERT_TRUE(ui.Start(WithoutSlash(files.Path()).c_str()));
    ASSERT_TRUE(ui.Search());  // empty search text: the files are listed
    EXPECT_EQ(ui.List().RowCount(), 6);
    EXPECT_EQ(CellText(*ui.List().RowResult(0), kColumnMatches, ui.List().BaseFolder()), L"-");
    EXPECT_EQ(RowHeights(ui), std::vector<int>(6, 15)) << "listed files have no context lines";

    // Enter in the search field presses "Search".
    ui.SetText(IDC_SEARCH_TEXT, L"term");
    SetFocus(ui.Control(IDC_SEARCH_TEXT));
    ui.Keys({VK_RETURN});
    ASSERT_TRUE(ui.PumpUntil([&] { return !ui.App().IsSearching(); }));
    ui.PumpIdle();
    EXPECT_EQ(ui.StatusText(), L"Found 6 matches.");
    ASSERT_EQ(ui.List().RowCount(), 6);
    const auto before = ui.RowNames();
    SelectRows(ui, {1, 4});  // rows 2 and 5
    ui.Keys({VK_CONTROL, 'X'});
    const std::wstring cut = ClipboardText();
    EXPECT_EQ(cut.substr(0, cut.find(L'\t')), before[1]);
    const size_t lineBreak = cut.find(L"\r\n");
    ASSERT_NE(lineBreak, std::wstring::npos);
    EXPECT_EQ(cut.substr(lineBreak + 2, cut.find(L'\t', lineBreak) - lineBreak - 2), before[4]);
    EXPECT_EQ(ui.RowNames(), (std::vector<std::wstring>{before[0], before[2], before[3], before[5]}));

    SelectRows(ui, {0});
    ui.Keys({VK_DELETE});
    EXPECT_EQ(ui.RowNames(), (std::vector<std::wstring>{before[2], before[3], before[5]}));
    // Select all from the keyboard, then Delete empties the list.
    SetFocus(ui.List().ListBox());
    ui.Keys({VK_CONTROL, 'A'});
    EXPECT_EQ(ui.List().SelectedCount(), 3);
    ui.Keys({VK_DELETE});
    EXPECT_EQ(ui.List().RowCount(), 0);
}

TEST_F(MainWindowTest, HistoriesSurviveARestart) {
    const std::wstring longest = L"C:\\" + std::wstring(256, L'n');  // 259 characters
    const std::wstring tooLong = L"C:\\" + std::wstring(300, L'x');
    registry.WriteString(L"Location0", L"C:\\Alpha");
    registry.WriteString(L"Location1", longest);
    registry.WriteString(L"Location2", tooLong);
    registry.WriteString(L"Location3", WithoutSlash(files.Path()));
    registry.WriteInt(L"LastLoc", 1);
    registry.WriteString(L"Filespec0", L"*.xlf");
    registry.WriteString(L"Filespec1", L"*.ttx");
    registry.WriteString(L"Ignore0", L"source");
    registry.WriteInt(L"Case", 0);
    {
        AppHarness ui;
        ASSERT_TRUE(ui.Start());
        // No special folders once there is a history; the stored selection;
        // a stored text too long for the field is no entry at all.
        EXPECT_EQ(ComboEntries(ui.Control(IDC_LOOK_IN)),
                  (std::vector<std::wstring>{L"C:\\Alpha", longest, WithoutSlash(files.Path()),
                                             L"<Browse ...>"}));
        EXPECT_EQ(ui.Text(ui.Control(IDC_LOOK_IN)), longest);
        EXPECT_EQ(ComboEntries(ui.Control(IDC_FILE_NAME)), (std::vector<std::wstring>{L"*.xlf", L"*.ttx"}));
        EXPECT_EQ(ComboEntries(ui.Control(IDC_TAG_TEXT)), (std::vector<std::wstring>{L"source"}));
        EXPECT_EQ(IsDlgButtonChecked(ui.Panel(), IDC_CASE), BST_UNCHECKED);

        // The folder typed in other letters moves to the top with its new spelling.
        std::wstring typed = WithoutSlash(files.Path());
        CharUpperW(typed.data());
        ui.SetText(IDC_LOOK_IN, typed);
        ASSERT_TRUE(ui.Search());
        EXPECT_EQ(ComboEntries(ui.Control(IDC_LOOK_IN)),
                  (std::vector<std::wstring>{typed, L"C:\\Alpha", longest, L"<Browse ...>"}));
    }
    EXPECT_EQ(registry.ReadString(L"Location1"), L"C:\\Alpha");
    EXPECT_EQ(registry.ReadString(L"Location2"), longest);
    EXPECT_EQ(registry.ReadInt(L"LastLoc"), 0u);
    EXPECT_EQ(registry.ReadString(L"Filespec1"), L"*.ttx");
    // A second start reads what the first one wrote.
    AppHarness again;
    ASSERT_TRUE(again.Start());
    EXPECT_EQ(ComboEntries(again.Control(IDC_LOOK_IN)).size(), 4u);
    EXPECT_EQ(again.Text(again.Control(IDC_LOOK_IN)).size(), WithoutSlash(files.Path()).size());
}

TEST_F(MainWindowTest, OptionGroupsDecideTheRequest) {
    files.WriteFile(L"a.txt", "Colour colour colours");
    files.WriteFile(L"b.xlf", "colour");
    AppHarness ui;
    ASSERT_TRUE(ui.Start(WithoutSlash(files.Path()).c_str()));
    const RECT buttonBefore = ChildRect(ui.Control(IDOK));
    const RECT convertersBefore = ChildRect(ui.Control(IDC_CONVERTERS_TOGGLE));
    // A collapsed group's controls count as they stand.
    CheckDlgButton(ui.Panel(), IDC_REGEX, BST_CHECKED);
    ui.SetText(IDC_FILE_NAME, L"*.xlf");
    ui.SetText(IDC_SEARCH_TEXT, L"colour");
    ASSERT_TRUE(ui.Search());
    EXPECT_STREQ(ui.App().Request().fileNameSpec, L"*.xlf");
    EXPECT_EQ(ui.App().Request().regex, 1);
    EXPECT_EQ(ui.App().Request().caseSensitive, 0);
    EXPECT_EQ(ui.List().RowCount(), 1);
    EXPECT_EQ(registry.ReadInt(L"Regex"), 1u);
    CheckDlgButton(ui.Panel(), IDC_REGEX, BST_UNCHECKED);
    ui.SetText(IDC_FILE_NAME, L"");

    // Expanding moves what follows down by the group box's height less the button's.
    ui.Click(IDC_OPTIONS_TOGGLE);
    const RECT group = ChildRect(ui.Control(IDC_OPTIONS_GROUP));
    const RECT toggle = ChildRect(ui.Control(IDC_OPTIONS_TOGGLE));
    const int d = (group.bottom - group.top) - (toggle.bottom - toggle.top);
    EXPECT_EQ(ChildRect(ui.Control(IDOK)).top, buttonBefore.top + d);
    EXPECT_EQ(ChildRect(ui.Control(IDC_CONVERTERS_TOGGLE)).top, convertersBefore.top + d);
    EXPECT_TRUE(IsWindowVisible(ui.Control(IDC_CASE)));
    EXPECT_EQ(ui.Text(ui.Control(IDC_OPTIONS_TOGGLE)), L"\x2013");

    CheckDlgButton(ui.Panel(), IDC_REGEX, BST_UNCHECKED);
    CheckDlgButton(ui.Panel(), IDC_CASE, BST_UNCHECKED);
    CheckDlgButton(ui.Panel(), IDC_WHOLE_WORDS, BST_CHECKED);
    ui.SetText(IDC_FILE_NAME, L"*.txt");
    ASSERT_TRUE(ui.Search());
    ASSERT_EQ(ui.List().RowCount(), 1);
    EXPECT_EQ(ui.List().RowResult(0)->matches.size(), 2u) << "whole words, case ignored";
    EXPECT_EQ(registry.ReadInt(L"Case"), 0u);
    EXPECT_EQ(registry.ReadInt(L"Regex"), 0u);
    EXPECT_EQ(registry.ReadInt(L"WholeWords"), 1u);
    EXPECT_EQ(registry.ReadInt(L"FormatMode"), 0u);
    EXPECT_EQ(ComboEntries(ui.Control(IDC_FILE_NAME)).front(), L"*.txt");

    // Collapsing moves them back.
    ui.Click(IDC_OPTIONS_TOGGLE);
    EXPECT_EQ(ChildRect(ui.Control(IDOK)).top, buttonBefore.top);

    // The tag field follows its check box, and is disabled again after a search.
    ui.Click(IDC_CONVERTERS_TOGGLE);
    ui.Click(IDC_IGNORE_TAGGED);
    EXPECT_TRUE(IsWindowEnabled(ui.Control(IDC_TAG_TEXT)));
    ui.Click(IDC_IGNORE_TAGGED);
    ASSERT_TRUE(ui.Search());
    EXPECT_FALSE(IsWindowEnabled(ui.Control(IDC_TAG_TEXT)));
}

TEST_F(MainWindowTest, StopWhileSearching) {
    for (int d = 0; d < 20; ++d) {
        for (int f = 0; f < 20; ++f)
            files.WriteFile(L"d" + std::to_wstring(d) + L"\\f" + std::to_wstring(f) + L".txt", "hit");
    }
    // On one thread, and with workers that run ahead of the rows.
    for (DWORD threads : {1, 4}) {
    SCOPED_TRACE(testing::Message() << threads << " threads");
    registry.WriteInt(L"SearchThreads", threads);
    AppHarness ui;
    ASSERT_TRUE(ui.Start(WithoutSlash(files.Path()).c_str()));
    ui.SetText(IDC_SEARCH_TEXT, L"hit");
    ui.Click(IDOK);
    ASSERT_TRUE(ui.App().IsSearching());
    EXPECT_EQ(ui.Text(ui.Control(IDOK)), L"Stop");
    EXPECT_FALSE(IsWindowEnabled(ui.Control(IDC_SEARCH_TEXT)));
    // The loop runs the walk in slices and answers messages in between.
    int exitCode = 0;
    int slices = 0;
    while (ui.App().Request().filesSearched < 30) {
        if (ui.App().RunLoopTurn(&exitCode) == MirlockApp::LoopTurn::kStep)
            ++slices;
        ASSERT_LT(slices, 1000);
    }
    PostMessageW(ui.Main(), WM_COMMAND, IDM_STATUS_BAR, 0);
    ui.App().RunLoopTurn(&exitCode);
    EXPECT_FALSE(IsWindowVisible(ui.App().MainWindow()->StatusBar()));
    EXPECT_TRUE(ui.App().IsSearching());
    ui.Command(IDM_STATUS_BAR);
    // Options is ignored while searching: no dialog opens.
    bool optionsOpened = false;
    WhenDialogOpens(L"Options", [&](HWND dialog) {
        optionsOpened = true;
        EndDialog(dialog, IDCANCEL);
    });
    ui.Command(IDM_OPTIONS);
    Sleep(50);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE))
        DispatchMessageW(&msg);
    EXPECT_FALSE(optionsOpened);
    StopWatchingDialogs();
    const int rowsAtStop = ui.List().RowCount();
    ui.Click(IDOK);  // "Stop"
    EXPECT_TRUE(ui.App().IsSearching()) << "the end is seen by the loop, not by the click";
    EXPECT_EQ(ui.Text(ui.Control(IDOK)), L"Stop");
    ASSERT_TRUE(ui.PumpUntil([&] { return !ui.App().IsSearching(); }));
    ui.PumpIdle();
    EXPECT_EQ(ui.List().RowCount(), rowsAtStop) << "no row after the stop";
    EXPECT_LT(rowsAtStop, 400);
    EXPECT_EQ(ui.StatusText(), L"Stopped. Found " + std::to_wstring(rowsAtStop) + L" matches.");
    EXPECT_EQ(ui.Text(ui.Control(IDOK)), L"Search");
    EXPECT_TRUE(IsWindowEnabled(ui.Control(IDC_SEARCH_TEXT)));
    // A new search runs to the end.
    ASSERT_TRUE(ui.Search());
    EXPECT_EQ(ui.List().RowCount(), 400);
    EXPECT_EQ(ui.StatusText(), L"Found 400 matches.");
    EXPECT_EQ(ui.App().SearchWorkers(), static_cast<int>(threads));
    }
}

TEST_F(MainWindowTest, BadInputKeepsThePanelUsable) {
    AppHarness ui;
    ASSERT_TRUE(ui.Start());
    // An empty "Look in" field searches nothing (not the root of a drive).
    ui.SetText(IDC_LOOK_IN, L"");
    ui.SetText(IDC_SEARCH_TEXT, L"x");
    ui.Click(IDOK);
    ui.PumpIdle();
    EXPECT_FALSE(ui.App().IsSearching());
    EXPECT_EQ(ui.StatusText(), L"Type or choose a folder to search.");
    // A bad regular expression: the message box, then the status says why, and an enabled panel.
    ui.SetText(IDC_LOOK_IN, WithoutSlash(files.Path()));
    ui.Click(IDC_OPTIONS_TOGGLE);
    CheckDlgButton(ui.Panel(), IDC_REGEX, BST_CHECKED);
    ui.SetText(IDC_SEARCH_TEXT, L"(unclosed");
    std::wstring message;
    WhenDialogOpens(L"Mirlock", [&](HWND box) {
        for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            wchar_t text[512] = {};
            GetWindowTextW(c, text, 512);
            if (wcsstr(text, L"regular expression"))
                message = text;
        }
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    ui.Click(IDOK);
    ui.PumpIdle();
    EXPECT_NE(message.find(L"Bad regex syntax"), std::wstring::npos) << message;
    EXPECT_FALSE(ui.App().IsSearching());
    EXPECT_EQ(ui.StatusText(), L"The regular expression is not valid.");
    EXPECT_TRUE(IsWindowEnabled(ui.Control(IDC_SEARCH_TEXT)));
}

TEST_F(MainWindowTest, LayoutStatusBarAndSplitter) {
    // The 900-pixel example; the window below is as wide as the system makes it.
    const PaneSplit split = InitialPaneSplit(900, 96);
    EXPECT_EQ(split.barLeft, 300);
    EXPECT_EQ(split.barRight, 304);
    EXPECT_EQ(split.listWidth, 596);
    // With what is known of the panes: a stored place (in pixels at 96 DPI),
    // never left of the panel's least width nor, room allowing, right of
    // the list's.
    const struct {
        int client, dpi, panelMin, stored, listMin, left;
    } placed[] = {
        {900, 96, 250, 0, 200, 300},   {900, 96, 250, 500, 200, 500}, {900, 96, 250, 800, 200, 696},
        {900, 96, 250, 100, 200, 250}, {1800, 192, 500, 300, 400, 600}, {400, 96, 250, 0, 200, 250},
    };
    for (const auto& p : placed) {
        const PaneSplit s = PlacedPaneSplit(p.client, p.dpi, p.panelMin, p.stored, p.listMin);
        EXPECT_EQ(s.barLeft, p.left) << p.client << " " << p.stored;
        EXPECT_EQ(s.barRight, p.left + ScalePixels(4, p.dpi));
        EXPECT_EQ(s.listWidth, std::max(0, p.client - s.barRight));
    }

    AppHarness ui;
    ASSERT_TRUE(ui.Start());
    RECT client{};
    GetClientRect(ui.Main(), &client);
    const int width = client.right;
    const int third = width / 3;
    HWND splitter = GetDlgItem(ui.Main(), IDC_SPLITTER);
    HWND list = GetDlgItem(ui.Main(), IDC_RESULT_LIST);
    HWND status = GetDlgItem(ui.Main(), IDC_STATUS_BAR);
    RECT panelRect = ChildRect(ui.Panel()), barRect = ChildRect(splitter), listRect = ChildRect(list);
    EXPECT_EQ(panelRect.left, 0);
    EXPECT_EQ(panelRect.right, third);
    EXPECT_EQ(barRect.left, third);
    EXPECT_EQ(barRect.right, third + 4);
    EXPECT_EQ(listRect.left, third + 4);
    EXPECT_EQ(listRect.right, width);
    RECT statusRect{};
    GetWindowRect(status, &statusRect);
    const int statusHeight = statusRect.bottom - statusRect.top;
    // Below the list the bar and the segment list, down to the status bar.
    HWND segments = GetDlgItem(ui.Main(), IDC_SEGMENT_LIST);
    HWND segmentBar = GetDlgItem(ui.Main(), IDC_SEGMENT_BAR);
    ASSERT_TRUE(IsWindowVisible(segments));
    EXPECT_EQ(ChildRect(segmentBar).top, listRect.bottom);
    EXPECT_EQ(ChildRect(segments).top, ChildRect(segmentBar).bottom);
    EXPECT_EQ(ChildRect(segments).bottom, client.bottom - statusHeight);
    EXPECT_EQ(ChildRect(segments).bottom - ChildRect(segments).top, SegmentList::kDefaultHeight);
    EXPECT_EQ(ChildRect(segments).left, third + 4);
    EXPECT_EQ(ChildRect(segments).right, width);
    // View > Segments hides them, and the list takes their place.
    EXPECT_TRUE(MenuState(ui, 2, IDM_SEGMENTS) & MF_CHECKED);
    ui.Command(IDM_SEGMENTS);
    EXPECT_FALSE(IsWindowVisible(segments));
    EXPECT_FALSE(MenuState(ui, 2, IDM_SEGMENTS) & MF_CHECKED);
    listRect = ChildRect(list);
    EXPECT_EQ(listRect.bottom, client.bottom - statusHeight);
    int parts[2] = {};
    SendMessageW(status, SB_GETPARTS, 2, reinterpret_cast<LPARAM>(parts));
    EXPECT_EQ(parts[0], width - 60);
    // The header and the list box follow the list's size.
    RECT header{};
    GetClientRect(ui.List().Header(), &header);
    EXPECT_EQ(header.right, width - third - 4);
    EXPECT_EQ(header.bottom, 18);

    // Hiding the status bar gives both panes its height at once.
    EXPECT_TRUE(MenuState(ui, 2, IDM_STATUS_BAR) & MF_CHECKED);
    ui.Command(IDM_STATUS_BAR);
    EXPECT_FALSE(IsWindowVisible(status));
    EXPECT_FALSE(MenuState(ui, 2, IDM_STATUS_BAR) & MF_CHECKED);
    EXPECT_EQ(ChildRect(list).bottom, client.bottom);
    EXPECT_EQ(ChildRect(ui.Panel()).bottom, client.bottom);
    ui.Command(IDM_STATUS_BAR);
    EXPECT_EQ(ChildRect(list).bottom, client.bottom - statusHeight);
    ui.Command(IDM_SEGMENTS);
    EXPECT_EQ(ChildRect(segments).bottom, client.bottom - statusHeight);

    // Dragging far left stops at the panel's creation width; far right, the
    // list's least width short of the window's right edge.
    const int minWidth = ui.Controls().MinWidth();
    RECT window{};
    GetWindowRect(ui.Main(), &window);
    POINT origin = {0, 0};
    ClientToScreen(ui.Main(), &origin);
    SendMessageW(splitter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 10));
    SendMessageW(splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(static_cast<WORD>(-2000), 10));
    EXPECT_EQ(ChildRect(ui.Panel()).right, third) << "the panes change only when the button goes up";
    SendMessageW(splitter, WM_LBUTTONUP, 0, MAKELPARAM(static_cast<WORD>(-2000), 10));
    ui.PumpIdle();
    EXPECT_EQ(ChildRect(splitter).left, window.left + minWidth - origin.x);
    EXPECT_EQ(ChildRect(ui.Panel()).right, ChildRect(splitter).left);
    EXPECT_EQ(ChildRect(list).left, ChildRect(splitter).right);
    SendMessageW(splitter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 10));
    SendMessageW(splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5000, 10));
    SendMessageW(splitter, WM_LBUTTONUP, 0, MAKELPARAM(5000, 10));
    ui.PumpIdle();
    EXPECT_EQ(ChildRect(splitter).left, window.right - ScalePixels(ResultListBox::kMinWidth, 96) - origin.x);
    EXPECT_EQ(ChildRect(list).right, width);
    EXPECT_FALSE(ui.App().MainWindow()->Splitter()->IsDragging());

    // A window made narrower than the bar's place keeps room for the list.
    RECT outer{};
    GetWindowRect(ui.Main(), &outer);
    SetWindowPos(ui.Main(), nullptr, 0, 0, (outer.right - outer.left) - width + 600, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    ui.PumpIdle();
    GetClientRect(ui.Main(), &client);
    ASSERT_EQ(client.right, 600);
    EXPECT_EQ(ChildRect(splitter).left, std::max<LONG>(minWidth, 600 - minWidth - 4));
    EXPECT_EQ(ChildRect(list).right, 600);
    EXPECT_GT(ChildRect(list).right - ChildRect(list).left, 0);
}

TEST_F(MainWindowTest, DialogsFromMenuAndKeys) {
    AppHarness ui;
    ASSERT_TRUE(ui.Start());
    // Alt+/ and Alt+? both open About, whose line shows the version.
    for (bool shifted : {false, true}) {
        std::wstring line;
        bool opened = false;
        WhenDialogOpens(L"About Mirlock", [&](HWND dialog) {
            opened = true;
            wchar_t text[260] = {};
            GetDlgItemTextW(dialog, IDC_VERSION_LINE, text, 260);
            line = text;
            SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        });
        if (shifted)
            ui.Keys({VK_MENU, VK_SHIFT, VK_OEM_2});
        else
            ui.Keys({VK_MENU, VK_OEM_2});
        EXPECT_TRUE(opened) << (shifted ? "Alt+?" : "Alt+/");
        EXPECT_EQ(line.rfind(L"mirlock version ", 0), 0u) << line;
    }

    // Options: Cancel after changing both controls changes and writes nothing.
    bool centred = false;
    WhenDialogOpens(L"Options", [&](HWND dialog) {
        // The display server may still report an earlier place of the new
        // window for a while on a busy machine: the test waits for the
        // place the dialog chose.
        const auto isCentred = [&] {
            RECT box{}, owner{};
            GetWindowRect(dialog, &box);
            GetClientRect(ui.Main(), &owner);
            MapWindowPoints(ui.Main(), HWND_DESKTOP, reinterpret_cast<POINT*>(&owner), 2);
            return box.right <= owner.right && box.bottom <= owner.bottom &&
                   std::abs((box.left + box.right) - (owner.left + owner.right)) <= 2;
        };
        centred = ui.PumpUntil(isCentred, 5000);
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_MODE_IFILTER), BST_CHECKED);
        wchar_t number[32] = {};
        GetDlgItemTextW(dialog, IDC_MAXIMUM_MATCH, number, 32);
        EXPECT_STREQ(number, L"999");
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_READ_UTF8), BST_CHECKED) << "UTF-8 is read from the first start on";
        CheckRadioButton(dialog, IDC_MODE_OFFICE, IDC_MODE_TEXT, IDC_MODE_TEXT);
        SetDlgItemTextW(dialog, IDC_MAXIMUM_MATCH, L"5");
        CheckDlgButton(dialog, IDC_READ_UTF8, BST_UNCHECKED);
        SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    });
    ui.Keys({VK_MENU, VK_F7});
    EXPECT_TRUE(centred);
    EXPECT_EQ(ui.App().Request().maximumMatch, 999);
    EXPECT_EQ(ui.App().Converters().Mode(), 0);
    EXPECT_FALSE(registry.HasValue(L"ConverterSet"));
    EXPECT_FALSE(registry.HasValue(L"MaximumMatch"));
    EXPECT_FALSE(registry.HasValue(L"ReadUtf8"));
    EXPECT_TRUE(ui.App().Converters().ReadsUtf8());

    // OK applies and stores both; every control lies whole inside the dialog.
    WhenDialogOpens(L"Options", [&](HWND dialog) {
        RECT inside{};
        GetClientRect(dialog, &inside);
        for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            const RECT r = ChildRect(c);
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= inside.right && r.bottom <= inside.bottom)
                << "control " << GetDlgCtrlID(c) << " reaches outside the dialog";
            wchar_t text[128] = {};
            GetWindowTextW(c, text, 128);
            EXPECT_EQ(wcsstr(text, L"no configurable"), nullptr);
        }
        // Search threads: "Automatic" first, then 1 to 64.
        HWND threads = GetDlgItem(dialog, IDC_SEARCH_THREADS);
        EXPECT_EQ(SendMessageW(threads, CB_GETCOUNT, 0, 0), 65);
        EXPECT_EQ(SendMessageW(threads, CB_GETCURSEL, 0, 0), 0);
        EXPECT_EQ(ui.Text(threads), L"Automatic");
        SendMessageW(threads, CB_SETCURSEL, 3, 0);
        // The content filter time limit: 30 seconds unless set.
        EXPECT_EQ(ui.Text(GetDlgItem(dialog, IDC_FILTER_TIMEOUT)), L"30");
        SetDlgItemTextW(dialog, IDC_FILTER_TIMEOUT, L"12");
        CheckRadioButton(dialog, IDC_MODE_OFFICE, IDC_MODE_TEXT, IDC_MODE_OFFICE);
        SetDlgItemTextW(dialog, IDC_MAXIMUM_MATCH, L"50");
        SendMessageW(GetDlgItem(dialog, IDC_READ_UTF8), BM_CLICK, 0, 0);
        SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    ui.Command(IDM_OPTIONS);
    EXPECT_FALSE(ui.App().Converters().ReadsUtf8());
    EXPECT_EQ(registry.ReadInt(L"ReadUtf8"), 0u);
    EXPECT_EQ(ui.App().Request().maximumMatch, 50);
    EXPECT_EQ(ui.App().Converters().Mode(), 1);
    EXPECT_EQ(registry.ReadInt(L"ConverterSet"), 1u);
    EXPECT_EQ(registry.ReadInt(L"MaximumMatch"), 50u);
    EXPECT_EQ(registry.ReadInt(L"SearchThreads"), 3u);
    EXPECT_EQ(ui.App().SearchWorkers(), 3);
    EXPECT_EQ(registry.ReadInt(L"FilterTimeout"), 12u);
    EXPECT_EQ(ui.App().Request().filterTimeout, 12);
    // Reopened, it shows what was stored.
    WhenDialogOpens(L"Options", [&](HWND dialog) {
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_MODE_OFFICE), BST_CHECKED);
        wchar_t number[32] = {};
        GetDlgItemTextW(dialog, IDC_MAXIMUM_MATCH, number, 32);
        EXPECT_STREQ(number, L"50");
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_READ_UTF8), BST_UNCHECKED);
        EXPECT_EQ(ui.Text(GetDlgItem(dialog, IDC_SEARCH_THREADS)), L"3");
        EXPECT_EQ(ui.Text(GetDlgItem(dialog, IDC_FILTER_TIMEOUT)), L"12");
        // Fewer than one match per file is refused with a word, and the dialog stays.
        for (const wchar_t* refused : {L"0", L"", L"none"}) {
            SetDlgItemTextW(dialog, IDC_MAXIMUM_MATCH, refused);
            std::wstring said;
            WhenDialogOpens(L"Mirlock", [&](HWND box) {
                for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                    said += ui.Text(c);
                PostMessageW(box, WM_COMMAND, IDOK, 0);
            });
            SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
            EXPECT_NE(said.find(L"Maximum matches per file must be 1 or more."), std::wstring::npos) << said;
            EXPECT_TRUE(IsWindowVisible(dialog));
            EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_MAXIMUM_MATCH)) << "back in the field to mend";
        }
        SetDlgItemTextW(dialog, IDC_MAXIMUM_MATCH, L"50");
        // No limit at all is not on offer: 0 is the shortest one.
        SetDlgItemTextW(dialog, IDC_FILTER_TIMEOUT, L"0");
        SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    ui.Command(IDM_OPTIONS);
    EXPECT_EQ(registry.ReadInt(L"FilterTimeout"), 1u);
}

TEST_F(MainWindowTest, FoldersFromTheCommandLineDropsAndTheBrowser) {
    files.MakeDir(L"My Projects\\de-DE");
    files.WriteFile(L"My Projects\\de-DE\\file.txt", "x");
    const std::wstring folder = files / L"My Projects\\de-DE";
    AppHarness ui;
    ASSERT_TRUE(ui.Start((L"\"" + folder + L"\"").c_str()));
    EXPECT_EQ(ui.Text(ui.Control(IDC_LOOK_IN)), folder);

    // A folder dropped from Explorer, then a file: its folder.
    auto drop = [&](const std::wstring& path) {
        const size_t bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
        HGLOBAL block = GlobalAlloc(GHND, bytes);
        auto* files = static_cast<DROPFILES*>(GlobalLock(block));
        files->pFiles = sizeof(DROPFILES);
        files->fWide = TRUE;
        memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), path.c_str(),
               path.size() * sizeof(wchar_t));
        GlobalUnlock(block);
        PostMessageW(ui.Main(), WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
        ui.PumpIdle();
    };
    drop(WithoutSlash(files.Path()));
    EXPECT_EQ(ui.Text(ui.Control(IDC_LOOK_IN)), WithoutSlash(files.Path()));
    drop(folder + L"\\file.txt");
    EXPECT_EQ(ui.Text(ui.Control(IDC_LOOK_IN)), folder);

    // "<Browse ...>": the browser starts at the folder shown; cancelled, the
    // entry selected when the list was opened comes back.
    HWND lookIn = ui.Control(IDC_LOOK_IN);
    SendMessageW(lookIn, CB_SETCURSEL, 2, 0);
    std::wstring start;
    BrowseCombo::SetFolderPicker([&](HWND, const wchar_t* from, std::wstring*) {
        start = from;
        return false;
    });
    SetFocus(lookIn);
    const int last = static_cast<int>(SendMessageW(lookIn, CB_GETCOUNT, 0, 0)) - 1;
    ui.Keys({VK_F4});
    ASSERT_TRUE(SendMessageW(lookIn, CB_GETDROPPEDSTATE, 0, 0));
    for (int i = 2; i < last; ++i)
        ui.Keys({VK_DOWN});
    ui.Keys({VK_RETURN});
    EXPECT_FALSE(SendMessageW(lookIn, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(SendMessageW(lookIn, CB_GETCURSEL, 0, 0), 2);
    // Walked there with the arrow keys, the field showed the entry before it.
    EXPECT_EQ(start, ComboEntries(lookIn)[last - 1]);
    // Chosen: the folder goes to the top, selected.
    BrowseCombo::SetFolderPicker([&](HWND, const wchar_t*, std::wstring* chosen) {
        *chosen = folder;
        return true;
    });
    SendMessageW(lookIn, CB_SETCURSEL, last, 0);
    SendMessageW(ui.Panel(), WM_COMMAND, MAKEWPARAM(IDC_LOOK_IN, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(lookIn));
    ui.PumpIdle();
    BrowseCombo::SetFolderPicker(nullptr);
    EXPECT_EQ(SendMessageW(lookIn, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(ComboEntries(lookIn)[0], folder);
    EXPECT_EQ(SendMessageW(lookIn, CB_GETITEMDATA, 0, 0), BrowseCombo::kUserFolder);

    // The shell's own folder browser opens over the field and can be cancelled.
    bool browserOpened = false;
    WhenDialogOpens(L"", [&](HWND dialog) {
        browserOpened = GetWindow(dialog, GW_OWNER) == ui.Main() || IsWindowVisible(dialog);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    SendMessageW(lookIn, CB_SETCURSEL, static_cast<int>(SendMessageW(lookIn, CB_GETCOUNT, 0, 0)) - 1, 0);
    SendMessageW(ui.Panel(), WM_COMMAND, MAKEWPARAM(IDC_LOOK_IN, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(lookIn));
    ui.PumpIdle();
    StopWatchingDialogs();
    EXPECT_TRUE(browserOpened);
    EXPECT_EQ(ComboEntries(lookIn)[0], folder);
}

TEST_F(MainWindowTest, ListSelectionScrollingWithMouseAndKeys) {
    for (int i = 0; i < 60; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"f%02d.txt", i);
        files.WriteFile(name, Repeat("term ", 1 + i % 5));
    }
    AppHarness ui;
    ASSERT_TRUE(ui.Start(WithoutSlash(files.Path()).c_str()));
    ui.SetText(IDC_SEARCH_TEXT, L"term");
    ASSERT_TRUE(ui.Search());
    ASSERT_EQ(ui.List().RowCount(), 60);
    ui.List().ClickColumn(1);
    ui.List().ClickColumn(1);  // names ascending
    HWND list = ui.List().ListBox();
    auto click = [&](int row, WPARAM keys) {
        RECT r{};
        SendMessageW(list, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
        const LPARAM at = MAKELPARAM(20, (r.top + r.bottom) / 2);
        SendMessageW(list, WM_LBUTTONDOWN, keys | MK_LBUTTON, at);
        SendMessageW(list, WM_LBUTTONUP, keys, at);
    };
    auto selected = [&] { return ui.List().SelectedRows(); };
    click(1, 0);
    click(3, MK_SHIFT);
    click(5, MK_CONTROL);
    EXPECT_EQ(selected(), (std::vector<int>{1, 2, 3, 5}));
    EXPECT_EQ(SendMessageW(list, LB_GETCARETINDEX, 0, 0), 5);
    click(5, MK_CONTROL);
    EXPECT_EQ(selected(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(GetFocus(), list);

    // Keys: arrows move the selection, Shift extends it from the anchor.
    ui.Keys({VK_DOWN});
    EXPECT_EQ(selected(), (std::vector<int>{6}));
    ui.Keys({VK_SHIFT, VK_DOWN});
    ui.Keys({VK_SHIFT, VK_DOWN});
    EXPECT_EQ(selected(), (std::vector<int>{6, 7, 8}));
    ui.Keys({VK_SHIFT, VK_UP});
    EXPECT_EQ(selected(), (std::vector<int>{6, 7}));
    // End scrolls the last row into view; Home back to the top.
    ui.Keys({VK_END});
    EXPECT_EQ(selected(), (std::vector<int>{59}));
    RECT client{}, last{};
    GetClientRect(list, &client);
    SendMessageW(list, LB_GETITEMRECT, 59, reinterpret_cast<LPARAM>(&last));
    EXPECT_GT(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);
    EXPECT_LE(last.bottom, client.bottom);
    EXPECT_GE(last.top, 0);
    ui.Keys({VK_HOME});
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);
    // Page Down moves by about a screen; the wheel scrolls without selecting.
    ui.Keys({VK_NEXT});
    const int paged = static_cast<int>(SendMessageW(list, LB_GETCARETINDEX, 0, 0));
    EXPECT_GT(paged, 3);
    EXPECT_LT(paged, 59);
    ui.Keys({VK_HOME});
    SendMessageW(list, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA * 3)), 0);
    EXPECT_GT(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);
    EXPECT_EQ(selected(), (std::vector<int>{0}));
    // Tab leaves the list for the segment list, and that for the panel's
    // first control; Shift+Tab goes back the same way, and Tab from the
    // panel's last control comes to the list.
    SetFocus(list);
    ui.Keys({VK_TAB});
    EXPECT_EQ(GetFocus(), GetDlgItem(ui.Main(), IDC_SEGMENT_LIST));
    ui.Keys({VK_TAB});
    EXPECT_TRUE(IsChild(ui.Control(IDC_SEARCH_TEXT), GetFocus()) || GetFocus() == ui.Control(IDC_SEARCH_TEXT));
    ui.Keys({VK_SHIFT, VK_TAB});
    EXPECT_EQ(GetFocus(), GetDlgItem(ui.Main(), IDC_SEGMENT_LIST));
    ui.Keys({VK_SHIFT, VK_TAB});
    EXPECT_EQ(GetFocus(), list);
    SetFocus(ui.Control(IDOK));
    ui.Keys({VK_TAB});
    EXPECT_EQ(GetFocus(), list);
    ui.Keys({VK_SHIFT, VK_TAB});
    EXPECT_EQ(GetFocus(), ui.Control(IDOK));
    // Within the panel, Tab still moves from control to control.
    SetFocus(ui.Control(IDC_SEARCH_TEXT));
    ui.Keys({VK_TAB});
    EXPECT_TRUE(GetFocus() == ui.Control(IDC_LOOK_IN) || IsChild(ui.Control(IDC_LOOK_IN), GetFocus()));
    SetFocus(list);

    // Right-click on a row that is not selected: it alone is selected and
    // its shortcut menu offers the row commands (here Copy path, chosen
    // with the keys).
    {
        SendMessageW(list, LB_SETTOPINDEX, 0, 0);
        RECT r{};
        SendMessageW(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
        POINT at = {20, (r.top + r.bottom) / 2};
        ClientToScreen(list, &at);
        INPUT keys[12] = {};
        // Open file, Open containing folder, Open with, Copy, Copy path.
        const WORD sequence[] = {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN};
        for (int i = 0; i < 6; ++i) {
            keys[2 * i].type = keys[2 * i + 1].type = INPUT_KEYBOARD;
            keys[2 * i].ki.wVk = keys[2 * i + 1].ki.wVk = sequence[i];
            keys[2 * i + 1].ki.dwFlags = KEYEVENTF_KEYUP;
        }
        SetClipboardText(L"");
        SendInput(12, keys, sizeof(INPUT));
        SendMessageW(ui.List().hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(at.x, at.y));
        ui.PumpIdle();
        EXPECT_EQ(selected(), (std::vector<int>{1}));
        EXPECT_EQ(ClipboardText(), std::wstring(L".\\") + ui.List().RowResult(1)->name);
    }

    // Select all, then Delete: every row goes, and the window stays usable.
    ui.Keys({VK_CONTROL, 'A'});
    EXPECT_EQ(ui.List().SelectedCount(), 60);
    ui.Keys({VK_DELETE});
    EXPECT_EQ(ui.List().RowCount(), 0);
    EXPECT_EQ(SendMessageW(list, LB_GETCARETINDEX, 0, 0), -1);
    ui.Keys({VK_DOWN});  // nothing to move to
}

TEST_F(MainWindowTest, DocumentsThroughAContentFilter) {
    ASSERT_TRUE(RegisterTestFilter());
    files.WriteFile(L"report.mtfb", "TEXT EOP find me\nVALUE a title with find\nTEXT EOW and find me\n");
    AppHarness ui;
    ASSERT_TRUE(ui.Start(WithoutSlash(files.Path()).c_str()));
    ui.SetText(IDC_SEARCH_TEXT, L"find");
    ASSERT_TRUE(ui.Search());
    ASSERT_EQ(ui.List().RowCount(), 1);
    const FileResult& row = *ui.List().RowResult(0);
    EXPECT_EQ(row.matches.size(), 2u) << "the value chunk is no text";
    EXPECT_EQ(row.matches[0]->context, L"find me and find me");
    EXPECT_EQ(GetModuleHandleW(L"mirlock-test-filter.dll"), nullptr) << "no filter runs in the program's process";
}

TEST_F(MainWindowTest, FiltersThatFaultOrHangCostTheirFileAndStopEndsThem) {
    ASSERT_TRUE(RegisterTestFilter());
    // One file per folder keeps the order sure.
    files.WriteFile(L"a\\found.txt", "find me");
    files.WriteFile(L"b\\access.mtfb", "TEXT EOP find\nFAULT ACCESS\n");
    files.WriteFile(L"c\\hang.mtfb", "FAULT HANG\n");
    files.WriteFile(L"d\\recurse.mtfb", "FAULT RECURSE\n");
    files.WriteFile(L"e\\read.mtfb", "TEXT EOP find this\n");
    files.WriteFile(L"f\\last.txt", "find me last");
    registry.WriteInt(L"FilterTimeout", 1);
    for (DWORD threads : {1, 3}) {
        SCOPED_TRACE(testing::Message() << threads << " threads");
        registry.WriteInt(L"SearchThreads", threads);
        AppHarness ui;
        ASSERT_TRUE(ui.Start(WithoutSlash(files.Path()).c_str()));
        ui.SetText(IDC_SEARCH_TEXT, L"find");
        ASSERT_TRUE(ui.Search());
        std::vector<std::wstring> rows;
        for (int i = 0; i < ui.List().RowCount(); ++i) {
            const FileResult& row = *ui.List().RowResult(i);
            rows.push_back(std::wstring(row.name) + (row.status == kFileFailed ? L" failed" : L""));
        }
        EXPECT_EQ(rows, (std::vector<std::wstring>{L"found.txt", L"access.mtfb failed", L"hang.mtfb failed",
                                                   L"recurse.mtfb failed", L"read.mtfb", L"last.txt"}));
        EXPECT_EQ(ui.StatusText(), L"Searched 6 files, found 3 matches in 3 files; 3 files could not be read.");
    }
    EXPECT_EQ(CountChildProcesses(GetCurrentProcessId(), L"mirlock-filterhost.exe"), 0u)
        << "the window's hosts end with it";

    // Stop while a host hangs: the search ends at once, not at the time
    // limit. With workers the window answers as always; on one thread it
    // answers from inside the step that waits on the host, so the click
    // comes from a timer that the waiting step lets through.
    registry.WriteInt(L"FilterTimeout", 60);
    for (DWORD threads : {2, 1}) {
        SCOPED_TRACE(testing::Message() << threads << " threads, stop");
        registry.WriteInt(L"SearchThreads", threads);
        AppHarness ui;
        ASSERT_TRUE(ui.Start(WithoutSlash(files.Path()).c_str()));
        ui.SetText(IDC_SEARCH_TEXT, L"find");
        ui.Click(IDOK);
        static HWND stopButton;
        static ULONGLONG clicked;
        stopButton = ui.Control(IDOK);
        clicked = 0;
        ASSERT_TRUE(ui.PumpUntil([&] { return ui.List().RowCount() >= 2; }));
        SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            clicked = GetTickCount64();
            SendMessageW(stopButton, BM_CLICK, 0, 0);  // "Stop"
        });
        ASSERT_TRUE(ui.PumpUntil([&] { return !ui.App().IsSearching(); }, 20000));
        ASSERT_NE(clicked, 0u);
        EXPECT_LT(GetTickCount64() - clicked, 5000u);
        EXPECT_EQ(ui.List().RowCount(), 2) << "no row after the stop";
        EXPECT_EQ(ui.StatusText(), L"Stopped. Searched 2 files, found 1 match in 1 file; 1 file could not be read.")
            << "the file whose filter was stopped was not searched";
    }
    EXPECT_EQ(CountChildProcesses(GetCurrentProcessId(), L"mirlock-filterhost.exe"), 0u);

    // Closing the window while a host hangs on one thread: the program ends
    // at once, and so does the host.
    registry.WriteInt(L"SearchThreads", 1);
    AppHarness ui;
    ASSERT_TRUE(ui.Start(WithoutSlash(files.Path()).c_str()));
    ui.SetText(IDC_SEARCH_TEXT, L"find");
    ui.Click(IDOK);
    static HWND mainWindow;
    mainWindow = ui.Main();
    ASSERT_TRUE(ui.PumpUntil([&] { return ui.List().RowCount() >= 2; }));
    SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        PostMessageW(mainWindow, WM_CLOSE, 0, 0);
    });
    const ULONGLONG closing = GetTickCount64();
    ASSERT_TRUE(ui.PumpUntil([&] { return ui.quit && !ui.App().IsSearching(); }, 20000));
    EXPECT_LT(GetTickCount64() - closing, 5000u);
    EXPECT_FALSE(IsWindow(mainWindow));
    ui.Close();
    EXPECT_EQ(CountChildProcesses(GetCurrentProcessId(), L"mirlock-filterhost.exe"), 0u);
}

TEST_F(MainWindowTest, AFilterHostThatCannotStartIsSaidOnce) {
    ASSERT_TRUE(RegisterTestFilter());
    files.WriteFile(L"a\\one.mtfb", "TEXT EOP find\n");
    files.WriteFile(L"b\\two.mtfb", "TEXT EOP find\n");
    files.WriteFile(L"c\\three.txt", "find");
    SetFilterHostPath(files / L"nowhere\\mirlock-filterhost.exe");
    for (DWORD threads : {1, 2}) {
        SCOPED_TRACE(testing::Message() << threads << " threads");
        registry.WriteInt(L"SearchThreads", threads);
        AppHarness ui;
        ASSERT_TRUE(ui.Start(WithoutSlash(files.Path()).c_str()));
        ui.SetText(IDC_SEARCH_TEXT, L"find");
        std::wstring message;
        int boxes = 0;
        const auto answer = [&](HWND box) {
            ++boxes;
            for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                wchar_t text[1024] = {};
                GetWindowTextW(c, text, 1024);
                if (wcsstr(text, L"filter"))
                    message = text;
            }
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        };
        WhenDialogOpens(L"Mirlock", [&](HWND box) {
            answer(box);
            WhenDialogOpens(L"Mirlock", answer);  // a second one would be counted
        });
        ASSERT_TRUE(ui.Search());
        StopWatchingDialogs();
        EXPECT_EQ(boxes, 1);
        EXPECT_NE(message.find(L"nowhere\\mirlock-filterhost.exe could not be started"), std::wstring::npos)
            << message;
        EXPECT_EQ(ui.StatusText(), L"Searched 3 files, found 1 match in 1 file; 2 files could not be read.");
    }
    SetFilterHostPath(L"");
}

TEST_F(MainWindowTest, DocumentsThroughAnImportConverterInTheOfficeMode) {
    ASSERT_TRUE(RegisterTestConverters());
    registry.WriteInt(L"ConverterSet", 1);  // Options: "Microsoft Office"
    files.WriteFile(L"letter.mtc", "MTCV\n{\\rtf1\\ansi The colour {\\v hidden colour} and {\\strike struck colour}\\par}");
    AppHarness ui;
    ASSERT_TRUE(ui.Start(WithoutSlash(files.Path()).c_str()));
    EXPECT_EQ(ui.App().Converters().Mode(), 1);
    ui.SetText(IDC_SEARCH_TEXT, L"colour");
    ASSERT_TRUE(ui.Search());
    ASSERT_EQ(ui.List().RowCount(), 1);
    EXPECT_EQ(ui.List().RowResult(0)->matches.size(), 2u) << "hidden text counts, struck text does not";
    // "Ignore hidden text" in the converter options.
    ui.Click(IDC_CONVERTERS_TOGGLE);
    CheckDlgButton(ui.Panel(), IDC_IGNORE_HIDDEN, BST_CHECKED);
    ASSERT_TRUE(ui.Search());
    ASSERT_EQ(ui.List().RowCount(), 1);
    EXPECT_EQ(ui.List().RowResult(0)->matches.size(), 1u);
}
