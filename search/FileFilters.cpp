// Size and time bounds of a search.
#include "search/FileFilters.h"

#include <cwctype>

#include "base/LongPath.h"
#include "base/SearchRecords.h"

namespace {

constexpr unsigned long long kHour = 36000000000ull;  // in 100-nanosecond units

unsigned long long Value(const FILETIME& time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool AllDigits(const std::wstring& text, size_t from, size_t to) {
    if (from >= to)
        return false;
    for (size_t i = from; i < to; ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return false;
    }
    return true;
}

}  // namespace

bool HasFileFilters(const SearchRequest& r) {
    return r.minSize || r.maxSize || r.modifiedFrom || r.modifiedBefore;
}

bool WithinFileFilters(const SearchRequest& r, const wchar_t* path, const WIN32_FIND_DATAW& entry) {
    if (!HasFileFilters(r))
        return true;
    unsigned long long size = (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    unsigned long long changed = Value(entry.ftLastWriteTime);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A link: what it leads to is what is searched.
        WIN32_FILE_ATTRIBUTE_DATA target{};
        if (GetFileAttributesExW(VerbatimPath(path).c_str(), GetFileExInfoStandard, &target)) {
            size = (static_cast<unsigned long long>(target.nFileSizeHigh) << 32) | target.nFileSizeLow;
            changed = Value(target.ftLastWriteTime);
        }
    }
    if (size < r.minSize || (r.maxSize && size > r.maxSize))
        return false;
    if (changed < r.modifiedFrom || (r.modifiedBefore && changed >= r.modifiedBefore))
        return false;
    return true;
}

bool ParseByteSize(const std::wstring& text, unsigned long long* bytes) {
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9')
        ++digits;
    if (digits == 0 || digits > 18)
        return false;
    std::wstring unit = text.substr(digits);
    for (wchar_t& c : unit)
        c = static_cast<wchar_t>(std::towupper(c));
    int shift = 0;
    if (unit == L"K" || unit == L"KB")
        shift = 10;
    else if (unit == L"M" || unit == L"MB")
        shift = 20;
    else if (unit == L"G" || unit == L"GB")
        shift = 30;
    else if (!unit.empty() && unit != L"B")
        return false;
    const unsigned long long value = std::stoull(text.substr(0, digits));
    if (value > (1ull << (63 - shift)))
        return false;
    *bytes = value << shift;
    return true;
}

bool LocalDayStart(int year, int month, int day, bool dayAfter, unsigned long long* time) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1] + (month == 2 && leap ? 1 : 0))
        return false;
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(year);
    local.wMonth = static_cast<WORD>(month);
    local.wDay = static_cast<WORD>(day);
    FILETIME asFile{};
    if (year < 1601 || year > 30827 || !SystemTimeToFileTime(&local, &asFile))
        return false;
    if (dayAfter) {
        const unsigned long long next = Value(asFile) + 24 * kHour;
        asFile.dwLowDateTime = static_cast<DWORD>(next);
        asFile.dwHighDateTime = static_cast<DWORD>(next >> 32);
        FileTimeToSystemTime(&asFile, &local);
    }
    SYSTEMTIME utc{};
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !SystemTimeToFileTime(&utc, &asFile))
        return false;
    *time = Value(asFile);
    return true;
}

bool ParseLocalDay(const std::wstring& text, bool dayAfter, unsigned long long* time) {
    if (text.size() != 10 || text[4] != L'-' || text[7] != L'-' || !AllDigits(text, 0, 4) || !AllDigits(text, 5, 7) ||
        !AllDigits(text, 8, 10))
        return false;
    return LocalDayStart(std::stoi(text.substr(0, 4)), std::stoi(text.substr(5, 2)), std::stoi(text.substr(8, 2)),
                         dayAfter, time);
}

bool ParseWithin(const std::wstring& text, unsigned long long now, unsigned long long* time) {
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9')
        ++digits;
    if (digits == 0 || digits > 7)
        return false;
    const std::wstring unit = text.substr(digits);
    unsigned long long hours = std::stoull(text.substr(0, digits));
    if (unit.empty() || unit == L"d" || unit == L"D")
        hours *= 24;
    else if (unit != L"h" && unit != L"H")
        return false;
    const unsigned long long back = hours * kHour;
    *time = back < now ? now - back : 1;  // 1: since the start of time, still a bound
    return true;
}

unsigned long long FileTimeNow() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return Value(now);
}
