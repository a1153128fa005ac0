// The checks that look at one segment alone: each adds a note with its
// message and the spans it points at for each thing it finds wrong.
#pragma once

#include <string_view>
#include <vector>

#include "base/SearchRecords.h"
#include "qa/CheckKinds.h"

class Checklist;
class Glossary;

struct SegmentCheckContext {
    const CheckSettings* settings = nullptr;
    const Glossary* glossary = nullptr;    // may be null
    const Checklist* checklist = nullptr;  // may be null
    std::wstring_view sourceLanguage;
    std::wstring_view targetLanguage;
};

// Adds to *notes the notes of every per-segment check that is on, for
// segment `index` of a row, in the order of CheckKind.
void CheckSegment(const ShownSegment& segment, int index, const SegmentCheckContext& context,
                  std::vector<SegmentNote>* notes);
