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
#include "search/SearchResultSink.h"
#include "search/Searcher.h"
#include "ui/MainWnd.h"

// The searcher of the window program ends each step after one file, so that
// the window answers its user between two files.
class WindowSearcher : public Searcher {
protected:
    bool YieldAfterFile() override { return true; }
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
    // accelerators, the panel's navigation and dispatch; else one Step of a
    // running search (and the end of the search when the walk is over).
    enum class LoopTurn { kMessage, kStep, kIdle, kQuit };
    LoopTurn RunLoopTurn(int* exitCode);
    // The message loop until the quit message; returns its exit code.
    int RunMessageLoop();
    // Releases the lock and the event after the loop.
    void EndApplication();

    void HandleAppCommand(int id) override;
    void StartOrStopSearch();
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

private:
    void RunOptions();
    void SetStatusLine(const wchar_t* text);
    void RequestStop();
    void ClearStop();

    // Destroyed in the reverse order: main window, searcher, converters.
    ConverterList converters;
    std::wstring commandLine;
    HINSTANCE instance = nullptr;
    SearchRequest request{};
    int searching = 0;
    WindowSearcher searcher;
    std::unique_ptr<MainWnd> mainWindow;
    HANDLE stopEvent = nullptr;
    // The event's state, kept beside it: the search asks at every hit, and
    // under Wine every wait on a kernel object is a round trip to the server.
    std::atomic<bool> stopSignalled{true};
    CRITICAL_SECTION lock;
    bool lockReady = false;
    HACCEL accelerators = nullptr;
    bool comReady = false;
};
