// XLIFF conversion: prune the ignored elements, then gather the units.
#include "converters/translation/XliffConverter.h"

#include <cstring>
#include <cwchar>
#include <rapidxml/rapidxml.hpp>

#include "base/ThreadScratch.h"
#include "base/TextBlock.h"
#include "base/ScopedHandle.h"
#include "base/SearchRecords.h"
#include "base/TextScan.h"
#include "converters/readers/FileBlock.h"
#include "converters/readers/LineIndex.h"
#include "converters/readers/OfficePackage.h"
#include "converters/translation/InlineCodes.h"
#include "converters/readers/Utf8Text.h"

namespace {

bool EndsWithIgnoringCase(const wchar_t* path, size_t length, const wchar_t* suffix) {
    const size_t n = wcslen(suffix);
    return length >= n && _wcsicmp(path + length - n, suffix) == 0;
}

}  // namespace

int XliffConverter::Accepts(const wchar_t* path) {
    const size_t n = wcslen(path);
    return (n >= 4 && EndsWithIgnoringCase(path, n, L"xlf")) ||
           (n >= 6 && EndsWithIgnoringCase(path, n, L"xliff"));
}

std::unique_ptr<DocConverter> XliffConverter::Clone() const {
    auto copy = std::make_unique<XliffConverter>();
    copy->CopyStringsFrom(*this);
    return copy;
}

HGLOBAL XliffConverter::Convert(const wchar_t* path, const SearchRequest& request) {
    thread_local std::vector<char>* bufferSlot = nullptr;
    std::vector<char>& buffer = ThreadScratch(bufferSlot);
    size_t size = 0;
    if (!ReadFileIntoBuffer(path, &buffer, &size)) {
        ReleaseLargeBuffer(&buffer);
        return nullptr;
    }
    HGLOBAL text = ConvertBytes(buffer.data(), request, true);
    ReleaseLargeBuffer(&buffer);
    return text;
}

void XliffConverter::SetIgnoredNames(const wchar_t* ignoreTags) {
    ignoredNames.clear();
    // Names are compared with the document's UTF-8 names. Every space and
    // tab ends a piece; empty pieces (doubled or outer separators) are
    // dropped, since an empty name would match every text node.
    std::string piece;
    const size_t length = wcslen(ignoreTags);
    std::wstring wide;
    for (size_t i = 0; i <= length; ++i) {
        const wchar_t c = ignoreTags[i];
        if (c == L' ' || c == L'\t' || c == 0) {
            if (!wide.empty()) {
                const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(),
                                                      static_cast<int>(wide.size()), nullptr, 0,
                                                      nullptr, nullptr);
                piece.assign(static_cast<size_t>(bytes), '\0');
                WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                    piece.data(), bytes, nullptr, nullptr);
                ignoredNames.push_back(piece);
            }
            wide.clear();
        } else {
            wide += c;
        }
    }
}

void XliffConverter::Prune(XmlNode* node) {
    XmlNode* child = node->first_node();
    while (child) {
        XmlNode* next = child->next_sibling();
        bool ignored = false;
        // A prefixed name is also known by its local name: "note" prunes
        // "xlf:note" too.
        const char* local = static_cast<const char*>(memchr(child->name(), ':', child->name_size()));
        const size_t localSize = local ? child->name_size() - static_cast<size_t>(++local - child->name()) : 0;
        for (const std::string& name : ignoredNames) {
            if ((child->name_size() == name.size() && memcmp(child->name(), name.data(), name.size()) == 0) ||
                (local && localSize == name.size() && memcmp(local, name.data(), name.size()) == 0)) {
                ignored = true;
                break;
            }
        }
        if (ignored)
            node->remove_node(child);
        else
            Prune(child);
        child = next;
    }
}

void XliffConverter::Collect(const XmlNode* node, Runs* into) {
    if (node->type() == rapidxml::node_data) {
        into->runs.push_back({node->value(), node->value_size()});
        into->bytes += node->value_size() + 1;
    }
    for (const XmlNode* child = node->first_node(); child; child = child->next_sibling())
        Collect(child, into);
}

