// Hits among segments: a sorted list of every side's pieces, searched by a
// hit's start.
#include "search/SegmentIndex.h"

#include "base/FoldText.h"

#include <algorithm>

SegmentIndex::SegmentIndex(const SegmentTable& segmentTable, int textLength)
    : table(segmentTable), length(textLength) {
    size_t count = 0;
    for (size_t i = 0; i < table.size(); ++i)
        count += table.Source(i).size() + table.Target(i).size();
    pieces.reserve(count);
    const uint32_t limit = static_cast<uint32_t>(std::max(length, 0));
    for (size_t i = 0; i < table.size(); ++i) {
        for (const bool target : {false, true}) {
            for (const TextRange& r : target ? table.Target(i) : table.Source(i)) {
                const uint32_t end = std::min(r.end, limit);
                if (r.begin < end)
                    pieces.push_back({r.begin, end, static_cast<int>(i), target});
            }
        }
    }
    // Most converters write their pieces in order; sorting is then one pass.
    if (!std::is_sorted(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) { return a.begin < b.begin; }))
        std::stable_sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) { return a.begin < b.begin; });
}

SegmentIndex::Place SegmentIndex::Locate(int start) const {
    Place place;
    if (start < 0)
        return place;
    const uint32_t at = static_cast<uint32_t>(start);
    auto after = std::upper_bound(pieces.begin(), pieces.end(), at,
                                  [](uint32_t value, const Piece& p) { return value < p.begin; });
    if (after == pieces.begin())
        return place;
    const Piece& p = *(after - 1);
    if (at < p.end) {
        place.segment = p.segment;
        place.target = p.target;
    }
    return place;
}

void SegmentIndex::BeginCondition(bool notTargetWanted) {
    condition = true;
    notTarget = notTargetWanted;
    targetHeld.assign(table.size(), false);
    conditionSpans.clear();
}

void SegmentIndex::NoteConditionHit(int start) {
    const Place place = Locate(start);
    if (place.segment >= 0 && place.target)
        targetHeld[static_cast<size_t>(place.segment)] = true;
}

std::vector<int> SegmentIndex::HeldSegments(const std::vector<ShownSpan>& hits) const {
    std::vector<int> held;
    for (const ShownSpan& hit : hits) {
        const Place place = Locate(hit.begin);
        if (place.segment >= 0)
            held.push_back(place.segment);
    }
    std::sort(held.begin(), held.end());
    held.erase(std::unique(held.begin(), held.end()), held.end());
    return held;
}

void SegmentIndex::BeginConditionSpans(std::vector<int> held) {
    shownSegments = std::move(held);
    conditionSpans.clear();
    spansEnd = 0;
    for (const Piece& p : pieces) {
        if (p.target && std::binary_search(shownSegments.begin(), shownSegments.end(), p.segment))
            spansEnd = std::max(spansEnd, p.end);
    }
}

bool SegmentIndex::NoteConditionSpan(int start, int end) {
    if (start < 0 || static_cast<uint32_t>(start) >= spansEnd)
        return false;
    const Place place = Locate(start);
    if (place.segment >= 0 && place.target &&
        std::binary_search(shownSegments.begin(), shownSegments.end(), place.segment))
        conditionSpans.push_back({place.segment, ShownSpan{start, end}});
    return true;
}

bool SegmentIndex::Counts(int start, int side) const {
    if (side == kSideBoth && !condition)
        return true;
    const Place place = Locate(start);
    if (place.segment < 0)
        return false;
    if (side == kSideSource && place.target)
        return false;
    if (side == kSideTarget && !place.target)
        return false;
    return !condition || targetHeld[static_cast<size_t>(place.segment)] != notTarget;
}

