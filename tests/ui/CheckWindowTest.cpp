// Tools > Check segments in the window: the dialog and its stored settings,
// the checks list in place of the results, the ignore list across passes,
// and the export of the checks.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "qa/IgnoreList.h"
#include "resource.h"
#include "tests/TableReaders.h"
#include "tests/TestFiles.h"
#include "tests/ZipWriter.h"
#include "tests/ui/UiHarness.h"
#include "ui/CheckListBox.h"
#include "ui/ResultListBox.h"

namespace {

std::string Xliff(const std::string& firstTarget) {
    return "<xliff version=\"1.2\"><file source-language=\"en-US\" target-language=\"de-DE\"><body>\n"
           "<trans-unit id=\"u1\"><source>Add 3.5 kg</source><target>" + firstTarget + "</target></trans-unit>"
           "<trans-unit id=\"u2\"><source>Save the file</source><target></target></trans-unit>"
           "<trans-unit id=\"u3\"><source>Close</source><target>Schließen</target></trans-unit>"
           "<trans-unit id=\"u4\" translate=\"no\"><source>Locked 1</source><target>Gesperrt 2</target></trans-unit>"
           "</body></file></xliff>";
}

const char kTmx[] =
    "<tmx version=\"1.4\"><header srclang=\"en-US\"/><body>"
    "<tu tuid=\"t1\"><tuv xml:lang=\"en-US\"><seg>Close</seg></tuv><tuv xml:lang=\"de-DE\"><seg>Zumachen</seg></tuv></tu>"
    "</body></tmx>";

CheckListBox& Checks(AppHarness& ui) { return *ui.App().MainWindow()->CheckList(); }

// Ctrl+K, the dialog answered by `answer` (Check pressed when it is null),
// and the loop until the pass is over.
bool RunPass(AppHarness& ui, std::function<void(HWND)> answer = nullptr) {
    bool opened = false;
    WhenDialogOpens(L"Check segments", [&](HWND dialog) {
        opened = true;
        if (answer)
            answer(dialog);
        else
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    ui.Keys({VK_CONTROL, 'K'});
    const bool ended = ui.PumpUntil([&] { return opened && !ui.App().IsChecking() && !ui.App().IsSearching(); }, 60000);
    StopWatchingDialogs();
    ui.PumpIdle();
    Checks(ui).PlaceArrivedRows();
    return ended && opened;
}

std::vector<std::wstring> Notes(AppHarness& ui) {
    std::vector<std::wstring> notes;
    for (const CheckRow* row : Checks(ui).ShownNotes())
        notes.push_back(std::wstring(CheckName(row->kind)) + L" " + row->id + L": " + row->message);
    return notes;
}

int RowOf(AppHarness& ui, CheckKind kind, const std::wstring& id) {
    CheckListBox& checks = Checks(ui);
    for (int row = 0; row < checks.RowCount(); ++row) {
        checks.SelectRow(row);
        const CheckRow* note = checks.CurrentNote();
        if (note && note->kind == kind && note->id == id)
            return row;
    }
    return -1;
}

}  // namespace

TEST(CheckWindow, APassListsNotesByCheckAndTheIgnoreListOutlivesIt) {
    RegistrySandbox registry;
    TempDir files;
    files.WriteFile(L"a.xlf", Xliff("3 kg dazu"));
    files.WriteFile(L"b.tmx", kTmx);
    files.WriteFile(L"notes.txt", "not bilingual: walked, never checked\n");
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().c_str()));
    IgnoreList ignored;
    const std::wstring ignorePath = files / L"Ignored checks.txt";
    Checks(ui).SetIgnoreList(&ignored, ignorePath);
    ui.SetText(IDC_SEARCH_TEXT, L"");

    ASSERT_TRUE(RunPass(ui));
    EXPECT_TRUE(ui.App().MainWindow()->ShowsChecks());
    EXPECT_FALSE(IsWindowVisible(ui.List().hwnd)) << "the checks list stands in place of the results";
    // Grouped in the checks' order; the locked unit is passed over; the
    // inconsistency lists both members, from the XLIFF and the TMX file.
    EXPECT_EQ(Notes(ui), (std::vector<std::wstring>{L"untranslated u2: no translation",
                                                    L"inconsistent-target u3: 2 translations",
                                                    L"inconsistent-target t1: 2 translations",
                                                    L"numbers u1: 3.5 missing in the target",
                                                    L"numbers u1: 3 not in the source"}))
        << ui.StatusText();
    EXPECT_EQ(Checks(ui).RowCount(), 8) << "three headings and five notes";
    EXPECT_EQ(ui.Text(ui.Control(IDOK)), L"Search") << "the panel is back from its busy state";
    EXPECT_TRUE(IsWindowEnabled(ui.Control(IDC_SEARCH_TEXT)));
    EXPECT_NE(ui.StatusText().find(L"Checked 4 segments in 2 files: 5 issues"), std::wstring::npos) << ui.StatusText();
    EXPECT_EQ(registry.ReadInt(L"Checks"), (1u << kCheckCount) - 1) << "the settings are stored";

