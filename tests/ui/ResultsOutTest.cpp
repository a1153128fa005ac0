// Results leaving the window: export through the save dialog (read back),
// full paths, the editor at the first hit, the shell's item lists for
// Explorer and the files a drag carries; long paths all the way.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <rapidxml/rapidxml.hpp>

#include <algorithm>
#include <string>
#include <vector>

#include "base/LongPath.h"
#include "base/ReplaceFile.h"
#include "base/SearchRecords.h"
#include "resource.h"
#include "tests/TableReaders.h"
#include "tests/TestFiles.h"
#include "tests/ui/UiHarness.h"
#include "ui/Editors.h"
#include "ui/ExportFile.h"
#include "ui/ResultListBox.h"
#include "ui/ShellItems.h"

namespace {

std::wstring WithoutSlash(const std::wstring& path) { return path.substr(0, path.size() - 1); }

// Types `path` into the save dialog and presses its Save button.
void ChooseFile(HWND dialog, const std::wstring& path) {
    // The name field: a combo box's edit (cmb13) or an edit (edt1).
    for (int id : {0x47C, 0x480})
        SetDlgItemTextW(dialog, id, path.c_str());
    SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
}

// Runs File > Export results and answers the dialogs in order: each answer
// gets the dialog's handle. True when every answer was used.
bool Export(AppHarness& ui, std::vector<std::function<void(HWND)>> answers) {
    auto pending = std::make_shared<std::vector<std::function<void(HWND)>>>(std::move(answers));
    auto used = std::make_shared<size_t>(0);
    std::function<void()> next = [pending, used, &next] {
        if (*used >= pending->size())
            return;
        WhenDialogOpens(L"Export results", [pending, used, &next](HWND dialog) {
            auto answer = (*pending)[(*used)++];
            next();  // the next dialog is watched for before this one is answered
            answer(dialog);
        });
    };
    next();
    ui.Keys({VK_CONTROL, 'S'});
    ui.PumpIdle();
    StopWatchingDialogs();
    return *used == pending->size();
}

std::wstring DialogText(HWND dialog) {
    wchar_t text[1024] = {};
    GetDlgItemTextW(dialog, 0xFFFF, text, 1024);  // the message box's text
    return text;
}

class ResultsOutTest : public testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 3; ++i)
            deep += std::wstring(90, static_cast<wchar_t>(L'k' + i)) + L"\\";
        files.WriteFile(L"one.txt", "first line\nsecond line\r\nthird has the term\n");
        files.WriteFile(L"b, \u00E9\U0001F600.xlf",
                        "<xliff version=\"1.2\"><file><body>\n<trans-unit id=\"u1\"><source>the term</source>"
                        "<target>der Begriff</target></trans-unit></body></file></xliff>");
        files.WriteFile(deep + L"deep.txt", "term");
        ASSERT_TRUE(ui.Start(WithoutSlash(files.Path()).c_str()));
        ui.SetText(IDC_SEARCH_TEXT, L"term");
        ASSERT_TRUE(ui.Search());
        ASSERT_EQ(ui.List().RowCount(), 3);
    }
    int RowOf(const std::wstring& name) {
        for (int i = 0; i < ui.List().RowCount(); ++i) {
            if (ui.List().RowResult(i)->name == name)
                return i;
        }
        return -1;
    }
    void Select(std::initializer_list<int> rows) {
        SendMessageW(ui.List().ListBox(), LB_SETSEL, FALSE, -1);
        for (int r : rows)
            SendMessageW(ui.List().ListBox(), LB_SETSEL, TRUE, r);
        if (rows.size())
            SendMessageW(ui.List().ListBox(), LB_SETCARETINDEX, *rows.begin(), 0);
        SetFocus(ui.List().ListBox());
        ui.PumpIdle();
    }

    RegistrySandbox registry;
    TempDir files;
    TempDir out;
    std::wstring deep;
    AppHarness ui;
};

