// The window-test harness.
#include "tests/ui/UiHarness.h"

#include <commctrl.h>

#include <cwchar>

#include "base/SearchRecords.h"
#include "base/Settings.h"
#include "ui/ResultListBox.h"
#include "ui/SearchControls.h"

RegistrySandbox::RegistrySandbox() {
    static int serial = 0;
    path = L"Software\\MirlockTests\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++serial);
    // A run that was killed leaves its key behind, and process ids come back.
    RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root,
                    nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, root);
}

RegistrySandbox::~RegistrySandbox() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (root)
        RegCloseKey(root);
    RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
}

HKEY RegistrySandbox::SettingsKey() const {
    HKEY key = nullptr;
    RegCreateKeyExW(root, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

bool RegistrySandbox::HasValue(const wchar_t* name) const {
    HKEY key = SettingsKey();
    const bool has = RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return has;
}

DWORD RegistrySandbox::ReadInt(const wchar_t* name) const {
    HKEY key = SettingsKey();
    DWORD value = 0xDEADBEEF, size = sizeof value;
    RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return value;
}

std::wstring RegistrySandbox::ReadString(const wchar_t* name) const {
    HKEY key = SettingsKey();
    wchar_t text[1024] = {};
    DWORD size = sizeof text - sizeof(wchar_t);
    RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return text;
}

void RegistrySandbox::WriteInt(const wchar_t* name, DWORD value) const {
    HKEY key = SettingsKey();
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

void RegistrySandbox::WriteString(const wchar_t* name, const std::wstring& text) const {
    HKEY key = SettingsKey();
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

int RegistrySandbox::ValueCount() const {
    HKEY key = SettingsKey();
    DWORD count = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return static_cast<int>(count);
}

AppHarness::AppHarness() : app(std::make_unique<MirlockApp>()) {}

AppHarness::~AppHarness() { Close(); }

bool AppHarness::Start(const wchar_t* commandLine, int showCommand) {
    if (!app->InitApplication(GetModuleHandleW(nullptr), commandLine, showCommand))
        return false;
    SetForegroundWindow(Main());
    PumpIdle();
    return true;
}

void AppHarness::Close() {
    if (!app)
        return;
    if (Main() && IsWindow(Main())) {
        DestroyWindow(Main());
        PumpUntil([this] { return quit; }, 5000);
    }
    app.reset();
}

bool AppHarness::PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done())
            return true;
        if (GetTickCount64() > end)
            return false;
        int exitCode = 0;
        const auto turn = app->RunLoopTurn(&exitCode);
        if (turn == MirlockApp::LoopTurn::kQuit)
            quit = true;
        else if (turn == MirlockApp::LoopTurn::kIdle)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

void AppHarness::PumpIdle() {
    // Idle three turns in a row: what was posted or painted has been handled.
    int idle = 0;
    const ULONGLONG end = GetTickCount64() + 10000;
    while (idle < 3 && GetTickCount64() < end) {
        int exitCode = 0;
        const auto turn = app->RunLoopTurn(&exitCode);
        if (turn == MirlockApp::LoopTurn::kQuit)
            quit = true;
        if (turn == MirlockApp::LoopTurn::kIdle) {
            ++idle;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        } else {
            idle = 0;
        }
    }
}

bool AppHarness::Search() {
    Click(IDOK);
    const bool ended = PumpUntil([this] { return !app->IsSearching(); }, 60000);
    PumpIdle();
    return ended;
}

HWND AppHarness::Panel() const { return app->MainWindow()->PanelWindow(); }
ResultListBox& AppHarness::List() const { return *app->MainWindow()->ResultList(); }
SearchControls& AppHarness::Controls() const { return *app->MainWindow()->Panel(); }

std::wstring AppHarness::Text(HWND window) const {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

std::wstring AppHarness::StatusText() const { return Text(app->MainWindow()->StatusBar()); }

void AppHarness::SetText(int id, const std::wstring& text) const {
    SetWindowTextW(Control(id), text.c_str());
}

void AppHarness::Click(int id) const { SendMessageW(Control(id), BM_CLICK, 0, 0); }

void AppHarness::Command(int id) const { SendMessageW(Main(), WM_COMMAND, id, 0); }

namespace {

// Key messages this thread has taken from its queue so far.
int keyMessagesSeen = 0;
LRESULT CALLBACK CountKeys(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION)
        ++keyMessagesSeen;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

// Sends the input and runs the loop until every key message has been taken
// from the queue (input reaches the queue by way of the X server), then
// until the loop is idle.
void AppHarness::SendAndPump(std::vector<INPUT>& inputs) {
    // Keys go to the window with the focus in the foreground window. On a
    // busy machine the display server's word on a focus change made before
    // (or on which window is in front) can arrive late and move the focus
    // again: wait until the state the test set up holds, then send.
    HWND intended = GetFocus();
    HWND top = intended ? GetAncestor(intended, GA_ROOT) : Main();
    PumpIdle();
    PumpUntil(
        [&] {
            if (top && GetForegroundWindow() != top)
                SetForegroundWindow(top);
            if (intended && IsWindow(intended) && GetFocus() != intended)
                SetFocus(intended);
            return (!top || GetForegroundWindow() == top) && (!intended || GetFocus() == intended);
        },
        5000);
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD, CountKeys, nullptr, GetCurrentThreadId());
    keyMessagesSeen = 0;
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    const int expected = static_cast<int>(inputs.size());
    // A busy machine can take seconds to bring input through the display
    // server: wait for every key, not for a guess of how long they take.
    PumpUntil([&] { return keyMessagesSeen >= expected; }, 60000);
    UnhookWindowsHookEx(hook);
    PumpIdle();
}

void AppHarness::Keys(std::initializer_list<WORD> keys) {
    std::vector<INPUT> inputs;
    for (WORD k : keys) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = k;
        inputs.push_back(in);
    }
    for (auto it = keys.end(); it != keys.begin();) {
        --it;
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = *it;
        in.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(in);
    }
    SendAndPump(inputs);
}

void AppHarness::Type(const std::wstring& text) {
    std::vector<INPUT> inputs;
    for (wchar_t c : text) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wScan = c;
        in.ki.dwFlags = KEYEVENTF_UNICODE;
        inputs.push_back(in);
        in.ki.dwFlags |= KEYEVENTF_KEYUP;
        inputs.push_back(in);
    }
    SendAndPump(inputs);
}

std::vector<std::wstring> AppHarness::RowNames() const {
    std::vector<std::wstring> names;
    for (int i = 0; i < List().RowCount(); ++i)
        names.push_back(List().RowResult(i)->name);
    return names;
}

namespace {

struct PendingDialog {
    std::wstring caption;
    std::function<void(HWND)> action;
};

PendingDialog& Pending() {
    static PendingDialog pending;
    return pending;
}

UINT_PTR watchTimer = 0;

void CALLBACK LookForDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM found) -> BOOL {
            wchar_t cls[32] = {}, caption[256] = {};
            GetClassNameW(w, cls, 32);
            GetWindowTextW(w, caption, 256);
            if (wcscmp(cls, L"#32770") == 0 && IsWindowVisible(w) &&
                (Pending().caption.empty() || Pending().caption == caption)) {
                *reinterpret_cast<HWND*>(found) = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&dialog));
    if (!dialog)
        return;
    KillTimer(nullptr, timer);
    watchTimer = 0;
    auto action = std::move(Pending().action);
    Pending().action = nullptr;
    if (action)
        action(dialog);
}

}  // namespace

