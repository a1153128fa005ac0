// The Options and About dialogs, and the version line.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct OptionsData {
    unsigned maximumMatch = 999;
    int converterMode = 0;  // 0 IFilter, 1 Office converters, 2 always text
    bool readUtf8 = false;
    int searchThreads = 0;  // 0 automatic (one per logical processor), else 1 to 64
    int filterTimeout = 30;  // seconds a content filter may take over one file, 1 to 3600
    // The editor's command line (%1 path, %2 line); empty: the system's
    // program for the file.
    std::wstring editor;
    // Ready-made editor command lines offered in the field's list.
    std::vector<std::wstring> editorChoices;
    HWND dialog = nullptr;
};

// Modal over `owner`; 1 (OK, `data` filled from the controls) or 2 (Cancel,
// `data` as it was).
INT_PTR RunOptionsDialog(HWND owner, OptionsData& data);

void RunAboutDialog(HWND owner, const wchar_t* versionLine);

// "mirlock version 2.0.009" for file version 2.0.x.9: major, minor and the
// fourth number with at least three digits.
std::wstring FormatVersionLine(unsigned major, unsigned minor, unsigned fourth);
// The line for the running executable's version resource, or "mirlock
// version ?" when it has none that can be read.
void BuildVersionLine(wchar_t* out, size_t capacity);

// Where a w x h dialog goes so that it is centred over the owner's client
// rectangle and never further right or lower than it (client coordinates).
POINT CentredPosition(const RECT& ownerClient, int width, int height);
// Moves `dialog` to the centred position over its owner's client area.
void CentreOverOwner(HWND dialog, HWND owner);
