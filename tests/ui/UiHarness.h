// Drives the real window program in-process: a registry of its own, the
// application object, its loop, keys through the system's input queue.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "app/MirlockApp.h"

class ResultListBox;
class SearchControls;

// HKEY_CURRENT_USER redirected to a fresh key for the sandbox's lifetime, so
// that the machine's own settings are never touched.
class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // Values of the settings key, read past the redirection.
    bool HasValue(const wchar_t* name) const;
    DWORD ReadInt(const wchar_t* name) const;
    std::wstring ReadString(const wchar_t* name) const;
    void WriteInt(const wchar_t* name, DWORD value) const;
    void WriteString(const wchar_t* name, const std::wstring& text) const;
    int ValueCount() const;

private:
    HKEY SettingsKey() const;
    std::wstring path;
    HKEY root = nullptr;
};

class AppHarness {
public:
    AppHarness();
    ~AppHarness();

    bool Start(const wchar_t* commandLine = L"", int showCommand = SW_SHOW);
    // Destroys the main window (as Exit does) and runs the loop to its end.
    void Close();

    // Runs the loop until `done` holds or `timeoutMs` passes; false on timeout.
    bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 20000);
    // Runs the loop until it has nothing left to do.
    void PumpIdle();
    // Presses the "Search" button and runs the loop until the search ended.
    bool Search();

    MirlockApp& App() { return *app; }
    HWND Main() const { return app->MainHandle(); }
    HWND Panel() const;
    HWND Control(int id) const { return GetDlgItem(Panel(), id); }
    ResultListBox& List() const;
    SearchControls& Controls() const;
    std::wstring StatusText() const;
    std::wstring Text(HWND window) const;

    void SetText(int id, const std::wstring& text) const;
    void Click(int id) const;
    void Command(int id) const;
    // Presses the keys in order and lets them go in reverse, through the
    // system's input, then runs the loop.
    void Keys(std::initializer_list<WORD> keys);
    // Types characters into the window with the focus.
    void Type(const std::wstring& text);

    // Clicks header item `item` of the result list with the mouse, as a user does.
    void ClickHeader(int item);

    // The texts of the rows' Name column, in row order.
    std::vector<std::wstring> RowNames() const;

    bool quit = false;

private:
    void SendAndPump(std::vector<INPUT>& inputs);
    std::unique_ptr<MirlockApp> app;
};

// Runs `action` on the UI thread as soon as a modal loop (a dialog opened by
// the code under test) is running; `action` gets the dialog's handle.
void WhenDialogOpens(const wchar_t* caption, std::function<void(HWND)> action);
// Forgets an action that no dialog came for.
void StopWatchingDialogs();

// The entries of a combo box's list, in order.
std::vector<std::wstring> ComboEntries(HWND combo);

// The clipboard's Unicode text.
std::wstring ClipboardText();
void SetClipboardText(const std::wstring& text);

// A file's name in the build folder, for screenshots.
std::wstring BuildFolderFile(const std::wstring& name);
