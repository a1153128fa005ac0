// SSE2 where wchar_t is a UTF-16 unit (Windows); plain loops elsewhere.
#include "base/TextScan.h"

#include <climits>
#include <cstring>
#include <cwchar>

#if defined(__SSE2__) && WCHAR_MAX <= 0xFFFF
#include <emmintrin.h>
#define MIRLOCK_SSE2 1
#endif

size_t FindNul(const wchar_t* text, size_t capacity) {
    size_t i = 0;
#ifdef MIRLOCK_SSE2
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= capacity; i += 8) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(block, zero));
        if (mask)
            return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
    }
#endif
    for (; i < capacity; ++i) {
        if (!text[i])
            return i;
    }
    return capacity;
}

namespace {

// Whether the units between the first and the last of the needle agree; the
// two ends are compared already. Short needles are the rule, and a call into
// the C runtime per candidate costs more than the comparison.
inline bool MiddleAgrees(const wchar_t* candidate, const wchar_t* needle, size_t needleLength) {
    for (size_t i = 1; i + 1 < needleLength; ++i) {
        if (candidate[i] != needle[i])
            return false;
    }
    return true;
}

}  // namespace

const wchar_t* FindLiteral(const wchar_t* begin, const wchar_t* end, const wchar_t* needle,
                           size_t needleLength) {
    if (needleLength == 0 || begin > end || static_cast<size_t>(end - begin) < needleLength)
        return nullptr;
    const wchar_t* const lastStart = end - needleLength;  // the last position a hit may begin
    const wchar_t first = needle[0];
    const wchar_t last = needle[needleLength - 1];
    const wchar_t* p = begin;
#ifdef MIRLOCK_SSE2
    // Compare the first and the last unit of the needle at eight positions at
    // once; only positions where both agree are compared in full.
    const __m128i firstSplat = _mm_set1_epi16(static_cast<short>(first));
    const __m128i lastSplat = _mm_set1_epi16(static_cast<short>(last));
    auto candidates = [&](const wchar_t* at) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + needleLength - 1));
        return _mm_and_si128(_mm_cmpeq_epi16(a, firstSplat), _mm_cmpeq_epi16(b, lastSplat));
    };
    auto check = [&](const wchar_t* at, __m128i agree) -> const wchar_t* {
        for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(agree)); mask;
             mask &= mask - 1) {
            const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
            mask &= ~(1u << bit);  // both bytes of the lane
            if (MiddleAgrees(at + bit / 2, needle, needleLength))
                return at + bit / 2;
        }
        return nullptr;
    };
    // Sixteen positions a step, one test for all while none is a candidate.
    for (; lastStart - p >= 16; p += 16) {
        const __m128i low = candidates(p), high = candidates(p + 8);
        if (_mm_movemask_epi8(_mm_or_si128(low, high)) == 0)
            continue;
        if (const wchar_t* hit = check(p, low))
            return hit;
        if (const wchar_t* hit = check(p + 8, high))
            return hit;
    }
    for (; lastStart - p >= 8; p += 8) {
        if (const wchar_t* hit = check(p, candidates(p)))
            return hit;
    }
#endif
    for (; p <= lastStart; ++p) {
        if (*p == first && p[needleLength - 1] == last && MiddleAgrees(p, needle, needleLength))
            return p;
    }
    return nullptr;
}

const wchar_t* FindLastUnit(const wchar_t* begin, const wchar_t* end, wchar_t unit) {
    const wchar_t* p = end;
#ifdef MIRLOCK_SSE2
    const __m128i splat = _mm_set1_epi16(static_cast<short>(unit));
    while (p - begin >= 8) {
        p -= 8;
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned mask =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(block, splat)));
        if (mask)
            return p + (31 - __builtin_clz(mask)) / 2;
    }
#endif
    while (p > begin) {
        if (*--p == unit)
            return p;
    }
    return nullptr;
}
