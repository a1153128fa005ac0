// Start-up, the message loop with the idle-time search, the sink and the
// application commands.
#include "app/MirlockApp.h"

#include <objbase.h>
#include <ole2.h>

#include <cstdarg>
#include <cwchar>

#include "app/RequestSummary.h"
#include "base/DisplayText.h"
#include "base/ResourceText.h"
#include "base/Settings.h"
#include "converters/installed/FilterConverter.h"
#include "converters/installed/FilterHost.h"
#include "resource.h"
#include "search/SearchPool.h"
#include "search/SearchSummary.h"
#include "ui/CheckDialog.h"
#include "ui/CheckListBox.h"
#include "ui/Dialogs.h"
#include "ui/Editors.h"
#include "ui/ExportFile.h"
#include "ui/ResultListBox.h"
#include "ui/SearchControls.h"

namespace {

constexpr size_t kStatusChars = 100;

}  // namespace

MirlockApp::MirlockApp() = default;

MirlockApp::~MirlockApp() {
    if (mainWindow && mainWindow->hwnd && IsWindow(mainWindow->hwnd))
        DestroyWindow(mainWindow->hwnd);
    mainWindow.reset();
    converters.ClearConverters();
    // The window's own filter host (a search on this thread started it).
    SetFilterHostInputPump(nullptr);
    EndThreadFilterHost();
    EndApplication();
    if (comReady)
        OleUninitialize();
}

bool MirlockApp::InitApplication(HINSTANCE newInstance, const wchar_t* newCommandLine,
                                 int showCommand) {
    commandLine = newCommandLine ? newCommandLine : L"";
    instance = newInstance;
    // A single-threaded apartment with OLE on: dragging rows out needs it.
    comReady = SUCCEEDED(OleInitialize(nullptr));
    request = SearchRequest{};
    InitializeCriticalSection(&lock);
    lockReady = true;
    stopEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    converters.SetReadUtf8(ReadSettingInt(L"ReadUtf8", 1) != 0);
    converters.BuildConverters(ReadSettingInt(L"ConverterSet", 0));
    // A content filter that takes long on this thread (a search without
    // workers) leaves the window answering, and Stop ends it.
    SetFilterHostInputPump([this] { AnswerInputWhileConverting(); });
    searcher.SetMessageHandler([this](const wchar_t* text) {
        MessageBoxW(MainHandle(), text, L"Mirlock", MB_OK | MB_ICONERROR);
    });
    request.maximumMatch = ReadSettingInt(L"MaximumMatch", 999);
    request.filterTimeout = std::clamp(ReadSettingInt(L"FilterTimeout", kDefaultFilterTimeout), 1, kMaxFilterTimeout);
    searchThreads = std::clamp(ReadSettingInt(L"SearchThreads", 0), 0, kMaxThreads);
    searcher.SetWorkers(SearchThreadCount(searchThreads));
    wchar_t editorText[260];
    ReadSettingString(L"Editor", editorText);
    editor = editorText;

    mainWindow = std::make_unique<MainWnd>(this, kMinTrackWidth, kMinTrackHeight);
    if (!mainWindow->RegisterWindowClass(instance))
        return false;
    const std::wstring folder = FolderFromCommandLine(commandLine.c_str());
    if (!mainWindow->Create(instance, folder.c_str()))
        return false;
    if (ResultListBox* list = mainWindow->ResultList())
        list->SetEditor(editor);
    if (CheckListBox* checks = mainWindow->CheckList()) {
        // The notes the user chose to ignore in earlier passes.
        const std::wstring ignorePath = IgnoreList::DefaultPath();
        if (!ignorePath.empty())
            ignoreList.Load(ignorePath);
        checks->SetIgnoreList(&ignoreList, ignorePath);
        checks->SetEditor(editor);
    }
    // A window that was maximised when it was closed opens maximised,
    // unless the caller asks for a particular state.
    if (mainWindow->StartsMaximized() &&
        (showCommand == SW_SHOWNORMAL || showCommand == SW_SHOWDEFAULT || showCommand == SW_SHOW))
        showCommand = SW_SHOWMAXIMIZED;
    ShowWindow(mainWindow->hwnd, showCommand);
    UpdateWindow(mainWindow->hwnd);
    // Nothing has been asked yet: a description of the empty request would
    // only contradict what the panel shows.
    SetStatusLine(LoadResourceText(IDS_READY).c_str(), true);
    accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    return true;
}

