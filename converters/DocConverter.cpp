// Base behaviour shared by every converter.
#include "converters/DocConverter.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <utility>

#include "base/FoldText.h"
#include "base/ResourceText.h"
#include "base/ThreadScratch.h"
#include "base/SearchRecords.h"
#include "base/ScopedHandle.h"
#include "base/TextScan.h"
#include "converters/readers/Utf8Text.h"

int DocConverter::Load(const wchar_t*) { return 1; }
int DocConverter::IsAvailable() { return 1; }
int DocConverter::IsPlainText() { return 0; }
void DocConverter::SetCodePage(int) {}

void DocConverter::CopyStringsFrom(const DocConverter& other) {
    wmemcpy(typeName, other.typeName, kConverterChars);
    wmemcpy(fileSpec, other.fileSpec, kConverterChars);
    wmemcpy(libraryPath, other.libraryPath, kConverterChars);
}

HGLOBAL DocConverter::ConvertMemory(HGLOBAL block, const SearchRequest& request) {
    wchar_t tempDir[256];
    wchar_t tempFile[MAX_PATH];
    const DWORD dirLength = GetTempPathW(256, tempDir);
    if (dirLength == 0 || dirLength >= 256)
        return nullptr;
    if (GetTempFileNameW(tempDir, L"qvx", 0, tempFile) == 0)
        return nullptr;

    bool written = false;
    {
        ScopedKernelHandle file(CreateFileW(tempFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        GlobalLockGuard<BYTE> bytes(block);
        const SIZE_T size = block ? GlobalSize(block) : 0;
        if (file && (bytes.Get() || size == 0) && size <= MAXDWORD) {
            DWORD done = 0;
            written = size == 0 ||
                      (WriteFile(file.Get(), bytes.Get(), static_cast<DWORD>(size), &done, nullptr) &&
                       done == size);
        }
    }
    HGLOBAL result = nullptr;
    if (written) {
        try {
            result = Convert(tempFile, request);
        } catch (...) {
            DeleteFileW(tempFile);
            throw;
        }
    }
    DeleteFileW(tempFile);
    return result;
}

HGLOBAL DocConverter::ConvertForSearch(const wchar_t* path, const SearchRequest& request,
                                       size_t* foldedLength, FoldedOriginals* originals) {
    struct Scope {
        DocConverter& converter;
        Scope(DocConverter& c, const SearchRequest& request, FoldedOriginals* originals) : converter(c) {
            // The search shows the file's own characters: a converter folds
            // as it writes only where it remembers what it changed. A
            // whole-word search folds afterwards, as the word test needs
            // to know which spaces stood for characters beyond the first plane.
            converter.keptOriginals = request.wholeWords ? nullptr : originals;
            converter.foldedUnits = kNotFolded;
        }
        ~Scope() { converter.keptOriginals = nullptr; }
    } scope(*this, request, originals);
    readAs.clear();
    failureReason.clear();
    SetLastError(0);
    HGLOBAL block = Convert(path, request);
    if (!block && failureReason.empty()) {
        if (const DWORD error = GetLastError())
            failureReason = L"the file cannot be read: " + SystemErrorText(error);
    }
    *foldedLength = block ? foldedUnits : kNotFolded;
    return block;
}

void SegmentTable::clear() {
    entries.clear();
    pieces.clear();
    openSource.clear();
    openTarget.clear();
    sourceLanguage.clear();
    targetLanguage.clear();
    open = false;
}

void SegmentTable::Begin(std::wstring id) {
    End();
    entries.push_back({std::move(id), 0, 0, 0, 0, SegmentState::kUnknown, false, 0, 0, {}});
    open = true;
}

void SegmentTable::Add(bool target, TextRange part) {
    if (open)
        (target ? openTarget : openSource).push_back(part);
}

void SegmentTable::End() {
    if (!open)
        return;
    Entry& e = entries.back();
    e.sourceFirst = static_cast<uint32_t>(pieces.size());
    e.sourceCount = static_cast<uint32_t>(openSource.size());
    pieces.insert(pieces.end(), openSource.begin(), openSource.end());
    e.targetFirst = static_cast<uint32_t>(pieces.size());
    e.targetCount = static_cast<uint32_t>(openTarget.size());
    pieces.insert(pieces.end(), openTarget.begin(), openTarget.end());
    openSource.clear();
    openTarget.clear();
    open = false;
}

void SegmentTable::AddSegment(std::wstring id, uint32_t sourceFirst, uint32_t sourceCount, uint32_t targetFirst,
                              uint32_t targetCount) {
    End();
    entries.push_back({std::move(id), sourceFirst, sourceCount, targetFirst, targetCount, SegmentState::kUnknown, false, 0, 0, {}});
}

std::wstring ShownSideText(const wchar_t* text, size_t length, std::span<const TextRange> side) {
    return ShowSide(text, length, side, {}, nullptr);
}

std::wstring ShowSide(const wchar_t* text, size_t length, std::span<const TextRange> side,
                      const std::vector<ShownSpan>& spans, std::vector<ShownSpan>* shownSpans,
                      const std::vector<ShownSpan>* moreSpans, std::vector<ShownSpan>* moreShown,
                      const FoldedOriginals* originals) {
    std::wstring shown;
    size_t units = 0;
    for (const TextRange& r : side)
        units += std::min<size_t>(r.end, length) > r.begin ? std::min<size_t>(r.end, length) - r.begin + 1 : 0;
    shown.reserve(units);
    // For each shown character, where it stood (a joining space: where the
    // character after it stood); kept by the thread, as sides are many (and
    // reached once: each use of a thread's variable costs a call here).
    thread_local std::vector<uint32_t>* originSlot = nullptr;
    std::vector<uint32_t>& origin = ThreadScratch(originSlot);
    origin.clear();
    // Where the characters stood is needed only to place spans.
    const bool place = (shownSpans && !spans.empty()) || (moreShown && moreSpans && !moreSpans->empty());
    bool space = false;
    for (const TextRange& r : side) {
        space = space || !shown.empty();  // pieces are joined by a space
        const size_t end = std::min<size_t>(r.end, length);
        for (size_t i = r.begin; i < end; ++i) {
            const wchar_t c = ShownUnit(originals ? originals->At(text, i) : text[i]);
            if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == 0x2028 || c == 0x2029) {
                space = true;
                continue;
            }
            if (space && !shown.empty()) {
                shown += L' ';
                if (place)
                    origin.push_back(static_cast<uint32_t>(i));  // the space stands before this character
            }
            space = false;
            shown += c;
            if (place)
                origin.push_back(static_cast<uint32_t>(i));
        }
    }
    auto placeSpans = [&](const std::vector<ShownSpan>& from, std::vector<ShownSpan>* to) {
        to->clear();
        for (const ShownSpan& s : from) {
            // Shown characters from the first that stood at or after the
            // span's begin to the last that stood before its end.
            auto first = std::lower_bound(origin.begin(), origin.end(), static_cast<uint32_t>(std::max(s.begin, 0)));
            auto last = std::lower_bound(origin.begin(), origin.end(), static_cast<uint32_t>(std::max(s.end, 0)));
            int begin = static_cast<int>(first - origin.begin());
            const int stop = static_cast<int>(last - origin.begin());
            if (begin < stop && shown[static_cast<size_t>(begin)] == L' ')
                ++begin;  // a joining space does not begin a hit
            if (begin < stop)
                to->push_back({begin, stop});
        }
    };
    if (shownSpans)
        placeSpans(spans, shownSpans);
    if (moreSpans && moreShown)
        placeSpans(*moreSpans, moreShown);
    if (origin.capacity() > (1u << 20))
        std::vector<uint32_t>().swap(origin);  // a huge side gives its memory back
    return shown;
}

std::wstring SegmentIdText(const char* utf8, size_t size) {
    std::wstring text(size, L'\0');
    text.resize(size ? Utf8ToUtf16Bounded(utf8, size, text.data()) : 0);
    for (wchar_t& c : text) {
        if (c == L'\t' || c == L'\r' || c == L'\n')
            c = L' ';
    }
    return text;
}

void SegmentBytesToUnits(const char* utf8, size_t size, size_t base, SegmentTable* table) {
    table->End();
    std::vector<TextRange>& pieces = table->Pieces();
    std::vector<uint32_t*> offsets;
    offsets.reserve(pieces.size() * 2);
    for (TextRange& r : pieces) {
        offsets.push_back(&r.begin);
        offsets.push_back(&r.end);
    }
    // Converters record them in text order mostly; sorting keeps the one
    // pass over the text right whatever the order.
    auto less = [](const uint32_t* a, const uint32_t* b) { return *a < *b; };
    if (!std::is_sorted(offsets.begin(), offsets.end(), less))
        std::stable_sort(offsets.begin(), offsets.end(), less);
    size_t byte = 0, units = 0;
    for (uint32_t* offset : offsets) {
        const size_t at = std::min<size_t>(*offset, size);
        if (at > byte) {
            units += Utf16UnitsOfUtf8(utf8 + byte, at - byte);
            byte = at;
        }
        *offset = static_cast<uint32_t>(base + units);
    }
}
