// TTX conversion: the file is read as UTF-16LE, parsed as UTF-8, and the
// selected segments are written back into the block that held the file.
#include "converters/translation/TtxConverter.h"

#include <cwchar>
#include <rapidxml/rapidxml.hpp>

#include "base/ThreadScratch.h"
#include "base/TextBlock.h"
#include "base/FoldText.h"
#include "base/ResourceText.h"
#include "base/ScopedHandle.h"
#include "base/SearchRecords.h"
#include "base/TextScan.h"
#include "converters/readers/FileBlock.h"
#include "converters/readers/LineIndex.h"
#include "converters/readers/Utf8Text.h"
#include "converters/translation/InlineCodes.h"
#include "resource.h"

TtxConverter::TtxConverter() {
    wcsncpy(typeName, LoadResourceText(IDS_TTX_TYPE_NAME).c_str(), kConverterChars - 1);
    wcsncpy(fileSpec, LoadResourceText(IDS_TTX_FILE_SPEC).c_str(), kConverterChars - 1);
}

int TtxConverter::Accepts(const wchar_t* path) {
    const size_t n = wcslen(path);
    return n > 3 && _wcsicmp(path + n - 3, L"ttx") == 0;
}

std::unique_ptr<DocConverter> TtxConverter::Clone() const {
    auto copy = std::make_unique<TtxConverter>();
    copy->CopyStringsFrom(*this);
    copy->sourceLanguage = sourceLanguage;
    return copy;
}

void TtxConverter::AppendPiece(const XmlNode* node, std::string* output) {
    const size_t begin = output->size();
    output->append(node->value(), node->value_size());
    if (currentUnit >= 0 && currentSide != Side::kNone && node->value_size() > 0)
        segments.Add(currentSide == Side::kTarget, {static_cast<uint32_t>(begin), static_cast<uint32_t>(output->size())});
    output->push_back('\n');
}

void TtxConverter::Walk(const XmlNode* node, int includeHidden, std::string* output) {
    bool selected = false;
    const int unitBefore = currentUnit;
    const Side sideBefore = currentSide;
    if (node->type() == rapidxml::node_element && NameIsIgnoringCase(node, "Tuv")) {
        if (const auto* lang = node->first_attribute("Lang")) {
            const std::string language(lang->value(), lang->value_size());
            if (sourceLanguage.empty())
                sourceLanguage = language;
            // The file's languages: the first variant's, and the first other.
            if (WantsSegments() && language != sourceLanguage && segments.TargetLanguage().empty() &&
                language.size() <= 35)
                segments.NoteLanguages(std::wstring(sourceLanguage.begin(), sourceLanguage.end()),
                                       std::wstring(language.begin(), language.end()));
            if (includeHidden || language != sourceLanguage) {
                // What this variant writes belongs to its side of the unit around it.
                currentSide = language == sourceLanguage ? Side::kSource : Side::kTarget;
                if (WantsSegments() && currentUnit >= 0) {
                    std::wstring codes;
                    CollectInlineCodes(node, CodeFormat::kTtx, &codes);
                    segments.AddCodes(currentSide == Side::kTarget, codes);
                }
                AppendPiece(node, output);
                selected = true;
            }
        }
    } else if (node->type() == rapidxml::node_element) {
        // A unit inside a unit is part of it.
        if (WantsSegments() && currentUnit < 0 && NameIsIgnoringCase(node, "Tu")) {
            segments.Begin(L"#" + std::to_wstring(segments.size() + 1));
            if (lines)
                segments.SetLastLine(lines->LineOf(node->name() - 1));
            currentUnit = static_cast<int>(segments.size()) - 1;
            currentSide = Side::kNone;
        }
        if (!selectionStack.empty() && selectionStack.back())
            AppendPiece(node, output);
    }
    selectionStack.push_back(selected);
    for (const XmlNode* child = node->first_node(); child; child = child->next_sibling())
        Walk(child, includeHidden, output);
    if (!selectionStack.empty())
        selectionStack.pop_back();
    if (currentUnit >= 0 && unitBefore < 0)
        segments.End();
    currentUnit = unitBefore;
    currentSide = sideBefore;
}

HGLOBAL TtxConverter::Convert(const wchar_t* path, const SearchRequest& request) {
    SetReadAs(L"TTX");
    size_t size = 0;
    ScopedTextBlock block(ReadFileIntoBlock(path, &size));
    if (!block)
        return nullptr;
    const size_t blockUnits = GlobalSize(block.Get()) / sizeof(wchar_t);
    bool malformed = false;
    {
        GlobalLockGuard<wchar_t> units(block.Get());
        if (!units.Get()) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        // Read as UTF-16LE with or without the byte-order mark, which stays in place.
        const size_t start = size >= 2 && units.Get()[0] == 0xFEFF ? 1 : 0;
        wchar_t* text = units.Get() + start;
        const size_t length = FindNul(text, blockUnits - start);

        // The UTF-8 copy and the output reuse the thread's buffers.
        thread_local std::string* utf8Slot = nullptr;
        thread_local std::string* outputSlot = nullptr;
        std::string& utf8 = ThreadScratch(utf8Slot);
        std::string& output = ThreadScratch(outputSlot);
        // Buffers grown for a very large file go back after it.
        struct ReleaseAfterFile {
            std::string& utf8;
            std::string& output;
            ~ReleaseAfterFile() {
                ReleaseIfLarge(utf8);
                ReleaseIfLarge(output);
            }
        } release{utf8, output};
        Utf16ToUtf8(text, length, &utf8);
        output.clear();
        segments.clear();
        currentUnit = -1;
        currentSide = Side::kNone;
        // The lines are counted before the parser changes the text in place.
        LineIndex lineIndex;
        if (WantsSegments())
            lineIndex.Build(utf8.data(), utf8.size());
        XmlDocument document;
        if (!document.Parse(utf8.data())) {
            malformed = true;  // the raw bytes are searched as they were read
        } else {
            output.reserve(utf8.size() / 2);
            lines = WantsSegments() ? &lineIndex : nullptr;
            Walk(document.Root(), request.includeHidden, &output);
            lines = nullptr;
            selectionStack.clear();
            if (!segments.empty())
                SegmentBytesToUnits(output.data(), output.size(), start, &segments);
        }

        // The output is never longer than the text it came from, so it fits
        // where the text stood.
        const size_t room = blockUnits - start - 1;
        int written = 0;
        if (malformed) {
            written = static_cast<int>(length);
        } else if (!output.empty()) {
            if (output.size() <= room) {
                written = static_cast<int>(Utf8ToUtf16Bounded(output.data(), output.size(), text));
            } else {
                written = MultiByteToWideChar(CP_UTF8, 0, output.data(),
                                              static_cast<int>(output.size()), text, static_cast<int>(room));
            }
            if (written <= 0)
                return nullptr;
        }
        text[written] = 0;
    }
    // Set after the block is unlocked: unlocking resets the last error.
    if (malformed)
        SetLastError(ERROR_XML_PARSE_ERROR);
    return block.Detach();
}
