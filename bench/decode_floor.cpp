// The least a reader of translation and office files must spend: walk the
// tree, read every file whole, inflate the archive entries that hold the
// text (XLZ, LWO, and the XML parts of office documents), turn UTF-16 TTX
// into UTF-8, and parse every XML document in place with RapidXML under the
// parse flags the converters use — and nothing else: no text is gathered,
// converted, folded or matched. Other files are only read. With -j N the
// walk lists the files and N threads decode them.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <rapidxml/rapidxml.hpp>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/ThreadScratch.h"
#include "converters/readers/Utf8Text.h"
#include "converters/readers/ZipReader.h"

namespace {

struct Totals {
    unsigned long long files = 0;
    unsigned long long bytes = 0;
    unsigned long long parsed = 0;  // XML bytes parsed
    unsigned long long failed = 0;  // documents the parser refused
};

bool EndsWith(const std::wstring& name, const wchar_t* suffix) {
    const size_t n = wcslen(suffix);
    return name.size() > n && _wcsicmp(name.c_str() + name.size() - n, suffix) == 0;
}

// Translation files are parsed trimmed; office parts and TMX as written.
void Parse(char* text, size_t size, bool trimmed, Totals& totals) {
    rapidxml::xml_document<char> document;
    try {
        if (trimmed)
            document.parse<rapidxml::parse_trim_whitespace>(text);
        else
            document.parse<0>(text);
        totals.parsed += size;
    } catch (const rapidxml::parse_error&) {
        ++totals.failed;
    }
}

void ParseEntry(ZipReader& archive, int index, bool trimmed, Totals& totals) {
    ZipEntryData entry;
    if (index < 0 || !archive.ReadEntry(index, &entry))
        return;
    if (char* bytes = entry.TerminatedBytes())
        Parse(bytes, entry.Size(), trimmed, totals);
}

bool IsOfficeDocument(const std::wstring& name) {
    for (const wchar_t* e : {L".docx", L".xlsx", L".pptx", L".odt", L".ods", L".odp"}) {
        if (EndsWith(name, e))
            return true;
    }
    return false;
}

void Decode(const std::wstring& path, const std::wstring& name, std::vector<char>& buffer,
            size_t size, Totals& totals) {
    if (EndsWith(name, L".xlf") || EndsWith(name, L".xliff")) {
        Parse(buffer.data(), size, true, totals);
    } else if (EndsWith(name, L".tmx")) {
        Parse(buffer.data(), size, false, totals);
    } else if (EndsWith(name, L".ttx")) {
        thread_local std::string* utf8Slot = nullptr;
        std::string& utf8 = ThreadScratch(utf8Slot);
        const auto* units = reinterpret_cast<const wchar_t*>(buffer.data());
        const size_t skip = size >= 2 && units[0] == 0xFEFF ? 1 : 0;
        Utf16ToUtf8(units + skip, wcsnlen(units + skip, size / 2 - skip), &utf8);
        Parse(utf8.data(), utf8.size(), true, totals);
    } else if (EndsWith(name, L".xlz") || EndsWith(name, L".lwo")) {
        ZipReader archive;
        if (archive.Open(path.c_str()))
            ParseEntry(archive, EndsWith(name, L".xlz") ? archive.FindEntry(L"*.xlf", 0) : 0, true,
                       totals);
    } else if (IsOfficeDocument(name)) {
        // Every XML part and relationship list of the package.
        ZipReader archive;
        if (!archive.Open(path.c_str()))
            return;
        for (int i = 0; i < archive.EntryCount(); ++i) {
            const std::string part = archive.EntryName(i);
            if ((part.size() > 4 && part.compare(part.size() - 4, 4, ".xml") == 0) ||
                (part.size() > 5 && part.compare(part.size() - 5, 5, ".rels") == 0))
                ParseEntry(archive, i, false, totals);
        }
    }
}

void ReadAndDecode(const std::wstring& path, const std::wstring& name, std::vector<char>& buffer,
                   Totals& totals) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    LARGE_INTEGER size;
    size_t got = 0;
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0) {
        // Two zero bytes after the data end it as 8-bit and as UTF-16 text.
        if (buffer.size() < static_cast<size_t>(size.QuadPart) + 2)
            buffer.resize(static_cast<size_t>(size.QuadPart) + 2);
        DWORD read = 0;
        if (ReadFile(file, buffer.data(), static_cast<DWORD>(size.QuadPart), &read, nullptr))
            got = read;
        buffer[got] = 0;
        buffer[got + 1] = 0;
        totals.bytes += got;
    }
    CloseHandle(file);
    if (got)
        Decode(path, name, buffer, got, totals);
}

void Walk(const std::wstring& dir, std::vector<char>& buffer, Totals& totals) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((dir + L"*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name != L"." && name != L"..")
                Walk(dir + name + L"\\", buffer, totals);
            continue;
        }
        ++totals.files;
        ReadAndDecode(dir + name, name, buffer, totals);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

// Every file below `dir`: its path and name.
void List(const std::wstring& dir, std::vector<std::pair<std::wstring, std::wstring>>& files) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((dir + L"*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name != L"." && name != L"..")
                List(dir + name + L"\\", files);
        } else {
            files.emplace_back(dir + name, name);
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

void DecodeInParallel(const std::wstring& root, int threads, Totals& totals) {
    std::vector<std::pair<std::wstring, std::wstring>> files;
    List(root, files);
    std::atomic<size_t> next{0};
    std::vector<Totals> each(threads);
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&, t] {
            std::vector<char> buffer;
            for (size_t i; (i = next++) < files.size();)
                ReadAndDecode(files[i].first, files[i].second, buffer, each[t]);
            EndThreadScratch();
        });
    }
    for (auto& t : pool) t.join();
    totals.files = files.size();
    for (const Totals& t : each) {
        totals.bytes += t.bytes;
        totals.parsed += t.parsed;
        totals.failed += t.failed;
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int threads = 1;
    std::wstring root;
    for (int i = 1; i < argc; ++i) {
        if (std::wstring(argv[i]) == L"-j" && i + 1 < argc)
            threads = _wtoi(argv[++i]);
        else
            root = argv[i];
    }
    if (root.empty() || threads < 1) {
        fputs("usage: mirlock-decode-floor [-j THREADS] FOLDER\n", stderr);
        return 2;
    }
    if (root.back() != L'\\')
        root += L'\\';
    std::vector<char> buffer;
    Totals totals;
    if (threads > 1)
        DecodeInParallel(root, threads, totals);
    else
        Walk(root, buffer, totals);
    printf("%llu files, %llu bytes read, %llu XML bytes parsed, %llu documents refused\n",
           totals.files, totals.bytes, totals.parsed, totals.failed);
    return 0;
}
