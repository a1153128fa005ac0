// The editor that opens a row at its first hit: its command line, and the
// editors found installed that the Options offer ready-made.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// `editor` with %1 replaced by `path` and %2 by `line` ("%%" is one "%");
// without a %1 the path is added at the end, quoted.
std::wstring EditorCommandLine(const std::wstring& editor, const std::wstring& path, int line);

// Editors installed below the given program folders (the system's program
// folders and the user's own), as name and command line. None is required.
std::vector<std::pair<std::wstring, std::wstring>> FindEditors(const std::vector<std::wstring>& programFolders);
// The same for this machine's program folders.
std::vector<std::pair<std::wstring, std::wstring>> InstalledEditors();

// Opens `path` in `editor` at `line` (a command line as above), or, without
// an editor, with the program the system opens it with; says why when the
// editor cannot be started.
void OpenFileAtLine(HWND owner, const std::wstring& editor, const std::wstring& path, int line);
