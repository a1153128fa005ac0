// Long use of one window: searches over every kind of file with four
// workers, some stopped half-way, context switches and sorts; what the
// process holds (threads included) comes back to its level after the first
// search. MIRLOCK_SOAK sets the number of searches
// (the default keeps ./test quick; the runs use 200).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "app/MirlockApp.h"
#include "base/SearchRecords.h"
#include "resource.h"
#include "tests/ConverterRegistration.h"
#include "tests/FilterRegistration.h"
#include "tests/HostileFolder.h"
#include "tests/ProcessUsage.h"
#include "tests/TestFiles.h"
#include "tests/ZipWriter.h"
#include "tests/ui/UiHarness.h"
#include "ui/ResultListBox.h"

namespace {

TEST(WindowSoak, SearchesStopsSortsAndContextSwitchesHoldNothing) {
    const char* soak = getenv("MIRLOCK_SOAK");
    const int searches = soak && atoi(soak) > 0 ? atoi(soak) : 6;
    ASSERT_TRUE(RegisterTestFilter());
    RegistrySandbox registry;
    registry.WriteInt(L"SearchThreads", 4);
    TempDir files;
    for (int d = 0; d < 6; ++d) {
        const std::wstring folder = L"d" + std::to_wstring(d) + L"\\";
        for (int f = 0; f < 15; ++f)
            files.WriteFile(folder + L"t" + std::to_wstring(f) + L".txt", f % 3 ? "a hit and a hit" : "nothing");
        files.WriteFile(folder + L"empty.txt", "");
        files.WriteFile(folder + L"u.xlf", "<xliff version=\"1.2\"><file><body><trans-unit><source>hit</source>"
                                           "<target>Treffer</target></trans-unit></body></file></xliff>");
        files.WriteFile(folder + L"broken.xlf", "<xliff><file><body><trans-unit><source>hit");
        files.WriteFile(folder + L"m.tmx", "<tmx><body><tu><tuv><seg>hit</seg></tuv></tu></body></tmx>");
        files.WriteFile(folder + L"f.mtfb", "TEXT EOP a hit in a filtered file\n");
        ZipLayout xlz;
        xlz.entries = {{"c.xlf", "<xliff><file><body><trans-unit><source>hit</source></trans-unit></body></file></xliff>"}};
        files.WriteFile(folder + L"p.xlz", BuildZip(xlz));
        files.WriteFile(folder + L"locked.docx", "not a package");
    }
    const std::wstring office = std::wstring(MIRLOCK_TEST_DATA) + L"\\office\\fixture.";
    for (const wchar_t* extension : {L"docx", L"xlsx", L"pptx", L"odt", L"ods", L"odp"})
        CopyFileW((office + extension).c_str(), (files / (std::wstring(L"d0\\fixture.") + extension)).c_str(), FALSE);

    AppHarness ui;
    ASSERT_TRUE(ui.Start(files.Path().substr(0, files.Path().size() - 1).c_str()));
    ui.SetText(IDC_SEARCH_TEXT, L"hit");
    ASSERT_TRUE(ui.Search());
    const int fullRows = ui.List().RowCount();
    ASSERT_GT(fullRows, 60);
    // Until each worker has met a filtered file and started its host (or
    // a few searches have passed): what a host holds is no leak.
    for (int warm = 0; warm < 10 && CountChildProcesses(GetCurrentProcessId(), L"mirlock-filterhost.exe") < 4; ++warm)
        ASSERT_TRUE(ui.Search());
    ui.PumpIdle();
    // The level is taken after a first round of everything (the first sort
    // mark and context switch keep an object each for the window's life).
    ProcessUsage level{};
    ProcessUsage last{};
    ProcessUsage most{};
    // A worker starts its filter host at the first filtered file it meets,
    // which may come in a later search: each host holds kHostHandles here
    // (its process, its job, the pipe and the pipe's event).
    constexpr unsigned kHostHandles = 4;
    const auto Hosts = [] { return CountChildProcesses(GetCurrentProcessId(), L"mirlock-filterhost.exe"); };
    unsigned hostsLevel = 0;
    unsigned hostsLast = 0;
    for (int i = 0; i <= searches; ++i) {
        if (i % 4 == 3) {
            // Stopped half-way.
            ui.Click(IDOK);
            int exitCode = 0;
            while (ui.App().IsSearching() && ui.App().Request().filesSearched < 40)
                ui.App().RunLoopTurn(&exitCode);
            ui.Click(IDOK);
            ASSERT_TRUE(ui.PumpUntil([&] { return !ui.App().IsSearching(); }));
            EXPECT_LT(ui.List().RowCount(), fullRows);
        } else {
            ASSERT_TRUE(ui.Search());
            EXPECT_EQ(ui.List().RowCount(), fullRows);
        }
        ui.Command(IDM_CONTEXT);
        ui.ClickHeader(1 + i % 4);
        ui.Command(IDM_CONTEXT);
        ui.ClickHeader(1 + i % 4);
        ui.PumpIdle();
        last = MeasureProcessUsage();
        hostsLast = Hosts();
        if (i == 0) {
            level = most = last;
            hostsLevel = hostsLast;
        }
        most.handles = std::max(most.handles, last.handles);
        most.gdiObjects = std::max(most.gdiObjects, last.gdiObjects);
        most.windows = std::max(most.windows, last.windows);
        most.threads = std::max(most.threads, last.threads);
        most.heapBytes = std::max(most.heapBytes, last.heapBytes);
    }
    ASSERT_GT(level.gdiObjects, 0u) << "GDI objects are counted";
    ASSERT_GT(level.windows, 0u) << "windows are counted";
    EXPECT_LE(last.handles, level.handles + kHostHandles * (hostsLast - hostsLevel));
    EXPECT_LE(last.gdiObjects, level.gdiObjects);
    EXPECT_LE(last.windows, level.windows);
    ASSERT_GT(level.threads, 4u) << "the workers are counted";
    EXPECT_LE(last.threads, level.threads);
    EXPECT_LE(most.threads, level.threads + 1) << "a search started threads of its own";
    EXPECT_LT(static_cast<long long>(last.heapBytes) - static_cast<long long>(level.heapBytes), 512 << 10);
    // The filtered files' hosts: one per worker, kept from search to search.
    EXPECT_GE(hostsLast, hostsLevel);
    EXPECT_LE(hostsLast, 4u);
    if (soak)
        printf("%d searches (%d rows each when whole): handles %u -> %u (most %u), GDI %u -> %u (most %u), "
               "windows %u -> %u, threads %u -> %u (most %u), heap %.2f -> %.2f MB (most %.2f), "
               "working set %.1f -> %.1f MB, filter hosts %u -> %u\n",
               searches, fullRows, level.handles, last.handles, most.handles, level.gdiObjects, last.gdiObjects,
               most.gdiObjects, level.windows, last.windows, level.threads, last.threads, most.threads,
               level.heapBytes / 1e6, last.heapBytes / 1e6,
               most.heapBytes / 1e6, level.workingSet / 1e6, last.workingSet / 1e6, hostsLevel, hostsLast);
}

}  // namespace

