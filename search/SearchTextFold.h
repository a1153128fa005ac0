// The search texts folded like the documents they are matched against, so
// that a text pasted from a document (typographic quotes, dashes, fullwidth
// letters) finds what the document holds.
#pragma once

#include <string>

// A literal search text, or the target condition's text, folded whole.
std::wstring FoldLiteralText(const wchar_t* text);

// A regular expression with each literal character folded. A character that
// folds to one with a meaning in the expression (a fullwidth parenthesis, a
// vertical line, a full stop ...) is written escaped, so that the
// expression means what it meant; escapes and classes written by the user
// stay as they are. An expression of plain ASCII comes back unchanged.
std::wstring FoldRegexText(const wchar_t* pattern);
