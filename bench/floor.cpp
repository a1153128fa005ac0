// The least any Windows program must spend on a search: walk the tree with
// FindFirstFileW/FindNextFileW and read every file whole with CreateFileW and
// ReadFile, doing nothing with the bytes. With --walk-only the files are not
// opened (the floor of a listing). With -j N the walk lists the files and N
// threads read them (the floor of a search with N workers).
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Totals {
    unsigned long long files = 0;
    unsigned long long bytes = 0;
};

void ReadWhole(const std::wstring& path, std::vector<char>& buffer, Totals& totals) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    LARGE_INTEGER size;
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0) {
        if (buffer.size() < static_cast<size_t>(size.QuadPart))
            buffer.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        if (ReadFile(file, buffer.data(), static_cast<DWORD>(size.QuadPart), &got, nullptr))
            totals.bytes += got;
    }
    CloseHandle(file);
}

// Lists every file below `dir` (for the threads to read).
void List(const std::wstring& dir, std::vector<std::wstring>& paths) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((dir + L"*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name != L"." && name != L"..")
                List(dir + name + L"\\", paths);
        } else {
            paths.push_back(dir + name);
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

void ReadInParallel(const std::wstring& root, int threads, Totals& totals) {
    std::vector<std::wstring> paths;
    List(root, paths);
    std::atomic<size_t> next{0};
    std::atomic<unsigned long long> bytes{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&] {
            std::vector<char> buffer;
            Totals mine;
            for (size_t i; (i = next++) < paths.size();) ReadWhole(paths[i], buffer, mine);
            bytes += mine.bytes;
        });
    }
    for (auto& t : pool) t.join();
    totals.files = paths.size();
    totals.bytes = bytes;
}

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
        if (read)
            ReadWhole(dir + name, buffer, totals);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool read = true;
    int threads = 1;
    std::wstring root;
    for (int i = 1; i < argc; ++i) {
        if (std::wstring(argv[i]) == L"--walk-only")
            read = false;
        else if (std::wstring(argv[i]) == L"-j" && i + 1 < argc)
            threads = _wtoi(argv[++i]);
        else
            root = argv[i];
    }
    if (root.empty() || threads < 1) {
        fputs("usage: mirlock-floor [--walk-only] [-j THREADS] FOLDER\n", stderr);
        return 2;
    }
    if (root.back() != L'\\')
        root += L'\\';
    std::vector<char> buffer;
    Totals totals;
    if (read && threads > 1)
        ReadInParallel(root, threads, totals);
    else
        Walk(root, read, buffer, totals);
    printf("%llu files, %llu bytes\n", totals.files, totals.bytes);
    return 0;
}
