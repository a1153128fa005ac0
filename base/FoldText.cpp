// The fold table is built once at compile time: one lookup per unit.
//
// Choices where the table is open: U+FF3D to U+FF44 (fullwidth ] ^ _ ` a b c d)
// fold like the rest of the fullwidth ASCII block. U+FF64 and U+FF65 (halfwidth
// ideographic comma and katakana middle dot) stay as they are, like their
// halfwidth neighbours U+FF61 to U+FF63 and the halfwidth katakana after them.
#include "base/FoldText.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cwchar>
#include <functional>
#include <climits>
#include <cstdint>

#if defined(__SSE2__) && WCHAR_MAX <= 0xFFFF
#include <emmintrin.h>
#endif

namespace {

using FoldTable = std::array<uint16_t, 0x10000>;

constexpr void Set(FoldTable& t, unsigned from, unsigned to, uint16_t value) {
    for (unsigned c = from; c <= to; ++c)
        t[c] = value;
}

constexpr void SetSeq(FoldTable& t, unsigned from, unsigned to, uint16_t firstValue) {
    for (unsigned c = from; c <= to; ++c)
        t[c] = static_cast<uint16_t>(firstValue + (c - from));
}

constexpr FoldTable BuildTable() {
    FoldTable t{};
    // Characters the table does not list.
    for (unsigned c = 0; c < 0x10000; ++c) {
        uint16_t v = static_cast<uint16_t>(c);
        if (c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D)
            v = 0x20;
        else if (c >= 0xD800 && c <= 0xF8FE)
            v = 0x20;  // surrogates and private use: an astral character becomes two spaces
        else if (c == 0xFFFE || c == 0xFFFF)
            v = 0x20;
        t[c] = v;
    }

    // space
    Set(t, 0x0000, 0x0000, ' ');
    Set(t, 0x2000, 0x200D, ' ');
    Set(t, 0x202F, 0x202F, ' ');
    Set(t, 0x3000, 0x3000, ' ');
    // line feed
    Set(t, 0x00B6, 0x00B6, '\n');
    Set(t, 0x2028, 0x2029, '\n');
    // !
    for (unsigned c : {0x00A1u, 0x00ACu, 0x203Cu, 0x203Du, 0xFE57u})
        t[c] = '!';
    // "
    for (unsigned c : {0x00ABu, 0x00BBu, 0x2033u, 0x2034u, 0x2036u, 0x2037u, 0x3003u})
        t[c] = '"';
    Set(t, 0x201C, 0x201F, '"');
    Set(t, 0x301D, 0x301F, '"');
    // #
    Set(t, 0x2580, 0x259F, '#');
    t[0xFE5F] = '#';
    t[0xFE69] = '$';
    for (unsigned c : {0x2030u, 0x2031u, 0xFE6Au})
        t[c] = '%';
    t[0xFE60] = '&';
    // '
    for (unsigned c : {0x00B0u, 0x2032u, 0x2035u, 0x2039u, 0x203Au})
        t[c] = '\'';
    Set(t, 0x2018, 0x201B, '\'');
    for (unsigned c : {0x208Du, 0x3014u, 0x3018u, 0xFE35u, 0xFE39u, 0xFE59u, 0xFE5Du})
        t[c] = '(';
    for (unsigned c : {0x208Eu, 0x3015u, 0x3019u, 0xFE36u, 0xFE3Au, 0xFE5Au, 0xFE5Eu})
        t[c] = ')';
    t[0x2042] = '*';
    Set(t, 0x25A0, 0x25FF, '*');
    t[0xFE61] = '*';
    for (unsigned c : {0x207Au, 0x208Au, 0xFE62u})
        t[c] = '+';
    for (unsigned c : {0x3001u, 0xFE50u, 0xFE51u})
        t[c] = ',';
    // -
    for (unsigned c : {0x00ADu, 0x00B7u, 0x2027u, 0x2043u, 0x208Bu, 0xFE31u, 0xFE32u, 0xFE58u,
                       0xFE63u})
        t[c] = '-';
    Set(t, 0x2010, 0x2015, '-');
    // .
    Set(t, 0x2024, 0x2026, '.');
    Set(t, 0x2600, 0x267F, '.');
    for (unsigned c : {0x3002u, 0xFE30u, 0xFE52u})
        t[c] = '.';
    t[0x2044] = '/';
    // digits
    for (unsigned c : {0x2070u, 0x2080u, 0x24EAu, 0x3007u})
        t[c] = '0';
    t[0x00B9] = '1';
    t[0x00B2] = '2';
    t[0x00B3] = '3';
    SetSeq(t, 0x2074, 0x2079, '4');
    for (unsigned base : {0x2080u, 0x245Fu, 0x2473u, 0x2487u, 0x3020u, 0x321Fu, 0x327Fu})
        SetSeq(t, base + 1, base + 9, '1');
    // :
    for (unsigned c : {0x00A7u, 0x203Bu, 0xFE55u})
        t[c] = ':';
    Set(t, 0x2020, 0x2023, ':');
    t[0xFE54] = ';';
    t[0x3008] = '<';
    t[0x300A] = '<';
    t[0x208C] = '=';
    t[0xFE66] = '=';
    t[0x3009] = '>';
    t[0x300B] = '>';
    t[0x00BF] = '?';
    t[0xFE56] = '?';
    t[0xFE6B] = '@';
    SetSeq(t, 0x24B6, 0x24CF, 'A');
    for (unsigned c : {0x2045u, 0x3010u, 0x3016u, 0x301Au, 0xFE3Bu})
        t[c] = '[';
    t[0xFE68] = '\\';
    for (unsigned c : {0x2046u, 0x3011u, 0x3017u, 0x301Bu, 0xFE3Cu})
        t[c] = ']';
    t[0x2038] = '^';
    t[0x2041] = '^';
    for (unsigned c : {0x2017u, 0xFE33u, 0xFE49u, 0xFE4Au, 0xFE4Du, 0xFE4Eu})
        t[c] = '_';
    Set(t, 0x203E, 0x2040, '_');
    SetSeq(t, 0x249C, 0x24B5, 'a');
    SetSeq(t, 0x24D0, 0x24E9, 'a');
    t[0x00A9] = 'c';
    t[0x00AE] = 'r';
    t[0x00B5] = 'u';
    t[0xFE37] = '{';
    t[0xFE5B] = '{';
    for (unsigned c : {0x00A6u, 0x2016u})
        t[c] = '|';
    Set(t, 0x2500, 0x257F, '|');
    t[0xFE38] = '}';
    t[0xFE5C] = '}';
    for (unsigned c : {0x301Cu, 0x3030u, 0xFE34u, 0xFE4Bu, 0xFE4Cu, 0xFE4Fu})
        t[c] = '~';
    // Fullwidth ASCII, the whole block U+FF01 to U+FF5E.
    SetSeq(t, 0xFF01, 0xFF5E, 0x21);
    return t;
}

constexpr FoldTable kFoldTable = BuildTable();

}  // namespace

