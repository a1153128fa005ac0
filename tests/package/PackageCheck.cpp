// Installs the MSI silently in this Wine prefix, checks what it put where,
// starts the installed program the way Explorer's "Search with Mirlock"
// does, uninstalls silently and checks that nothing of the installer stays.
//   mirlock-package-check MSI VERSION [NEWER_MSI NEWER_VERSION]
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

int failures = 0;

void Check(bool ok, const std::wstring& what) {
    wprintf(L"%ls %ls\n", ok ? L"ok  " : L"FAIL", what.c_str());
    if (!ok)
        ++failures;
}

DWORD Run(std::wstring commandLine, DWORD waitMs = 120000) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 0xFFFFFFFF;
    WaitForSingleObject(process.hProcess, waitMs);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

std::wstring KnownFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring RegistryString(HKEY root, const std::wstring& key, const wchar_t* name) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &opened) != ERROR_SUCCESS)
        return L"";
    wchar_t value[1024] = {};
    DWORD bytes = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    const LONG status = RegQueryValueExW(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
    RegCloseKey(opened);
    return status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) ? value : L"";
}

bool KeyExists(HKEY root, const std::wstring& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

const wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The uninstall entry whose display name is "Mirlock", or ""; `count`
// gets the number of such entries.
std::wstring UninstallEntry(int* count = nullptr) {
    HKEY list = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstall, 0, KEY_READ | KEY_WOW64_64KEY, &list) != ERROR_SUCCESS)
        return L"";
    std::wstring found;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(list, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (RegistryString(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + L"\\" + name, L"DisplayName") == L"Mirlock") {
            found = std::wstring(kUninstall) + L"\\" + name;
            if (count)
                ++*count;
        }
    }
    RegCloseKey(list);
    return found;
}

std::wstring ShortcutTarget(const std::wstring& link) {
    IShellLinkW* shell = nullptr;
    std::wstring target;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shell))))
        return target;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t path[MAX_PATH] = {};
        if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)) && SUCCEEDED(shell->GetPath(path, MAX_PATH, nullptr, 0)))
            target = path;
        file->Release();
    }
    shell->Release();
    return target;
}

struct Found {
    DWORD process;
    HWND window;
};

