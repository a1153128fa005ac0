// Word characters by the system's character types.
#include "search/WholeWord.h"

#include <windows.h>

#include <algorithm>
#include <climits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

bool IsWordCharacter(wchar_t c) {
    if (c < 0x80)
        return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') ||
               c == L'_';
    if (c >= 0xD800 && c <= 0xDFFF)
        return true;
    WORD type1 = 0, type3 = 0;
    GetStringTypeW(CT_CTYPE1, &c, 1, &type1);
    if (type1 & (C1_ALPHA | C1_DIGIT))
        return true;
    GetStringTypeW(CT_CTYPE3, &c, 1, &type3);
    return (type3 & (C3_NONSPACING | C3_DIACRITIC | C3_VOWELMARK)) != 0 && !(type1 & C1_SPACE);
}

namespace {

bool IsWordAt(const wchar_t* text, int at, const std::vector<int>& astralUnits) {
    return IsWordCharacter(text[at]) ||
           (text[at] == L' ' && std::binary_search(astralUnits.begin(), astralUnits.end(), at));
}

}  // namespace

bool IsWholeWord(const wchar_t* text, int length, int start, int end, const std::vector<int>& astralUnits) {
    if (start > 0 && IsWordAt(text, start - 1, astralUnits))
        return false;
    if (end < length && IsWordAt(text, end, astralUnits))
        return false;
    return true;
}

void FindSurrogates(const wchar_t* text, size_t length, std::vector<int>* positions) {
    size_t i = 0;
#if defined(__SSE2__) && WCHAR_MAX <= 0xFFFF
    // Most texts have none: eight units a step until a block holds one.
    const __m128i top = _mm_set1_epi16(static_cast<short>(0xF800));
    const __m128i surrogate = _mm_set1_epi16(static_cast<short>(0xD800));
    for (; i + 8 <= length; i += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        if (!_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, top), surrogate)))
            continue;
        for (size_t k = i; k < i + 8; ++k) {
            if (text[k] >= 0xD800 && text[k] <= 0xDFFF)
                positions->push_back(static_cast<int>(k));
        }
    }
#endif
    for (; i < length; ++i) {
        if (text[i] >= 0xD800 && text[i] <= 0xDFFF)
            positions->push_back(static_cast<int>(i));
    }
}
