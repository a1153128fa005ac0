// The whole-word test of a hit.
#pragma once

// Letters and digits of any script, combining marks, surrogates (the
// characters beyond the first plane are mostly letters) and the underscore.
bool IsWordCharacter(wchar_t c);

// True when the hit [start, end) of text[0..length) has no word character
// right before it and none right after it.
bool IsWholeWord(const wchar_t* text, int length, int start, int end);
