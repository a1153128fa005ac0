// How the system compares, as read off its sort keys (LCMapStringW with
// LCMAP_SORTKEY | NORM_IGNORECASE) once per process:
// - a "simple" character has exactly one primary weight and no special
//   weight; two simple characters compare equal or not as StrCmpNIW says for
//   the pair, which is asked once per needle character;
// - an "ignorable" character has no primary and no special weight (U+FEFF,
//   combining marks): it vanishes from a comparison;
// - a "special" character has a special weight (hyphen, apostrophe);
// - an "expanding" character has more than one primary weight (æ, ß, most
//   ideographs);
// - a "contextual" character changes the weight of the one before it (a
//   combining mark adds its diacritic, the prolonged sound mark repeats the
//   vowel).
// A window of simple characters matches exactly when each character equals
// the needle's at its place. Any window that holds another kind of character
// is compared with StrCmpNIW itself, unless it cannot match: a needle of
// simple characters has as many primary weights as characters, so a window
// with an ignorable or special character and no expanding one never equals it.
#include "search/CaseInsensitiveFinder.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "base/ShellPath.h"
#include "base/SlimLock.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

enum Kind : uint8_t { kSimple, kIgnorable, kSpecial, kExpanding, kContextual };

// Filled 256 units at a time, when a needle or a text first holds one of
// them: most searches meet a few such pages, and asking the system about all
// 65,536 units would cost more than the search.
struct CharTable {
    LCID locale = GetThreadLocale();
    SlimMutex lock;
    std::atomic<bool> ready[256] = {};
    uint8_t kind[0x10000] = {};
    uint16_t firstWeight[0x10000] = {};  // first two bytes of the primary weights, 0 if none
};

CharTable& SharedTable() {
    static CharTable* table = new CharTable();
    return *table;
}

void FillPage(CharTable& t, unsigned page) {
    BYTE key[512];
    const unsigned first = page << 8;
    for (unsigned c = first; c < first + 256; ++c) {
        const wchar_t ch = static_cast<wchar_t>(c);
        const int n = LCMapStringW(t.locale, LCMAP_SORTKEY | NORM_IGNORECASE, &ch, 1,
                                   reinterpret_cast<LPWSTR>(key), sizeof key);
        // Four sections ended by 01 (primary, diacritic, case, extra), then
        // the special weights up to the closing 00. Weights are never 01.
        int primaryEnd = 0;
        while (primaryEnd < n && key[primaryEnd] != 1)
            ++primaryEnd;
        int separators = 0;
        int specialStart = n;
        for (int i = 0; i < n; ++i) {
            if (key[i] == 1 && ++separators == 4) {
                specialStart = i + 1;
                break;
            }
        }
        const bool hasSpecial = specialStart < n && key[specialStart] != 0;
        const bool hasDiacritic = primaryEnd + 1 < n && key[primaryEnd + 1] != 1;
        uint8_t kind;
        if (n <= 0 || c == 0)
            kind = kExpanding;  // unknown: always compared by the system
        else if (hasSpecial)
            kind = kSpecial;
        else if (primaryEnd == 0)
            kind = hasDiacritic ? kContextual : kIgnorable;
        else if (primaryEnd == 2)
            kind = kSimple;
        else
            kind = kExpanding;
        t.kind[c] = kind;
        t.firstWeight[c] = primaryEnd >= 2 ? static_cast<uint16_t>((key[0] << 8) | key[1]) : 0;
    }
    // Some characters take their weight from the one before them (the
    // prolonged sound mark repeats a vowel): their sort key alone does not
    // tell how they compare, so the system always decides for them.
    const wchar_t probes[] = {L'a', L'o', L'\u30a2'};
    for (unsigned c = first; c < first + 256; ++c) {
        if (c == 0 || t.kind[c] != kSimple)
            continue;
        for (wchar_t probe : probes) {
            const wchar_t pair[2] = {probe, static_cast<wchar_t>(c)};
            const wchar_t twice[2] = {probe, probe};
            if (CompareNoCase(pair, twice, 2) == 0 && CompareNoCase(pair + 1, twice, 1) != 0) {
                t.kind[c] = kContextual;
                break;
            }
        }
    }
}

// The table with the page of unit `c` filled.
const CharTable& TableFor(wchar_t c) {
    CharTable& t = SharedTable();
    const unsigned page = static_cast<uint16_t>(c) >> 8;
    if (!t.ready[page].load(std::memory_order_acquire)) {
        std::lock_guard<SlimMutex> guard(t.lock);
        if (!t.ready[page].load(std::memory_order_relaxed)) {
            FillPage(t, page);
            t.ready[page].store(true, std::memory_order_release);
        }
    }
    return t;
}

}  // namespace