BOOL CALLBACK FindMain(HWND window, LPARAM data) {
    auto* found = reinterpret_cast<Found*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == found->process && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == nullptr) {
        found->window = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindLookIn(HWND child, LPARAM data) {
    if (GetDlgCtrlID(child) == 1013) {  // the "Look in" field
        *reinterpret_cast<HWND*>(data) = child;
        return FALSE;
    }
    return TRUE;
}

// Starts `commandLine` and returns the text of its "Look in" field; closes it.
std::wstring LookInOfStartedWindow(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return L"<not started>";
    Found found{process.dwProcessId, nullptr};
    for (int i = 0; i < 300 && !found.window; ++i) {
        Sleep(100);
        EnumWindows(FindMain, reinterpret_cast<LPARAM>(&found));
    }
    std::wstring text = L"<no window>";
    if (found.window) {
        HWND lookIn = nullptr;
        for (int i = 0; i < 50 && !lookIn; ++i) {
            EnumChildWindows(found.window, FindLookIn, reinterpret_cast<LPARAM>(&lookIn));
            if (!lookIn)
                Sleep(100);
        }
        wchar_t value[1024] = {};
        if (lookIn)
            SendMessageTimeoutW(lookIn, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(value), SMTO_ABORTIFHUNG, 5000, nullptr);
        text = value;
        PostMessageW(found.window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3 && argc != 5) {
        fwprintf(stderr, L"usage: mirlock-package-check MSI VERSION [NEWER_MSI NEWER_VERSION]\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring msi = argv[1];
    const std::wstring version = argv[2];

    // A run that stopped half-way may have left an installation behind.
    const std::wstring earlier = UninstallEntry();
    if (!earlier.empty())
        Run(L"msiexec /x " + earlier.substr(earlier.rfind(L'\\') + 1) + L" /qn");

    Check(Run(L"msiexec /i \"" + msi + L"\" /qn") == 0, L"silent install");
    const std::wstring folder = KnownFolder(CSIDL_PROGRAM_FILES) + L"\\Mirlock\\";
    for (const wchar_t* file : {L"mirlock.exe", L"mirlock-cli.exe", L"mirlock-filterhost.exe", L"README.txt", L"LICENSE.txt"})
        Check(Exists(folder + file), folder + file);
    // Wine puts a per-machine shortcut in the user's Start menu; Windows in
    // the common one. Either holds the one shortcut.
    std::wstring link = KnownFolder(CSIDL_COMMON_PROGRAMS) + L"\\Mirlock.lnk";
    if (!Exists(link))
        link = KnownFolder(CSIDL_PROGRAMS) + L"\\Mirlock.lnk";
    Check(Exists(link), L"Start-menu shortcut " + link);
    Check(_wcsicmp(ShortcutTarget(link).c_str(), (folder + L"mirlock.exe").c_str()) == 0,
          L"the shortcut starts " + ShortcutTarget(link));
    const std::wstring entry = UninstallEntry();
    Check(!entry.empty(), L"installed-programs entry " + entry);
    Check(RegistryString(HKEY_LOCAL_MACHINE, entry, L"DisplayVersion") == version, L"its version " + version);
    Check(RegistryString(HKEY_LOCAL_MACHINE, entry, L"Publisher") == L"Tovan", L"its publisher Tovan");

    const std::wstring quoted = L"\"" + folder + L"mirlock.exe\"";
    Check(RegistryString(HKEY_CLASSES_ROOT, L"Directory\\shell\\Mirlock", nullptr) == L"Search with Mirlock",
          L"folder context menu");
    const std::wstring folderCommand = RegistryString(HKEY_CLASSES_ROOT, L"Directory\\shell\\Mirlock\\command", nullptr);
    Check(folderCommand == quoted + L" \"%1\"", L"its command " + folderCommand);
    Check(RegistryString(HKEY_CLASSES_ROOT, L"Directory\\Background\\shell\\Mirlock", nullptr) == L"Search with Mirlock",
          L"folder background context menu");
    const std::wstring backgroundCommand =
        RegistryString(HKEY_CLASSES_ROOT, L"Directory\\Background\\shell\\Mirlock\\command", nullptr);
    Check(backgroundCommand == quoted + L" \"%V\"", L"its command " + backgroundCommand);

    // Explorer's way: the folder put in place of %1, quotes and all.
    const std::wstring project = KnownFolder(CSIDL_PERSONAL) + L"\\Client Projects 2026";
    CreateDirectoryW(project.c_str(), nullptr);
    std::wstring command = folderCommand;
    const size_t at = command.find(L"%1");
    if (at != std::wstring::npos)
        command.replace(at, 2, project);
    const std::wstring lookIn = LookInOfStartedWindow(command);
    Check(lookIn == project, L"\"Look in\" holds the folder: " + lookIn);
    Check(KeyExists(HKEY_CURRENT_USER, L"Software\\Tovan\\Mirlock"), L"the user's settings key was written");

    std::wstring installed = msi;
    if (argc == 5) {
        // A newer build installed over this one replaces it.
        Check(Run(L"msiexec /i \"" + std::wstring(argv[3]) + L"\" /qn") == 0, L"silent install of a newer build");
        int entries = 0;
        const std::wstring newer = UninstallEntry(&entries);
        Check(entries == 1 && RegistryString(HKEY_LOCAL_MACHINE, newer, L"DisplayVersion") == argv[4],
              L"one entry, of the newer version " + std::wstring(argv[4]));
        Check(Exists(folder + L"mirlock.exe"), L"the program is still there");
        installed = argv[3];
    }
    Check(Run(L"msiexec /x \"" + installed + L"\" /qn") == 0, L"silent uninstall");
    Check(!Exists(folder), L"no installation folder left");
    Check(!Exists(KnownFolder(CSIDL_COMMON_PROGRAMS) + L"\\Mirlock.lnk") && !Exists(KnownFolder(CSIDL_PROGRAMS) + L"\\Mirlock.lnk"),
          L"no shortcut left");
    Check(UninstallEntry().empty(), L"no installed-programs entry left");
    Check(!KeyExists(HKEY_CLASSES_ROOT, L"Directory\\shell\\Mirlock") &&
              !KeyExists(HKEY_CLASSES_ROOT, L"Directory\\Background\\shell\\Mirlock"),
          L"no context-menu keys left");
    Check(!KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Tovan\\Mirlock"), L"no installer key left");
    Check(KeyExists(HKEY_CURRENT_USER, L"Software\\Tovan\\Mirlock"), L"the user's settings key stays");
    RemoveDirectoryW(project.c_str());
    wprintf(L"%d failures\n", failures);
    return failures ? 1 : 0;
}
