// The "Look in" field: a drop-down combo box of folders with the shell's
// small icons, the special folders and a "<Browse ...>" entry that opens the
// folder browser.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/controls/Window.h"

class BrowseCombo : public Window {
public:
    enum Mark : LPARAM {
        kBrowseEntry = -2,
        kUserFolder = -3,
    };

    // Picks a folder, starting at `start`; false when the user cancels.
    using FolderPicker = std::function<bool(HWND owner, const wchar_t* start, std::wstring* chosen)>;

    BrowseCombo(int textHeight, int iconHeight) : textHeight(textHeight), iconHeight(iconHeight) {}
    ~BrowseCombo() override = default;

    // Binds the object to the combo box and subclasses it.
    void Bind(HWND combo);
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    void FillBrowseEntry();
    void AddSpecialFolders();
    // Removes an entry with the same text (letter case ignored), inserts
    // `text` at the top as a user folder and selects it.
    void PutOnTop(const wchar_t* text);
    void OnDropDown();
    void OnSelectionChange();
    bool BrowseForFolder(const wchar_t* start, std::wstring* chosen);
    void DrawItem(const DRAWITEMSTRUCT& item);

    int ItemHeight(bool selectionField) const { return (selectionField ? textHeight : iconHeight) + 2; }
    int ClickSelection() const { return clickSelection; }

    // Replaces the shell's folder browser (tests).
    static void SetFolderPicker(FolderPicker picker);

private:
    std::unique_ptr<wchar_t[]> browseStart;
    WNDPROC previousProc = nullptr;
    int clickSelection = -1;
    int textHeight;
    int iconHeight;
};