CaseInsensitiveFinder::CaseInsensitiveFinder(const wchar_t* text) : needle(text) {
    for (wchar_t c : needle) {
        if (TableFor(c).kind[static_cast<uint16_t>(c)] == kSpecial)
            needleHasSpecial = true;
    }
    const CharTable& t = SharedTable();
    bool needleHasContextual = false;
    for (wchar_t c : needle) {
        if (t.kind[static_cast<uint16_t>(c)] == kContextual)
            needleHasContextual = true;
    }
    // With a contextual character in the needle no character of it stands
    // for itself alone: every window is left to the system.
    while (!needleHasContextual && simplePrefix < needle.size() &&
           t.kind[static_cast<uint16_t>(needle[simplePrefix])] == kSimple)
        ++simplePrefix;
    firstWeight = t.firstWeight[static_cast<uint16_t>(needle[0])];
    equalSets.assign(simplePrefix, std::vector<uint64_t>(0x10000 / 64, 0));
    isStart.assign(0x10000, kUnprepared);
    prepared.assign(256, 0);

    // Controls are ignorable; they are caught by one range test in the scan.
    Prepare(0);
    int ascii = 0;
    for (unsigned c = 0x20; c < 0x80 && ascii <= 4; ++c) {
        if (isStart[c]) {
            if (ascii < 4)
                asciiStarts[ascii] = static_cast<wchar_t>(c);
            ++ascii;
        }
    }
    asciiStartCount = ascii <= 4 ? ascii : -1;

    // For a needle of simple characters a window of ASCII letters also ends
    // with a unit equal to the needle's last one.
    asciiEndCount = -1;
    if (simplePrefix == needle.size()) {
        int ends = 0;
        for (unsigned c = 0x20; c < 0x80 && ends <= 4; ++c) {
            if (InSet(needle.size() - 1, static_cast<wchar_t>(c))) {
                if (ends < 4)
                    asciiEnds[ends] = static_cast<wchar_t>(c);
                ++ends;
            }
        }
        asciiEndCount = ends <= 4 ? ends : -1;
    }
}

void CaseInsensitiveFinder::Prepare(unsigned page) const {
    if (prepared[page])
        return;
    const CharTable& t = TableFor(static_cast<wchar_t>(page << 8));
    const unsigned first = page << 8;
    for (unsigned c = first; c < first + 256; ++c) {
        // Where a matching window may begin.
        bool start;
        switch (t.kind[c]) {
        case kSimple:
            // A simple first character has the needle's first weight (a
            // combining mark after it may still change its accent).
            start = firstWeight == 0 || t.firstWeight[c] == firstWeight;
            break;
        case kExpanding:
            // Its first weight opens the window's weights.
            start = firstWeight == 0 || t.firstWeight[c] == firstWeight;
            break;
        case kSpecial:
            start = needleHasSpecial || simplePrefix < needle.size();
            break;
        case kContextual:
            start = true;
            break;
        default:
            start = true;  // an ignorable one leaves the window to what follows
            break;
        }
        isStart[c] = start;
        // The units equal to each prefix character: simple characters with
        // the same first weight, confirmed one by one with the system's
        // comparison.
        if (t.kind[c] != kSimple)
            continue;
        const wchar_t x = static_cast<wchar_t>(c);
        for (size_t k = 0; k < simplePrefix; ++k) {
            const wchar_t s = needle[k];
            if (t.firstWeight[c] == t.firstWeight[static_cast<uint16_t>(s)] &&
                CompareNoCase(&x, &s, 1) == 0)
                equalSets[k][c / 64] |= 1ULL << (c % 64);
        }
    }
    prepared[page] = 1;
}

CaseInsensitiveFinder::~CaseInsensitiveFinder() = default;

bool CaseInsensitiveFinder::InSet(size_t position, wchar_t c) const {
    const auto u = static_cast<uint16_t>(c);
    Prepare(u >> 8);
    return (equalSets[position][u / 64] >> (u % 64)) & 1;
}

bool CaseInsensitiveFinder::Verify(const wchar_t* window) const {
    return CompareNoCase(window, needle.c_str(), static_cast<int>(needle.size())) == 0;
}

bool CaseInsensitiveFinder::Check(const wchar_t* window) const {
    const CharTable& t = SharedTable();
    const size_t length = needle.size();
    for (size_t k = 0; k < length; ++k)
        Prepare(static_cast<uint16_t>(window[k]) >> 8);
    if (simplePrefix == length) {
        // A needle of simple characters: a window of simple characters
        // matches when each equals the needle's at its place; an expanding
        // or contextual one needs the system; an ignorable or special one
        // alone leaves too few weights or one too many.
        bool mismatch = false;
        bool verify = false;
        bool other = false;
        for (size_t k = 0; k < length; ++k) {
            const uint8_t kind = t.kind[static_cast<uint16_t>(window[k])];
            if (kind == kSimple)
                mismatch = mismatch || !InSet(k, window[k]);
            else if (kind == kExpanding || kind == kContextual)
                verify = true;
            else
                other = true;
        }
        if (verify)
            return Verify(window);
        return !other && !mismatch;
    }
    // Otherwise the simple prefix rejects what nothing can change, and the
    // system decides the rest.
    for (size_t k = 0; k < simplePrefix; ++k) {
        if (t.kind[static_cast<uint16_t>(window[k])] != kSimple)
            break;
        if (!InSet(k, window[k])) {
            if (k + 1 < length && t.kind[static_cast<uint16_t>(window[k + 1])] == kContextual)
                break;
            return false;
        }
    }
    return Verify(window);
}

