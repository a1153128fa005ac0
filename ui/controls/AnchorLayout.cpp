// Anchored placement of child controls, applied on the parent's WM_SIZE.
#include "ui/controls/AnchorLayout.h"

#include <commctrl.h>

#include "ui/controls/Window.h"

RECT AnchoredRect(int flags, const RECT& current, int recordedLeft, int recordedTop,
                  int rightMargin, int bottomMargin, int parentWidth, int parentHeight) {
    RECT r = current;
    if (flags & AnchorRight) {
        if (flags & StretchWidth) {
            r.left = recordedLeft;
            r.right = parentWidth - rightMargin;
            if (r.right < r.left)
                r.right = r.left;
        } else {
            const int width = current.right - current.left;
            r.right = parentWidth - rightMargin;
            r.left = r.right - width;
        }
    }
    if (flags & AnchorBottom) {
        if (flags & StretchHeight) {
            r.top = recordedTop;
            r.bottom = parentHeight - bottomMargin;
            if (r.bottom < r.top)
                r.bottom = r.top;
        } else {
            const int height = current.bottom - current.top;
            r.bottom = parentHeight - bottomMargin;
            r.top = r.bottom - height;
        }
    }
    return r;
}

AnchorLayout::~AnchorLayout() {
    if (parent && IsWindow(parent))
        RemoveWindowSubclass(parent, SubclassProc, reinterpret_cast<UINT_PTR>(this));
}

void AnchorLayout::Attach(HWND newParent) {
    parent = newParent;
    SetWindowSubclass(parent, SubclassProc, reinterpret_cast<UINT_PTR>(this),
                      reinterpret_cast<DWORD_PTR>(this));
}

void AnchorLayout::AddChild(HWND child, int flags) {
    if (!parent || !child)
        return;
    RECT client{};
    GetClientRect(parent, &client);
    const RECT r = ChildRectInParent(child, parent);
    children.push_back({child, flags, r.left, r.top, client.right - r.right, client.bottom - r.bottom});
}

void AnchorLayout::AddDialogItem(int controlId, int flags) {
    AddChild(GetDlgItem(parent, controlId), flags);
}

void AnchorLayout::Apply() {
    if (!parent || children.empty())
        return;
    RECT client{};
    GetClientRect(parent, &client);
    HDWP batch = BeginDeferWindowPos(static_cast<int>(children.size()));
    if (!batch)
        return;
    // Newest first, as the children were recorded.
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        const RECT now = ChildRectInParent(it->hwnd, parent);
        const RECT r = AnchoredRect(it->flags, now, it->left, it->top, it->rightMargin,
                                    it->bottomMargin, client.right, client.bottom);
        batch = DeferWindowPos(batch, it->hwnd, nullptr, r.left, r.top, r.right - r.left,
                               r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
        if (!batch)
            return;  // the batch is gone; the rest keep their place until the next resize
    }
    EndDeferWindowPos(batch);
    // Group boxes and labels do not erase what they leave behind when they
    // shrink or move: the parent and all its children are painted afresh.
    RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

LRESULT CALLBACK AnchorLayout::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR id, DWORD_PTR data) {
    auto* layout = reinterpret_cast<AnchorLayout*>(data);
    if (message == WM_SIZE) {
        layout->Apply();
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, SubclassProc, id);
        layout->parent = nullptr;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}
