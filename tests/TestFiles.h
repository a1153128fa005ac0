// A temporary folder tree that the tests build and that is removed afterwards.
#pragma once

#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's full path, ending with a backslash.
    const std::wstring& Path() const { return root; }
    std::wstring operator/(const std::wstring& relative) const { return root + relative; }

    // Creates the sub-folder (and its parents) at `relative`.
    void MakeDir(const std::wstring& relative) const;
    // Writes `bytes` to the file at `relative`, creating parent folders.
    void WriteFile(const std::wstring& relative, const std::string& bytes) const;

private:
    std::wstring root;
};

// Makes the existing file at `path` `bytes` long without writing them (a
// sparse file where the file system allows it).
bool ExtendFile(const std::wstring& path, long long bytes);

// Reads a whole file; empty when it cannot be read.
std::string ReadWholeFile(const std::wstring& path);

// UTF-8 of a wide text, and UTF-16LE bytes of a wide text (no byte-order mark).
std::string Utf8(const std::wstring& text);
std::string Utf16Bytes(const std::wstring& text);
