// The checks on segments: their names as the console takes them, their
// headings, and the settings a pass runs with.
#pragma once

#include <bitset>
#include <string>

enum class CheckKind : int {
    kUntranslated,
    kSameAsSource,
    kInconsistentTarget,
    kInconsistentSource,
    kNumbers,
    kTags,
    kSpaces,
    kPunctuation,
    kUrls,
    kRepeatedWords,
    kBrackets,
    kTerms,
    kLength,
    kCustom,
    kCount
};

constexpr int kCheckCount = static_cast<int>(CheckKind::kCount);

// "untranslated", "same-as-source", ... in the order of CheckKind.
const wchar_t* CheckName(CheckKind kind);
// "Untranslated", "Same as source", ...: a group's heading.
const wchar_t* CheckHeading(CheckKind kind);
// The kind named `name`; false for no check of that name.
bool CheckByName(const std::wstring& name, CheckKind* kind);

struct CheckSettings {
    std::bitset<kCheckCount> enabled;
    bool sameAsSourceCase = true;    // same-as-source: letter case counts
    bool termsCase = false;          // terms: letter case counts
    bool consistencyIgnoreCase = false;
    bool consistencyIgnoreCodes = false;
    bool consistencyCollapseSpaces = true;
    bool tagOrderMatters = false;
    int lengthPercent = 0;           // length: 0 is off
    bool checkLocked = false;        // locked segments are checked too
    // The workflow states checked (bit n: SegmentState n); a segment whose
    // file does not say its state is always checked.
    unsigned statuses = ~0u;
    bool On(CheckKind kind) const { return enabled.test(static_cast<size_t>(kind)); }
};

// Parses a list such as "translated,reviewed" into the bits of statuses;
// false with the unknown name in *bad.
bool ParseStatusList(const std::wstring& list, unsigned* statuses, std::wstring* bad);

// Parses a list such as "numbers,tags" or "all" into `settings`; false with
// the unknown name in *bad.
bool ParseCheckList(const std::wstring& list, CheckSettings* settings, std::wstring* bad);
