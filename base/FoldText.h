// Folding of typographic, compatibility and symbol characters to ASCII
// look-alikes, one UTF-16 unit for one unit, so that offsets never move.
#pragma once

#include <cstddef>

// The folded value of one UTF-16 unit.
wchar_t FoldCharacter(wchar_t c);

// The same table for loops that fold as they write, unit by unit, in line.
extern const unsigned short* const kFoldedUnits;
inline wchar_t FoldUnit(wchar_t c) {
    return static_cast<wchar_t>(kFoldedUnits[static_cast<unsigned short>(c)]);
}

// Writes NUL at text[count], then folds text[0..count) in place.
void FoldText(size_t count, wchar_t* text);

// Folds in place the text that ends at the first NUL unit among the first
// `capacity` units and returns its length. Without a NUL the last unit is
// made one, so the text is at most capacity - 1 units long.
size_t FoldTextToNul(wchar_t* text, size_t capacity);
