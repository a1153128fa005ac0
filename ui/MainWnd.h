// The main window: search panel and result list side by side with a splitter
// between them, a status bar, the menu and the routing of commands.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "ui/controls/SplitWindow.h"
#include "ui/controls/Window.h"

class CheckListBox;
class ResultListBox;
class SearchControls;
class SegmentBar;
class SegmentList;

// The application-level commands (start or stop a search, stop, Options),
// carried out by the application object.
class AppCommandHandler {
public:
    virtual ~AppCommandHandler() = default;
    virtual void HandleAppCommand(int id) = 0;
};

class MainWnd : public Window, public SplitOwner {
public:
    MainWnd(AppCommandHandler* app, int minTrackWidth, int minTrackHeight);
    ~MainWnd() override;

    bool RegisterWindowClass(HINSTANCE instance);
    // Creates the window; a non-empty command line becomes the "Look in" text.
    HWND Create(HINSTANCE instance, const wchar_t* commandLine);

    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    bool OnCreate(const CREATESTRUCTW* create, LRESULT* result) override;

    void Relayout();
    // Places the result list in `area` (client coordinates), and below it
    // the bar and the segment list when they are shown.
    void PlaceRightColumn(const RECT& area);
    void PlaceRightPane(const RECT& area) override { PlaceRightColumn(area); }
    // The status bar's height when it is shown.
    int ReservedBelow() const override;
    // The segment list shows the current row's lines.
    void UpdateSegments();
    void SetShowSegments(bool show);
    // The checks list in place of the result list (View > Checks), or back.
    void SetShowChecks(bool show);
    // F3 / Shift+F3: the next or previous line of the segment list (a hit,
    // or a segment holding hits), on to the next or previous file with hits
    // at its ends; F4 / Shift+F4: the next or previous file. The lists'
    // selections follow.
    void StepHit(bool forward);
    void StepFile(bool forward);
    bool ShowsChecks() const { return showChecks; }
    bool ShowsSegments() const { return showSegments; }
    // Keys that move between the two panes or act on the list, taken before
    // the panel's dialog navigation: Tab past the panel's last control (or
    // Shift+Tab before its first) goes to the list shown (results or
    // checks) and back; Enter in the list opens the current file (at the
    // segment, in the checks). True when the key was used.
    bool TranslatePaneKey(const MSG& msg);
    void UpdateMenu(int popupIndex, HMENU menu);
    // Shows `text` in the status bar's first part. A text that is not
    // `immediate` replaces the shown one at most every kStatusRefreshMs, so
    // that a fast walk does not spend its time repainting the status bar.
    static constexpr UINT kStatusRefreshMs = 100;
    void SetStatusText(const wchar_t* text, bool immediate = true);
    void SetLookInText(const wchar_t* text);
    // The least window that shows the panel's controls, the bar and a
    // usable list, at `dpi`; {0, 0} before the panes exist.
    SIZE MinimumWindowSize(int dpi) const;
    // Grows the window to its minimum when it is smaller (a group opened).
    void FitMinimumSize();
    // Opens maximised: it was maximised when it was last closed.
    bool StartsMaximized() const { return startMaximized; }

    ResultListBox* ResultList() const { return resultList.get(); }
    CheckListBox* CheckList() const { return checkList.get(); }
    SegmentList* Segments() const { return segmentList.get(); }
    SearchControls* Panel() const { return panel.get(); }
    SplitWindow* Splitter() const { return splitter.get(); }
    HWND StatusBar() const { return statusBar; }
    HWND PanelWindow() const;
    AppCommandHandler* App() const { return app; }

private:
    void OnCommand(int id);
    void EditCommand(int id);
    void ShowAbout();
    void OnDropFiles(HDROP drop);
    void SetStatusParts();
    // The place, the splitter and the view, for the next start.
    void SaveView();

    AppCommandHandler* app;
    std::unique_ptr<wchar_t[]> versionText;
    wchar_t className[101] = {};
    int minTrackWidth;
    int minTrackHeight;
    std::unique_ptr<ResultListBox> resultList;
    std::unique_ptr<CheckListBox> checkList;
    bool showChecks = false;
    std::unique_ptr<SegmentList> segmentList;
    std::unique_ptr<SegmentBar> segmentBar;
    bool showSegments = true;
    int segmentHeight = 0;  // the segment list's height in pixels at 96 DPI
    RECT rightColumn{};     // where the right column was last placed
    HFONT font = nullptr;
    std::unique_ptr<SplitWindow> splitter;
    std::unique_ptr<SearchControls> panel;
    HWND statusBar = nullptr;
    HINSTANCE instance = nullptr;
    std::wstring pendingStatus;
    bool statusTimer = false;
    ULONGLONG lastStatusTick = 0;
    bool startMaximized = false;
};

// True when `window` is an edit control (the edit fields of the panel's
// combo boxes included).
bool IsEditControl(HWND window);
// True when `window` is a combo box or the edit field of one.
bool IsInComboBox(HWND window);
