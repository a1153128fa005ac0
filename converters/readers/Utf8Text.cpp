// A strict decoder for the common case, the system converter for the rest.
#include "converters/readers/Utf8Text.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <cstdint>

#include "base/FoldText.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr size_t kInvalid = static_cast<size_t>(-1);

#if defined(__SSE2__) && WCHAR_MAX <= 0xFFFF
bool IsAsciiBlock(const wchar_t* units) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units));
    const __m128i high = _mm_and_si128(block, _mm_set1_epi16(static_cast<short>(0xFF80)));
    return _mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())) == 0xFFFF;
}
#endif

// Decodes while it checks; kInvalid at the first ill-formed sequence. With
// kFold every unit but NUL is written folded (FoldCharacter); a NUL, which
// ends the search's text, is kept and sets *nul.
template <bool kFold>
size_t DecodeChecked(const unsigned char* s, size_t n, wchar_t* out, bool* nul) {
    wchar_t* const start = out;
    // Printable ASCII folds to itself; control bytes (NUL among them) are
    // looked up.
    auto foldControls = [&](wchar_t* units, unsigned controls) {
        for (; controls; controls &= controls - 1) {
            wchar_t& unit = units[__builtin_ctz(controls)];
            if (unit == 0)
                *nul = true;  // it ends the search's text, and stays
            else
                unit = FoldUnit(unit);
        }
    };
    auto put = [&](unsigned c) {
        wchar_t unit = static_cast<wchar_t>(c);
        if (kFold) {
            if (unit == 0)
                *nul = true;
            else
                unit = FoldUnit(unit);
        }
        *out++ = unit;
    };
    size_t i = 0;
    // A letter of two or three bytes at i, when well-formed: decoded, and
    // true. Between ASCII runs, the common case in most languages, the
    // sixteen-byte steps below take it without leaving their loop.
    auto twoOrThree = [&] {
        const unsigned b = s[i];
        if (b >= 0xC2 && b <= 0xDF) {
            if (i + 1 >= n || (s[i + 1] & 0xC0) != 0x80)
                return false;
            put(((b & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu));
            i += 2;
            return true;
        }
        if (b < 0xE0 || b > 0xEF || i + 2 >= n || (s[i + 1] & 0xC0) != 0x80 ||
            (s[i + 2] & 0xC0) != 0x80)
            return false;
        const unsigned c = ((b & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
        if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        put(c);
        i += 3;
        return true;
    };
    while (i < n) {
#if defined(__SSE2__)
        // Sixteen bytes widened at once; when some are not ASCII, only the
        // ASCII ones before the first of them count (out never runs ahead
        // of the bytes read, so the sixteen units stored always fit).
        const __m128i zero = _mm_setzero_si128();
        const __m128i space = _mm_set1_epi8(0x20);
        // Widens the first `lanes` bytes of `bytes`, folds their controls and
        // moves on past the ASCII ones; true when a byte that is not ASCII
        // came among them.
        auto widen = [&](__m128i bytes, unsigned lanes) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(bytes, zero));
            if (lanes == 16)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(bytes, zero));
            const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(bytes)) & ((1u << lanes) - 1);
            const unsigned ascii = high ? static_cast<unsigned>(__builtin_ctz(high)) : lanes;
            if (kFold) {
                const unsigned below =
                    static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(bytes, space)));
                foldControls(out, below & ((1u << ascii) - 1));
            }
            i += ascii;
            out += ascii;
            return high != 0;
        };
        bool nonAscii = false;
        while (i + 16 <= n && !nonAscii) {
            if (widen(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)), 16))
                nonAscii = !twoOrThree();
        }
        // The last bytes: the sixteen that end the text are widened again
        // from where they start, when those of them already taken were
        // ASCII (one unit each, so the units rewritten are the very same).
        if (!nonAscii && i < n && n >= 16) {
            const unsigned back = static_cast<unsigned>(16 - (n - i));
            const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + n - 16));
            if ((static_cast<unsigned>(_mm_movemask_epi8(last)) & ((1u << back) - 1)) == 0) {
                i -= back;
                out -= back;
                widen(last, 16);
            }
        }
        // The last eight to fifteen bytes of a short run: eight at once too.
        if (!nonAscii && i + 8 <= n)
            widen(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + i)), 8);
        if (i >= n)
            break;
#endif
        const unsigned char b = s[i];
        if (b < 0x80) {
            put(b);
            ++i;
        } else if (twoOrThree()) {
            // decoded
        } else if (b >= 0xF0 && b <= 0xF4) {
            if (i + 3 >= n || (s[i + 1] & 0xC0) != 0x80 || (s[i + 2] & 0xC0) != 0x80 ||
                (s[i + 3] & 0xC0) != 0x80)
                return kInvalid;
            const unsigned c = ((b & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) |
                               ((s[i + 2] & 0x3Fu) << 6) | (s[i + 3] & 0x3Fu);
            if (c < 0x10000 || c > 0x10FFFF)
                return kInvalid;
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
            i += 4;
        } else {
            return kInvalid;
        }
    }
    return static_cast<size_t>(out - start);
}

}  // namespace

bool Utf8ToUtf16Strict(const char* text, size_t size, wchar_t* out, size_t* units) {
    bool nul = false;
    *units = DecodeChecked<false>(reinterpret_cast<const unsigned char*>(text), size, out, &nul);
    return *units != kInvalid;
}

