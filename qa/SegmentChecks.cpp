// The per-segment checks: untranslated, same as source, numbers,
// inline codes and placeholders, spaces, final punctuation, links, repeated words, brackets,
// terms, length and the checklist.
#include "qa/SegmentChecks.h"

#include <algorithm>
#include <array>
#include <cwctype>
#include <map>

#include "qa/Checklist.h"
#include "qa/Glossary.h"
#include "qa/TextParts.h"

namespace {

using Notes = std::vector<SegmentNote>;

void Note(Notes* notes, int index, CheckKind kind, std::wstring message, std::vector<ShownSpan> source = {},
          std::vector<ShownSpan> target = {}) {
    SegmentNote note;
    note.segment = index;
    note.kind = static_cast<int>(kind);
    note.message = std::move(message);
    note.sourceSpans = std::move(source);
    note.targetSpans = std::move(target);
    notes->push_back(std::move(note));
}

std::wstring_view Trim(std::wstring_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsSpace(text[begin]))
        ++begin;
    while (end > begin && IsSpace(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool HasLetter(std::wstring_view text) {
    std::vector<bool> inLink(text.size(), false);
    for (const TextPart& link : FindLinks(text))
        std::fill(inLink.begin() + link.span.begin, inLink.begin() + link.span.end, true);
    for (const TextPart& p : FindPlaceholders(text))
        std::fill(inLink.begin() + p.span.begin, inLink.begin() + p.span.end, true);
    for (size_t i = 0; i < text.size(); ++i) {
        if (!inLink[i] && IsLetter(text[i]))
            return true;
    }
    return false;
}

bool SameText(std::wstring_view a, std::wstring_view b, bool matchCase) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [matchCase](wchar_t x, wchar_t y) {
               return x == y || (!matchCase && std::towlower(x) == std::towlower(y));
           });
}

// Every word of `source` lies in a glossary term whose target terms hold
// that same term: a product name, a term that stays as it is.
bool AllWordsKeptTerms(std::wstring_view source, const Glossary* glossary) {
    if (!glossary || glossary->Empty())
        return false;
    std::vector<bool> covered(source.size(), false);
    for (const Glossary::Entry& entry : glossary->Entries()) {
        if (std::find(entry.targets.begin(), entry.targets.end(), entry.source) == entry.targets.end())
            continue;
        for (int at = FindWholeTerm(source, entry.source, true); at >= 0;
             at = FindWholeTerm(source, entry.source, true, static_cast<size_t>(at) + 1))
            std::fill(covered.begin() + at, covered.begin() + at + static_cast<int>(entry.source.size()), true);
    }
    for (const TextPart& word : FindWords(source)) {
        bool isNumber = true;
        for (int i = word.span.begin; i < word.span.end; ++i)
            isNumber &= DigitValue(source[static_cast<size_t>(i)]) >= 0;
        if (!isNumber && !covered[static_cast<size_t>(word.span.begin)])
            return false;
    }
    return true;
}

// The parts of `from` whose values `other` lacks, counted as multisets.
std::vector<const TextPart*> Missing(const std::vector<TextPart>& from, const std::vector<TextPart>& other) {
    if (from.empty())
        return {};
    std::map<std::wstring, int> counts;
    for (const TextPart& p : other)
        ++counts[p.value];
    std::vector<const TextPart*> missing;
    for (const TextPart& p : from) {
        auto it = counts.find(p.value);
        if (it == counts.end() || it->second == 0)
            missing.push_back(&p);
        else
            --it->second;
    }
    return missing;
}

std::wstring Shown(std::wstring_view text, ShownSpan span) {
    return std::wstring(text.substr(static_cast<size_t>(span.begin), static_cast<size_t>(span.end - span.begin)));
}

void CheckNumbers(const ShownSegment& s, int index, const SegmentCheckContext& c, Notes* notes) {
    const auto source = FindNumbers(s.source, c.sourceLanguage);
    const auto target = FindNumbers(s.target, c.targetLanguage);
    for (const TextPart* p : Missing(source, target))
        Note(notes, index, CheckKind::kNumbers, Shown(s.source, p->span) + L" missing in the target", {p->span});
    for (const TextPart* p : Missing(target, source))
        Note(notes, index, CheckKind::kNumbers, Shown(s.target, p->span) + L" not in the source", {}, {p->span});
}

// A side's inline codes: "kind id" each, ended by U+001F.
std::vector<std::wstring_view> SplitCodes(const std::wstring& codes) {
    std::vector<std::wstring_view> list;
    std::wstring_view rest = codes;
    while (!rest.empty()) {
        const size_t end = rest.find(L'\x1F');
        list.push_back(rest.substr(0, end));
        rest = end == std::wstring_view::npos ? std::wstring_view() : rest.substr(end + 1);
    }
    return list;
}

// How a code is named in a message: by its id, else by its kind.
std::wstring CodeName(std::wstring_view code) {
    const size_t space = code.find(L' ');
    std::wstring_view id = space == std::wstring_view::npos ? std::wstring_view() : Trim(code.substr(space + 1));
    return std::wstring(id.empty() ? code.substr(0, space) : id);
}

// The target's inline codes against the source's, by kind and id.
void CheckCodes(const ShownSegment& s, int index, const SegmentCheckContext& c, Notes* notes) {
    if (s.sourceCodes.empty() && s.targetCodes.empty())
        return;
    const auto source = SplitCodes(s.sourceCodes);
    const auto target = SplitCodes(s.targetCodes);
    auto missing = [](const std::vector<std::wstring_view>& from, const std::vector<std::wstring_view>& other) {
        std::map<std::wstring_view, int> counts;
        for (std::wstring_view code : other)
            ++counts[code];
        std::vector<std::wstring_view> lacking;
        for (std::wstring_view code : from) {
            auto it = counts.find(code);
            if (it == counts.end() || it->second == 0)
                lacking.push_back(code);
            else
                --it->second;
        }
        return lacking;
    };
    const auto lost = missing(source, target);
    const auto extra = missing(target, source);
    for (std::wstring_view code : lost)
        Note(notes, index, CheckKind::kTags, L"tag " + CodeName(code) + L" missing in the target");
    for (std::wstring_view code : extra)
        Note(notes, index, CheckKind::kTags, L"tag " + CodeName(code) + L" not in the source");
    if (lost.empty() && extra.empty() && c.settings->tagOrderMatters && source != target)
        Note(notes, index, CheckKind::kTags, L"tags in another order");
}

void CheckPlaceholders(const ShownSegment& s, int index, const SegmentCheckContext& c, Notes* notes) {
    const auto source = FindPlaceholders(s.source);
    const auto target = FindPlaceholders(s.target);
    const auto missing = Missing(source, target);
    const auto extra = Missing(target, source);
    for (const TextPart* p : missing)
        Note(notes, index, CheckKind::kTags, L"placeholder " + p->value + L" missing in the target", {p->span});
    for (const TextPart* p : extra)
        Note(notes, index, CheckKind::kTags, L"placeholder " + p->value + L" not in the source", {}, {p->span});
    if (missing.empty() && extra.empty() && c.settings->tagOrderMatters) {
        for (size_t i = 0; i < source.size(); ++i) {
            if (source[i].value != target[i].value) {
                Note(notes, index, CheckKind::kTags, L"placeholders in another order", {source[i].span},
                     {target[i].span});
                break;
            }
        }
    }
}

void CheckSpaces(const ShownSegment& s, int index, Notes* notes) {
    for (size_t at = s.target.find(L"  "); at != std::wstring::npos; at = s.target.find(L"  ", at + 2)) {
        if (s.source.find(L"  ") == std::wstring::npos) {
            size_t end = at;
            while (end < s.target.size() && s.target[end] == L' ')
                ++end;
            Note(notes, index, CheckKind::kSpaces, L"double space in the target", {},
                 {{static_cast<int>(at), static_cast<int>(end)}});
            at = end;
        }
    }
    if (Trim(s.target).empty())
        return;
    const auto leading = [](const std::wstring& t) {
        size_t n = 0;
        while (n < t.size() && IsSpace(t[n]))
            ++n;
        return t.substr(0, n);
    };
    const auto trailing = [](const std::wstring& t) {
        size_t n = t.size();
        while (n > 0 && IsSpace(t[n - 1]))
            --n;
        return t.substr(n);
    };
    if (leading(s.source) != leading(s.target))
        Note(notes, index, CheckKind::kSpaces, L"leading space differs", {}, {{0, static_cast<int>(leading(s.target).size())}});
    if (trailing(s.source) != trailing(s.target)) {
        const int n = static_cast<int>(trailing(s.target).size()), size = static_cast<int>(s.target.size());
        Note(notes, index, CheckKind::kSpaces, L"trailing space differs", {}, {{size - n, size}});
    }
}

void CheckPunctuation(const ShownSegment& s, int index, const SegmentCheckContext& c, Notes* notes) {
    ShownSpan sourceAt{-1, -1}, targetAt{-1, -1};
    const std::wstring source = FinalMark(s.source, c.sourceLanguage, &sourceAt);
    const std::wstring target = FinalMark(s.target, c.targetLanguage, &targetAt);
    if (source == target)
        return;
    std::wstring message;
    if (source.empty())
        message = L"the target ends with \"" + Shown(s.target, targetAt) + L"\", the source with no mark";
    else if (target.empty())
        message = L"the source ends with \"" + Shown(s.source, sourceAt) + L"\", the target with no mark";
    else
        message = L"the source ends with \"" + Shown(s.source, sourceAt) + L"\", the target with \"" +
                  Shown(s.target, targetAt) + L"\"";
    Note(notes, index, CheckKind::kPunctuation, message, source.empty() ? std::vector<ShownSpan>{} : std::vector{sourceAt},
         target.empty() ? std::vector<ShownSpan>{} : std::vector{targetAt});
}

void CheckLinks(const ShownSegment& s, int index, Notes* notes) {
    const auto source = FindLinks(s.source);
    const auto target = FindLinks(s.target);
    for (const TextPart* p : Missing(source, target))
        Note(notes, index, CheckKind::kUrls, p->value + L" missing in the target", {p->span});
}

// Whether each unit belongs to a word (a letter, a digit, "_"): one table,
// since a letter beyond ASCII asks the runtime otherwise.
const bool* WordUnits() {
    static const bool* const table = [] {
        static bool units[0x10000] = {};
        for (unsigned c = 0; c < 0x10000; ++c) {
            const wchar_t w = static_cast<wchar_t>(c);
            units[c] = IsLetter(w) || DigitValue(w) >= 0 || w == L'_';
        }
        return units;
    }();
    return table;
}

inline bool IsWordUnit(wchar_t c) { return WordUnits()[static_cast<uint16_t>(c)]; }

// The word that starts at `at` ends here (letters, digits, "_").
size_t WordEnd(std::wstring_view text, size_t at) {
    while (at < text.size() && IsWordUnit(text[at]))
        ++at;
    return at;
}

bool SameWord(std::wstring_view text, size_t a, size_t b, size_t length) {
    for (size_t k = 0; k < length; ++k) {
        if (text[a + k] != text[b + k] && std::towlower(text[a + k]) != std::towlower(text[b + k]))
            return false;
    }
    return true;
}

// The places where a word follows itself with only spaces between, in order.
template <class OnRepeat>
void ForEachRepeat(std::wstring_view text, OnRepeat onRepeat) {
    size_t lastBegin = 0, lastEnd = 0;
    bool haveLast = false;
    for (size_t i = 0; i < text.size();) {
        if (!IsWordUnit(text[i])) {
            // Anything but a space between two words parts them.
            if (!IsSpace(text[i]))
                haveLast = false;
            ++i;
            continue;
        }
        const size_t end = WordEnd(text, i);
        if (haveLast && end - i == lastEnd - lastBegin && SameWord(text, lastBegin, i, end - i))
            onRepeat(lastBegin, i, end);
        lastBegin = i;
        lastEnd = end;
        haveLast = true;
        i = end;
    }
}

void CheckRepeatedWords(const ShownSegment& s, int index, Notes* notes) {
    ForEachRepeat(s.target, [&](size_t first, size_t second, size_t end) {
        const std::wstring_view word(s.target.data() + second, end - second);
        bool inSource = false;
        ForEachRepeat(s.source, [&](size_t, size_t b, size_t e) {
            inSource |= e - b == word.size() && std::equal(word.begin(), word.end(), s.source.begin() + b,
                                                           [](wchar_t x, wchar_t y) {
                                                               return x == y || std::towlower(x) == std::towlower(y);
                                                           });
        });
        if (!inSource)
            Note(notes, index, CheckKind::kRepeatedWords, L"\"" + std::wstring(word) + L"\" twice", {},
                 {{static_cast<int>(first), static_cast<int>(end)}});
    });
}

void CheckBrackets(const ShownSegment& s, int index, Notes* notes) {
    ShownSpan bad{-1, -1};
    if (!BracketsPaired(s.source, &bad))
        return;
    if (!BracketsPaired(s.target, &bad))
        Note(notes, index, CheckKind::kBrackets, L"unpaired \"" + Shown(s.target, bad) + L"\" in the target", {}, {bad});
}

void CheckTerms(const ShownSegment& s, int index, const SegmentCheckContext& c, Notes* notes) {
    const bool matchCase = c.settings->termsCase;
    for (const Glossary::Entry& entry : c.glossary->Entries()) {
        const int at = FindWholeTerm(s.source, entry.source, matchCase);
        if (at >= 0 && !entry.targets.empty()) {
            const bool rendered = std::any_of(entry.targets.begin(), entry.targets.end(), [&](const std::wstring& t) {
                return FindWholeTerm(s.target, t, matchCase) >= 0;
            });
            if (!rendered)
                Note(notes, index, CheckKind::kTerms, L"\"" + entry.source + L"\" without \"" + entry.targets[0] + L"\"",
                     {{at, at + static_cast<int>(entry.source.size())}});
        }
        for (const std::wstring& forbidden : entry.forbidden) {
            const int bad = FindWholeTerm(s.target, forbidden, matchCase);
            if (bad >= 0)
                Note(notes, index, CheckKind::kTerms, L"forbidden term \"" + forbidden + L"\"", {},
                     {{bad, bad + static_cast<int>(forbidden.size())}});
        }
    }
}

// What a side holds that decides whether a check has anything to look at,
// found in one pass: most segments hold no number, placeholder, link or
// bracket, and their checks are then passed over.
struct SideTraits {
    bool digit = false;
    bool placeholder = false;  // "%" or "{"
    bool link = false;         // ":", "@" or "www."
    bool bracket = false;      // a bracket or quotation mark BracketsPaired looks at
};

enum : unsigned char {
    kDigitBit = 1,
    kPlaceholderBit = 2,
    kLinkBit = 4,
    kBracketBit = 8,
    kWBit = 16,
    kDotBit = 32,
};

// Each unit's bits, one table for all of them: a side is then read with one
// load and one "or" a unit.
const unsigned char* TraitTable() {
    static const unsigned char* const table = [] {
        static unsigned char bits[0x10000] = {};
        for (unsigned c = 0; c < 0x10000; ++c) {
            if (DigitValue(static_cast<wchar_t>(c)) >= 0)
                bits[c] |= kDigitBit;
            if ((c >= 0x00AB && c <= 0x00BB) || (c >= 0x2018 && c <= 0x203A) || (c >= 0x300C && c <= 0x3011) ||
                (c >= 0xFF08 && c <= 0xFF09))
                bits[c] |= kBracketBit;
        }
        bits['%'] |= kPlaceholderBit;
        bits['{'] |= kPlaceholderBit | kBracketBit;
        bits[':'] |= kLinkBit;
        bits['@'] |= kLinkBit;
        for (char c : {'"', '(', ')', '[', ']', '}'})
            bits[static_cast<unsigned char>(c)] |= kBracketBit;
        bits['w'] |= kWBit;
        bits['.'] |= kDotBit;
        return bits;
    }();
    return table;
}

SideTraits Traits(std::wstring_view text) {
    const unsigned char* table = TraitTable();
    unsigned bits = 0;
    for (const wchar_t c : text)
        bits |= table[static_cast<uint16_t>(c)];
    SideTraits t;
    t.digit = bits & kDigitBit;
    t.placeholder = bits & kPlaceholderBit;
    t.link = (bits & kLinkBit) ||
             ((bits & (kWBit | kDotBit)) == (kWBit | kDotBit) && text.find(L"www.") != std::wstring_view::npos);
    t.bracket = bits & kBracketBit;
    return t;
}

}  // namespace

