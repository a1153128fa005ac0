// Where hits fall among a converted text's segments: the side a hit starts
// in, which segments qualify under the target condition, and the shown
// segments a row keeps.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "base/SearchRecords.h"
#include "converters/DocConverter.h"

class FoldedOriginals;

class SegmentIndex {
public:
    // `table`'s ranges index a text of `length` units; ranges beyond it are cut.
    SegmentIndex(const SegmentTable& table, int length);

    bool Empty() const { return pieces.empty(); }

    struct Place {
        int segment = -1;  // -1: in no segment's side
        bool target = false;
    };
    // The segment and side that unit `start` lies in.
    Place Locate(int start) const;

    // The target condition: the starts of the second text's hits, noted one
    // by one, decide which segments qualify (a hit in their target, or with
    // `notTarget` none). Only one flag a segment is kept.
    void BeginCondition(bool notTarget);
    void NoteConditionHit(int start);
    bool ConditionNegated() const { return notTarget; }

    // The segments that Show would show for `hits`, each once, in order.
    std::vector<int> HeldSegments(const std::vector<ShownSpan>& hits) const;
    // The condition's hits to mark in the shown targets: those that start
    // in the target of a segment of `held` (HeldSegments), noted one by one
    // after it. False once no later hit can be one.
    void BeginConditionSpans(std::vector<int> held);
    bool NoteConditionSpan(int start, int end);

    // Whether a hit starting at `start` counts for `side` (SearchSide) and
    // the condition, if one is set.
    bool Counts(int start, int side) const;

    // The shown segments that hold the hits of `hits` (start, end), in
    // document order, each once, with every hit marked in its side and the
    // condition's hits in the target.
    // With `originals` the texts show the file's own characters.
    std::vector<ShownSegment> Show(const wchar_t* text, const std::vector<ShownSpan>& hits,
                                   const FoldedOriginals* originals = nullptr) const;
    // Every segment in document order, without hits, each side as the file
    // holds it (its spaces kept): what the checks look at.
    // With `only`, just those segments (HeldSegments), in its order.
    std::vector<ShownSegment> ShowEvery(const wchar_t* text, const FoldedOriginals* originals = nullptr,
                                        const std::vector<int>* only = nullptr) const;
    // Segment `i` so into *row, whose strings keep their room.
    void ShowOne(const wchar_t* text, const FoldedOriginals* originals, size_t i, ShownSegment* row) const;

private:
    struct Piece {
        uint32_t begin;
        uint32_t end;
        int segment;
        bool target;
    };
    const SegmentTable& table;
    int length;
    std::vector<Piece> pieces;  // sorted by begin
    bool condition = false;
    bool notTarget = false;
    std::vector<bool> targetHeld;           // per segment: the condition's text starts in its target
    // The segments shown and, for them alone, the condition's hits in their
    // targets with the segment's number.
    std::vector<int> shownSegments;
    uint32_t spansEnd = 0;  // no condition span of a shown segment starts at or past this
    std::vector<std::pair<int, ShownSpan>> conditionSpans;
};
