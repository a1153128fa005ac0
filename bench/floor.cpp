// The least any Windows program must spend on a search: walk the tree with
// FindFirstFileW/FindNextFileW and read every file whole with CreateFileW and
// ReadFile, doing nothing with the bytes. With --walk-only the files are not
// opened (the floor of a listing).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Totals {
    unsigned long long files = 0;
    unsigned long long bytes = 0;
};

void Walk(const std::wstring& dir, bool read, std::vector<char>& buffer, Totals& totals) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((dir + L"*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name != L"." && name != L"..")
                Walk(dir + name + L"\\", read, buffer, totals);
            continue;
        }
        ++totals.files;
        if (!read)
            continue;
        HANDLE file = CreateFileW((dir + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        LARGE_INTEGER size;
        if (GetFileSizeEx(file, &size) && size.QuadPart > 0) {
            if (buffer.size() < static_cast<size_t>(size.QuadPart))
                buffer.resize(static_cast<size_t>(size.QuadPart));
            DWORD got = 0;
            if (ReadFile(file, buffer.data(), static_cast<DWORD>(size.QuadPart), &got, nullptr))
                totals.bytes += got;
        }
        CloseHandle(file);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool read = true;
    std::wstring root;
    for (int i = 1; i < argc; ++i) {
        if (std::wstring(argv[i]) == L"--walk-only")
            read = false;
        else
            root = argv[i];
    }
    if (root.empty()) {
        fputs("usage: mirlock-floor [--walk-only] FOLDER\n", stderr);
        return 2;
    }
    if (root.back() != L'\\')
        root += L'\\';
    std::vector<char> buffer;
    Totals totals;
    Walk(root, read, buffer, totals);
    printf("%llu files, %llu bytes\n", totals.files, totals.bytes);
    return 0;
}
