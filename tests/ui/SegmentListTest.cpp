// The window's side and target controls and the segment list: what a
// reviewer sets, what the list shows for the current row, copy and keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "resource.h"
#include "tests/TestFiles.h"
#include "tests/ui/UiHarness.h"
#include "ui/ResultListBox.h"
#include "ui/SegmentList.h"

namespace {

const char kUnits[] =
    "<xliff version=\"1.2\"><file source-language=\"en\" target-language=\"de\"><body>"
    "<trans-unit id=\"u1\"><source>The red house</source><target>Das rote Haus</target></trans-unit>"
    "<trans-unit id=\"u2\"><source>A red car</source><target>Ein Auto red</target></trans-unit>"
    "<trans-unit id=\"u3\"><source>No target: red</source></trans-unit>"
    "</body></file></xliff>";

// The texts of line `index` of the segment list, as the list view gets them.
std::vector<std::wstring> LineTexts(HWND list, int index) {
    std::vector<std::wstring> texts;
    for (int column = 0; column < 3; ++column) {
        wchar_t text[512] = {};
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = 512;
        SendMessageW(list, LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
        texts.push_back(text);
    }
    return texts;
}

std::wstring ColumnTitle(HWND list, int column) {
    wchar_t text[64] = {};
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT;
    c.pszText = text;
    c.cchTextMax = 64;
    SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&c));
    return text;
}

int LineCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

int RowNamed(AppHarness& ui, const wchar_t* name) {
    for (int i = 0; i < ui.List().RowCount(); ++i) {
        if (std::wstring(ui.List().RowResult(i)->name) == name)
            return i;
    }
    return -1;
}

// Selects row `row` alone with the keyboard, as a user does.
void SelectRow(AppHarness& ui, int row) {
    SetFocus(ui.List().ListBox());
    ui.Keys({VK_HOME});
    for (int i = 0; i < row; ++i)
        ui.Keys({VK_DOWN});
}

}  // namespace

