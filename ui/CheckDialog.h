// Tools > Check segments: the checks' settings, stored per user, and the
// dialog that asks for them before a pass.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "qa/CheckKinds.h"

struct CheckDialogData {
    CheckSettings settings;
    std::wstring glossary;   // empty: none
    std::wstring checklist;  // empty: none
};

// The settings as the user left them; every check on at first.
CheckDialogData ReadCheckDialogData();
void WriteCheckDialogData(const CheckDialogData& data);

// Modal over `owner`. "Check" fills `data` from the controls and asks
// `accept` whether the pass can start with them (it reads the glossary and
// the checklist); when it says no, its message is shown and the dialog
// stays. IDOK when accepted, else IDCANCEL with `data` as it was.
INT_PTR RunCheckDialog(HWND owner, CheckDialogData& data,
                       const std::function<bool(const CheckDialogData&, std::wstring* error)>& accept);
