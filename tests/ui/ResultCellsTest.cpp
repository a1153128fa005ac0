// What the window shows and decides, computed without a window: cells, row
// heights, sorting, the summary and request texts, the version line, the
// centring and splitter rules, anchoring, the command line.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

#include "app/MirlockApp.h"
#include "app/RequestSummary.h"
#include "base/SearchRecords.h"
#include "search/SearchSummary.h"
#include "ui/controls/AnchorLayout.h"
#include "ui/Dialogs.h"
#include "ui/ResultCells.h"
#include "ui/controls/SplitWindow.h"

namespace {

struct ResultDeleter {
    void operator()(FileResult* r) const { r->Release(); }
};
using ResultPtr = std::unique_ptr<FileResult, ResultDeleter>;

FILETIME Utc(int year, int month, int day, int hour, int minute) {
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(year);
    t.wMonth = static_cast<WORD>(month);
    t.wDay = static_cast<WORD>(day);
    t.wHour = static_cast<WORD>(hour);
    t.wMinute = static_cast<WORD>(minute);
    FILETIME f{};
    SystemTimeToFileTime(&t, &f);
    return f;
}

ResultPtr MakeResult(const std::wstring& path, unsigned long long size, int hits,
                     int status = kFileSearched, FILETIME time = Utc(2024, 3, 5, 7, 42)) {
    WIN32_FIND_DATAW entry{};
    const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
    wcsncpy(entry.cFileName, name.c_str(), MAX_PATH - 1);
    entry.nFileSizeLow = static_cast<DWORD>(size);
    entry.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    entry.ftLastWriteTime = time;
    FileResult* r = FileResult::Create(path.c_str(), entry);
    r->AddRef();
    r->status = status;
    for (int i = 0; i < hits; ++i)
        r->matches.push_back(status == kFileFailed ? Match::Failure() : Match::Hit(i, i + 1));
    return ResultPtr(r);
}

std::vector<std::wstring> Names(const std::vector<FileResult*>& results) {
    std::vector<std::wstring> names;
    for (auto* r : results)
        names.push_back(r->name);
    return names;
}

}  // namespace