TEST_F(ResultsOutTest, ExportWritesEveryTypeAsksBeforeReplacingAndSaysWhyItFailed) {
    // No selection: every row, as CSV.
    const std::wstring csvPath = out / L"rows.csv";
    ASSERT_TRUE(Export(ui, {[&](HWND d) { ChooseFile(d, csvPath); }}));
    std::string csv = ReadWholeFile(csvPath);
    ASSERT_EQ(csv.rfind("\xEF\xBB\xBF", 0), 0u);
    std::vector<std::vector<std::string>> records;
    ASSERT_NO_THROW(records = ReadCsv(csv.substr(3)));
    ASSERT_EQ(records.size(), 5u) << csv;  // header, three files, one segment
    std::vector<std::string> paths;
    for (size_t i = 1; i < records.size(); ++i) {
        if (records[i][7].empty())
            paths.push_back(records[i][0]);
    }
    std::sort(paths.begin(), paths.end());
    std::vector<std::string> expected = {Utf8(files / L"b, \u00E9\U0001F600.xlf"), Utf8(files / (deep + L"deep.txt")),
                                         Utf8(files / L"one.txt")};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(paths, expected) << "the long path whole, the odd name intact";

    // Two selected rows, as an HTML report.
    const int deepRow = RowOf(L"deep.txt"), xliffRow = RowOf(L"b, \u00E9\U0001F600.xlf");
    Select({deepRow, xliffRow});
    const std::wstring htmlPath = out / L"report.html";
    ASSERT_TRUE(Export(ui, {[&](HWND d) { ChooseFile(d, htmlPath); }}));
    std::string html = ReadWholeFile(htmlPath);
    ASSERT_FALSE(html.empty());
    rapidxml::xml_document<> doc;
    ASSERT_NO_THROW(doc.parse<0>(html.data()));
    auto* tbody = doc.first_node("html")->first_node("body")->first_node("table")->first_node("tbody");
    int fileRows = 0;
    for (auto* tr = tbody->first_node("tr"); tr; tr = tr->next_sibling("tr"))
        fileRows += std::string(tr->first_attribute("class")->value()) == "file";
    EXPECT_EQ(fileRows, 2) << "only the selected rows";

    // An existing name: "No" goes back to the dialog (cancelled here) and
    // leaves the file as it was; "Yes" replaces it.
    const std::string before = ReadWholeFile(csvPath);
    std::wstring question;
    ASSERT_TRUE(Export(ui, {[&](HWND d) { ChooseFile(d, csvPath); },
                            [&](HWND d) {
                                question = DialogText(d);
                                SendMessageW(d, WM_COMMAND, IDNO, 0);
                            },
                            [&](HWND d) { SendMessageW(d, WM_COMMAND, IDCANCEL, 0); }}));
    EXPECT_NE(question.find(L"already exists"), std::wstring::npos) << question;
    EXPECT_EQ(ReadWholeFile(csvPath), before);
    ASSERT_TRUE(Export(ui, {[&](HWND d) { ChooseFile(d, csvPath); },
                            [&](HWND d) { SendMessageW(d, WM_COMMAND, IDYES, 0); }}));
    EXPECT_NE(ReadWholeFile(csvPath), before) << "two rows now";
    EXPECT_EQ(ReadCsv(ReadWholeFile(csvPath).substr(3)).size(), 4u);

    // A file that another program holds cannot be replaced: the message
    // says why, the file keeps its content and no half file is left.
    const std::string kept = ReadWholeFile(csvPath);
    HANDLE held = CreateFileW(csvPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::wstring failure;
    ASSERT_TRUE(Export(ui, {[&](HWND d) { ChooseFile(d, csvPath); },
                            [&](HWND d) { SendMessageW(d, WM_COMMAND, IDYES, 0); },
                            [&](HWND d) {
                                failure = DialogText(d);
                                SendMessageW(d, WM_COMMAND, IDOK, 0);
                            }}));
    CloseHandle(held);
    EXPECT_NE(failure.find(L"could not be written"), std::wstring::npos) << failure;
    EXPECT_EQ(ReadWholeFile(csvPath), kept);
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((out / L"*.tmp").c_str(), &entry);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "no half file";
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
}

namespace {

// The names of the files in `folder` that end in ".tmp".
std::vector<std::wstring> TemporaryFilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"*.tmp").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do
            names.push_back(entry.cFileName);
        while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    return names;
}

}  // namespace

