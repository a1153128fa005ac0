// What a new user meets in the first minutes, through the real window: the
// summary with unreadable files, empty files, a folder that is not there, a
// stop, the case box with expressions, the collapsed group, pattern lists,
// UTF-8 text and the column headings.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "resource.h"
#include "tests/TestFiles.h"
#include "tests/ui/UiHarness.h"
#include "ui/ResultListBox.h"

namespace {

std::vector<std::wstring> ComboTexts(HWND combo) {
    std::vector<std::wstring> texts;
    const int n = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        wchar_t text[300] = {};
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        texts.push_back(text);
    }
    return texts;
}

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
    EXPECT_EQ(ui.StatusText(), L"Searched 5 files, found 2 matches in 1 files; 2 files could not be read.");
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
    const std::vector<std::wstring> history = ComboTexts(ui.Control(IDC_LOOK_IN));

    const std::wstring missing = files.Path() + L"nowhere";
    ui.SetText(IDC_LOOK_IN, missing);
    ui.Click(IDOK);
    ui.PumpIdle();
    EXPECT_FALSE(ui.App().IsSearching());
    EXPECT_EQ(ui.StatusText(), L"The folder " + missing + L" does not exist.");
    EXPECT_EQ(ComboTexts(ui.Control(IDC_LOOK_IN)), history);
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
