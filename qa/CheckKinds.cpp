// The names and headings of the checks.
#include "qa/CheckKinds.h"

namespace {

struct KindNames {
    const wchar_t* name;
    const wchar_t* heading;
};

constexpr KindNames kNames[kCheckCount] = {
    {L"untranslated", L"Untranslated"},
    {L"same-as-source", L"Same as source"},
    {L"inconsistent-target", L"Inconsistent target"},
    {L"inconsistent-source", L"Inconsistent source"},
    {L"numbers", L"Numbers"},
    {L"tags", L"Tags"},
    {L"spaces", L"Spaces"},
    {L"punctuation", L"Punctuation"},
    {L"urls", L"URLs"},
    {L"repeated-words", L"Repeated words"},
    {L"brackets", L"Brackets"},
    {L"terms", L"Terms"},
    {L"length", L"Length"},
    {L"custom", L"Checklist"},
};

std::wstring Trimmed(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return std::wstring();
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

}  // namespace

const wchar_t* CheckName(CheckKind kind) { return kNames[static_cast<int>(kind)].name; }

const wchar_t* CheckHeading(CheckKind kind) { return kNames[static_cast<int>(kind)].heading; }

bool CheckByName(const std::wstring& name, CheckKind* kind) {
    for (int i = 0; i < kCheckCount; ++i) {
        if (name == kNames[i].name) {
            *kind = static_cast<CheckKind>(i);
            return true;
        }
    }
    return false;
}

bool ParseCheckList(const std::wstring& list, CheckSettings* settings, std::wstring* bad) {
    settings->enabled.reset();
    size_t from = 0;
    for (;;) {
        const size_t end = list.find(L',', from);
        const std::wstring name = Trimmed(list.substr(from, end == std::wstring::npos ? end : end - from));
        CheckKind kind;
        if (name == L"all") {
            settings->enabled.set();
        } else if (CheckByName(name, &kind)) {
            settings->enabled.set(static_cast<size_t>(kind));
        } else {
            *bad = name;
            return false;
        }
        if (end == std::wstring::npos)
            break;
        from = end + 1;
    }
    return true;
}

bool ParseStatusList(const std::wstring& list, unsigned* statuses, std::wstring* bad) {
    // In the order of the converters' SegmentState, from 1.
    static const wchar_t* const kStates[] = {L"new", L"draft", L"translated", L"reviewed", L"final", L"rejected"};
    *statuses = 1u;  // unknown: always
    size_t from = 0;
    for (;;) {
        const size_t end = list.find(L',', from);
        const std::wstring name = Trimmed(list.substr(from, end == std::wstring::npos ? end : end - from));
        bool known = false;
        for (unsigned i = 0; i < 6; ++i) {
            if (name == kStates[i]) {
                *statuses |= 1u << (i + 1);
                known = true;
            }
        }
        if (!known) {
            *bad = name;
            return false;
        }
        if (end == std::wstring::npos)
            return true;
        from = end + 1;
    }
}
