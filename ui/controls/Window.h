// The base of every window object, the map from window handle to object and
// the two shared procedures that route messages to the objects.
#pragma once

#include <windows.h>

#include <string>

#include "base/ResourceText.h"

class Window {
public:
    virtual ~Window() = default;

    // The object's window procedure; when it returns true, the routing
    // returns `result`.
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) = 0;
    // Creation of the window's children; called by HandleMessage on the
    // creation message.
    virtual bool OnCreate(const CREATESTRUCTW* create, LRESULT* result);

    HWND hwnd = nullptr;
};

// The process-wide map from window handle to object (UI thread only).
namespace WindowMap {
void Add(HWND hwnd, Window* object);
void Remove(HWND hwnd);
Window* Find(HWND hwnd);
}  // namespace WindowMap

// The window procedure of every window class of the program and of the
// subclassed "Look in" combo box. The object arrives with WM_CREATE.
LRESULT CALLBACK SharedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The dialog procedure of the search panel: the object arrives with
// WM_INITDIALOG and sees it as message 1 with no parameters.
INT_PTR CALLBACK SharedDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// `child`'s window rectangle in `parent`'s client coordinates.
RECT ChildRectInParent(HWND child, HWND parent);

// The dots per inch in force for `hwnd` (96 at 100 %).
int WindowDpi(HWND hwnd);

// Puts `text` on the clipboard as Unicode text; nothing when the clipboard
// cannot be opened.
void PutTextOnClipboard(HWND owner, const std::wstring& text);

// A message box over `owner` with string `id` formatted with `subject`
// (%1) and the error's text (%2), titled as the program.
void ShowFailure(HWND owner, unsigned id, const std::wstring& subject, DWORD error);

// A size given in pixels at 96 DPI, in pixels at `dpi`.
inline int ScalePixels(int pixels, int dpi) { return MulDiv(pixels, dpi, 96); }
