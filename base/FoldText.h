// Folding of typographic, compatibility and symbol characters to ASCII
// look-alikes, one UTF-16 unit for one unit, so that offsets never move.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

// Accent-blind matching: a letter with diacritics as its base letter (é, è
// and ê as e; ñ as n; å as a; ø as o; ł as l), one unit for one unit; a
// combining mark as a zero-width space, so that a base letter followed by
// marks is that letter; any other unit as it is.
wchar_t AccentlessUnit(wchar_t c);
// Whether `c` is a combining diacritical mark (U+0300 to U+036F).
inline bool IsCombiningMark(wchar_t c) { return c >= 0x0300 && c <= 0x036F; }
// A search text made accent-blind: combining marks dropped (a decomposed
// letter typed in it is its base letter), then each letter as its base
// letter.
std::wstring AccentlessText(const std::wstring& text);

// A unit as it is shown to the user: the file's own character, except the
// controls that folding makes spaces (all but TAB, LF and CR), which show
// as spaces too.
inline wchar_t ShownUnit(wchar_t c) {
    return c < 0x20 && c != L'\t' && c != L'\n' && c != L'\r' ? L' ' : c;
}

// What folding changed in one text, so that any part of it can be shown as
// the file holds it while the search runs on the folded text. Folding is one
// unit for one unit: offsets are the same in both. Keeps the changed units
// by offset, or a copy of the whole text once changes are many (text in
// fullwidth forms, box drawing, letters beyond the first plane).
class FoldedOriginals {
public:
    // Folds like FoldTextToNul, remembering every unit it changes; what was
    // remembered of an earlier text is forgotten.
    size_t FoldToNul(wchar_t* text, size_t capacity);
    // Units [begin, end) of the folded `text` as they were, each ShownUnit.
    std::wstring Shown(const wchar_t* text, size_t begin, size_t end) const;
    // The same, written to out[0 .. end - begin).
    void CopyShown(const wchar_t* text, size_t begin, size_t end, wchar_t* out) const;
    // One unit of the folded `text` as it was (not ShownUnit).
    wchar_t At(const wchar_t* text, size_t offset) const;
    // Memory kept for the next text stays small.
    void Release();
    // Makes the folded text[0..length) accent-blind in place (AccentlessUnit),
    // remembering what it changes with what folding changed.
    void FoldAccents(wchar_t* text, size_t length);

    // For a writer that folds as it writes a text of up to `capacity`
    // units: Begin, then Record for each unit it changes, in text order;
    // when Record answers false the changes are many, and the writer hands
    // over the whole text as it was with KeepWhole (and records no more).
    void Begin(size_t capacity);
    bool Record(size_t offset, wchar_t original) {
        changes.push_back({static_cast<uint32_t>(offset), original});
        return changes.size() < limit;
    }
    void KeepWhole(std::wstring original);
    // For the tests: the text is kept whole rather than by changes.
    bool IsWhole() const { return whole; }

    struct Change {
        uint32_t offset;
        wchar_t original;
    };

private:
    friend struct FoldRecorder;
    std::vector<Change> changes;  // by offset
    mutable size_t hint = 0;      // where the last part's changes began
    size_t limit = 0;             // changes past which the copy is the smaller
    std::wstring copy;             // the whole text, once changes are many
    bool whole = false;
};