namespace {

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

#if defined(__SSE2__)
// The ASCII units a matching window may have at one place, as keys for a
// test of eight lanes at once. A letter in both cases is one key compared
// with the case bit set; unused keys repeat the first, and with no unit at
// all the key is NUL, which no plain lane equals.
struct AsciiUnits {
    __m128i caseBit;
    __m128i keys[4];
    int count;  // the keys that differ: 1, 2 or 4

    static AsciiUnits Of(const wchar_t* units, int count) {
        AsciiUnits a;
        const bool casePair =
            count == 2 && (units[0] ^ units[1]) == 0x20 && IsAsciiLetter(units[0]);
        a.caseBit = _mm_set1_epi16(casePair ? 0x20 : 0);
        a.count = casePair || count <= 1 ? 1 : count == 2 ? 2 : 4;
        for (int i = 0; i < 4; ++i) {
            const wchar_t unit = count <= 0 ? 0
                                 : casePair ? (units[0] | 0x20)
                                            : units[i < count ? i : 0];
            a.keys[i] = _mm_set1_epi16(static_cast<short>(unit));
        }
        return a;
    }

    // Lanes that are plain ASCII (U+0020 to U+007F) and none of the units:
    // no matching window has such a unit there.
    template <int kKeys>
    __m128i RuledOut(const wchar_t* at) const {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        // Moved so that U+0020 lands on the smallest signed value: the
        // plain lanes are then the ones below 0x60 past it.
        const __m128i plain = _mm_cmpgt_epi16(_mm_set1_epi16(static_cast<short>(-0x8000 + 0x60)),
                                              _mm_add_epi16(block, _mm_set1_epi16(0x8000 - 0x20)));
        __m128i hits = _mm_cmpeq_epi16(_mm_or_si128(block, caseBit), keys[0]);
        for (int i = 1; i < kKeys; ++i) hits = _mm_or_si128(hits, _mm_cmpeq_epi16(block, keys[i]));
        return _mm_andnot_si128(hits, plain);
    }
};

// Skips eight positions at a time while no window there can match: its first
// unit (and, with kEnds, its last) is ruled out. Returns where to look on.
template <int kKeys, bool kEnds>
const wchar_t* SkipRuledOut(const wchar_t* p, const wchar_t* lastStart, size_t length,
                            const AsciiUnits& first, const AsciiUnits& last) {
    while (lastStart - p >= 8) {
        __m128i out = first.RuledOut<kKeys>(p);
        if (kEnds)
            out = _mm_or_si128(out, last.RuledOut<kKeys>(p + length - 1));
        if (_mm_movemask_epi8(out) != 0xFFFF)
            break;
        p += 8;
    }
    return p;
}
#endif

}  // namespace

const wchar_t* CaseInsensitiveFinder::Find(const wchar_t* begin, const wchar_t* end) const {
    const size_t length = needle.size();
    if (length == 0 || begin > end || static_cast<size_t>(end - begin) < length)
        return nullptr;
    const wchar_t* const lastStart = end - length;
    const uint8_t* starts = isStart.data();
    const wchar_t* p = begin;
#if defined(__SSE2__)
    // The keys of the plain-ASCII skip, made once for the whole text.
    const bool skips = asciiStartCount >= 0;
    AsciiUnits first = {}, last = {};
    int keys = 0;
    if (skips) {
        first = AsciiUnits::Of(asciiStarts, asciiStartCount);
        last = AsciiUnits::Of(asciiEnds, asciiEndCount);
        keys = std::max(first.count, asciiEndCount < 0 ? 1 : last.count);
    }
#endif
    while (p <= lastStart) {
#if defined(__SSE2__)
        if (skips) {
            if (asciiEndCount < 0)
                p = keys == 1   ? SkipRuledOut<1, false>(p, lastStart, length, first, last)
                    : keys == 2 ? SkipRuledOut<2, false>(p, lastStart, length, first, last)
                                : SkipRuledOut<4, false>(p, lastStart, length, first, last);
            else
                p = keys == 1   ? SkipRuledOut<1, true>(p, lastStart, length, first, last)
                    : keys == 2 ? SkipRuledOut<2, true>(p, lastStart, length, first, last)
                                : SkipRuledOut<4, true>(p, lastStart, length, first, last);
        }
#endif
        const wchar_t* stop = std::min(lastStart + 1, p + 8);
        for (; p < stop; ++p) {
            const auto unit = static_cast<uint16_t>(*p);
            if (starts[unit] == kUnprepared)
                Prepare(unit >> 8);
            if (starts[unit] && Check(p))
                return p;
        }
    }
    return nullptr;
}
