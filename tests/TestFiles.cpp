// Temporary trees under the Wine prefix's temp folder.
#include "tests/TestFiles.h"

#include <windows.h>
#include <shellapi.h>

#include <fstream>

#include "base/LongPath.h"
#include <iterator>
#include <stdexcept>

namespace {

void MakeDirs(const std::wstring& full) {
    for (size_t i = 3; i <= full.size(); ++i) {
        if (i == full.size() || full[i] == L'\\')
            CreateDirectoryW(SystemPath(full.substr(0, i)).c_str(), nullptr);
    }
}

void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(VerbatimPath(dir + L"*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring full = dir + name;
            SetFileAttributesW(VerbatimPath(full).c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full + L"\\");
            else
                DeleteFileW(VerbatimPath(full).c_str());
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(VerbatimPath(dir).c_str());
}

}  // namespace

TempDir::TempDir() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    root = std::wstring(temp) + L"mlt" + std::to_wstring(GetCurrentProcessId()) + L"_" +
           std::to_wstring(++counter) + L"\\";
    // Wine reuses process ids: a folder of this name may be left from a run
    // that was killed. It starts empty.
    RemoveTree(root);
    MakeDirs(root.substr(0, root.size() - 1));
}

TempDir::~TempDir() { RemoveTree(root); }

void TempDir::MakeDir(const std::wstring& relative) const { MakeDirs(root + relative); }

void TempDir::WriteFile(const std::wstring& relative, const std::string& bytes) const {
    const std::wstring full = root + relative;
    const size_t slash = full.find_last_of(L'\\');
    MakeDirs(full.substr(0, slash));
    HANDLE h = CreateFileW(SystemPath(full).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot create test file");
    DWORD done = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(h);
}

std::string ReadWholeFile(const std::wstring& path) {
    HANDLE h = CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return {};
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(h);
    return bytes;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::string Utf16Bytes(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

bool ExtendFile(const std::wstring& path, long long bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    size.QuadPart = bytes;
    const bool ok = SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return ok;
}
