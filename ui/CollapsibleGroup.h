// A group box whose members are shown or hidden by a small "+"/"–" button;
// the controls after the group move up or down with it.
#pragma once

#include <windows.h>

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
    std::vector<HWND> members;
};
