// Collapsing and expanding an option group of the search panel.
#include "ui/CollapsibleGroup.h"

#include "ui/Window.h"

CollapsibleGroup::CollapsibleGroup(HWND panel, int groupId, int lastMemberId)
    : panel(panel), lastMemberId(lastMemberId) {
    groupBox = GetDlgItem(panel, groupId);
    toggleButton = groupBox ? GetWindow(groupBox, GW_HWNDNEXT) : nullptr;
    label = toggleButton ? GetWindow(toggleButton, GW_HWNDNEXT) : nullptr;
    if (!label)
        return;
    const RECT l = ChildRectInParent(label, panel);
    const RECT g = ChildRectInParent(groupBox, panel);
    const int x = l.right + 4;
    line = CreateWindowExW(0, L"Static", nullptr, WS_CHILD | WS_VISIBLE | WS_GROUP | SS_ETCHEDHORZ, x,
                           g.top + 6, g.right - x > 0 ? g.right - x : 0, 2, panel, nullptr,
                           reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(panel, GWLP_HINSTANCE)),
                           nullptr);
    if (line)
        SetWindowPos(line, label, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    HWND last = GetDlgItem(panel, lastMemberId);
    for (HWND w = GetWindow(line ? line : label, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT)) {
        members.push_back(w);
        if (w == last)
            break;
    }
}

void CollapsibleGroup::Toggle() {
    if (!groupBox || !toggleButton)
        return;
    const RECT g = ChildRectInParent(groupBox, panel);
    const RECT b = ChildRectInParent(toggleButton, panel);
    const int d = (g.bottom - g.top) - (b.bottom - b.top);
    int shift;
    if (expanded) {
        SetWindowTextW(toggleButton, L"+");
        shift = -d;
        expanded = false;
    } else {
        SetWindowTextW(toggleButton, L"\x2013");
        shift = d;
        expanded = true;
    }
    const int show = expanded ? SW_SHOW : SW_HIDE;
    for (HWND m : members)
        ShowWindow(m, show);
    ShowWindow(groupBox, show);
    if (line)
        ShowWindow(line, expanded ? SW_HIDE : SW_SHOW);
    HWND last = members.empty() ? label : members.back();
    for (HWND w = GetWindow(last, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT)) {
        const RECT r = ChildRectInParent(w, panel);
        SetWindowPos(w, nullptr, r.left, r.top + shift, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    InvalidateRect(panel, nullptr, TRUE);
}
