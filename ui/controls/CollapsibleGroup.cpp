// Collapsing and expanding an option group of the search panel.
#include "ui/controls/CollapsibleGroup.h"

#include "ui/controls/Window.h"

#include <commctrl.h>

#include <algorithm>

CollapsibleGroup::CollapsibleGroup(HWND panel, int groupId, int lastMemberId)
    : panel(panel), lastMemberId(lastMemberId) {
    groupBox = GetDlgItem(panel, groupId);
    toggleButton = groupBox ? GetWindow(groupBox, GW_HWNDNEXT) : nullptr;
    label = toggleButton ? GetWindow(toggleButton, GW_HWNDNEXT) : nullptr;
    if (!label)
        return;
    const RECT l = ChildRectInParent(label, panel);
    const RECT g = ChildRectInParent(groupBox, panel);
    titleRect = l;
    wchar_t text[128] = {};
    GetWindowTextW(label, text, 128);
    title = text;
    // The heading may hold any text the user typed: no access keys in it,
    // an ellipsis where it is cut, and mouse messages for its tooltip.
    SetWindowLongPtrW(label, GWL_STYLE, GetWindowLongPtrW(label, GWL_STYLE) | SS_ENDELLIPSIS | SS_NOTIFY);
    tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, panel, nullptr,
                              reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(panel, GWLP_HINSTANCE)), nullptr);
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
    ShowHeading();
    HWND last = members.empty() ? label : members.back();
    for (HWND w = GetWindow(last, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT)) {
        const RECT r = ChildRectInParent(w, panel);
        SetWindowPos(w, nullptr, r.left, r.top + shift, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    InvalidateRect(panel, nullptr, TRUE);
}

void CollapsibleGroup::SetCollapsedText(const std::wstring& text) {
    collapsedText = text;
    ShowHeading();
}

std::wstring CollapsibleGroup::LabelText() const {
    if (!label)
        return {};
    const int length = GetWindowTextLengthW(label);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(label, text.data(), length + 1)));
    return text;
}

void CollapsibleGroup::ShowHeading() {
    if (!label || !groupBox)
        return;
    const std::wstring& text = expanded || collapsedText.empty() ? title : collapsedText;
    SetWindowTextW(label, text.c_str());
    // As wide as its text, up to the group's right edge; the etched line
    // takes what is left.
    const RECT now = ChildRectInParent(label, panel);
    const RECT g = ChildRectInParent(groupBox, panel);
    int width = titleRect.right - titleRect.left;
    if (HDC dc = GetDC(label)) {
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
        SIZE extent{};
        if (GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent))
            width = std::max(width, static_cast<int>(extent.cx) + 2);
        SelectObject(dc, old);
        ReleaseDC(label, dc);
    }
    width = std::max(0, std::min<int>(width, g.right - now.left));
    SetWindowPos(label, nullptr, 0, 0, width, now.bottom - now.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (line) {
        const RECT l = ChildRectInParent(line, panel);
        const int x = now.left + width + 4;
        SetWindowPos(line, nullptr, x, l.top, std::max(0, static_cast<int>(g.right) - x), l.bottom - l.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (tooltip) {
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = panel;
        tool.uId = reinterpret_cast<UINT_PTR>(label);
        tool.lpszText = const_cast<wchar_t*>(text.c_str());
        if (toolAdded) {
            SendMessageW(tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
        } else {
            toolAdded = SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != 0;
            SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, 600);
        }
    }
    InvalidateRect(label, nullptr, TRUE);
}
