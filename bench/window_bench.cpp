// mirlock-window-bench: the window program's own costs, measured in-process.
//   mirlock-window-bench search [-i] TEXT FOLDER
//       starts the main window, runs one search from the "Search" button
//       through the real loop to its end, and exits.
//   mirlock-window-bench rows N
//       fills the result list with N rows, then times sorting by every
//       column, switching context lines off and on, filling the sorted
//       list again, and closing the window.
// The settings key is redirected to a scratch key of its own.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "app/MirlockApp.h"
#include "base/SearchRecords.h"
#include "resource.h"
#include "ui/ResultListBox.h"

namespace {

double Now() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return static_cast<double>(t.QuadPart) / f.QuadPart;
}

void PumpUntilIdle(MirlockApp& app) {
    int exitCode = 0;
    int idle = 0;
    while (idle < 3) {
        const auto turn = app.RunLoopTurn(&exitCode);
        idle = turn == MirlockApp::LoopTurn::kIdle ? idle + 1 : 0;
        if (turn == MirlockApp::LoopTurn::kQuit)
            return;
    }
}

int Search(MirlockApp& app, bool ignoreCase, const wchar_t* text) {
    HWND panel = app.MainWindow()->PanelWindow();
    SetDlgItemTextW(panel, IDC_SEARCH_TEXT, text);
    if (ignoreCase) {
        SendMessageW(GetDlgItem(panel, IDC_OPTIONS_TOGGLE), BM_CLICK, 0, 0);
        CheckDlgButton(panel, IDC_CASE, BST_UNCHECKED);
    }
    const double start = Now();
    SendMessageW(GetDlgItem(panel, IDOK), BM_CLICK, 0, 0);
    int exitCode = 0;
    while (app.IsSearching())
        app.RunLoopTurn(&exitCode);
    const double seconds = Now() - start;
    fprintf(stdout, "rows %d\nsearch seconds %.3f\n", app.MainWindow()->ResultList()->RowCount(), seconds);
    return 0;
}

// `placeEvery` > 0: the rows that arrived are placed after every so many,
// as the list's timer does during a search into a sorted list.
void AddRows(ResultListBox& list, int count, int placeEvery = 0) {
    for (int i = 0; i < count; ++i) {
        if (placeEvery > 0 && i % placeEvery == 0)
            list.PlaceArrivedRows();
        WIN32_FIND_DATAW entry{};
        swprintf(entry.cFileName, MAX_PATH, L"file%06d.txt", (i * 7919) % count);
        entry.nFileSizeLow = static_cast<DWORD>((i * 104729u) % 5000000u);
        entry.ftLastWriteTime.dwLowDateTime = static_cast<DWORD>(i * 2654435761u);
        entry.ftLastWriteTime.dwHighDateTime = 0x01D8 + (i % 17);
        wchar_t path[MAX_PATH];
        swprintf(path, MAX_PATH, L"C:\\corpus\\d%03d\\%ls", i % 500, entry.cFileName);
        FileResult* r = FileResult::Create(path, entry);
        r->AddRef();
        for (int m = 0; m <= i % 3; ++m) {
            auto hit = Match::Hit(10 * m, 10 * m + 5);
            hit->context = L"the colour of the sea and the colour of the sky";
            r->matches.push_back(std::move(hit));
        }
        list.AddRow(r);  // the row takes the reference, as AddResult hands it over
    }
}

int Rows(MirlockApp& app, int count) {
    ResultListBox& list = *app.MainWindow()->ResultList();
    const double start = Now();
    AddRows(list, count);
    PumpUntilIdle(app);
    fprintf(stdout, "add %d rows seconds %.3f\n", list.RowCount(), Now() - start);
    static const char* names[] = {"", "name", "location", "matches", "size", "file type", "updated"};
    for (int column = 1; column <= 6; ++column) {
        const double t = Now();
        list.ClickColumn(column);
        PumpUntilIdle(app);
        fprintf(stdout, "sort by %s seconds %.3f\n", names[column], Now() - t);
    }
    for (bool show : {false, true}) {
        const double t = Now();
        list.SetShowContext(show);
        PumpUntilIdle(app);
        fprintf(stdout, "context %s seconds %.3f\n", show ? "on" : "off", Now() - t);
    }
    // A search into a sorted list: the rows are placed as they arrive.
    list.Clear();
    const double sorted = Now();
    AddRows(list, count, 500);
    list.PlaceArrivedRows();
    PumpUntilIdle(app);
    fprintf(stdout, "add %d rows to a sorted list seconds %.3f\n", list.RowCount(), Now() - sorted);
    const double t = Now();
    DestroyWindow(app.MainHandle());
    PumpUntilIdle(app);
    fprintf(stdout, "close seconds %.3f\n", Now() - t);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    HKEY scratch = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\MirlockBench", 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &scratch, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, scratch);
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    std::wstring folder = L"C:\\";
    bool ignoreCase = false;
    int next = 2;
    if (mode == L"search" && next < argc && wcscmp(argv[next], L"-i") == 0) {
        ignoreCase = true;
        ++next;
    }
    if (mode == L"search" && next + 1 < argc)
        folder = argv[next + 1];
    MirlockApp app;
    if (!app.InitApplication(GetModuleHandleW(nullptr), folder.c_str(), SW_SHOW))
        return 1;
    PumpUntilIdle(app);
    int status = 2;
    if (mode == L"search" && next + 1 < argc)
        status = Search(app, ignoreCase, argv[next]);
    else if (mode == L"rows" && argc > 2)
        status = Rows(app, _wtoi(argv[2]));
    else
        fputs("usage: mirlock-window-bench search [-i] TEXT FOLDER | rows N\n", stderr);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(scratch);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\MirlockBench");
    return status;
}
