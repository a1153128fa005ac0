// A strict decoder for the common case, the system converter for the rest.
#include "converters/Utf8Text.h"

#include <windows.h>

#include <climits>
#include <cstdint>

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

// Decodes while it checks; kInvalid at the first ill-formed sequence.
size_t DecodeChecked(const unsigned char* s, size_t n, wchar_t* out) {
    wchar_t* const start = out;
    size_t i = 0;
    while (i < n) {
#if defined(__SSE2__)
        // Sixteen bytes widened at once; when some are not ASCII, only the
        // ASCII ones before the first of them count (out never runs ahead
        // of the bytes read, so the sixteen units stored always fit).
        const __m128i zero = _mm_setzero_si128();
        bool nonAscii = false;
        while (i + 16 <= n) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(bytes, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(bytes, zero));
            const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(bytes));
            if (high != 0) {
                const unsigned ascii = static_cast<unsigned>(__builtin_ctz(high));
                i += ascii;
                out += ascii;
                nonAscii = true;
                break;
            }
            i += 16;
            out += 16;
        }
        // The last eight to fifteen bytes of a short run: eight at once too.
        if (!nonAscii && i + 8 <= n) {
            const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(bytes, zero));
            const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(bytes)) & 0xFFu;
            const unsigned ascii = high ? static_cast<unsigned>(__builtin_ctz(high)) : 8u;
            i += ascii;
            out += ascii;
        }
        if (i >= n)
            break;
#endif
        const unsigned char b = s[i];
        if (b < 0x80) {
            *out++ = static_cast<wchar_t>(b);
            ++i;
        } else if (b >= 0xC2 && b <= 0xDF) {
            if (i + 1 >= n || (s[i + 1] & 0xC0) != 0x80)
                return kInvalid;
            *out++ = static_cast<wchar_t>(((b & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu));
            i += 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            if (i + 2 >= n || (s[i + 1] & 0xC0) != 0x80 || (s[i + 2] & 0xC0) != 0x80)
                return kInvalid;
            const unsigned c = ((b & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
            if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))
                return kInvalid;
            *out++ = static_cast<wchar_t>(c);
            i += 3;
        } else if (b >= 0xF0 && b <= 0xF4) {
            if (i + 3 >= n || (s[i + 1] & 0xC0) != 0x80 || (s[i + 2] & 0xC0) != 0x80 ||
                (s[i + 3] & 0xC0) != 0x80)
                return kInvalid;
            const unsigned c = ((b & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) |
                               ((s[i + 2] & 0x3Fu) << 6) | (s[i + 3] & 0x3Fu);
            if (c < 0x10000 || c > 0x10FFFF)
                return kInvalid;
            *out++ = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            *out++ = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
            i += 4;
        } else {
            return kInvalid;
        }
    }
    return static_cast<size_t>(out - start);
}

}  // namespace

bool Utf8ToUtf16Strict(const char* text, size_t size, wchar_t* out, size_t* units) {
    *units = DecodeChecked(reinterpret_cast<const unsigned char*>(text), size, out);
    return *units != kInvalid;
}

size_t Utf8ToUtf16Bounded(const char* text, size_t size, wchar_t* out) {
    if (size == 0 || size > 0x7FFFFFFF)
        return 0;
    const size_t units = DecodeChecked(reinterpret_cast<const unsigned char*>(text), size, out);
    if (units != kInvalid)
        return units;
    return static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(size), out,
                                                   static_cast<int>(size)));
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
