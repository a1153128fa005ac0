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

    // The pattern to list a directory with: the one pattern of a list that
    // excludes no files (so that a single pattern is matched by the system
    // exactly as before), "*.*" otherwise.
    const std::wstring& EnumerationPattern() const { return enumeration; }
    // True when every file the enumeration pattern lists is taken.
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
    std::wstring enumeration;
    bool plain = true;
};

// `name` matches `pattern` ("*" any run, "?" any one character) with letter
// case ignored, both given in upper case. As on the system, "*.*" takes every
// name and a final ".*" also takes a name without an extension.
bool MatchesWildcard(const wchar_t* pattern, const wchar_t* name);
