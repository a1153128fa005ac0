// Where the main window opens: a size that scales with the DPI and fits the
// screen's work area, or the place and size stored when it last closed.
#pragma once

#include <windows.h>

// Pixels at 96 DPI of a first window: room for the panel and every column.
constexpr int kDefaultWindowWidth = 1220;
constexpr int kDefaultWindowHeight = 660;

// The default size at `dpi`, centred in `workArea` and cut to fit it.
RECT DefaultWindowRect(const RECT& workArea, int dpi);

// The main window's normal place as it was stored, in pixels of the DPI it
// was stored at; `valid` false when nothing (or nothing usable) is stored.
struct StoredPlacement {
    bool valid = false;
    RECT normal{};
    bool maximized = false;
    int dpi = 96;
};

StoredPlacement ReadStoredPlacement();
void WriteStoredPlacement(HWND window, int dpi);

// The stored rectangle at `dpi` (its size scaled, its corner kept), moved
// into `workArea` when it reaches out of it and cut when it is larger.
RECT PlacedRect(const StoredPlacement& stored, const RECT& workArea, int dpi);