std::vector<ShownSegment> SegmentIndex::Show(const wchar_t* text, const std::vector<ShownSpan>& hits,
                                             const FoldedOriginals* originals) const {
    // The hits of each segment's sides, segments in document order.
    std::vector<std::pair<int, ShownSpan>> sourceHits, targetHits, conditionHits;
    for (const ShownSpan& hit : hits) {
        const Place place = Locate(hit.begin);
        if (place.segment >= 0)
            (place.target ? targetHits : sourceHits).push_back({place.segment, hit});
    }
    auto bySegment = [](const std::pair<int, ShownSpan>& a, const std::pair<int, ShownSpan>& b) {
        return a.first < b.first;
    };
    // The segments shown, each once.
    std::vector<int> held;
    for (const auto* list : {&sourceHits, &targetHits}) {
        for (const auto& h : *list)
            held.push_back(h.first);
    }
    std::sort(held.begin(), held.end());
    held.erase(std::unique(held.begin(), held.end()), held.end());
    // Only the condition's hits in those are wanted (noted for the segments
    // that HeldSegments gave, which are these).
    for (const auto& c : conditionSpans) {
        if (std::binary_search(held.begin(), held.end(), c.first))
            conditionHits.push_back(c);
    }
    // Hits come in text order, which most converters keep for segments too.
    for (auto* list : {&sourceHits, &targetHits, &conditionHits}) {
        if (!std::is_sorted(list->begin(), list->end(), bySegment))
            std::stable_sort(list->begin(), list->end(), bySegment);
    }

    std::vector<ShownSegment> shown;
    shown.reserve(held.size());
    std::vector<ShownSpan> spans, segmentCondition;
    auto spansOf = [&](const std::vector<std::pair<int, ShownSpan>>& list, int segment) -> const std::vector<ShownSpan>& {
        spans.clear();
        auto from = std::lower_bound(list.begin(), list.end(), std::make_pair(segment, ShownSpan{}), bySegment);
        for (; from != list.end() && from->first == segment; ++from)
            spans.push_back(from->second);
        return spans;
    };
    const size_t textLength = static_cast<size_t>(std::max(length, 0));
    for (const int segment : held) {
        const size_t i = static_cast<size_t>(segment);
        ShownSegment row;
        row.id = table.Id(i);
        row.state = static_cast<int>(table.State(i));
        row.locked = table.Locked(i);
        row.line = table.Line(i);
        row.maxLength = table.MaxLength(i);
        row.sourceCodes = table.Codes(i, false);
        row.targetCodes = table.Codes(i, true);
        row.source = ShowSide(text, textLength, table.Source(i), spansOf(sourceHits, segment), &row.sourceHits,
                              nullptr, nullptr, originals);
        if (conditionHits.empty()) {
            row.target = ShowSide(text, textLength, table.Target(i), spansOf(targetHits, segment), &row.targetHits,
                                  nullptr, nullptr, originals);
        } else {
            segmentCondition.clear();
            auto from = std::lower_bound(conditionHits.begin(), conditionHits.end(),
                                         std::make_pair(segment, ShownSpan{}), bySegment);
            for (; from != conditionHits.end() && from->first == segment; ++from)
                segmentCondition.push_back(from->second);
            row.target = ShowSide(text, textLength, table.Target(i), spansOf(targetHits, segment), &row.targetHits,
                                  &segmentCondition, &row.conditionHits, originals);
        }
        shown.push_back(std::move(row));
    }
    return shown;
}

namespace {

// A side as the file holds it, into *shown (its room kept from the last
// segment): its pieces joined by one space, the spaces inside them kept (the
// checks look at them); controls other than tabs and line breaks shown as
// spaces.
void RawSide(const wchar_t* text, size_t length, std::span<const TextRange> side, const FoldedOriginals* originals,
             std::wstring* shown) {
    shown->clear();
    for (const TextRange& piece : side) {
        const size_t begin = std::min<size_t>(piece.begin, length), end = std::min<size_t>(piece.end, length);
        if (begin >= end)
            continue;
        if (!shown->empty())
            *shown += L' ';
        if (originals) {
            const size_t at = shown->size();
            shown->resize(at + (end - begin));
            originals->CopyShown(text, begin, end, shown->data() + at);
        } else {
            shown->append(text + begin, end - begin);
        }
    }
    for (wchar_t& c : *shown) {
        if (c < 0x20 && c != L'\t' && c != L'\r' && c != L'\n')
            c = L' ';
    }
}

}  // namespace

std::vector<ShownSegment> SegmentIndex::ShowEvery(const wchar_t* text, const FoldedOriginals* originals,
                                                  const std::vector<int>* only) const {
    std::vector<ShownSegment> shown(only ? only->size() : table.size());
    for (size_t k = 0; k < shown.size(); ++k) {
        const size_t i = only ? static_cast<size_t>((*only)[k]) : k;
        ShowOne(text, originals, i, &shown[k]);
    }
    return shown;
}

void SegmentIndex::ShowOne(const wchar_t* text, const FoldedOriginals* originals, size_t i, ShownSegment* row) const {
    const size_t textLength = static_cast<size_t>(std::max(length, 0));
    row->id = table.Id(i);
    RawSide(text, textLength, table.Source(i), originals, &row->source);
    RawSide(text, textLength, table.Target(i), originals, &row->target);
    row->state = static_cast<int>(table.State(i));
    row->locked = table.Locked(i);
    row->line = table.Line(i);
    row->maxLength = table.MaxLength(i);
    row->sourceCodes = table.Codes(i, false);
    row->targetCodes = table.Codes(i, true);
}
