// The notes a reviewer chose to ignore, kept between passes: by file,
// segment id, check and a hash of the segment's source and target, so that
// a note comes back once either side of its segment changes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

#include "qa/CheckReport.h"

class IgnoreList {
public:
    // A hash of a segment's two sides as shown.
    static uint64_t TextHash(const std::wstring& source, const std::wstring& target);

    // Reads the list from `path`; a file that is not there is an empty list.
    // Lines that cannot be read are passed over. False when the file is there
    // and cannot be read.
    bool Load(const std::wstring& path);
    // Writes the whole list under a new name beside `path` and moves it into
    // place; false with the system's error code.
    bool Save(const std::wstring& path, DWORD* error) const;

    bool Contains(const CheckRow& row) const;
    void Add(const CheckRow& row);
    void Remove(const CheckRow& row);
    size_t Size() const { return entries.size(); }

    // The file the window keeps the list in: "Ignored checks.txt" in the
    // user's application data folder, under "Mirlock".
    static std::wstring DefaultPath();

private:
    // The entry's key (file names compared without case) and its line.
    static std::wstring Key(const std::wstring& check, uint64_t hash, const std::wstring& id, const std::wstring& path);
    std::map<std::wstring, std::wstring> entries;
};
