// Folding of typographic, compatibility and symbol characters to ASCII
// look-alikes, one UTF-16 unit for one unit, so that offsets never move.
#pragma once

#include <cstddef>

// The folded value of one UTF-16 unit.
wchar_t FoldCharacter(wchar_t c);

// Writes NUL at text[count], then folds text[0..count) in place.
void FoldText(size_t count, wchar_t* text);

// Folds in place the text that ends at the first NUL unit among the first
// `capacity` units and returns its length. Without a NUL the last unit is
// made one, so the text is at most capacity - 1 units long.
size_t FoldTextToNul(wchar_t* text, size_t capacity);
