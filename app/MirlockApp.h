// The application object: owns the converters, the searcher, the main window
// and the one request; answers the search's sink; runs the message loop that
// drives a search from its idle branch.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "base/SearchRecords.h"
#include "converters/ConverterList.h"
#include "qa/CheckPass.h"
#include "qa/IgnoreList.h"
#include "search/SearchResultSink.h"
#include "search/ResultExport.h"
#include "search/Searcher.h"
#include "ui/MainWnd.h"

// The loop looks at its queue again after a slice of this many milliseconds
// of the walk, and a step ends after the file during which the time ran out:
// the window answers its user between two files. (Looking after every step,
// or every file, cost more than the files themselves on a tree of small
// files: under Wine each look at the message queue is a call into the server.)
constexpr ULONGLONG kStepMilliseconds = 10;
inline bool StepTimeIsUp(ULONGLONG stepStart, ULONGLONG now) {
    return now - stepStart >= kStepMilliseconds;
}

class WindowSearcher : public Searcher {
public:
    bool Step() {
        stepStart = GetTickCount64();
        return Searcher::Step();
    }

protected:
    bool YieldAfterFile() override {
        return Searcher::YieldAfterFile() || StepTimeIsUp(stepStart, GetTickCount64());
    }

private:
    ULONGLONG stepStart = 0;
};

class MirlockApp : public SearchResultSink, public AppCommandHandler {
public:
    static constexpr int kMinTrackWidth = 220;
    static constexpr int kMinTrackHeight = 340;

    MirlockApp();
    ~MirlockApp() override;
    MirlockApp(const MirlockApp&) = delete;
    MirlockApp& operator=(const MirlockApp&) = delete;

    // Start-up up to the first status line; false when the main window
    // cannot be made.
    bool InitApplication(HINSTANCE instance, const wchar_t* commandLine, int showCommand);

    // One turn of the loop, never waiting: a message through the
    // accelerators, the panel's navigation and dispatch; else a slice of
    // Steps of a running search, up to kStepMilliseconds (and the end of the
    // search when the walk is over).
    enum class LoopTurn { kMessage, kStep, kIdle, kQuit };
    LoopTurn RunLoopTurn(int* exitCode);
    // What the loop does with one message: accelerators, the panes' keys,
    // the panel's dialog keys, then the window.
    void DispatchLoopMessage(MSG& msg);
    // The messages that wait, answered from inside a step of the search
    // while a content filter works on this thread.
    void AnswerInputWhileConverting();
    // The message loop until the quit message; returns its exit code.
    int RunMessageLoop();
    // Releases the lock and the event after the loop.
    void EndApplication();

    void HandleAppCommand(int id) override;
    void StartOrStopSearch();
    // Tools > Check segments: the dialog, then a pass of the checks over
    // what the panel's search would walk, into the checks list.
    void CheckSegments();
    bool IsChecking() const { return checkPass != nullptr; }
    void ShowRequestSummary();

    bool ShowStatus(unsigned id, ...) override;
    bool AddResult(FileResult* result) override;
    void SetSearching(int searching) override;
    bool IsStopRequested() override;

    MainWnd* MainWindow() const { return mainWindow.get(); }
    HWND MainHandle() const { return mainWindow ? mainWindow->hwnd : nullptr; }
    const SearchRequest& Request() const { return request; }
    bool IsSearching() const { return searching != 0; }
    ConverterList& Converters() { return converters; }
    int SearchWorkers() const { return searcher.Workers(); }

private:
    void RunOptions();
    // The folder of the panel when a walk can start there; else says why
    // on the status line and returns false.
    bool PanelFolderReady();
    // The end of a pass: its consistency groups read and listed, its summary.
    void EndCheckPass(bool stopped);
    // File > Export with the checks list shown: the selected notes (all
    // shown ones when at most one is).
    void ExportChecks();
    // File > Export results: the selected rows (all when at most one is).
    void ExportResults();
    ReportHeading ExportHeading() const;
    // Progress texts (`now` false) may wait for the status bar's next
    // refresh; the request summary and the end-of-search line show at once.
    void SetStatusLine(const wchar_t* text, bool now);
    void RequestStop();
    void ClearStop();
    // The status line while a walk runs: the folder being walked, the files
    // searched so far and how many had hits (issues, in a pass of the
    // checks); shown at the next refresh.
    void ShowProgress();

    // Destroyed in the reverse order: main window, searcher, converters.
    ConverterList converters;
    std::wstring commandLine;
    HINSTANCE instance = nullptr;
    SearchRequest request{};
    int searching = 0;
    // The running pass of the checks (null between passes), and the paths
    // of the files it took, by their number in the pass. Before the
    // searcher, whose workers call the pass until they end; the ignore list
    // before the window that shows it.
    std::unique_ptr<CheckPass> checkPass;
    std::vector<std::wstring> checkPaths;
    std::wstring checkSummary;  // the status line's summary of the last pass
    IgnoreList ignoreList;
    WindowSearcher searcher;
    std::unique_ptr<MainWnd> mainWindow;
    HANDLE stopEvent = nullptr;
    // The event's state, kept beside it: the search asks at every hit, and
    // under Wine every wait on a kernel object is a round trip to the server.
    std::atomic<bool> stopSignalled{true};
    // The user stopped the running search: its summary says so.
    bool stoppedByUser = false;
    std::wstring lastSummary;  // the status line's summary of the last search
    std::wstring walkingFolder;  // the folder the walk entered last
    std::wstring listedScope;    // "the 37 listed files", for a search in results
    int filesWithNotes = 0;      // a pass's files with something flagged
    std::wstring editor;       // Options' editor command line
    int searchThreads = 0;     // Options' setting: 0 automatic, else the count
    CRITICAL_SECTION lock;
    bool lockReady = false;
    HACCEL accelerators = nullptr;
    bool comReady = false;
};