void WhenDialogOpens(const wchar_t* caption, std::function<void(HWND)> action) {
    Pending().caption = caption;
    Pending().action = std::move(action);
    watchTimer = SetTimer(nullptr, 0, 20, LookForDialog);
}

void StopWatchingDialogs() {
    if (watchTimer)
        KillTimer(nullptr, watchTimer);
    watchTimer = 0;
    Pending().action = nullptr;
}

std::wstring ClipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr))
        return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = p;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void SetClipboardText(const std::wstring& text) {
    if (!OpenClipboard(nullptr))
        return;
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(block), text.c_str(), bytes);
    GlobalUnlock(block);
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
}

std::wstring BuildFolderFile(const std::wstring& name) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path = path.substr(0, path.find_last_of(L'\\'));          // bin
    return path.substr(0, path.find_last_of(L'\\') + 1) + name;  // the build folder
}

void AppHarness::ClickHeader(int item) {
    HWND header = List().Header();
    RECT r{};
    SendMessageW(header, HDM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(header, WM_LBUTTONUP, 0, at);
    PumpIdle();
}

std::vector<std::wstring> ComboEntries(HWND combo) {
    std::vector<std::wstring> entries;
    const int n = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
        std::wstring text(length > 0 ? static_cast<size_t>(length) : 0, L'\0');
        if (length > 0)
            SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        entries.push_back(text);
    }
    return entries;
}
