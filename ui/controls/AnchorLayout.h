// Keeps child controls anchored to their parent's right and bottom edges.
#pragma once

#include <windows.h>

#include <vector>

enum AnchorFlags : int {
    AnchorRight = 1,    // follows the right edge (moves, or stretches with StretchWidth)
    AnchorBottom = 2,   // follows the bottom edge (moves, or stretches with StretchHeight)
    StretchWidth = 4,   // only together with AnchorRight
    StretchHeight = 8,  // only together with AnchorBottom
};

// Where a child goes when its parent's client area becomes `parentWidth` x
// `parentHeight`. `current` is the child's rectangle now; the recorded
// values were taken when it was added. An axis without its anchor flag keeps
// the current position and size.
RECT AnchoredRect(int flags, const RECT& current, int recordedLeft, int recordedTop,
                  int rightMargin, int bottomMargin, int parentWidth, int parentHeight);

class AnchorLayout {
public:
    AnchorLayout() = default;
    ~AnchorLayout();
    AnchorLayout(const AnchorLayout&) = delete;
    AnchorLayout& operator=(const AnchorLayout&) = delete;

    // Subclasses `parent` so that its WM_SIZE places the children first.
    void Attach(HWND parent);
    void AddChild(HWND child, int flags);
    void AddDialogItem(int controlId, int flags);
    // Moves and sizes every child in one deferred batch.
    void Apply();

private:
    struct Child {
        HWND hwnd;
        int flags;
        int left, top, rightMargin, bottomMargin;
    };
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);

    HWND parent = nullptr;
    std::vector<Child> children;  // newest last
};
