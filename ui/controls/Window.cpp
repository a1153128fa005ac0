// Message routing from window handles to window objects.
#include "ui/controls/Window.h"

#include "base/ResourceText.h"

#include <cstring>

#include <map>

bool Window::OnCreate(const CREATESTRUCTW*, LRESULT*) { return false; }

namespace {

std::map<HWND, Window*>& Map() {
    static std::map<HWND, Window*> map;
    return map;
}

}  // namespace

void WindowMap::Add(HWND hwnd, Window* object) { Map()[hwnd] = object; }

void WindowMap::Remove(HWND hwnd) { Map().erase(hwnd); }

Window* WindowMap::Find(HWND hwnd) {
    auto it = Map().find(hwnd);
    return it == Map().end() ? nullptr : it->second;
}

LRESULT CALLBACK SharedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        if (auto* object = static_cast<Window*>(create->lpCreateParams)) {
            object->hwnd = hwnd;
            WindowMap::Add(hwnd, object);
        }
    }
    Window* object = WindowMap::Find(hwnd);
    if (message == WM_NCDESTROY)
        WindowMap::Remove(hwnd);  // the object still sees this last message
    LRESULT result = 0;
    if (object && object->HandleMessage(message, wParam, lParam, &result))
        return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

INT_PTR CALLBACK SharedDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* object = reinterpret_cast<Window*>(lParam);
        if (!object)
            return TRUE;
        object->hwnd = hwnd;
        WindowMap::Add(hwnd, object);
        LRESULT result = TRUE;
        object->HandleMessage(1, 0, 0, &result);
        return result;
    }
    Window* object = WindowMap::Find(hwnd);
    if (message == WM_NCDESTROY)
        WindowMap::Remove(hwnd);
    LRESULT result = 0;
    if (!object || !object->HandleMessage(message, wParam, lParam, &result))
        return FALSE;
    switch (message) {
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return static_cast<INT_PTR>(result);
    default:
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
}

RECT ChildRectInParent(HWND child, HWND parent) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

int WindowDpi(HWND hwnd) {
    // GetDpiForWindow exists from Windows 10 on; older systems answer through
    // the device context.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && hwnd) {
        const UINT dpi = getDpiForWindow(hwnd);
        if (dpi >= 48)
            return static_cast<int>(dpi);
    }
    HDC dc = GetDC(nullptr);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc)
        ReleaseDC(nullptr, dc);
    return dpi >= 48 ? dpi : 96;
}

void PutTextOnClipboard(HWND owner, const std::wstring& text) {
    if (!OpenClipboard(owner))
        return;
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* p = GlobalLock(block)) {
            memcpy(p, text.c_str(), bytes);
            GlobalUnlock(block);
            if (!SetClipboardData(CF_UNICODETEXT, block))
                GlobalFree(block);
        } else {
            GlobalFree(block);
        }
    }
    CloseClipboard();
}

void ShowFailure(HWND owner, unsigned id, const std::wstring& subject, DWORD error) {
    std::wstring text;
    if (!FormatResourceText(&text, id, subject.c_str(), SystemErrorText(error).c_str()))
        text = subject + L"\n\n" + SystemErrorText(error);
    MessageBoxW(owner, text.c_str(), L"Mirlock", MB_OK | MB_ICONERROR);
}