    // The selected note's segment shows below, its spans with it.
    const int numbers = RowOf(ui, CheckKind::kNumbers, L"u1");
    ASSERT_GE(numbers, 0);
    HWND segmentList = GetDlgItem(ui.Main(), IDC_SEGMENT_LIST);
    EXPECT_EQ(SendMessageW(segmentList, LVM_GETITEMCOUNT, 0, 0), 1);

    // Delete ignores the note, and with it the other note of the same check
    // on the same segment: they are kept by segment, check and texts.
    SetFocus(Checks(ui).ListBox());
    Checks(ui).SelectRow(numbers);
    ui.Keys({VK_DELETE});
    EXPECT_EQ(Notes(ui).size(), 3u);
    {
        IgnoreList reread;
        ASSERT_TRUE(reread.Load(ignorePath));
        EXPECT_EQ(reread.Size(), 1u) << "written at once";
    }

    // A later pass leaves them out; View > Ignored checks shows them again
    // and Delete lets them back.
    ASSERT_TRUE(RunPass(ui));
    EXPECT_EQ(Notes(ui).size(), 3u);
    ui.Command(IDM_IGNORED_CHECKS);
    EXPECT_EQ(Notes(ui).size(), 5u);
    const int again = RowOf(ui, CheckKind::kNumbers, L"u1");
    ASSERT_GE(again, 0);
    ASSERT_TRUE(Checks(ui).IsIgnored(*Checks(ui).CurrentNote()));
    SetFocus(Checks(ui).ListBox());
    ui.Keys({VK_DELETE});
    EXPECT_EQ(ignored.Size(), 0u);
    ui.Command(IDM_IGNORED_CHECKS);
    EXPECT_EQ(Notes(ui).size(), 5u);

    // Ignored again, until an edited target brings them back.
    Checks(ui).SelectRow(RowOf(ui, CheckKind::kNumbers, L"u1"));
    SetFocus(Checks(ui).ListBox());
    ui.Keys({VK_DELETE});
    ASSERT_TRUE(RunPass(ui));
    EXPECT_EQ(Notes(ui).size(), 3u);
    files.WriteFile(L"a.xlf", Xliff("3 kg hinzu"));
    ASSERT_TRUE(RunPass(ui));
    EXPECT_EQ(Notes(ui).size(), 5u);

    // View > Results goes back to the list of the last search.
    ui.Command(IDM_VIEW_RESULTS);
    EXPECT_TRUE(IsWindowVisible(ui.List().hwnd));
    EXPECT_FALSE(IsWindowVisible(Checks(ui).hwnd));
    ui.Close();
}