TEST_F(ResultsOutTest, WriteIsAllOrNothing) {
    const auto TemporaryFiles = [&] { return TemporaryFilesIn(out.Path()); };
    DWORD error = 0;
    const std::wstring path = out / L"kept.csv";
    ASSERT_TRUE(ReplaceFileWhole(path, "old", &error));
    // The target held open without sharing: the move fails, the old content
    // stays, the temporary file goes.
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ReplaceFileWhole(path, "new", &error));
    EXPECT_NE(error, static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(held);
    EXPECT_EQ(ReadWholeFile(path), "old");
    EXPECT_EQ(TemporaryFiles(), std::vector<std::wstring>{}) << "the temporary file goes";

    // Whatever stands where a temporary file could be (here the name this
    // program once used) is never written over, and the file that is
    // replaced keeps its attributes.
    const std::wstring foreign = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    ASSERT_TRUE(ReplaceFileWhole(foreign, "not mine", &error));
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(ReplaceFileWhole(path, "new", &error)) << error;
    EXPECT_EQ(ReadWholeFile(path), "new");
    EXPECT_EQ(ReadWholeFile(foreign), "not mine");
    EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(TemporaryFiles(), std::vector<std::wstring>{foreign.substr(foreign.find_last_of(L'\\') + 1)});
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(foreign.c_str());
    // Past the classic limit.
    const std::wstring longPath = out / (deep + L"report.csv");
    out.MakeDir(WithoutSlash(deep));
    ASSERT_TRUE(ReplaceFileWhole(longPath, "long", &error)) << error;
    EXPECT_EQ(ReadWholeFile(longPath), "long");
    EXPECT_EQ(ExportKindOf(L"C:\\x\\a.HTM", 1), ExportKind::kHtml);
    EXPECT_EQ(ExportKindOf(L"C:\\x.y\\a", 2), ExportKind::kTabs) << "no extension: the chosen type";
    EXPECT_EQ(ExportKindOf(L"C:\\x\\a.txt", 3), ExportKind::kTabs);
}

TEST_F(ResultsOutTest, FullPathsEditorAtTheFirstHitAndAltGrInFields) {
    const int plainRow = RowOf(L"one.txt"), deepRow = RowOf(L"deep.txt");
    Select({plainRow, deepRow});
    SetClipboardText(L"-");
    ui.Keys({VK_CONTROL, VK_MENU, 'C'});
    std::vector<std::wstring> lines;
    const std::wstring copied = ClipboardText();
    for (size_t at = 0; at <= copied.size();) {
        const size_t end = std::min(copied.find(L"\r\n", at), copied.size());
        lines.push_back(copied.substr(at, end - at));
        at = end + 2;
    }
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::wstring>{files / (deep + L"deep.txt"), files / L"one.txt"}));

    // Ctrl+Alt in a text field is AltGr: no command.
    SetClipboardText(L"-");
    SetFocus(ui.Control(IDC_SEARCH_TEXT));
    ui.Keys({VK_CONTROL, VK_MENU, 'C'});
    EXPECT_EQ(ClipboardText(), L"-");

    // The editor gets the path and the line of the first hit.
    EXPECT_EQ(ui.List().RowResult(plainRow)->firstHitLine, 3) << "LF and CR LF each end a line";
    EXPECT_EQ(ui.List().RowResult(RowOf(L"b, \u00E9\U0001F600.xlf"))->firstHitLine, 2)
        << "a bilingual file opens where the segment of its first hit starts";
    const std::wstring log = out / L"editor.log";
    ui.List().SetEditor(L"cmd.exe /c echo %1@%2> \"" + log + L"\"");
    Select({plainRow});
    ui.Command(IDM_OPEN_FILE);
    ASSERT_TRUE(ui.PumpUntil([&] { return ReadWholeFile(log).size() > 2; }, 20000));
    EXPECT_EQ(ReadWholeFile(log), Utf8(files / L"one.txt") + "@3\r\n");

    EXPECT_EQ(EditorCommandLine(L"\"C:\\e\\ed.exe\" -n%2 \"%1\" 100%%", L"C:\\a b.txt", 7),
              L"\"C:\\e\\ed.exe\" -n7 \"C:\\a b.txt\" 100%");
    EXPECT_EQ(EditorCommandLine(L"ed.exe", L"C:\\a b.txt", 7), L"ed.exe \"C:\\a b.txt\"");
    // Ready-made choices only for editors that are there.
    out.WriteFile(L"Programs\\Microsoft VS Code\\Code.exe", "MZ");
    const auto editors = FindEditors({out / L"None", out / L"Programs"});
    ASSERT_EQ(editors.size(), 1u);
    EXPECT_EQ(editors[0].second, L"\"" + out / L"Programs\\Microsoft VS Code\\Code.exe" + L"\" -g \"%1:%2\"");
}

