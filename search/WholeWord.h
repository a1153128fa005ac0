// The whole-word test of a hit.
#pragma once

#include <cstddef>
#include <vector>

// Letters and digits of any script, combining marks, surrogates (the
// characters beyond the first plane are mostly letters) and the underscore.
bool IsWordCharacter(wchar_t c);

// True when the hit [start, end) of text[0..length) has no word character
// right before it and none right after it. Folding turns each surrogate into
// a space; `astralUnits` lists, in ascending order, the positions of the
// units that were surrogates before it, so that those spaces count as the
// word characters they stood for.
bool IsWholeWord(const wchar_t* text, int length, int start, int end, const std::vector<int>& astralUnits = {});

// Appends to `positions` the position of every surrogate unit in
// text[0..length).
void FindSurrogates(const wchar_t* text, size_t length, std::vector<int>* positions);