TEST(SegmentWindow, SideAndTargetControlsMakeTheRequest) {
    RegistrySandbox registry;
    TempDir files;
    files.WriteFile(L"a.xlf", kUnits);
    files.WriteFile(L"plain.txt", "red\n");
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().c_str()));
    HWND side = ui.Control(IDC_SIDE);
    EXPECT_EQ(ComboEntries(side), (std::vector<std::wstring>{L"Source and target", L"Source", L"Target"}));
    EXPECT_EQ(SendMessageW(side, CB_GETCURSEL, 0, 0), 0);

    // Collapsed, the options group searches with what it holds: "red" in the
    // targets of segments whose target holds "rot", of which there is none.
    ui.SetText(IDC_SEARCH_TEXT, L"red");
    SendMessageW(side, CB_SETCURSEL, 2, 0);
    ui.SetText(IDC_TARGET_TEXT, L"rot");
    ASSERT_TRUE(ui.Search());
    EXPECT_TRUE(ui.RowNames().empty());

    // Opened: red in the source of segments whose target lacks "rot".
    ui.Click(IDC_OPTIONS_TOGGLE);
    SendMessageW(side, CB_SETCURSEL, 1, 0);
    ui.Click(IDC_NOT_TARGET);
    ASSERT_TRUE(ui.Search());
    EXPECT_EQ(ui.RowNames(), std::vector<std::wstring>{L"a.xlf"}) << "files without segments give no row";
    EXPECT_EQ(ui.List().RowResult(0)->matches.size(), 2u);
    EXPECT_EQ(registry.ReadInt(L"Side"), 1u);
    EXPECT_EQ(registry.ReadInt(L"NotTarget"), 1u);
    // The target text has a history like the search text.
    ui.SetText(IDC_TARGET_TEXT, L"Haus");
    ui.Click(IDC_NOT_TARGET);
    ASSERT_TRUE(ui.Search());
    EXPECT_EQ(ComboEntries(ui.Control(IDC_TARGET_TEXT)), (std::vector<std::wstring>{L"Haus", L"rot"}));
    ASSERT_EQ(ui.List().RowCount(), 1);
    EXPECT_EQ(ui.List().RowResult(0)->matches.size(), 1u);
    ui.Close();
    EXPECT_EQ(registry.ReadString(L"TargetText0"), L"Haus");
    EXPECT_EQ(registry.ReadString(L"TargetText1"), L"rot");

    // The next start shows them as they were left.
    AppHarness again;
    ASSERT_TRUE(again.Start(files.Path().c_str()));
    EXPECT_EQ(SendMessageW(again.Control(IDC_SIDE), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(IsDlgButtonChecked(again.Panel(), IDC_NOT_TARGET), BST_UNCHECKED);
    EXPECT_EQ(ComboEntries(again.Control(IDC_TARGET_TEXT)), (std::vector<std::wstring>{L"Haus", L"rot"}));
}

TEST(SegmentWindow, ListShowsTheCurrentRowWithoutConvertingAgain) {
    RegistrySandbox registry;
    TempDir files;
    files.WriteFile(L"a.xlf", kUnits);
    files.WriteFile(L"plain.txt", "a red line\nred again\n");
    // Many segments: the list holds them all at once.
    std::string many = "<xliff version=\"1.2\"><file><body>";
    for (int i = 0; i < 10000; ++i)
        many += "<trans-unit id=\"m" + std::to_string(i) + "\"><source>red " + std::to_string(i) +
                "</source><target>rot red</target></trans-unit>";
    files.WriteFile(L"many.xlf", many + "</body></file></xliff>");
    registry.WriteInt(L"MaximumMatch", 20000);
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().c_str()));
    ui.SetText(IDC_SEARCH_TEXT, L"red");
    ui.Click(IDC_OPTIONS_TOGGLE);
    SendMessageW(ui.Control(IDC_SIDE), CB_SETCURSEL, 2, 0);
    ASSERT_TRUE(ui.Search());
    ASSERT_EQ(ui.RowNames(), (std::vector<std::wstring>{L"a.xlf", L"many.xlf", L"plain.txt"}));
    HWND list = GetDlgItem(ui.Main(), IDC_SEGMENT_LIST);
    EXPECT_EQ(LineCount(list), 0) << "no row selected";
    // Ctrl+A in the list selects the rows: the row with the caret is shown.
    SetFocus(ui.List().ListBox());
    ui.Keys({VK_CONTROL, 'A'});
    EXPECT_EQ(LineCount(list), 1);

    // The files go: moving through the rows shows what the search kept.
    DeleteFileW((files / L"a.xlf").c_str());
    DeleteFileW((files / L"plain.txt").c_str());
    SelectRow(ui, RowNamed(ui, L"a.xlf"));
    ASSERT_EQ(LineCount(list), 1) << "the segments holding a counted hit";
    EXPECT_EQ(LineTexts(list, 0), (std::vector<std::wstring>{L"u2", L"A red car", L"Ein Auto red"}));
    EXPECT_EQ(ColumnTitle(list, 1), L"Source");
    // A file without segments: each hit with its context line, under titles
    // that say so; Ctrl+A and Ctrl+C there copy every line.
    ui.Keys({VK_DOWN});
    ui.Keys({VK_DOWN});
    ASSERT_EQ(LineCount(list), 2);
    EXPECT_EQ(LineTexts(list, 1), (std::vector<std::wstring>{L"2", L"red again ", L""}));
    EXPECT_EQ(ColumnTitle(list, 0), L"Hit");
    EXPECT_EQ(ColumnTitle(list, 1), L"Context");
    SetFocus(list);
    SetClipboardText(L"");
    ui.Keys({VK_CONTROL, 'A'});
    ui.Keys({VK_CONTROL, 'C'});
    EXPECT_EQ(ClipboardText(), L"1\ta red line red again \r\n2\tred again ");
    SetFocus(ui.List().ListBox());
    ui.Keys({VK_UP});
    EXPECT_EQ(LineCount(list), 10000);
    EXPECT_EQ(LineTexts(list, 9999), (std::vector<std::wstring>{L"m9999", L"red 9999", L"rot red"}));

    // Tab reaches it; Ctrl+A and Ctrl+C copy its lines.
    SelectRow(ui, RowNamed(ui, L"a.xlf"));
    ui.Keys({VK_TAB});
    ASSERT_EQ(GetFocus(), list);
    SetClipboardText(L"");
    ui.Keys({VK_CONTROL, 'A'});
    ui.Keys({VK_CONTROL, 'C'});
    EXPECT_EQ(ClipboardText(), L"u2\tA red car\tEin Auto red");

    // View > Segments hides the list; the rows show nothing there then.
    ui.Command(IDM_SEGMENTS);
    EXPECT_FALSE(IsWindowVisible(list));
    ui.Command(IDM_SEGMENTS);
    EXPECT_TRUE(IsWindowVisible(list));
    EXPECT_EQ(LineCount(list), 1) << "shown again with the current row";
    ui.Close();
    EXPECT_EQ(registry.ReadInt(L"ShowSegments"), 1u);
}

TEST(SegmentLines, SegmentsAndHitsAsShownAndCopied) {
    FileResult* row = FileResult::Create(L"C:\\x\\a.xlf", WIN32_FIND_DATAW{});
    row->AddRef();
    ShownSegment s;
    s.id = L"u1";
    s.source = L"red car";
    s.target = L"rotes Auto";
    s.sourceHits = {{0, 3}};
    s.conditionHits = {{0, 3}};
    row->segments.push_back(s);
    s.id = L"u 2";
    s.target.clear();
    row->segments.push_back(s);
    EXPECT_TRUE(ShowsSegments(*row));
    EXPECT_EQ(SegmentLineCount(*row), 2);
    const SegmentCells first = SegmentLine(*row, 0);
    ASSERT_TRUE(first.sourceHits && first.conditionHits);
    EXPECT_EQ(first.sourceHits->size(), 1u);
    EXPECT_EQ(SegmentLine(*row, 5).id, L"");
    EXPECT_EQ(SegmentCopyText(*row, {0, 1}), L"u1\tred car\trotes Auto\r\nu 2\tred car\t");

    // Without segments: the hits with their context lines, failures left out.
    row->segments.clear();
    auto hit = Match::Hit(12, 15);
    hit->context = L"line\twith a red hit";
    hit->contextStart = 2;
    row->matches.push_back(std::move(hit));
    row->matches.push_back(Match::Failure());
    EXPECT_EQ(SegmentLineCount(*row), 1);
    const SegmentCells line = SegmentLine(*row, 0);
    EXPECT_FALSE(line.sourceHits);
    EXPECT_EQ(line.source, L"line with a red hit");
    ASSERT_EQ(line.contextHit.size(), 1u);
    EXPECT_EQ(line.contextHit[0].begin, 10);
    EXPECT_EQ(line.contextHit[0].end, 13);
    EXPECT_EQ(SegmentCopyText(*row, {0}), L"1\tline with a red hit");
    row->Release();
}