TEST(CheckWindow, TheDialogRefusesAGlossaryItCannotReadAndKeepsWhatWasChosen) {
    RegistrySandbox registry;
    TempDir files;
    files.WriteFile(L"a.xlf", Xliff("3,5 kg dazu"));
    files.WriteFile(L"terms.csv", "source,target\nkg,Kilogramm\n");
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().c_str()));
    Checks(ui).SetIgnoreList(nullptr, L"");
    bool refused = false;
    ASSERT_TRUE(RunPass(ui, [&](HWND dialog) {
        // Only the terms, with a glossary that is not there: said, and the
        // dialog stays for another name.
        for (int i = 0; i < kCheckCount; ++i)
            CheckDlgButton(dialog, IDC_CHECK_FIRST + i, i == static_cast<int>(CheckKind::kTerms));
        CheckDlgButton(dialog, IDC_CHECK_TERMS_CASE, BST_CHECKED);
        SetDlgItemTextW(dialog, IDC_CHECK_GLOSSARY, (files / L"missing.csv").c_str());
        WhenDialogOpens(L"Mirlock", [&, dialog](HWND box) {
            refused = true;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            // Once the message is gone, the dialog is still there for a
            // name that can be read.
            static std::function<void(HWND)> retry;
            retry = [&, box, dialog](HWND) {
                if (IsWindow(box)) {
                    WhenDialogOpens(L"Check segments", retry);
                    return;
                }
                SetDlgItemTextW(dialog, IDC_CHECK_GLOSSARY, (files / L"terms.csv").c_str());
                PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            };
            WhenDialogOpens(L"Check segments", retry);
        });
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }));
    EXPECT_TRUE(refused);
    EXPECT_EQ(Notes(ui), (std::vector<std::wstring>{L"terms u1: \"kg\" without \"Kilogramm\""}));
    EXPECT_EQ(registry.ReadString(L"CheckGlossary"), files / L"terms.csv");
    EXPECT_EQ(registry.ReadInt(L"Checks"), 1u << static_cast<int>(CheckKind::kTerms));
    EXPECT_TRUE(registry.ReadInt(L"CheckOptions") & 2u) << "terms: case-sensitive, as ticked";

    // The next dialog opens as it was left.
    ASSERT_TRUE(RunPass(ui, [&](HWND dialog) {
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_CHECK_FIRST + static_cast<int>(CheckKind::kTerms)), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_CHECK_FIRST), BST_UNCHECKED);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }));
    EXPECT_EQ(Notes(ui).size(), 1u) << "a cancelled dialog leaves the list as it was";
    ui.Close();
}

TEST(CheckWindow, CtrlSExportsTheChecksAndEnterOpensTheNotesFile) {
    RegistrySandbox registry;
    TempDir files;
    files.WriteFile(L"a.xlf", Xliff("3 kg dazu"));
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().c_str()));
    Checks(ui).SetIgnoreList(nullptr, L"");
    ASSERT_TRUE(RunPass(ui));
    ASSERT_EQ(Notes(ui).size(), 3u);
    const std::wstring out = files / L"checks.csv";
    bool asked = false;
    WhenDialogOpens(L"Export checks", [&](HWND dialog) {
        asked = true;
        for (int id : {0x47C, 0x480})
            SetDlgItemTextW(dialog, id, out.c_str());
        SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    SetFocus(Checks(ui).ListBox());
    ui.Keys({VK_CONTROL, 'S'});
    ui.PumpIdle();
    StopWatchingDialogs();
    ASSERT_TRUE(asked);
    const std::string bytes = ReadWholeFile(out);
    ASSERT_GT(bytes.size(), 3u);
    const auto records = ReadCsv(bytes.substr(3));
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1][0], "untranslated");
    EXPECT_EQ(records[2][0], "numbers");
    EXPECT_EQ(records[2][3], "3.5 missing in the target");
    EXPECT_EQ(records[2][6], Utf8(files / L"a.xlf"));

    // Enter opens the note's file in the editor, at the line of its segment.
    const std::wstring log = files / L"editor.log";
    Checks(ui).SetEditor(L"cmd.exe /c echo %1 %2 > \"" + log + L"\"");
    RowOf(ui, CheckKind::kNumbers, L"u1");
    SetFocus(Checks(ui).ListBox());
    ui.Keys({VK_RETURN});
    ASSERT_TRUE(ui.PumpUntil([&] { return ReadWholeFile(log).find("a.xlf") != std::string::npos; }, 20000));
    EXPECT_NE(ReadWholeFile(log).find("a.xlf 2"), std::string::npos) << ReadWholeFile(log);
    ui.Close();
}