void CheckSegment(const ShownSegment& s, int index, const SegmentCheckContext& c, Notes* notes) {
    const CheckSettings& on = *c.settings;
    const std::wstring_view source = Trim(s.source), target = Trim(s.target);
    if (source.empty())
        return;  // nothing to translate, nothing to compare
    if (target.empty()) {
        // The other checks would only repeat that the target is missing.
        if (on.On(CheckKind::kUntranslated))
            Note(notes, index, CheckKind::kUntranslated, L"no translation");
        return;
    }
    if (on.On(CheckKind::kSameAsSource) && SameText(source, target, on.sameAsSourceCase) && HasLetter(source) &&
        !AllWordsKeptTerms(source, c.glossary))
        Note(notes, index, CheckKind::kSameAsSource, L"the target is the source");
    const bool traits =
        on.On(CheckKind::kNumbers) || on.On(CheckKind::kTags) || on.On(CheckKind::kUrls) || on.On(CheckKind::kBrackets);
    const SideTraits inSource = traits ? Traits(s.source) : SideTraits{},
                     inTarget = traits ? Traits(s.target) : SideTraits{};
    if (on.On(CheckKind::kNumbers) && (inSource.digit || inTarget.digit))
        CheckNumbers(s, index, c, notes);
    if (on.On(CheckKind::kTags)) {
        CheckCodes(s, index, c, notes);
        if (inSource.placeholder || inTarget.placeholder)
            CheckPlaceholders(s, index, c, notes);
    }
    if (on.On(CheckKind::kSpaces))
        CheckSpaces(s, index, notes);
    if (on.On(CheckKind::kPunctuation))
        CheckPunctuation(s, index, c, notes);
    // Only the source's links can be missing.
    if (on.On(CheckKind::kUrls) && inSource.link)
        CheckLinks(s, index, notes);
    if (on.On(CheckKind::kRepeatedWords))
        CheckRepeatedWords(s, index, notes);
    // A target without brackets or quotation marks has none unpaired.
    if (on.On(CheckKind::kBrackets) && inTarget.bracket)
        CheckBrackets(s, index, notes);
    if (on.On(CheckKind::kTerms) && c.glossary && !c.glossary->Empty())
        CheckTerms(s, index, c, notes);
    if (on.On(CheckKind::kLength) && s.maxLength > 0) {
        // Characters, not units: a pair of surrogates is one.
        const size_t characters =
            target.size() - static_cast<size_t>(std::count_if(target.begin(), target.end(), [](wchar_t u) {
                return u >= 0xDC00 && u <= 0xDFFF;
            }));
        if (characters > static_cast<size_t>(s.maxLength))
            Note(notes, index, CheckKind::kLength,
                 L"the target has " + std::to_wstring(characters) + L" characters, the limit is " +
                     std::to_wstring(s.maxLength));
    }
    if (on.On(CheckKind::kLength) && on.lengthPercent > 0 &&
        target.size() * 100 > source.size() * static_cast<size_t>(on.lengthPercent))
        Note(notes, index, CheckKind::kLength,
             L"the target is " + std::to_wstring(target.size() * 100 / source.size()) + L" % of the source");
    if (on.On(CheckKind::kCustom) && c.checklist) {
        for (const Checklist::Breach& breach : c.checklist->Check(s.source, s.target)) {
            std::vector<ShownSpan> inSource, inTarget;
            if (breach.sourceSpan.begin >= 0)
                inSource.push_back(breach.sourceSpan);
            if (breach.targetSpan.begin >= 0)
                inTarget.push_back(breach.targetSpan);
            Note(notes, index, CheckKind::kCustom, breach.name, inSource, inTarget);
        }
    }
}