void MirlockApp::DispatchLoopMessage(MSG& msg) {
    HWND main = MainHandle();
    // Ctrl+Alt is AltGr on many keyboards: in a text field it types a
    // letter (AltGr+C is a letter in Polish), never a command.
    const bool altGrTyping = (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) &&
                             GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) < 0 && IsEditControl(GetFocus());
    // F4 in a combo box opens its list, as everywhere in the system: the
    // next file waits for a key pressed elsewhere.
    const bool comboF4 = msg.message == WM_KEYDOWN && msg.wParam == VK_F4 && IsInComboBox(GetFocus());
    if (main && accelerators && !altGrTyping && !comboF4 && TranslateAcceleratorW(main, accelerators, &msg))
        return;
    if (mainWindow && mainWindow->TranslatePaneKey(msg))
        return;
    HWND panel = mainWindow ? mainWindow->PanelWindow() : nullptr;
    if (panel && IsDialogMessageW(panel, &msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

void MirlockApp::AnswerInputWhileConverting() {
    // Inside a step of the search: messages only, never another step. The
    // handlers already run between steps of a search; nothing starts a new
    // one while this one runs.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // The window is gone: the search ends, the loop sees the quit.
            RequestStop();
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        DispatchLoopMessage(msg);
    }
}

MirlockApp::LoopTurn MirlockApp::RunLoopTurn(int* exitCode) {
    MSG msg;
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            *exitCode = static_cast<int>(msg.wParam);
            return LoopTurn::kQuit;
        }
        DispatchLoopMessage(msg);
        return LoopTurn::kMessage;
    }
    if (searching) {
        // Steps until the slice's time is up, then the queue again: input
        // waits at most one slice and one file.
        const ULONGLONG sliceStart = GetTickCount64();
        bool more;
        do {
            more = searcher.Step();
        } while (more && !searcher.IsWaiting() && !StepTimeIsUp(sliceStart, GetTickCount64()));
        if (more)
            ShowProgress();
        else if (request.sink)
            request.sink->SetSearching(0);
        return LoopTurn::kStep;
    }
    return LoopTurn::kIdle;
}

