// Editor command lines and the editors found on this machine.
#include "ui/Editors.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "base/LongPath.h"
#include "resource.h"
#include "ui/controls/Window.h"

std::wstring EditorCommandLine(const std::wstring& editor, const std::wstring& path, int line) {
    std::wstring command;
    bool hasPath = false;
    for (size_t i = 0; i < editor.size(); ++i) {
        if (editor[i] == L'%' && i + 1 < editor.size()) {
            const wchar_t next = editor[i + 1];
            if (next == L'1' || next == L'2' || next == L'%') {
                command += next == L'1' ? path : next == L'2' ? std::to_wstring(line) : L"%";
                hasPath = hasPath || next == L'1';
                ++i;
                continue;
            }
        }
        command += editor[i];
    }
    if (!hasPath)
        command += L" \"" + path + L"\"";
    return command;
}

std::vector<std::pair<std::wstring, std::wstring>> FindEditors(const std::vector<std::wstring>& programFolders) {
    struct Known {
        const wchar_t* name;
        const wchar_t* relative;
        const wchar_t* arguments;  // after the quoted program
    };
    static const Known kKnown[] = {
        {L"Notepad++", L"Notepad++\\notepad++.exe", L" -n%2 \"%1\""},
        {L"Visual Studio Code", L"Microsoft VS Code\\Code.exe", L" -g \"%1:%2\""},
    };
    std::vector<std::pair<std::wstring, std::wstring>> found;
    for (const Known& known : kKnown) {
        for (const std::wstring& folder : programFolders) {
            if (folder.empty())
                continue;
            std::wstring program = folder;
            if (program.back() != L'\\')
                program += L'\\';
            program += known.relative;
            const DWORD attributes = GetFileAttributesW(program.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                found.emplace_back(known.name, L"\"" + program + L"\"" + known.arguments);
                break;
            }
        }
    }
    return found;
}

std::vector<std::pair<std::wstring, std::wstring>> InstalledEditors() {
    std::vector<std::wstring> folders;
    for (const wchar_t* variable : {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432"}) {
        wchar_t value[MAX_PATH] = {};
        const DWORD n = GetEnvironmentVariableW(variable, value, MAX_PATH);
        if (n > 0 && n < MAX_PATH)
            folders.push_back(value);
    }
    // Per-user installations live below the user's local application data.
    wchar_t local[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local)))
        folders.push_back(std::wstring(local) + L"\\Programs");
    return FindEditors(folders);
}

void OpenFileAtLine(HWND owner, const std::wstring& editor, const std::wstring& fullPath, int line) {
    // A path past the classic limit goes by its short form, which the
    // programs that open it understand, where it has one.
    const std::wstring path = FittingPath(fullPath);
    if (!editor.empty()) {
        std::wstring command = EditorCommandLine(editor, path, line);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process)) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        } else {
            ShowFailure(owner, IDS_EDITOR_FAILED, command, GetLastError());
        }
        return;
    }
    ShellExecuteW(owner, L"open", path.c_str(), nullptr, L".", SW_SHOWDEFAULT);
}