const unsigned short* const kFoldedUnits = kFoldTable.data();

wchar_t FoldCharacter(wchar_t c) {
    const auto u = static_cast<uint32_t>(c);
    return u < 0x10000 ? static_cast<wchar_t>(kFoldTable[u]) : c;
}

namespace {

#if defined(__SSE2__) && WCHAR_MAX <= 0xFFFF
// Lanes in the two long ranges the table keeps as they are: U+0020 to U+00A0
// and U+00C0 to U+1FFF (the letters of the Latin, Greek, Cyrillic and other
// alphabets).
inline __m128i KeptRanges(__m128i block) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = _mm_subs_epu16(_mm_sub_epi16(block, _mm_set1_epi16(0x20)), _mm_set1_epi16(0xA0 - 0x20));
    const __m128i letters =
        _mm_subs_epu16(_mm_sub_epi16(block, _mm_set1_epi16(0xC0)), _mm_set1_epi16(0x1FFF - 0xC0));
    return _mm_or_si128(_mm_cmpeq_epi16(low, zero), _mm_cmpeq_epi16(letters, zero));
}

// Two mask bits for each of the eight units of `block` that the table may
// change: everything but the kept ranges (`kept`), tab, line feed and
// carriage return.
inline unsigned UnitsToLookUp(__m128i block, __m128i kept) {
    kept = _mm_or_si128(kept, _mm_cmpeq_epi16(block, _mm_set1_epi16(0x09)));
    kept = _mm_or_si128(kept, _mm_cmpeq_epi16(block, _mm_set1_epi16(0x0A)));
    kept = _mm_or_si128(kept, _mm_cmpeq_epi16(block, _mm_set1_epi16(0x0D)));
    return static_cast<unsigned>(_mm_movemask_epi8(kept)) ^ 0xFFFFu;
}
#endif

