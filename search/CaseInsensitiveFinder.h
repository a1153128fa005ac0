// Case-insensitive substring search with exactly the hits of StrStrIW, which
// compares every window with the system's linguistic comparison (StrCmpNIW)
// and is far too slow to call at every position.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CaseInsensitiveFinder {
public:
    // Prepares the search for `needle` (not empty).
    explicit CaseInsensitiveFinder(const wchar_t* needle);
    ~CaseInsensitiveFinder();

    // The first window of [begin, end) that StrCmpNIW finds equal to the
    // needle, or null.
    const wchar_t* Find(const wchar_t* begin, const wchar_t* end) const;

    size_t Length() const { return needle.size(); }

private:
    bool Verify(const wchar_t* window) const;
    bool Check(const wchar_t* window) const;
    bool InSet(size_t position, wchar_t c) const;
    // Fills isStart and equalSets for the 256 units of `page`, once.
    void Prepare(unsigned page) const;

    static constexpr uint8_t kUnprepared = 2;

    std::wstring needle;
    size_t simplePrefix = 0;       // leading needle characters that compare one to one
    bool needleHasSpecial = false;  // a character with a special weight (hyphen, apostrophe)
    uint16_t firstWeight = 0;       // of the needle's first character
    // Per unit: may a matching window begin here (kUnprepared until its page is).
    mutable std::vector<uint8_t> isStart;
    mutable std::vector<std::vector<uint64_t>> equalSets;  // per prefix position: bitmap of equal units
    mutable std::vector<uint8_t> prepared;                 // per page of 256 units
    wchar_t asciiStarts[4] = {};
    int asciiStartCount = -1;  // -1: too many for the vector scan
    wchar_t asciiEnds[4] = {};
    int asciiEndCount = -1;
};