namespace {

// The WCAG contrast ratio of two colours.
double Contrast(COLORREF a, COLORREF b) {
    auto luminance = [](COLORREF c) {
        auto channel = [](int v) {
            const double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(GetRValue(c)) + 0.7152 * channel(GetGValue(c)) + 0.0722 * channel(GetBValue(c));
    };
    const double x = luminance(a), y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

}  // namespace

TEST(SegmentLines, ConditionHitsStandOutOnEveryTheme) {
    // Light and dark windows of the usual themes, and the high-contrast ones.
    for (COLORREF window : {RGB(255, 255, 255), RGB(240, 240, 240), RGB(255, 255, 225), RGB(32, 32, 32),
                            RGB(0, 0, 0), RGB(0, 0, 128), RGB(128, 128, 128)}) {
        const HitColours c = ConditionHitColours(window);
        EXPECT_GE(Contrast(c.text, c.back), 4.5) << "the hit's text reads on its colour, window " << window;
        EXPECT_GE(Contrast(c.back, window), 1.3) << "the hit stands apart from the window " << window;
        EXPECT_NE(c.back, GetSysColor(COLOR_HIGHLIGHT)) << "not the counted hits' colour";
    }
}

TEST(SegmentWindow, F3AndF4StepThroughHitsAndFiles) {
    RegistrySandbox registry;
    TempDir files;
    files.WriteFile(L"a.txt", "red one\nred two\n");
    files.WriteFile(L"b.txt", "blue\n");
    files.WriteFile(L"c.txt", "red three\n");
    files.WriteFile(L"d.xlf", kUnits);
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().c_str()));
    ui.SetText(IDC_SEARCH_TEXT, L"red");
    ASSERT_TRUE(ui.Search());
    ui.List().ClickColumn(1);  // by name
    ui.List().ClickColumn(1);
    ASSERT_EQ(ui.RowNames(), (std::vector<std::wstring>{L"a.txt", L"c.txt", L"d.xlf"}));
    HWND list = GetDlgItem(ui.Main(), IDC_SEGMENT_LIST);
    auto where = [&] {
        const FileResult* row = ui.List().CurrentResult();
        return std::wstring(row ? row->name : L"-") + L":" + std::to_wstring(ui.App().MainWindow()->Segments()->CurrentLine());
    };
    SetFocus(ui.List().ListBox());
    std::vector<std::wstring> steps;
    for (int i = 0; i < 7; ++i) {
        ui.Keys({VK_F3});
        steps.push_back(where());
    }
    // From no row: the first file's first hit, on through the files' ends
    // (a bilingual file by its segments); past the last hit of the last
    // file F3 stays there.
    EXPECT_EQ(steps, (std::vector<std::wstring>{L"a.txt:0", L"a.txt:1", L"c.txt:0", L"d.xlf:0", L"d.xlf:1", L"d.xlf:2",
                                                L"d.xlf:2"}));
    EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 1) << "the list's selection follows";
    for (int i = 0; i < 3; ++i)
        ui.Keys({VK_SHIFT, VK_F3});
    EXPECT_EQ(where(), L"c.txt:0");
    ui.Keys({VK_SHIFT, VK_F3});
    EXPECT_EQ(where(), L"a.txt:1") << "back into the previous file at its last hit";
    ui.Keys({VK_F4});
    EXPECT_EQ(ui.List().CurrentResult()->name, std::wstring(L"c.txt"));
    ui.Keys({VK_F4});
    ui.Keys({VK_F4});
    EXPECT_EQ(ui.List().CurrentResult()->name, std::wstring(L"d.xlf")) << "F4 stops at the last file";
    ui.Keys({VK_SHIFT, VK_F4});
    EXPECT_EQ(ui.List().CurrentResult()->name, std::wstring(L"c.txt"));
    // In a combo box F4 opens its list, as everywhere.
    SetFocus(ui.Control(IDC_SEARCH_TEXT));
    ui.Keys({VK_F4});
    EXPECT_TRUE(SendMessageW(ui.Control(IDC_SEARCH_TEXT), CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(ui.List().CurrentResult()->name, std::wstring(L"c.txt"));
    ui.Keys({VK_ESCAPE});
}