// Folding that remembers nothing.
struct NoRecord {
    void operator()(const wchar_t*, size_t, wchar_t) const {}
};

template <class Record>
inline void FoldUnit(wchar_t* text, size_t i, Record& record) {
    const wchar_t folded = static_cast<wchar_t>(kFoldTable[static_cast<uint16_t>(text[i])]);
    if (folded != text[i]) {
        record(text, i, text[i]);
        text[i] = folded;
    }
}

// Folds text[0..count); with kStopAtNul the first NUL unit ends the work and
// its offset is returned, otherwise a NUL is folded like any control. Each
// unit changed is passed to `record` before it is.
template <bool kStopAtNul, class Record = NoRecord>
size_t FoldUnits(wchar_t* text, size_t count, Record record = {}) {
    size_t i = 0;
#if defined(__SSE2__) && WCHAR_MAX <= 0xFFFF
    // Sixteen units a step, passed over when all lie in the kept ranges: one
    // test that holds for most steps of text in any alphabet, so that the
    // loop does not branch on the letters themselves.
    for (; i + 16 <= count; i += 16) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 8));
        const __m128i keptLow = KeptRanges(low);
        const __m128i keptHigh = KeptRanges(high);
        if (_mm_movemask_epi8(_mm_and_si128(keptLow, keptHigh)) == 0xFFFF)
            continue;
        unsigned mask = UnitsToLookUp(low, keptLow) | (UnitsToLookUp(high, keptHigh) << 16);
        for (; mask; mask &= mask - 1) {
            const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
            mask &= ~(1u << bit);  // each unit has two bits; the loop clears the second
            const size_t at = i + bit / 2;
            if (kStopAtNul && text[at] == 0)
                return at;
            FoldUnit(text, at, record);
        }
    }
#endif
    for (; i < count; ++i) {
        if (kStopAtNul && text[i] == 0)
            return i;
        FoldUnit(text, i, record);
    }
    return count;
}

}  // namespace

void FoldText(size_t count, wchar_t* text) {
    text[count] = 0;
    FoldUnits<false>(text, count);
}

size_t FoldTextToNul(wchar_t* text, size_t capacity) {
    if (capacity == 0)
        return 0;
    const size_t length = FoldUnits<true>(text, capacity);
    if (length < capacity)
        return length;
    text[capacity - 1] = 0;
    return capacity - 1;
}

// Remembers the units folding changes, by offset, until they are many: then
// the rest of the text, not yet folded, is copied whole and the units
// changed so far put back into the copy. A change costs six bytes kept, a
// unit of the copy two.
struct FoldRecorder {
    FoldedOriginals& originals;
    size_t capacity;

    void operator()(const wchar_t* text, size_t at, wchar_t original) {
        if (originals.whole || originals.Record(at, original))
            return;
        size_t end = at;
        while (end < capacity && text[end] != 0)
            ++end;
        std::wstring copy(text, end);
        for (const FoldedOriginals::Change& c : originals.changes)
            copy[c.offset] = c.original;
        originals.KeepWhole(std::move(copy));
    }
};

