// The main window's first rectangle and its place between runs.
#include "ui/WindowPlacement.h"

#include <algorithm>

#include "base/Settings.h"

namespace {

RECT FitInto(RECT r, const RECT& area) {
    const LONG width = std::min(r.right - r.left, area.right - area.left);
    const LONG height = std::min(r.bottom - r.top, area.bottom - area.top);
    const LONG left = std::clamp(r.left, area.left, area.right - width);
    const LONG top = std::clamp(r.top, area.top, area.bottom - height);
    return {left, top, left + width, top + height};
}

}  // namespace

RECT DefaultWindowRect(const RECT& workArea, int dpi) {
    const LONG width = MulDiv(kDefaultWindowWidth, dpi, 96);
    const LONG height = MulDiv(kDefaultWindowHeight, dpi, 96);
    const LONG left = workArea.left + (workArea.right - workArea.left - width) / 2;
    const LONG top = workArea.top + (workArea.bottom - workArea.top - height) / 2;
    return FitInto({left, top, left + width, top + height}, workArea);
}

StoredPlacement ReadStoredPlacement() {
    StoredPlacement p;
    const int width = ReadSettingInt(L"WindowWidth", 0);
    const int height = ReadSettingInt(L"WindowHeight", 0);
    p.dpi = ReadSettingInt(L"WindowDpi", 96);
    if (width <= 0 || height <= 0 || width > 100000 || height > 100000 || p.dpi < 48 || p.dpi > 1000)
        return p;
    const int left = ReadSettingInt(L"WindowLeft", 0);
    const int top = ReadSettingInt(L"WindowTop", 0);
    p.normal = {left, top, left + width, top + height};
    p.maximized = ReadSettingInt(L"WindowMaximized", 0) != 0;
    p.valid = true;
    return p;
}

void WriteStoredPlacement(HWND window, int dpi) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement))
        return;
    RECT r{};
    if (IsZoomed(window) || IsIconic(window)) {
        // The normal place is given in work-area coordinates of the
        // primary monitor; the stored place is in screen coordinates.
        r = placement.rcNormalPosition;
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        OffsetRect(&r, work.left, work.top);
    } else {
        GetWindowRect(window, &r);
    }
    WriteSettingInt(L"WindowLeft", r.left);
    WriteSettingInt(L"WindowTop", r.top);
    WriteSettingInt(L"WindowWidth", r.right - r.left);
    WriteSettingInt(L"WindowHeight", r.bottom - r.top);
    WriteSettingInt(L"WindowMaximized", placement.showCmd == SW_SHOWMAXIMIZED || IsZoomed(window));
    WriteSettingInt(L"WindowDpi", dpi);
}

RECT PlacedRect(const StoredPlacement& stored, const RECT& workArea, int dpi) {
    const LONG width = MulDiv(stored.normal.right - stored.normal.left, dpi, stored.dpi);
    const LONG height = MulDiv(stored.normal.bottom - stored.normal.top, dpi, stored.dpi);
    return FitInto({stored.normal.left, stored.normal.top, stored.normal.left + width, stored.normal.top + height},
                   workArea);
}