wchar_t* XliffConverter::WriteRuns(const Runs& from, wchar_t* out, const wchar_t* base,
                                   std::vector<TextRange>* places) {
    // Each run is followed by a space, which also ends any broken UTF-8
    // sequence at its end: the runs convert one by one as their joined text
    // would. A run the strict decoder refuses goes to the system converter
    // together with its space.
    std::string broken;
    for (const TextRun& run : from.runs) {
        const wchar_t* start = out;
        size_t units = 0;
        const bool strict = Utf8ToUtf16Strict(run.text, run.size, out, &units);
        if (strict) {
            out += units;
            *out++ = L' ';
        } else {
            broken.assign(run.text, run.size);
            broken.push_back(' ');
            out += Utf8ToUtf16Bounded(broken.data(), broken.size(), out);
        }
        if (places)
            places->push_back({static_cast<uint32_t>(start - base), static_cast<uint32_t>(out - 1 - base)});
    }
    return out;
}

namespace {

// An id as shown: UTF-8 of the document, tabs and line breaks as spaces.
std::wstring IdText(const rapidxml::xml_attribute<char>* id) {
    return id ? SegmentIdText(id->value(), id->value_size()) : std::wstring();
}

}  // namespace

namespace {

// A short ASCII attribute (a language tag); empty for anything else.
std::wstring AsciiAttribute(const XmlNode* node, const char* name) {
    const auto* attribute = node->first_attribute(name);
    if (!attribute || attribute->value_size() > 35)
        return std::wstring();
    std::wstring value;
    for (size_t i = 0; i < attribute->value_size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(attribute->value()[i]);
        if (c >= 0x80)
            return std::wstring();
        value += static_cast<wchar_t>(c);
    }
    return value;
}

}  // namespace

void XliffConverter::MakeSegments() {
    // All sources' parts, then all targets': each side of a unit is one run.
    segments.clear();
    std::vector<TextRange>& pieces = segments.Pieces();
    const size_t targetBase = sourcePlaces.size();
    pieces.swap(sourcePlaces);
    pieces.insert(pieces.end(), targetPlaces.begin(), targetPlaces.end());
    std::vector<TextRange>().swap(targetPlaces);
    segments.Reserve(segmentRuns.size());
    for (SegmentRuns& r : segmentRuns) {
        segments.AddSegment(std::move(r.id), r.sourceBegin, r.sourceEnd - r.sourceBegin,
                            static_cast<uint32_t>(targetBase) + r.targetBegin, r.targetEnd - r.targetBegin);
        segments.SetLastState(r.state, r.locked);
        segments.SetLastLine(r.line);
        segments.SetLastMaxLength(r.maxLength);
        segments.AddCodes(false, r.sourceCodes);
        segments.AddCodes(true, r.targetCodes);
    }
    // What was gathered for them goes before the search adds its own.
    std::vector<SegmentRuns>().swap(segmentRuns);
}

bool XliffConverter::IsXliffName(const XmlNode* node, const char* local) const {
    if (NameIs(node, local))
        return true;
    if (prefix.empty())
        return false;  // the name was compared whole above
    const size_t n = node->name_size();
    return prefix.size() < n && memcmp(node->name(), prefix.data(), prefix.size()) == 0 &&
           strlen(local) == n - prefix.size() && memcmp(node->name() + prefix.size(), local, n - prefix.size()) == 0;
}