size_t FoldedOriginals::FoldToNul(wchar_t* text, size_t capacity) {
    Begin(capacity);
    if (capacity == 0)
        return 0;
    FoldRecorder record{*this, capacity};
    const size_t length = FoldUnits<true>(text, capacity, std::ref(record));
    if (length < capacity)
        return length;
    text[capacity - 1] = 0;
    if (whole && copy.size() >= capacity)
        copy.resize(capacity - 1);
    return capacity - 1;
}

wchar_t FoldedOriginals::At(const wchar_t* text, size_t offset) const {
    if (whole)
        return offset < copy.size() ? copy[offset] : text[offset];
    auto it = std::lower_bound(changes.begin(), changes.end(), offset,
                               [](const Change& c, size_t o) { return c.offset < o; });
    return it != changes.end() && it->offset == offset ? it->original : text[offset];
}

std::wstring FoldedOriginals::Shown(const wchar_t* text, size_t begin, size_t end) const {
    std::wstring shown(end > begin ? end - begin : 0, L'\0');
    CopyShown(text, begin, end, shown.data());
    return shown;
}

void FoldedOriginals::CopyShown(const wchar_t* text, size_t begin, size_t end, wchar_t* out) const {
    if (end <= begin)
        return;
    const size_t length = end - begin;
    // Only a unit that folding changed can be a control or a surrogate: the
    // folded text holds neither. Those are looked at again; kept whole, all.
    auto shown = [&](size_t i) {
        wchar_t& c = out[i];
        if (c >= 0xD800 && c <= 0xDFFF) {
            // A surrogate shows only in its pair: one cut off at an end of
            // the part (or lone in the file) is the replacement character.
            const bool high = c < 0xDC00;
            const bool paired = high ? i + 1 < length && out[i + 1] >= 0xDC00 && out[i + 1] <= 0xDFFF
                                     : i > 0 && out[i - 1] >= 0xD800 && out[i - 1] < 0xDC00;
            if (!paired)
                c = 0xFFFD;
            return;
        }
        c = ShownUnit(c);
    };
    if (whole && end <= copy.size()) {
        wmemcpy(out, copy.data() + begin, length);
        for (size_t i = 0; i < length; ++i)
            shown(i);
        return;
    }
    wmemcpy(out, text + begin, length);
    // Parts are mostly asked for in text order (hit after hit): the search
    // gallops on from where the last one began.
    auto before = [](const Change& c, size_t o) { return c.offset < o; };
    size_t from = 0, to = changes.size();
    if (hint < changes.size() && changes[hint].offset < begin) {
        size_t step = 1;
        while (hint + step < changes.size() && changes[hint + step].offset < begin)
            step *= 2;
        from = hint + step / 2;
        to = std::min(changes.size(), hint + step + 1);
    } else if (hint < changes.size() && hint > 0 && changes[hint - 1].offset < begin) {
        from = to = hint;  // begins just where the last part did
    }
    const auto first = std::lower_bound(changes.begin() + static_cast<ptrdiff_t>(from),
                                        changes.begin() + static_cast<ptrdiff_t>(to), begin, before);
    hint = static_cast<size_t>(first - changes.begin());
    auto last = first;
    for (; last != changes.end() && last->offset < end; ++last)
        out[last->offset - begin] = last->original;
    for (auto it = first; it != last; ++it)
        shown(it->offset - begin);
}

void FoldedOriginals::Begin(size_t capacity) {
    // Past one change in four units the copy is the smaller.
    changes.clear();
    copy.clear();
    whole = false;
    hint = 0;
    limit = capacity / 4 + 16;
}

void FoldedOriginals::KeepWhole(std::wstring original) {
    copy = std::move(original);
    changes.clear();
    whole = true;
}

void FoldedOriginals::Release() {
    if (changes.capacity() > (1u << 16))
        std::vector<Change>().swap(changes);
    if (copy.capacity() > (1u << 16))
        std::wstring().swap(copy);
}

