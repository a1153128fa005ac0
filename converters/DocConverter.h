// The base class of every converter: turns one file into one text block.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/ScopedHandle.h"
#include "base/SearchRecords.h"
#include "base/TextBlock.h"

class FoldedOriginals;

constexpr int kConverterChars = 256;

// Units [begin, end) of a converted text.
struct TextRange {
    uint32_t begin = 0;
    uint32_t end = 0;
};

// Where a segment stands in its workflow, as the formats that say so name
// it, normalised; kUnknown where the file does not say.
enum class SegmentState : uint8_t { kUnknown, kNew, kDraft, kTranslated, kReviewed, kFinal, kRejected };

// The segments of a bilingual file: for each its id and the parts of the
// converted text that the converter wrote for each side's elements. The
// parts of all segments share one list, each side's parts one run of it, so
// that a table of a million segments costs few allocations.
class SegmentTable {
public:
    size_t size() const { return entries.size(); }
    bool empty() const { return entries.empty(); }
    void clear();

    const std::wstring& Id(size_t i) const { return entries[i].id; }
    std::span<const TextRange> Source(size_t i) const {
        return {pieces.data() + entries[i].sourceFirst, entries[i].sourceCount};
    }
    std::span<const TextRange> Target(size_t i) const {
        return {pieces.data() + entries[i].targetFirst, entries[i].targetCount};
    }
    // Every part of every segment, in no particular order.
    std::vector<TextRange>& Pieces() { return pieces; }

    // Building segment by segment: Begin, the parts of either side in any
    // order, End (or the next Begin, or Finish).
    void Begin(std::wstring id);
    void Add(bool target, TextRange part);
    void End();
    bool IsOpen() const { return open; }
    // Building from parts placed already: `count` parts from `first` of
    // Pieces() for each side.
    void AddSegment(std::wstring id, uint32_t sourceFirst, uint32_t sourceCount, uint32_t targetFirst,
                    uint32_t targetCount);
    void Reserve(size_t count) { entries.reserve(count); }

    // The state of the last segment begun or added, and whether it is locked
    // (not to be changed: XLIFF's translate="no", a locked segment).
    void SetLastState(SegmentState state, bool locked) {
        if (!entries.empty()) {
            entries.back().state = state;
            entries.back().locked = locked;
        }
    }
    SegmentState State(size_t i) const { return entries[i].state; }
    // The line (from 1) of the file where the last segment begun or added
    // starts; 0 where it is not known.
    void SetLastLine(int line) {
        if (!entries.empty())
            entries.back().line = static_cast<uint32_t>(line > 0 ? line : 0);
    }
    int Line(size_t i) const { return static_cast<int>(entries[i].line); }
    // The inline codes of a side of the last segment begun or added (see
    // CollectInlineCodes), appended to those it has.
    void AddCodes(bool target, std::wstring_view codes) {
        if (!entries.empty() && !codes.empty())
            entries.back().codes[target ? 1 : 0] += codes;
    }
    const std::wstring& Codes(size_t i, bool target) const { return entries[i].codes[target ? 1 : 0]; }
    // The most characters the last segment's target may have (XLIFF's
    // maxwidth counted in characters); 0 for no limit.
    void SetLastMaxLength(int characters) {
        if (!entries.empty())
            entries.back().maxLength = static_cast<uint32_t>(characters > 0 ? characters : 0);
    }
    int MaxLength(size_t i) const { return static_cast<int>(entries[i].maxLength); }
    bool Locked(size_t i) const { return entries[i].locked; }

    // The languages of the file's sides ("en-US", "de-DE") where the format
    // names them; empty where it does not. The first one noted stays.
    void NoteLanguages(std::wstring_view source, std::wstring_view target) {
        if (sourceLanguage.empty())
            sourceLanguage = source;
        if (targetLanguage.empty())
            targetLanguage = target;
    }
    const std::wstring& SourceLanguage() const { return sourceLanguage; }
    const std::wstring& TargetLanguage() const { return targetLanguage; }

private:
    struct Entry {
        std::wstring id;
        uint32_t sourceFirst, sourceCount, targetFirst, targetCount;
        SegmentState state = SegmentState::kUnknown;
        bool locked = false;
        uint32_t line = 0;
        uint32_t maxLength = 0;
        std::wstring codes[2];  // source, target
    };
    std::vector<Entry> entries;
    std::vector<TextRange> pieces;
    std::vector<TextRange> openSource;  // the open segment's parts
    std::vector<TextRange> openTarget;
    std::wstring sourceLanguage;
    std::wstring targetLanguage;
    bool open = false;
};

// The shown text of a side: its pieces of `text` joined by one space, every
// run of spaces, tabs, CR and LF made one space, trimmed at both ends.
std::wstring ShownSideText(const wchar_t* text, size_t length, std::span<const TextRange> side);

// The same, with `spans` of `text` (sorted by begin) made spans of the shown
// text: each from its first character in the side that is shown to its last;
// a span that shows nothing is dropped. `moreSpans` are made
// `moreShown` the same way, in the same pass.
// With `originals`, `text` is folded and the characters shown are the
// file's own.
std::wstring ShowSide(const wchar_t* text, size_t length, std::span<const TextRange> side,
                      const std::vector<ShownSpan>& spans, std::vector<ShownSpan>* shownSpans,
                      const std::vector<ShownSpan>* moreSpans = nullptr, std::vector<ShownSpan>* moreShown = nullptr,
                      const FoldedOriginals* originals = nullptr);