TEST(CheckWindow, TheListCopiesOpensAndKeepsItsPlace) {
    RegistrySandbox registry;
    TempDir files;
    files.WriteFile(L"a.xlf", "<xliff version=\"1.2\"><file source-language=\"en-US\" target-language=\"de-DE\"><body>"
                              "<trans-unit id=\"u1\"><source>Add\t3.5\nkg</source><target>3 kg dazu</target></trans-unit>"
                              "<trans-unit id=\"u2\"><source>Save</source><target></target></trans-unit>"
                              "</body></file></xliff>");
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().c_str()));
    Checks(ui).SetIgnoreList(nullptr, L"");
    ASSERT_TRUE(RunPass(ui));
    ASSERT_EQ(Notes(ui).size(), 3u);

    // Ctrl+C: one line a note, its tabs and line breaks as spaces.
    const int numbers = RowOf(ui, CheckKind::kNumbers, L"u1");
    ASSERT_GE(numbers, 0);
    SetFocus(Checks(ui).ListBox());
    Checks(ui).SelectRow(numbers);
    ui.Keys({VK_CONTROL, 'C'});
    EXPECT_EQ(ClipboardText(), L"numbers\t" + (files / L"a.xlf") + L"\tu1\t3.5 missing in the target\tAdd 3.5 kg\t3 kg dazu\r\n");
    ui.Keys({VK_CONTROL, 'A'});
    ui.Keys({VK_CONTROL, 'C'});
    const std::wstring all = ClipboardText();
    EXPECT_EQ(std::count(all.begin(), all.end(), L'\n'), 3) << "every note, the headings standing for theirs";

    // The caret stays with its note when the list is made again.
    Checks(ui).SelectRow(numbers + 1);
    const CheckRow* before = Checks(ui).CurrentNote();
    ASSERT_NE(before, nullptr);
    const std::wstring message = before->message;
    ui.Command(IDM_IGNORED_CHECKS);
    ui.Command(IDM_IGNORED_CHECKS);
    ASSERT_NE(Checks(ui).CurrentNote(), nullptr);
    EXPECT_EQ(Checks(ui).CurrentNote()->message, message);

    // A double-click opens the note's file; an editor that cannot start is said so.
    const std::wstring log = files / L"editor.log";
    Checks(ui).SetEditor(L"cmd.exe /c echo %1 %2 > \"" + log + L"\"");
    SendMessageW(Checks(ui).hwnd, WM_COMMAND, MAKEWPARAM(IDC_LIST_BOX, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(Checks(ui).ListBox()));
    ASSERT_TRUE(ui.PumpUntil([&] { return ReadWholeFile(log).find("a.xlf") != std::string::npos; }, 20000));
    bool told = false;
    WhenDialogOpens(L"Mirlock", [&](HWND box) {
        told = true;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    Checks(ui).SetEditor(L"\"" + (files / L"no such editor.exe") + L"\" %1");
    Checks(ui).OpenCurrent();
    StopWatchingDialogs();
    EXPECT_TRUE(told);

    EXPECT_FALSE(Checks(ui).SelectRow(Checks(ui).RowCount())) << "no row past the last";
    EXPECT_FALSE(Checks(ui).SelectRow(-1));

    // An ignore list that cannot be written is said so.
    IgnoreList ignored;
    Checks(ui).SetIgnoreList(&ignored, files / L"no such folder\\Ignored checks.txt");
    bool warned = false;
    WhenDialogOpens(L"Mirlock", [&](HWND box) {
        warned = true;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    Checks(ui).SelectRow(numbers);
    Checks(ui).ToggleIgnoreSelected();
    StopWatchingDialogs();
    EXPECT_TRUE(warned);
    Checks(ui).SetIgnoreList(nullptr, L"");

    // Back in the results, Ctrl+C copies rows, never the notes.
    ui.Command(IDM_VIEW_RESULTS);
    SetClipboardText(L"-");
    SetFocus(ui.List().ListBox());
    ui.Keys({VK_CONTROL, 'C'});
    EXPECT_EQ(ClipboardText(), L"-");
    ui.Close();
}

TEST(CheckWindow, ANoteInAnArchiveOpensAtTheFirstLine) {
    RegistrySandbox registry;
    TempDir files;
    ZipLayout layout;
    layout.entries.push_back({"content.xlf", "<xliff version=\"1.2\"><file><body>\n\n<trans-unit id=\"z1\">"
                                             "<source>Cancel</source><target></target></trans-unit></body></file></xliff>"});
    files.WriteFile(L"p.xlz", BuildZip(layout));
    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().c_str()));
    Checks(ui).SetIgnoreList(nullptr, L"");
    ASSERT_TRUE(RunPass(ui));
    ASSERT_EQ(Notes(ui), std::vector<std::wstring>{L"untranslated z1: no translation"});
    const std::wstring log = files / L"editor.log";
    Checks(ui).SetEditor(L"cmd.exe /c echo %1 %2 > \"" + log + L"\"");
    Checks(ui).SelectRow(1);
    Checks(ui).OpenCurrent();
    ASSERT_TRUE(ui.PumpUntil([&] { return ReadWholeFile(log).find("p.xlz") != std::string::npos; }, 20000));
    EXPECT_NE(ReadWholeFile(log).find("p.xlz 1"), std::string::npos) << "no editor opens an archive at a line";
    ui.Close();
}