namespace {

// The base letters of the letters with diacritics, from their canonical
// decompositions (a base letter and combining marks), and the letters with
// a stroke that have none.
const wchar_t* AccentlessTable() {
    static const wchar_t* const table = [] {
        static wchar_t units[0x10000];
        for (unsigned c = 0; c < 0x10000; ++c)
            units[c] = static_cast<wchar_t>(c);
        // Latin and Greek; of Cyrillic only ё (й and the others are
        // letters of their own).
        const std::pair<unsigned, unsigned> ranges[] = {{0x00C0, 0x024F}, {0x0370, 0x03FF}, {0x0401, 0x0401},
                                                         {0x0451, 0x0451}, {0x1E00, 0x1FFF}};
        for (const auto& [first, last] : ranges) {
            for (unsigned c = first; c <= last; ++c) {
                const wchar_t letter = static_cast<wchar_t>(c);
                wchar_t parts[8] = {};
                const int n = NormalizeString(NormalizationD, &letter, 1, parts, 8);
                if (n < 2 || IsCombiningMark(parts[0]))
                    continue;
                bool marks = true;
                for (int i = 1; i < n; ++i)
                    marks = marks && IsCombiningMark(parts[i]);
                if (marks)
                    units[c] = parts[0];
            }
        }
        const std::pair<wchar_t, wchar_t> strokes[] = {{0x00D8, L'O'}, {0x00F8, L'o'}, {0x0141, L'L'}, {0x0142, L'l'},
                                                       {0x0110, L'D'}, {0x0111, L'd'}, {0x0126, L'H'}, {0x0127, L'h'},
                                                       {0x0166, L'T'}, {0x0167, L't'}, {0x0180, L'b'}, {0x01E4, L'G'},
                                                       {0x01E5, L'g'}, {0x0197, L'I'}, {0x0268, L'i'}};
        for (const auto& [letter, base] : strokes)
            units[static_cast<unsigned short>(letter)] = base;
        // A decomposed letter's marks give way (a zero-width space), so that
        // "e" and a mark after it is an "e" that ends a word where the mark
        // does.
        for (unsigned c = 0x0300; c <= 0x036F; ++c)
            units[c] = 0x200B;
        return units;
    }();
    return table;
}

}  // namespace

wchar_t AccentlessUnit(wchar_t c) { return AccentlessTable()[static_cast<unsigned short>(c)]; }

std::wstring AccentlessText(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        if (!IsCombiningMark(c))
            out += AccentlessUnit(c);
    }
    return out;
}

void FoldedOriginals::FoldAccents(wchar_t* text, size_t length) {
    const wchar_t* table = AccentlessTable();
    if (whole) {
        for (size_t i = 0; i < length; ++i)
            text[i] = table[static_cast<unsigned short>(text[i])];
        return;
    }
    std::vector<Change> added;
    for (size_t i = 0; i < length; ++i) {
        const wchar_t base = table[static_cast<unsigned short>(text[i])];
        if (base != text[i]) {
            added.push_back({static_cast<uint32_t>(i), text[i]});
            text[i] = base;
        }
    }
    if (added.empty())
        return;
    // Both lists are in offset order; a unit folding already changed keeps
    // the original it had.
    std::vector<Change> merged;
    merged.reserve(changes.size() + added.size());
    size_t a = 0, b = 0;
    while (a < changes.size() || b < added.size()) {
        if (b == added.size() || (a < changes.size() && changes[a].offset <= added[b].offset)) {
            if (b < added.size() && changes[a].offset == added[b].offset)
                ++b;
            merged.push_back(changes[a++]);
        } else {
            merged.push_back(added[b++]);
        }
    }
    changes.swap(merged);
    if (changes.size() >= limit && limit > 0) {
        // Many changes: the whole text as it was is the smaller.
        std::wstring original(text, length);
        for (const Change& c : changes)
            original[c.offset] = c.original;
        KeepWhole(std::move(original));
    }
}
