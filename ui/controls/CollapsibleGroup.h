// A group box whose members are shown or hidden by a small "+"/"–" button;
// the controls after the group move up or down with it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CollapsibleGroup {
public:
    // The group box `groupId`; the toggle button and the label are the next
    // two controls in tab order, the members run up to `lastMemberId`.
    // Makes the etched line shown while the group is collapsed.
    CollapsibleGroup(HWND panel, int groupId, int lastMemberId);

    // Collapses an expanded group or expands a collapsed one.
    void Toggle();

    bool IsExpanded() const { return expanded; }

    // The heading beside the toggle: the group's own title while expanded,
    // `collapsedText` (the title with what is in force) while collapsed, cut
    // with an ellipsis where it does not fit, whole in a tooltip.
    void SetCollapsedText(const std::wstring& collapsedText);
    std::wstring LabelText() const;
    // The panel changed size: the heading fits the group again.
    void Refit() { ShowHeading(); }
    HWND Line() const { return line; }
    HWND ToggleButton() const { return toggleButton; }

private:
    HWND panel;
    bool expanded = true;
    int lastMemberId;
    HWND groupBox = nullptr;
    HWND toggleButton = nullptr;
    HWND label = nullptr;
    HWND line = nullptr;
    HWND tooltip = nullptr;
    bool toolAdded = false;
    std::wstring title;          // the label as the dialog made it
    std::wstring collapsedText;  // shown while collapsed
    RECT titleRect{};            // the label's own place, in the panel
    void ShowHeading();
    std::vector<HWND> members;
};