namespace {

bool AttributeIs(const XmlNode* node, const char* name, const char* value) {
    const auto* attribute = node ? node->first_attribute(name) : nullptr;
    return attribute && attribute->value_size() == strlen(value) && memcmp(attribute->value(), value, strlen(value)) == 0;
}

// A 1.2 target's state (with the unit's approval) or a 2.0 segment's state.
SegmentState StateOf(const XmlNode* unit, const XmlNode* target, bool versionTwo) {
    if (versionTwo) {
        static const std::pair<const char*, SegmentState> kStates[] = {{"initial", SegmentState::kNew},
                                                                        {"translated", SegmentState::kTranslated},
                                                                        {"reviewed", SegmentState::kReviewed},
                                                                        {"final", SegmentState::kFinal}};
        for (const auto& [name, state] : kStates) {
            if (AttributeIs(unit, "state", name))
                return state;
        }
        return SegmentState::kUnknown;
    }
    if (AttributeIs(unit, "approved", "yes"))
        return SegmentState::kFinal;
    static const std::pair<const char*, SegmentState> kStates[] = {
        {"new", SegmentState::kNew},
        {"needs-translation", SegmentState::kNew},
        {"needs-adaptation", SegmentState::kDraft},
        {"needs-l10n", SegmentState::kDraft},
        {"needs-review-translation", SegmentState::kDraft},
        {"needs-review-adaptation", SegmentState::kDraft},
        {"needs-review-l10n", SegmentState::kDraft},
        {"translated", SegmentState::kTranslated},
        {"signed-off", SegmentState::kReviewed},
        {"final", SegmentState::kFinal}};
    for (const auto& [name, state] : kStates) {
        if (AttributeIs(target, "state", name))
            return state;
    }
    return SegmentState::kUnknown;
}

// The state and lock that the tools which write their own attributes give a
// 1.2 unit: one "sdl:seg" per segment of the unit in "sdl:seg-defs" (its
// "conf" and "locked"), or "mq:status" and "mq:locked" on the unit. A unit
// of several segments takes the least advanced state among them (rejected
// before all), and is locked when every one of them is. False when the
// unit carries neither.
bool ToolState(const XmlNode* unit, SegmentState* state, bool* locked) {
    if (const auto* status = unit->first_attribute("mq:status")) {
        static const std::pair<const char*, SegmentState> kStates[] = {
            {"NotStarted", SegmentState::kNew},          {"Editing", SegmentState::kDraft},
            {"PartiallyEdited", SegmentState::kDraft},   {"Pretranslated", SegmentState::kDraft},
            {"MachineTranslationSuggested", SegmentState::kDraft},
            {"ManuallyConfirmed", SegmentState::kTranslated}, {"Reviewer1Confirmed", SegmentState::kReviewed},
            {"Reviewer2Confirmed", SegmentState::kFinal}, {"Rejected", SegmentState::kRejected}};
        *state = SegmentState::kUnknown;
        for (const auto& [name, value] : kStates) {
            if (status->value_size() == strlen(name) && memcmp(status->value(), name, status->value_size()) == 0)
                *state = value;
        }
        *locked = AttributeIs(unit, "mq:locked", "locked") || AttributeIs(unit, "mq:locked", "true");
        return true;
    }
    static const std::pair<const char*, SegmentState> kConfirmations[] = {
        {"Draft", SegmentState::kDraft},
        {"Translated", SegmentState::kTranslated},
        {"RejectedTranslation", SegmentState::kRejected},
        {"ApprovedTranslation", SegmentState::kReviewed},
        {"RejectedSignOff", SegmentState::kRejected},
        {"ApprovedSignOff", SegmentState::kFinal}};
    // Least advanced first: rejected, new, draft, translated, reviewed, final.
    auto rank = [](SegmentState s) {
        return s == SegmentState::kRejected ? 0 : static_cast<int>(s);
    };
    bool found = false;
    for (const XmlNode* defs = unit->first_node(); defs; defs = defs->next_sibling()) {
        if (defs->type() != rapidxml::node_element || !LocalNameIs(defs, "seg-defs"))
            continue;
        for (const XmlNode* seg = defs->first_node(); seg; seg = seg->next_sibling()) {
            if (seg->type() != rapidxml::node_element || !LocalNameIs(seg, "seg"))
                continue;
            SegmentState own = SegmentState::kNew;  // no confirmation: not translated yet
            for (const auto& [name, value] : kConfirmations) {
                if (AttributeIs(seg, "conf", name))
                    own = value;
            }
            const bool ownLocked = AttributeIs(seg, "locked", "true");
            *state = !found || rank(own) < rank(*state) ? own : *state;
            *locked = found ? *locked && ownLocked : ownLocked;
            found = true;
        }
    }
    return found;
}

// A 1.2 unit's "maxwidth" when its "size-unit" is "char"; 0 otherwise.
int MaxLengthOf(const XmlNode* unit) {
    const auto* width = unit->first_attribute("maxwidth");
    if (!width || !AttributeIs(unit, "size-unit", "char") || width->value_size() == 0 || width->value_size() > 9)
        return 0;
    int value = 0;
    for (size_t i = 0; i < width->value_size(); ++i) {
        const char c = width->value()[i];
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

void XliffConverter::TakeUnit(const XmlNode* unit, const std::wstring* segmentId, bool lockedUnit) {
    const size_t sourceBegin = sourceRuns.runs.size(), targetBegin = targetRuns.runs.size();
    const XmlNode* target = nullptr;
    const bool codes = segmentId && WantsSegments();
    const CodeFormat format = versionTwo ? CodeFormat::kXliff2 : CodeFormat::kXliff1;
    std::wstring sourceCodes, targetCodes;
    for (const XmlNode* child = unit->first_node(); child; child = child->next_sibling()) {
        if (IsXliffName(child, "source")) {
            Collect(child, &sourceRuns);
            if (codes)
                CollectInlineCodes(child, format, &sourceCodes);
        } else if (IsXliffName(child, "target")) {
            Collect(child, &targetRuns);
            target = target ? target : child;
            if (codes)
                CollectInlineCodes(child, format, &targetCodes);
        }
    }
    if (!segmentId || !WantsSegments())
        return;
    SegmentState state = SegmentState::kUnknown;
    bool locked = false;
    if (versionTwo || !ToolState(unit, &state, &locked))
        state = StateOf(unit, target, versionTwo);
    locked = locked || lockedUnit || AttributeIs(unit, "translate", "no");
    segmentRuns.push_back({*segmentId, static_cast<uint32_t>(sourceBegin), static_cast<uint32_t>(sourceRuns.runs.size()),
                           static_cast<uint32_t>(targetBegin), static_cast<uint32_t>(targetRuns.runs.size()), state,
                           locked, lines ? lines->LineOf(unit->name() - 1) : 0, MaxLengthOf(unit), std::move(sourceCodes),
                           std::move(targetCodes)});
}

void XliffConverter::Gather(const XmlNode* node) {
    for (const XmlNode* child = node->first_node(); child; child = child->next_sibling()) {
        if (child->type() != rapidxml::node_element)
            continue;
        if (!versionTwo && IsXliffName(child, "trans-unit")) {
            // Ids: the unit's own, or its place among the units taken.
            ++unitCount;
            std::wstring id = WantsSegments() ? IdText(child->first_attribute("id")) : std::wstring();
            if (WantsSegments() && id.empty())
                id = L"#" + std::to_wstring(unitCount);
            TakeUnit(child, &id);
        } else if (versionTwo && IsXliffName(child, "unit")) {
            // A unit's text stands in its segments and ignorables, in order;
            // each segment is one, known as "unit/segment".
            ++unitCount;
            std::wstring unitId = WantsSegments() ? IdText(child->first_attribute("id")) : std::wstring();
            if (WantsSegments() && unitId.empty())
                unitId = L"#" + std::to_wstring(unitCount);
            int segmentCount = 0;
            for (const XmlNode* part = child->first_node(); part; part = part->next_sibling()) {
                if (IsXliffName(part, "segment")) {
                    ++segmentCount;
                    std::wstring id;
                    if (WantsSegments()) {
                        id = IdText(part->first_attribute("id"));
                        id = unitId + L"/" + (id.empty() ? std::to_wstring(segmentCount) : id);
                    }
                    TakeUnit(part, &id, AttributeIs(child, "translate", "no"));
                } else if (IsXliffName(part, "ignorable")) {
                    TakeUnit(part);
                }
            }
        } else {
            if (!versionTwo && IsXliffName(child, "file") && sourceLanguage.empty()) {
                sourceLanguage = AsciiAttribute(child, "source-language");
                targetLanguage = AsciiAttribute(child, "target-language");
            }
            Gather(child);
        }
    }
}

void XliffConverter::ReadRoot(const XmlNode* top) {
    // The root's prefix, if any, is the one the document's XLIFF names carry;
    // the root's version tells 2.0 units from 1.2 trans-units.
    prefix.clear();
    versionTwo = false;
    sourceLanguage.clear();
    targetLanguage.clear();
    SetReadAs(L"XLIFF");
    const char* colon = static_cast<const char*>(memchr(top->name(), ':', top->name_size()));
    const char* local = colon ? colon + 1 : top->name();
    const size_t localSize = top->name_size() - static_cast<size_t>(local - top->name());
    if (localSize != 5 || memcmp(local, "xliff", 5) != 0)
        return;
    prefix.assign(top->name(), static_cast<size_t>(local - top->name()));
    if (const auto* version = top->first_attribute("version")) {
        versionTwo = version->value_size() >= 1 && version->value()[0] == '2';
        if (version->value_size() > 0 && version->value_size() <= 8)
            SetReadAs(L"XLIFF " + std::wstring(version->value(), version->value() + version->value_size()));
    }
    if (versionTwo) {
        sourceLanguage = AsciiAttribute(top, "srcLang");
        targetLanguage = AsciiAttribute(top, "trgLang");
    }
}

HGLOBAL XliffConverter::ConvertDocument(HGLOBAL block, const SearchRequest& request) {
    if (!block)
        return nullptr;
    GlobalLockGuard<char> bytes(block);
    if (!bytes.Get())
        return nullptr;
    // The parser works in place up to the first NUL, which must lie inside the block.
    if (!memchr(bytes.Get(), 0, GlobalSize(block)))
        return nullptr;
    return ConvertBytes(bytes.Get(), request);
}

HGLOBAL XliffConverter::ConvertBytes(char* bytes, const SearchRequest& request, bool fileLines) {
    SetIgnoredNames(request.ignoreTags);
    // UTF-16 would be taken for markup that is not well-formed: say what it is.
    const auto* lead = reinterpret_cast<const unsigned char*>(bytes);
    if ((lead[0] == 0xFF && lead[1] == 0xFE) || (lead[0] == 0xFE && lead[1] == 0xFF) || (lead[0] == '<' && lead[1] == 0))
        return Fail(L"an XLIFF document in UTF-16, an encoding the XLIFF reader does not take");
    // The lines are counted before the parser changes the text in place.
    LineIndex lineIndex;
    if (WantsSegments() && fileLines)
        lineIndex.Build(bytes);
    lines = WantsSegments() && fileLines ? &lineIndex : nullptr;
    XmlDocument document;
    if (!document.Parse(bytes)) {
        lines = nullptr;
        return Fail(document.ErrorText());
    }

    // The run lists reuse the thread's buffers: a clone lives for one file
    // only, and growing fresh lists for every file costs more than the
    // gathering itself.
    thread_local std::vector<TextRun>* sourceSlot = nullptr;
    thread_local std::vector<TextRun>* targetSlot = nullptr;
    std::vector<TextRun>& sourceBuffer = ThreadScratch(sourceSlot);
    std::vector<TextRun>& targetBuffer = ThreadScratch(targetSlot);
    sourceRuns.runs.swap(sourceBuffer);
    targetRuns.runs.swap(targetBuffer);
    sourceRuns.runs.clear();
    targetRuns.runs.clear();
    sourceRuns.bytes = 0;
    targetRuns.bytes = 0;
    segments.clear();
    segmentRuns.clear();
    sourcePlaces.clear();
    targetPlaces.clear();
    unitCount = 0;
    XmlNode* top = document.Root()->first_node();
    if (top) {
        ReadRoot(top);
        if (!ignoredNames.empty())
            Prune(top);
        Gather(top);
    }
    // Source text, a line break, target text, straight into the result
    // block; a UTF-8 byte never gives more than one unit.
    HGLOBAL result =
        AllocUnclearedTextBlock((sourceRuns.bytes + 2 + targetRuns.bytes + 1) * sizeof(wchar_t));
    bool written = false;
    if (result) {
        GlobalLockGuard<wchar_t> out(result);
        if (out.Get()) {
            const bool places = WantsSegments();
            wchar_t* p = WriteRuns(sourceRuns, out.Get(), out.Get(), places ? &sourcePlaces : nullptr);
            *p++ = L'\r';
            *p++ = L'\n';
            p = WriteRuns(targetRuns, p, out.Get(), places ? &targetPlaces : nullptr);
            if (places) {
                MakeSegments();
                segments.NoteLanguages(sourceLanguage, targetLanguage);
            }
            *p = 0;
            written = true;
        }
    }
    lines = nullptr;
    sourceRuns.runs.swap(sourceBuffer);
    targetRuns.runs.swap(targetBuffer);
    ReleaseIfLarge(sourceBuffer);
    ReleaseIfLarge(targetBuffer);
    if (!written && result) {
        FreeTextBlock(result);
        result = nullptr;
    }
    return result;
}