// A segment's id from the document's UTF-8 bytes, tabs and line breaks
// shown as spaces.
std::wstring SegmentIdText(const char* utf8, size_t size);

// Converters that gather UTF-8 text record their segments' ranges as byte
// offsets into it; this makes them the unit offsets of its UTF-16 decoding,
// `base` units into the block. Each offset must lie at an end of the text or
// next to an ASCII byte (as the ends of text nodes that a line break or a
// space follows do), where decoding in pieces and whole agree.
void SegmentBytesToUnits(const char* utf8, size_t size, size_t base, SegmentTable* table);

// A text block is a movable, zero-filled global memory block (GlobalAlloc
// with GMEM_MOVEABLE | GMEM_ZEROINIT) holding UTF-16LE text ended by a NUL
// unit. The caller owns it and frees it with GlobalFree. Null means failure;
// a converter may also throw, which the caller counts as failure.
class DocConverter {
public:
    virtual ~DocConverter() = default;

    // Converts the whole file at `path`; `request` is read-only.
    virtual HGLOBAL Convert(const wchar_t* path, const SearchRequest& request) = 0;

    // Converts like Convert, for a search, which folds the text (FoldText)
    // before it matches and shows the file's own text. Given `originals`, a
    // converter that can fold while it writes does so during this call,
    // remembering there what it changed (see KeepingOriginals), and
    // *foldedLength is then the length of the text before its first NUL;
    // otherwise it is kNotFolded and the search folds.
    static constexpr size_t kNotFolded = kTextNotFolded;
    HGLOBAL ConvertForSearch(const wchar_t* path, const SearchRequest& request,
                             size_t* foldedLength, FoldedOriginals* originals = nullptr);

    // Converts the bytes of `block` by way of a temporary file. The caller
    // keeps ownership of `block`.
    virtual HGLOBAL ConvertMemory(HGLOBAL block, const SearchRequest& request);

    // Nonzero when this converter takes the file at `path` (a full path).
    virtual int Accepts(const wchar_t* path) = 0;

    virtual int Load(const wchar_t* path);
    virtual int IsAvailable();
    virtual int IsPlainText();
    virtual void SetCodePage(int codePage);

    // A new converter of the same class with the same settings.
    virtual std::unique_ptr<DocConverter> Clone() const = 0;

    // About the most memory that converting and matching a file of
    // `fileBytes` bytes takes: the read bytes, the text and its copies. A
    // search with workers lets files that need much run alone.
    static constexpr ULONGLONG kBaseWorkingBytes = 1 << 20;
    virtual ULONGLONG WorkingBytes(ULONGLONG fileBytes) const { return fileBytes * 4 + kBaseWorkingBytes; }

    // A search begins: what a prototype remembered during the last one is
    // forgotten.
    virtual void BeginSearch() {}

    // Asked now and then by a conversion that waits long on something
    // outside this process (a filter host): true ends it, and the file fails.
    void SetStopCheck(std::function<bool()> check) { stopCheck = std::move(check); }

    // Asks for the segments of bilingual files: after a conversion,
    // Segments() holds those of the converted file (none for other files).
    // Off by default: a search that does not use them does not pay for them.
    void SetWantSegments(bool on) { wantSegments = on; }
    const SegmentTable& Segments() const { return segments; }

    // What the last conversion read the file as, for its row's "File type"
    // ("Text (UTF-8)", "XLIFF 1.2", "Word document"); the type name when the
    // converter does not say.
    std::wstring ReadAs() const { return readAs.empty() ? std::wstring(typeName) : readAs; }
    // Why the last ConvertForSearch failed, in words for the failed row
    // ("not well-formed XML, line 12, column 5"). A converter that does not
    // say gets the system's word for the last error, when there is one.
    const std::wstring& FailureReason() const { return failureReason; }

    wchar_t typeName[kConverterChars] = {};
    wchar_t fileSpec[kConverterChars] = {};
    wchar_t libraryPath[kConverterChars] = {};

protected:
    DocConverter() = default;
    DocConverter(const DocConverter&) = default;
    DocConverter& operator=(const DocConverter&) = default;
    void CopyStringsFrom(const DocConverter& other);

    // The block about to be returned holds folded text, `length` units
    // before its first NUL.
    void TextFolded(size_t length) { foldedUnits = length; }
    bool WantsSegments() const { return wantSegments; }
    // Where a converter may fold its text as it writes it, remembering every
    // unit it changes, so that the search shows the file's own text: null
    // when the search folds afterwards. A converter that does reports the
    // folded length with TextFolded.
    FoldedOriginals* KeepingOriginals() const { return keptOriginals; }
    void SetReadAs(std::wstring text) { readAs = std::move(text); }
    // Records why the conversion fails and gives the null block to return.
    HGLOBAL Fail(std::wstring reason) {
        failureReason = std::move(reason);
        return nullptr;
    }
    bool IsStopRequested() const { return stopCheck && stopCheck(); }
    SegmentTable segments;  // cleared by each conversion that makes segments

private:
    std::function<bool()> stopCheck;
    FoldedOriginals* keptOriginals = nullptr;
    std::wstring readAs;
    std::wstring failureReason;
    bool wantSegments = false;
    size_t foldedUnits = kNotFolded;
};