bool Utf8ToUtf16StrictFolded(const char* text, size_t size, wchar_t* out, size_t* units,
                             bool* nul) {
    *units = DecodeChecked<true>(reinterpret_cast<const unsigned char*>(text), size, out, nul);
    return *units != kInvalid;
}

size_t Utf8ToUtf16Bounded(const char* text, size_t size, wchar_t* out) {
    if (size == 0 || size > 0x7FFFFFFF)
        return 0;
    bool nul = false;
    const size_t units =
        DecodeChecked<false>(reinterpret_cast<const unsigned char*>(text), size, out, &nul);
    if (units != kInvalid)
        return units;
    return static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(size), out,
                                                   static_cast<int>(size)));
}

size_t Utf8ToUtf16BoundedFolded(const char* text, size_t size, wchar_t* out, bool* nul) {
    if (size == 0 || size > 0x7FFFFFFF)
        return 0;
    const size_t units =
        DecodeChecked<true>(reinterpret_cast<const unsigned char*>(text), size, out, nul);
    if (units != kInvalid)
        return units;
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(size), out, static_cast<int>(size));
    for (int k = 0; k < n; ++k) {
        if (out[k] == 0)
            *nul = true;
        else
            out[k] = FoldUnit(out[k]);
    }
    return static_cast<size_t>(n > 0 ? n : 0);
}

void Utf16ToUtf8(const wchar_t* text, size_t length, std::string* out) {
    out->clear();
    if (length == 0 || length > 0x7FFFFFFF)
        return;
    // Count first; a lone surrogate sends the whole text to the system,
    // whose replacement character is the rule.
    size_t bytes = 0;
    for (size_t i = 0; i < length; ++i) {
#if defined(__SSE2__) && WCHAR_MAX <= 0xFFFF
        // Eight ASCII units at a time.
        while (i + 8 <= length && IsAsciiBlock(text + i)) {
            bytes += 8;
            i += 8;
        }
        if (i >= length)
            break;
#endif
        const unsigned c = static_cast<uint16_t>(text[i]);
        if (c < 0x80) {
            ++bytes;
        } else if (c < 0x800) {
            bytes += 2;
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length &&
                   static_cast<uint16_t>(text[i + 1]) >= 0xDC00 && static_cast<uint16_t>(text[i + 1]) <= 0xDFFF) {
            bytes += 4;
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            bytes = kInvalid;
            break;
        } else {
            bytes += 3;
        }
    }
    if (bytes == kInvalid) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                          nullptr, nullptr);
        out->resize(static_cast<size_t>(n > 0 ? n : 0));
        if (n > 0)
            WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out->data(), n, nullptr,
                                nullptr);
        return;
    }
    out->resize(bytes);
    auto* p = reinterpret_cast<unsigned char*>(out->data());
    for (size_t i = 0; i < length; ++i) {
#if defined(__SSE2__) && WCHAR_MAX <= 0xFFFF
        while (i + 8 <= length && IsAsciiBlock(text + i)) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(units, units));
            p += 8;
            i += 8;
        }
        if (i >= length)
            break;
#endif
        const unsigned c = static_cast<uint16_t>(text[i]);
        if (c < 0x80) {
            *p++ = static_cast<unsigned char>(c);
        } else if (c < 0x800) {
            *p++ = static_cast<unsigned char>(0xC0 | (c >> 6));
            *p++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
        } else if (c >= 0xD800 && c <= 0xDBFF) {
            const unsigned u = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint16_t>(text[++i]) - 0xDC00);
            *p++ = static_cast<unsigned char>(0xF0 | (u >> 18));
            *p++ = static_cast<unsigned char>(0x80 | ((u >> 12) & 0x3F));
            *p++ = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
            *p++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
        } else {
            *p++ = static_cast<unsigned char>(0xE0 | (c >> 12));
            *p++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            *p++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
        }
    }
}

size_t Utf16UnitsOfUtf8(const char* text, size_t size) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    size_t units = 0;
    size_t i = 0;
    while (i < size) {
        if (i + 8 <= size) {
            uint64_t word;
            memcpy(&word, s + i, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                units += 8;
                i += 8;
                continue;
            }
        }
        const unsigned char b = s[i];
        auto continues = [&](size_t k, unsigned char low, unsigned char high) {
            return i + k < size && s[i + k] >= low && s[i + k] <= high;
        };
        size_t length = 0;
        if (b < 0x80)
            length = 1;
        else if (b >= 0xC2 && b <= 0xDF && continues(1, 0x80, 0xBF))
            length = 2;
        else if (b >= 0xE0 && b <= 0xEF && continues(1, b == 0xE0 ? 0xA0 : 0x80, b == 0xED ? 0x9F : 0xBF) &&
                 continues(2, 0x80, 0xBF))
            length = 3;
        else if (b >= 0xF0 && b <= 0xF4 && continues(1, b == 0xF0 ? 0x90 : 0x80, b == 0xF4 ? 0x8F : 0xBF) &&
                 continues(2, 0x80, 0xBF) && continues(3, 0x80, 0xBF))
            length = 4;
        if (length == 0) {
            // Ill-formed: the system's converter decodes such text, and its
            // replacements decide the count.
            return size > 0x7FFFFFFF ? 0
                                     : static_cast<size_t>(std::max(
                                           0, MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0)));
        }
        units += length == 4 ? 2 : 1;
        i += length;
    }
    return units;
}
