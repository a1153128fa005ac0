// The "File name" field as a list: patterns separated by ";", spaces around
// them ignored; "-pattern" leaves matching files out and "-name\" matching
// folders (with all they hold). Without any pattern to take, every file.
#pragma once

#include <string>
#include <vector>

class FileNameFilter {
public:
    FileNameFilter() { Parse(L""); }
    void Parse(const wchar_t* list);

    // The first pattern that names a folder ("sub\*.txt", "..\*"), which
    // the list cannot take; empty when there is none.
    const std::wstring& Refused() const { return refused; }
    // True when the list takes every file.
    bool IsPlain() const { return plain; }
    // A file name the list takes.
    bool TakesFile(const wchar_t* name) const;
    // A folder name the list leaves out.
    bool ExcludesFolder(const wchar_t* name) const;
    bool ExcludesFolders() const { return !folderExcludes.empty(); }

private:
    std::vector<std::wstring> includes;  // upper case, as are the others
    std::vector<std::wstring> fileExcludes;
    std::vector<std::wstring> folderExcludes;
    std::wstring refused;
    bool plain = true;
};

// `name` matches `pattern` ("*" any run, "?" any one character) with letter
// case ignored, both given in upper case. As on the system, "*.*" takes every
// name, a final ".*" also takes a name without an extension, and a final "."
// stands for no extension ("*." takes "README", not "a.txt").
bool MatchesWildcard(const wchar_t* pattern, const wchar_t* name);
