// The search panel: the child dialog on the left with the search text, the
// folder, the options and the "Search"/"Stop" button. It keeps the histories
// of its fields in the settings and fills the request at every search start.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/controls/AnchorLayout.h"
#include "ui/controls/Window.h"

class AppCommandHandler;
class BrowseCombo;
class CollapsibleGroup;
struct SearchRequest;

class SearchControls : public Window {
public:
    explicit SearchControls(AppCommandHandler* app);
    ~SearchControls() override;

    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // Fills `request` from the controls and updates the histories and the
    // stored options. Leaves maximumMatch alone.
    void BuildRequest(SearchRequest* request);
    void SetPanelBusy(bool busy);
    // The text of the "Look in" field.
    std::wstring FolderText() const;
    // "Search in results" is ticked: the next search reads the listed files.
    bool SearchesInResults() const;
    void SaveHistory();
    void ToggleGroup(int buttonId);

    BrowseCombo* LookIn() const { return lookIn.get(); }
    bool OptionsExpanded() const;
    bool ConvertersExpanded() const;
    int MinWidth() const { return minWidth; }
    // From the top to below the lowest control shown, with the dialog's margin.
    int ContentHeight() const;

    // The headings the groups show: their titles, and collapsed, what is in force.
    std::wstring OptionsHeadingText() const;
    std::wstring ConvertersHeadingText() const;

private:
    void OnInitialize();
    // Reads the options the groups hold into `request`, collapsed or not;
    // touches no history and no setting.
    void ReadOptions(SearchRequest* request) const;
    void UpdateHeadings();
    void OnCommand(int id, int code);
    void LoadHistory(int controlId, const wchar_t* format);
    void SaveList(int controlId, const wchar_t* format);
    void EnableTagField();
    // The size and date fields that the chosen modes use are enabled.
    void EnableFilterFields();
    // The bounds the size and date fields set, into the request; "in the
    // last N days" counts back from now.
    void ReadFilters(SearchRequest* request) const;
    // "Size at least 10 KB", "Modified after 01/11/2026": the filters in
    // force, for the collapsed heading; empty when none is.
    std::vector<std::wstring> FilterHeadings() const;
    void LoadFilters();
    void SaveFilters() const;
    HWND Item(int id) const { return GetDlgItem(hwnd, id); }

    AppCommandHandler* app;
    int minWidth = 0;
    HWND savedFocus = nullptr;
    AnchorLayout layout;
    std::unique_ptr<BrowseCombo> lookIn;
    std::unique_ptr<CollapsibleGroup> optionsGroup;
    std::unique_ptr<CollapsibleGroup> convertersGroup;
};

// Puts `text` at the top of a combo box's list, removing an entry with the
// same text (letter case ignored), and selects it.
void MoveToTopOfList(HWND combo, const wchar_t* text);

// "Search Options: Case Sensitive, Target not containing "x"": `title` (which
// ends with a colon) and each option of `request` that is not at its default;
// `title` alone when none is.
std::wstring OptionsHeading(const std::wstring& title, const SearchRequest& request);
// The same for the converter options.
std::wstring ConvertersHeading(const std::wstring& title, const SearchRequest& request);