TEST_F(ResultsOutTest, ShellItemsForExplorerAndTheFilesADragCarries) {
    const int plainRow = RowOf(L"one.txt"), deepRow = RowOf(L"deep.txt"), xliffRow = RowOf(L"b, \u00E9\U0001F600.xlf");
    Select({plainRow, deepRow, xliffRow});
    IDataObject* data = ui.List().CreateDragData();
    ASSERT_TRUE(data);
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    ASSERT_EQ(data->GetData(&format, &medium), S_OK);
    EXPECT_EQ(medium.tymed, static_cast<DWORD>(TYMED_HGLOBAL)) << "so that the receiver frees it";
    std::vector<std::wstring> dropped;
    auto* drop = static_cast<HDROP>(GlobalLock(medium.hGlobal));
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring name(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        name.resize(DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size())));
        dropped.push_back(name);
    }
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    // The long one goes by its short form, which names the same file.
    ASSERT_EQ(dropped.size(), 3u);
    for (std::wstring& name : dropped) {
        if (name.size() > 0 && name.find(L'~') != std::wstring::npos) {
            wchar_t longName[1024] = {};
            GetLongPathNameW(SystemPath(name).c_str(), longName, 1024);
            name = ShownPath(longName);
        }
    }
    std::sort(dropped.begin(), dropped.end());
    std::vector<std::wstring> expected = {files / L"one.txt", files / (deep + L"deep.txt"),
                                          files / L"b, \u00E9\U0001F600.xlf"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dropped, expected);
    // Copy is what a drop does unless the user says otherwise.
    FORMATETC preferred = {static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT)), nullptr,
                           DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    ASSERT_EQ(data->GetData(&preferred, &medium), S_OK);
    EXPECT_EQ(*static_cast<DWORD*>(GlobalLock(medium.hGlobal)), static_cast<DWORD>(DROPEFFECT_COPY));
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    data->Release();

    // Files the shell knows travel in its own data object.
    Select({plainRow, xliffRow});
    data = ui.List().CreateDragData();
    ASSERT_TRUE(data);
    ASSERT_EQ(data->GetData(&format, &medium), S_OK);
    EXPECT_EQ(DragQueryFileW(static_cast<HDROP>(medium.hGlobal), 0xFFFFFFFF, nullptr, 0), 2u);
    ReleaseStgMedium(&medium);
    data->Release();
    Select({});
    EXPECT_EQ(ui.List().CreateDragData(), nullptr) << "nothing selected, nothing to drag";

    // Explorer gets each folder with its files: the item lists name them.
    const auto groups = GroupByFolder({files / L"one.txt", files / (deep + L"deep.txt"), files / L"B, x.txt"});
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].first, WithoutSlash(files.Path()));
    EXPECT_EQ(groups[0].second.size(), 2u) << "one window for the files of one folder";
    EXPECT_EQ(groups[1].first, WithoutSlash(files / deep));
    ItemLists items;
    ASSERT_TRUE(items.Add(WithoutSlash(files.Path())));
    ASSERT_TRUE(items.Add(files / L"one.txt"));
    EXPECT_FALSE(items.Add(files / L"missing.txt"));
    wchar_t path[MAX_PATH] = {};
    ASSERT_TRUE(SHGetPathFromIDListW(items[1], path));
    EXPECT_EQ(std::wstring(path), files / L"one.txt");
    EXPECT_TRUE(ILIsParent(items[0], items[1], TRUE));
}

}  // namespace