namespace {

// The console's hostile folder through the window, in every converter set:
// the same rows, nothing crashes or hangs.
TEST(WindowHostile, TheHostileFolderGivesItsRowsInEveryMode) {
    ASSERT_TRUE(RegisterTestFilter());
    ASSERT_TRUE(RegisterTestConverters());
    TempDir dir;
    const std::vector<HostileExpectation> expected = MakeHostileFolder(dir);
    dir.WriteFile(L"locked.txt", "needle");
    HANDLE locked = CreateFileW((dir / L"locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    dir.WriteFile(L"growing.txt", "needle grows");
    for (int mode = 0; mode < 3; ++mode) {
        RegistrySandbox registry;
        registry.WriteInt(L"ConverterSet", static_cast<DWORD>(mode));
        registry.WriteInt(L"SearchThreads", 3);
        AppHarness ui;
        ASSERT_TRUE(ui.Start(dir.Path().substr(0, dir.Path().size() - 1).c_str()));
        ui.SetText(IDC_SEARCH_TEXT, L"needle");
        ASSERT_TRUE(ui.Search()) << "mode " << mode;
        std::map<std::wstring, std::string> rows;
        for (int i = 0; i < ui.List().RowCount(); ++i) {
            const FileResult* r = ui.List().RowResult(i);
            rows[(r->location + r->name).substr(dir.Path().size())] = r->status == kFileFailed ? "read error" : std::to_string(r->matches.size());
        }
        size_t withRow = 0;
        for (const HostileExpectation& e : expected) {
            const auto found = rows.find(e.name);
            EXPECT_EQ(found == rows.end() ? "" : found->second, e.rows[mode]) << Utf8(e.name) << " in mode " << mode;
            withRow += *e.rows[mode] != 0;
        }
        EXPECT_EQ(rows.size(), withRow) << "mode " << mode;
    }
    CloseHandle(locked);
}

}  // namespace