int MirlockApp::RunMessageLoop() {
    int exitCode = 0;
    for (;;) {
        const LoopTurn turn = RunLoopTurn(&exitCode);
        if (turn == LoopTurn::kQuit)
            return exitCode;
        if (turn == LoopTurn::kIdle) {
            WaitMessage();
        } else if (turn == LoopTurn::kStep && searcher.IsWaiting()) {
            // Every worker is busy: the next file or the user, whichever comes first.
            HANDLE finished = searcher.WorkerEvent();
            MsgWaitForMultipleObjectsEx(1, &finished, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        }
    }
}

void MirlockApp::EndApplication() {
    if (lockReady) {
        DeleteCriticalSection(&lock);
        lockReady = false;
    }
    if (stopEvent) {
        CloseHandle(stopEvent);
        stopEvent = nullptr;
    }
}

void MirlockApp::HandleAppCommand(int id) {
    switch (id) {
    case IDOK:
    case IDM_SEARCH:
        StartOrStopSearch();
        break;
    case IDCANCEL:
        RequestStop();
        break;
    case IDM_OPTIONS:
        RunOptions();
        break;
    case IDM_EXPORT:
        if (mainWindow && mainWindow->ShowsChecks())
            ExportChecks();
        else
            ExportResults();
        break;
    case IDM_CHECK_SEGMENTS:
        CheckSegments();
        break;
    default:
        break;
    }
}

bool MirlockApp::PanelFolderReady() {
    SearchControls* panel = mainWindow ? mainWindow->Panel() : nullptr;
    if (!panel)
        return true;
    // A folder that cannot be searched is said so, and goes into no history.
    const std::wstring folder = panel->FolderText();
    const FolderState state = folder.empty() ? FolderState::kReadable : CheckFolder(folder.c_str());
    if (state == FolderState::kReadable)
        return true;
    std::wstring text;
    if (FormatResourceText(&text, state == FolderState::kMissing ? IDS_FOLDER_MISSING : IDS_FOLDER_UNREADABLE,
                           folder.c_str()))
        mainWindow->SetStatusText(text.c_str(), true);
    return false;
}

void MirlockApp::StartOrStopSearch() {
    if (searching) {
        RequestStop();
        return;
    }
    ClearStop();
    request.sink = this;
    SearchControls* panel = mainWindow ? mainWindow->Panel() : nullptr;
    ResultListBox* list = mainWindow ? mainWindow->ResultList() : nullptr;
    if (mainWindow)
        mainWindow->SetShowChecks(false);
    const bool inResults = panel && panel->SearchesInResults();
    if (!inResults && !PanelFolderReady()) {
        if (list)
            list->Clear();
        return;
    }
    if (panel)
        panel->BuildRequest(&request);
    // The rows keep the segments that hold their hits, for the segment list.
    request.keepSegments = 1;
    request.everySegment = 0;
    // A search in the results reads the files now listed, in their order.
    listedScope.clear();
    if (inResults && list) {
        list->PlaceArrivedRows();
        std::vector<std::wstring> paths;
        for (int i = 0; i < list->RowCount(); ++i) {
            if (const FileResult* row = list->RowResult(i))
                paths.push_back(row->location + row->name);
        }
        if (paths.empty()) {
            SetStatusLine(LoadResourceText(IDS_NO_LISTED_FILES).c_str(), true);
            return;
        }
        FormatResourceText(&listedScope, IDS_LISTED_FILES, GroupedNumber(static_cast<long long>(paths.size())).c_str());
        searcher.SetFileList(std::move(paths));
    }
    if (list) {
        list->SetBaseFolder(request.folder);
        list->Clear();
    }
    // An empty "Look in" field would walk the root of the current drive.
    if (!request.folder[0] && listedScope.empty())
        ShowStatus(IDS_TYPE_FOLDER);
    else if (!searcher.StartSearch(&request, &converters))
        SetStatusLine(searcher.Refusal().c_str(), true);
}

void MirlockApp::CheckSegments() {
    if (searching || !mainWindow)
        return;
    CheckDialogData data = ReadCheckDialogData();
    std::unique_ptr<CheckPass> pass;
    const INT_PTR answer = RunCheckDialog(MainHandle(), data, [&pass](const CheckDialogData& chosen, std::wstring* error) {
        auto ready = std::make_unique<CheckPass>(chosen.settings);
        if (!ready->Load(chosen.glossary, chosen.checklist, error))
            return false;
        pass = std::move(ready);
        return true;
    });
    if (answer != IDOK || !pass)
        return;
    WriteCheckDialogData(data);
    ClearStop();
    CheckListBox* checks = mainWindow->CheckList();
    if (!checks)
        return;
    mainWindow->SetShowChecks(true);
    checks->Clear();
    UpdateWindow(MainHandle());
    if (!PanelFolderReady())
        return;
    request.sink = this;
    if (SearchControls* panel = mainWindow->Panel())
        panel->BuildRequest(&request);
    // Every segment is read; a row keeps those the checks flag.
    request.keepSegments = 0;
    request.everySegment = 1;
    checks->SetBaseFolder(request.folder);
    if (!request.folder[0]) {
        ShowStatus(IDS_TYPE_FOLDER);
        return;
    }
    checkPass = std::move(pass);
    checkPaths.clear();
    searcher.SetSegmentVisitor(checkPass->Visitor());
    if (!searcher.StartSearch(&request, &converters)) {
        searcher.SetSegmentVisitor(nullptr);
        checkPass.reset();
        SetStatusLine(searcher.Refusal().c_str(), true);
    }
}

void MirlockApp::EndCheckPass(bool stopped) {
    std::unique_ptr<CheckPass> pass = std::move(checkPass);
    searcher.SetSegmentVisitor(nullptr);
    CheckListBox* checks = mainWindow ? mainWindow->CheckList() : nullptr;
    if (!pass || !checks)
        return;
    // A stopped pass saw only some of the files: its groups would mislead.
    if (!stopped) {
        const std::vector<ConsistencyIndex::Group> groups = pass->Groups();
        if (!groups.empty()) {
            SetStatusLine(LoadResourceText(IDS_READING_GROUPS).c_str(), true);
            HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            int number = 0;
            const ConsistencyIndex::Group* last = nullptr;
            for (const ConsistencyIndex::Group& group : groups)
                pass->CountGroup(group);
            ForEachGroupMember(searcher, groups, checkPaths,
                               [&](const ConsistencyIndex::Group& group, const ConsistencyIndex::Member& member,
                                   const ShownSegment& segment) {
                                   if (&group != last) {
                                       last = &group;
                                       ++number;
                                   }
                                   CheckRow row = MakeCheckRow(checkPaths[member.file], segment, group.kind,
                                                               GroupMessage(group), {}, {});
                                   row.group = number;
                                   checks->Add(std::move(row));
                               });
            SetCursor(old);
        }
    }
    checks->PlaceArrivedRows();
    std::wstring summary = pass->Summary();
    if (request.filesFailed > 0) {
        summary.pop_back();  // the full stop
        summary += L"; " + std::to_wstring(request.filesFailed) + (request.filesFailed == 1 ? L" file" : L" files") +
                   L" could not be read.";
    }
    if (stopped) {
        std::wstring text;
        if (FormatResourceText(&text, IDS_CHECK_STOPPED, summary.c_str()))
            summary = text;
    }
    checkSummary = summary;
    // The status line keeps 100 characters: past them, the counts by check
    // (the headings of the list say them too) give way.
    if (summary.size() > kStatusChars && summary.find(L" (") != std::wstring::npos) {
        const size_t open = summary.find(L" (");
        const size_t close = summary.find(L')', open);
        summary = summary.substr(0, open) + (close == std::wstring::npos ? L"" : summary.substr(close + 1));
    }
    SetStatusLine(summary.c_str(), true);
}

void MirlockApp::ShowRequestSummary() {
    const std::wstring text = FormatRequestSummary(request);
    if (!text.empty())
        SetStatusLine(text.c_str(), true);
}

void MirlockApp::SetStatusLine(const wchar_t* text, bool now) {
    if (!mainWindow)
        return;
    std::wstring line = text;
    if (line.size() > kStatusChars)
        line.resize(kStatusChars);
    mainWindow->SetStatusText(line.c_str(), now);
}

bool MirlockApp::ShowStatus(unsigned id, ...) {
    wchar_t text[kStatusChars + 1];
    va_list args;
    va_start(args, id);
    if (id == IDS_SEARCHING_IN && searching) {
        // The folder entered, with what the walk has found so far.
        const wchar_t* folder = va_arg(args, const wchar_t*);
        va_end(args);
        walkingFolder = folder ? folder : L"";
        ShowProgress();
        return !IsStopRequested();
    }
    const bool ok = FormatResourceString(id, &args, text, kStatusChars + 1);
    va_end(args);
    if (!ok)
        return false;
    SetStatusLine(text, !searching);  // progress may wait for the next refresh
    return !IsStopRequested();
}

bool MirlockApp::AddResult(FileResult* result) {
    if (IsStopRequested())
        return false;
    EnterCriticalSection(&lock);
    CountResult(&request, *result);
    if (checkPass) {
        if (!result->notes.empty())
            filesWithNotes += 1;
        // A pass of the checks: its notes go to the checks list, the files
        // with segments to the pass's count.
        CheckListBox* checks = mainWindow ? mainWindow->CheckList() : nullptr;
        if (result->status != kFileFailed && result->segmentsSeen > 0) {
            checkPass->Take(*result);
            const std::wstring path = ExportPath(*result);
            checkPaths.push_back(path);
            for (const SegmentNote& note : result->notes) {
                if (checks && note.segment >= 0 && static_cast<size_t>(note.segment) < result->segments.size())
                    checks->Add(MakeCheckRow(path, result->segments[static_cast<size_t>(note.segment)],
                                             static_cast<CheckKind>(note.kind), note.message, note.sourceSpans,
                                             note.targetSpans));
            }
        }
        LeaveCriticalSection(&lock);
        return true;
    }
    result->AddRef();
    if (ResultListBox* list = mainWindow ? mainWindow->ResultList() : nullptr)
        list->AddRow(result);
    else
        result->Release();
    LeaveCriticalSection(&lock);
    return true;
}

void MirlockApp::ShowProgress() {
    const int searched = request.filesSearched;
    const int found = checkPass ? filesWithNotes : request.filesMatched;
    std::wstring files = LoadResourceText(IDS_COUNT_FILE);
    if (searched != 1)
        FormatResourceText(&files, IDS_COUNT_FILES_GROUPED, GroupedNumber(searched).c_str());
    const std::wstring count = GroupedNumber(found);
    const unsigned id = checkPass ? IDS_CHECK_PROGRESS : IDS_SEARCH_PROGRESS;
    // The folder gives way in its middle so that the counts stay in view.
    std::wstring text;
    FormatResourceText(&text, id, L"", files.c_str(), count.c_str());
    const size_t room = text.size() < kStatusChars ? kStatusChars - text.size() : 0;
    FormatResourceText(&text, id, ElidedPath(walkingFolder, room).c_str(), files.c_str(), count.c_str());
    SetStatusLine(text.c_str(), false);
}

void MirlockApp::SetSearching(int newSearching) {
    if (newSearching) {
        walkingFolder = listedScope.empty() ? std::wstring(request.folder) : listedScope;
        filesWithNotes = 0;
    }
    searching = newSearching;
    const bool stopped = stoppedByUser;
    stoppedByUser = false;
    ClearStop();
    SearchControls* panel = mainWindow ? mainWindow->Panel() : nullptr;
    if (newSearching) {
        if (panel)
            panel->SetPanelBusy(true);
        return;
    }
    if (checkPass) {
        EndCheckPass(stopped);
        if (panel)
            panel->SetPanelBusy(false);
        return;
    }
    if (ResultListBox* list = mainWindow ? mainWindow->ResultList() : nullptr)
        list->PlaceArrivedRows();
    const std::wstring summary = FormatSearchSummary(request, stopped);
    lastSummary = summary;
    if (!summary.empty())
        SetStatusLine(summary.c_str(), true);
    if (panel)
        panel->SetPanelBusy(false);
    if (ResultListBox* list = mainWindow ? mainWindow->ResultList() : nullptr)
        SendMessageW(list->ListBox(), LB_SETSEL, FALSE, 0);
}

bool MirlockApp::IsStopRequested() { return stopSignalled.load(std::memory_order_relaxed); }

void MirlockApp::RequestStop() {
    if (searching)
        stoppedByUser = true;
    stopSignalled = true;
    if (stopEvent)
        SetEvent(stopEvent);
}

void MirlockApp::ClearStop() {
    stopSignalled = false;
    if (stopEvent)
        ResetEvent(stopEvent);
}

void MirlockApp::RunOptions() {
    if (searching)
        return;
    OptionsData data;
    data.maximumMatch = static_cast<unsigned>(request.maximumMatch);
    data.converterMode = converters.Mode();
    data.readUtf8 = converters.ReadsUtf8();
    data.searchThreads = searchThreads;
    data.filterTimeout = FilterTimeoutSeconds(request);
    data.editor = editor;
    for (const auto& choice : InstalledEditors())
        data.editorChoices.push_back(choice.second);
    if (RunOptionsDialog(MainHandle(), data) != IDOK)
        return;
    editor = data.editor;
    WriteSettingString(L"Editor", editor.c_str());
    if (ResultListBox* list = mainWindow ? mainWindow->ResultList() : nullptr)
        list->SetEditor(editor);
    if (CheckListBox* checks = mainWindow ? mainWindow->CheckList() : nullptr)
        checks->SetEditor(editor);
    request.maximumMatch = static_cast<int>(data.maximumMatch);
    converters.SetReadUtf8(data.readUtf8);
    converters.BuildConverters(data.converterMode);
    WriteSettingInt(L"ConverterSet", converters.Mode());
    WriteSettingInt(L"ReadUtf8", data.readUtf8 ? 1 : 0);
    WriteSettingInt(L"MaximumMatch", request.maximumMatch);
    searchThreads = data.searchThreads;
    searcher.SetWorkers(SearchThreadCount(searchThreads));
    WriteSettingInt(L"SearchThreads", searchThreads);
    request.filterTimeout = data.filterTimeout;
    WriteSettingInt(L"FilterTimeout", request.filterTimeout);
}

void MirlockApp::ExportResults() {
    ResultListBox* list = mainWindow ? mainWindow->ResultList() : nullptr;
    if (!list)
        return;
    list->PlaceArrivedRows();
    // Only the selected rows when more than one is selected; else all.
    std::vector<int> rows = list->SelectedRows();
    if (rows.size() <= 1) {
        rows.clear();
        for (int i = 0; i < list->RowCount(); ++i)
            rows.push_back(i);
    }
    std::vector<const FileResult*> results;
    for (int row : rows) {
        if (const FileResult* r = list->RowResult(row))
            results.push_back(r);
    }
    if (results.empty())
        return;
    ExportResultsToFile(MainHandle(), results, ExportHeading());
}

ReportHeading MirlockApp::ExportHeading() const {
    ReportHeading heading;
    heading.title = request.searchText[0] ? L"Mirlock: " + std::wstring(request.searchText) : L"Mirlock: file list";
    auto yes = [](int on) { return std::wstring(on ? L"yes" : L"no"); };
    heading.request = {{L"Search for", request.searchText},
                       {L"Look in", request.folder},
                       {L"File name", request.fileNameSpec},
                       {L"Sub-directories", yes(request.recursion)},
                       {L"Case sensitive", yes(request.caseSensitive)},
                       {L"Whole words", yes(request.wholeWords)},
                       {L"Regular expression", yes(request.regex == 1)}};
    if (request.side != kSideBoth)
        heading.request.push_back({L"Search in", request.side == kSideSource ? L"Source" : L"Target"});
    if (request.targetText[0])
        heading.request.push_back({request.notTarget ? L"Target not containing" : L"Target containing",
                                   request.targetText});
    heading.summary = searching || lastSummary.empty() ? FormatSearchSummary(request, false) : lastSummary;
    return heading;
}

void MirlockApp::ExportChecks() {
    CheckListBox* checks = mainWindow ? mainWindow->CheckList() : nullptr;
    if (!checks)
        return;
    checks->PlaceArrivedRows();
    std::vector<const CheckRow*> rows = checks->SelectedNotes();
    if (rows.size() <= 1)
        rows = checks->ShownNotes();
    if (rows.empty())
        return;
    const std::wstring title = L"Mirlock: checks of " + std::wstring(request.folder);
    const std::wstring summary = checkSummary;
    ExportToFile(MainHandle(), IDS_CHECKS_EXPORT_TITLE, [&](ExportKind kind) {
        if (kind == ExportKind::kHtml)
            return CheckHtml(title, summary, rows);
        return CheckTable(rows, kind == ExportKind::kCsv ? TableFormat::kCsv : TableFormat::kTabs);
    });
}
