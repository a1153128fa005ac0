// The inline codes of a segment's side (tags, placeholders, formatting
// around words), in document order, each known by its kind and its id: what
// the checks compare between source and target. The converted text does not
// hold them; they are gathered beside it.
#pragma once

#include <string>

#include "converters/readers/XmlDocument.h"

enum class CodeFormat { kXliff1, kXliff2, kTtx, kTmx };

// Separates the codes of a side; within one, a space parts kind and id.
constexpr wchar_t kCodeSeparator = L'\x1F';

// Appends the codes below `side` (a source, target, variant or segment
// element) to `codes`: "kind id" each, followed by kCodeSeparator. A code
// without an id stands for its content (a placeholder's text), or, for a
// code that wraps translatable words, for its attributes.
void CollectInlineCodes(const XmlNode* side, CodeFormat format, std::wstring* codes);