TEST(ResultCells, LocationIsRelativeToTheSearchedFolder) {
    const struct {
        const wchar_t* location;
        const wchar_t* base;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\data\\", L"C:\\data", L"\\"},            // file directly in the folder
        {L"C:\\data\\sub\\deep\\", L"C:\\data", L"\\sub\\deep\\"},
        {L"C:\\data\\", L"C:\\data\\", L"\\"},          // folder given with its backslash
        {L"C:\\data\\sub\\", L"C:\\data\\", L"\\sub\\"},
        {L"C:\\", L"C:\\", L"\\"},                      // a drive's root
        {L"C:\\DATA\\Sub\\", L"c:\\data", L"\\Sub\\"},  // letter case ignored
        {L"D:\\other\\", L"C:\\data", L"D:\\other\\"},  // nothing in common
        {L"C:\\data\\", nullptr, L"C:\\data\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RelativeLocation(c.location, c.base), c.expected) << c.location << " / " << (c.base ? c.base : L"-");
}

TEST(ResultCells, CellsAndCopiedTexts) {
    auto found = MakeResult(L"C:\\data\\sub\\notes.txt", 2048, 3);
    auto failed = MakeResult(L"C:\\data\\broken.xlz", 10, 1, kFileFailed);
    auto listed = MakeResult(L"C:\\data\\a.txt", 0, 1, kFileListed);
    auto huge = MakeResult(L"C:\\data\\huge.bin", 5ull << 30, 1);

    EXPECT_EQ(CellText(*found, kColumnMatches, L"C:\\data"), L"3");
    EXPECT_EQ(CellText(*failed, kColumnMatches, L"C:\\data"), L"read error");
    EXPECT_EQ(CellText(*failed, kColumnFileType, L"C:\\data"), L"Failed");
    EXPECT_EQ(CellText(*found, kColumnFileType, L"C:\\data"), L"");
    EXPECT_EQ(CellText(*listed, kColumnMatches, L"C:\\data"), L"-");
    // The whole 64-bit size, not its low half (which is 0 here).
    EXPECT_EQ(ResultSize(*huge), 5ull << 30);
    EXPECT_NE(SizeCellText(*huge).find(L"5"), std::wstring::npos) << SizeCellText(*huge);
    EXPECT_NE(SizeCellText(*huge).find(L"GB"), std::wstring::npos) << SizeCellText(*huge);

    // Stored UTC, shown as stored whatever the time zone.
    EXPECT_EQ(UpdatedCellText(Utc(2024, 3, 5, 7, 42)), L"2024-03-05 07:42");
    EXPECT_EQ(UpdatedCellText(Utc(1999, 12, 31, 23, 59)), L"1999-12-31 23:59");

    EXPECT_EQ(RowCopyText(*found, L"C:\\data"),
              L"notes.txt\t3\t\\sub\\\t" + SizeCellText(*found) + L"\t\t2024-03-05 07:42");
    EXPECT_EQ(RowPathText(*found, L"C:\\data"), L".\\sub\\notes.txt");
    EXPECT_EQ(RowPathText(*failed, L"C:\\data"), L".\\broken.xlz");
    EXPECT_EQ(RowPathText(*failed, L"C:\\data\\"), L".\\broken.xlz");
}

TEST(ResultCells, RowHeightsAtEveryScale) {
    auto one = MakeResult(L"C:\\a\\1.txt", 1, 1);
    auto three = MakeResult(L"C:\\a\\3.txt", 1, 3);
    auto ten = MakeResult(L"C:\\a\\10.txt", 1, 10);
    auto listed = MakeResult(L"C:\\a\\l.txt", 1, 1, kFileListed);
    auto failed = MakeResult(L"C:\\a\\f.txt", 1, 1, kFileFailed);
    EXPECT_EQ(RowHeight(*one, true, 96), 36);
    EXPECT_EQ(RowHeight(*three, true, 96), 66);
    EXPECT_EQ(RowHeight(*ten, true, 96), 81);  // room for four lines, three drawn
    EXPECT_EQ(RowHeight(*listed, true, 96), 15);
    EXPECT_EQ(RowHeight(*failed, true, 96), 36);  // one empty context line
    for (auto* r : {one.get(), three.get(), ten.get()})
        EXPECT_EQ(RowHeight(*r, false, 96), 15);
    EXPECT_EQ(RowHeight(*one, true, 192), 72);
    EXPECT_EQ(RowHeight(*ten, true, 144), 124);  // 23 + 9 + 4 x 23 at 150 %
}

TEST(ResultCells, SortingIsStableTotalAndReversible) {
    auto small = MakeResult(L"C:\\a\\b.txt", 10, 1, kFileSearched, Utc(2020, 1, 1, 0, 0));
    auto big = MakeResult(L"C:\\a\\A.txt", 5ull << 30, 2, kFileSearched, Utc(2021, 1, 1, 0, 0));
    auto mid = MakeResult(L"C:\\z\\c.txt", 4096, 2, kFileFailed, Utc(2019, 1, 1, 0, 0));
    std::vector<FileResult*> rows = {small.get(), big.get(), mid.get()};

    SortResults(rows, kColumnSize, false);  // first click: largest first
    EXPECT_EQ(Names(rows), (std::vector<std::wstring>{L"A.txt", L"c.txt", L"b.txt"}));
    SortResults(rows, kColumnSize, true);
    EXPECT_EQ(Names(rows), (std::vector<std::wstring>{L"b.txt", L"c.txt", L"A.txt"}));
    SortResults(rows, kColumnName, true);  // case ignored
    EXPECT_EQ(Names(rows), (std::vector<std::wstring>{L"A.txt", L"b.txt", L"c.txt"}));
    SortResults(rows, kColumnUpdated, true);
    EXPECT_EQ(Names(rows), (std::vector<std::wstring>{L"c.txt", L"b.txt", L"A.txt"}));
    SortResults(rows, kColumnLocation, false);
    EXPECT_EQ(rows[0]->name, std::wstring(L"c.txt"));
    SortResults(rows, kColumnMatches, true);  // fewest first; the two with 2 in either order
    EXPECT_EQ(rows[0]->name, std::wstring(L"b.txt"));
    SortResults(rows, kColumnMatches, false);
    EXPECT_EQ(rows[2]->name, std::wstring(L"b.txt"));

    // Equal keys fall back on identity, and descending reverses that too:
    // any column gives a total order whose reverse is the other direction
    // (a twin of the smallest file shares each of its keys).
    auto twin = MakeResult(L"C:\\a\\b.txt", 10, 1, kFileSearched, Utc(2020, 1, 1, 0, 0));
    rows.push_back(twin.get());
    for (int column = kColumnNone; column < kColumnCount; ++column) {
        std::vector<FileResult*> up = rows, down = rows;
        SortResults(up, column, true);
        SortResults(down, column, false);
        std::reverse(down.begin(), down.end());
        EXPECT_EQ(up, down) << "column " << column;
    }
    // The File type column sorts by status: the failed file apart from the others.
    SortResults(rows, kColumnFileType, true);
    EXPECT_EQ(rows[0]->name, std::wstring(L"c.txt"));
    EXPECT_EQ(rows.size(), 4u);
}

TEST(ResultCells, AContextLineStartsLateEnoughToShowItsHit) {
    // Ten pixels a unit, an ellipsis of ten.
    const auto width = [](size_t from, size_t to) { return static_cast<int>(to - from) * 10; };
    const struct {
        size_t before;
        int available;
        size_t first;
    } cases[] = {
        {0, 200, 0},     // the hit starts the line
        {10, 200, 0},    // it begins just at half the width
        {11, 200, 2},    // one unit further: an ellipsis and nine units before it
        {15, 200, 6},    // ellipsis + 9 units = 100
        {50, 1000, 0},   // a wide list leaves the line alone
        {5, 10, 5},      // too narrow for anything before the hit
    };
    for (const auto& c : cases)
        EXPECT_EQ(FirstShownUnit(width, c.before, 10, c.available), c.first) << c.before << " in " << c.available;
}

TEST(AppTexts, SummaryAndRequestLines) {
    // The four examples: S searched, F matched, M matches.
    EXPECT_EQ(FormatSearchSummary(10, 3, 3), L"Found 3 matches.");
    EXPECT_EQ(FormatSearchSummary(10, 3, 5), L"Searched 10 files, found 5 matches in 3 files.");
    EXPECT_EQ(FormatSearchSummary(3, 3, 5), L"Found 5 matches in 3 files.");
    EXPECT_EQ(FormatSearchSummary(10, 0, 0), L"Found 0 matches.");
    // Files that could not be read are said apart, in one form whatever the
    // counts; a stopped search says so first.
    SearchRequest counted{};
    wcscpy(counted.searchText, L"x");
    counted.filesSearched = 76;
    counted.filesMatched = 7;
    counted.matchCount = 29;
    counted.filesFailed = 2;
    EXPECT_EQ(FormatSearchSummary(counted, false),
              L"Searched 76 files, found 29 matches in 7 files; 2 files could not be read.");
    counted.filesMatched = counted.matchCount = 0;
    counted.filesFailed = 1;
    EXPECT_EQ(FormatSearchSummary(counted, true),
              L"Stopped. Searched 76 files, found 0 matches in 0 files; 1 file could not be read.");
    counted.filesFailed = 0;
    EXPECT_EQ(FormatSearchSummary(counted, false), L"Found 0 matches.");
    EXPECT_EQ(FormatSearchSummary(counted, true), L"Stopped. Found 0 matches.");
    // Counts of one are singular; a listing lists; no file to search is said so.
    EXPECT_EQ(FormatSearchSummary(1, 1, 1), L"Found 1 match.");
    EXPECT_EQ(FormatSearchSummary(2, 1, 3), L"Searched 2 files, found 3 matches in 1 file.");
    counted.matchCount = counted.filesMatched = 1;
    counted.filesFailed = 1;
    counted.filesSearched = 1;
    EXPECT_EQ(FormatSearchSummary(counted, false), L"Searched 1 file, found 1 match in 1 file; 1 file could not be read.");
    counted.filesSearched = counted.filesFailed = counted.filesMatched = counted.matchCount = 0;
    wcscpy(counted.fileNameSpec, L"*.xlf, *.ttx");
    EXPECT_EQ(FormatSearchSummary(counted, false), L"No file in this folder matches \"*.xlf, *.ttx\".");
    EXPECT_EQ(FormatSearchSummary(counted, true), L"Stopped. Found 0 matches.");
    counted.searchText[0] = 0;
    counted.filesSearched = counted.filesMatched = 7;
    EXPECT_EQ(FormatSearchSummary(counted, false), L"Listed 7 files.");
    counted.filesSearched = counted.filesMatched = 1;
    EXPECT_EQ(FormatSearchSummary(counted, true), L"Stopped. Listed 1 file.");

    SearchRequest request{};
    EXPECT_EQ(FormatRequestSummary(request),
              L"Searching files of type , without sub-directories. The search is not case sensitive.");
    request.recursion = 1;
    request.caseSensitive = 1;
    wcscpy(request.fileNameSpec, L"*.xlf");
    EXPECT_EQ(FormatRequestSummary(request),
              L"Searching files of type *.xlf, with sub-directories. The search is case sensitive.");
    request.regex = 1;
    EXPECT_EQ(FormatRequestSummary(request),
              L"Searching files of type *.xlf, with sub-directories. The search string is "
              L"interpreted as a regular expression.");

    // A step of the walk ends after the file during which its time ran out.
    EXPECT_FALSE(StepTimeIsUp(1000, 1000));
    EXPECT_FALSE(StepTimeIsUp(1000, 1000 + kStepMilliseconds - 1));
    EXPECT_TRUE(StepTimeIsUp(1000, 1000 + kStepMilliseconds));

    EXPECT_EQ(FolderFromCommandLine(L"\"C:\\My Projects\\de-DE\""), L"C:\\My Projects\\de-DE");
    EXPECT_EQ(FolderFromCommandLine(L"C:\\plain"), L"C:\\plain");
    EXPECT_EQ(FolderFromCommandLine(L"\"C:\\a\" \"C:\\b\""), L"\"C:\\a\" \"C:\\b\"");
    EXPECT_EQ(FolderFromCommandLine(L"\""), L"\"");
    EXPECT_EQ(FolderFromCommandLine(L"\"\""), L"");
}

TEST(Dialogs, VersionLineAndCentring) {
    EXPECT_EQ(FormatVersionLine(2, 0, 9), L"mirlock version 2.0.009");
    EXPECT_EQ(FormatVersionLine(1, 12, 1234), L"mirlock version 1.12.1234");
    wchar_t line[260];
    BuildVersionLine(line, 260);
    wchar_t expected[64];
    swprintf(expected, 64, L"mirlock version %d.%d.%.3d", MIRLOCK_VERSION_MAJOR, MIRLOCK_VERSION_MINOR,
             MIRLOCK_VERSION_BUILD);
    EXPECT_STREQ(line, expected);

    const RECT owner = {0, 0, 800, 600};
    POINT p = CentredPosition(owner, 200, 100);
    EXPECT_EQ(p.x, 300);
    EXPECT_EQ(p.y, 250);
    // Larger than the owner: never further right or lower, and never left of it.
    p = CentredPosition(RECT{0, 0, 100, 80}, 300, 200);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    p = CentredPosition(RECT{10, 20, 111, 221}, 50, 50);
    EXPECT_EQ(p.x, 60 - 25);
    EXPECT_EQ(p.y, 120 - 25);
}

TEST(Layout, SplitterLimitsAndAnchoring) {
    const RECT window = {100, 50, 1100, 750};
    RECT limits = SplitterDragLimits(window, 232, 0, 232);
    EXPECT_EQ(limits.left, 332);
    EXPECT_EQ(limits.right, 868);
    limits = SplitterDragLimits(window, 232, 400, 232);  // a maximum width cuts the right side first
    EXPECT_EQ(limits.right, 100 + 400 - 232);

    const RECT child = {10, 20, 110, 40};  // added with a parent of 300 x 200
    // Stretch width: right margin kept, left from the record.
    RECT r = AnchoredRect(AnchorRight | StretchWidth, child, 10, 20, 190, 160, 500, 400);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.right, 310);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.bottom, 40);
    // Anchored right without stretching: moves, keeps its width.
    r = AnchoredRect(AnchorRight, child, 10, 20, 190, 160, 500, 400);
    EXPECT_EQ(r.left, 210);
    EXPECT_EQ(r.right, 310);
    // Both ways.
    r = AnchoredRect(AnchorRight | AnchorBottom | StretchWidth | StretchHeight, child, 10, 20, 190,
                     160, 500, 400);
    EXPECT_EQ(r.bottom, 240);
    // A parent narrower than the margins never gives a negative width.
    r = AnchoredRect(AnchorRight | StretchWidth, child, 10, 20, 190, 160, 100, 100);
    EXPECT_EQ(r.right, r.left);
}
