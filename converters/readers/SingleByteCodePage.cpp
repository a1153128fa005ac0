// Tables are built on first use and kept for the life of the process.
#include "converters/readers/SingleByteCodePage.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "base/FoldText.h"
#include "base/SlimLock.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

const SingleByteCodePage* SingleByteCodePage::For(UINT codePage) {
    static SlimMutex lock;
    static std::map<UINT, std::unique_ptr<SingleByteCodePage>> tables;
    const UINT actual = codePage == CP_ACP ? GetACP() : codePage;
    std::lock_guard<SlimMutex> guard(lock);
    auto it = tables.find(actual);
    if (it != tables.end())
        return it->second.get();
    std::unique_ptr<SingleByteCodePage> table;
    CPINFO info;
    if (GetCPInfo(actual, &info) && info.MaxCharSize == 1) {
        table = std::make_unique<SingleByteCodePage>();
        bool ok = true;
        for (int b = 0; b < 256 && ok; ++b) {
            const char byte = static_cast<char>(b);
            ok = MultiByteToWideChar(actual, 0, &byte, 1, &table->units[b], 1) == 1;
        }
        if (ok) {
            for (int b = 0; b < 256; ++b)
                table->foldedUnits[b] = table->units[b] == 0 ? 0 : FoldCharacter(table->units[b]);
            table->asciiIsIdentity = true;
            for (int b = 0; b < 128; ++b)
                table->asciiIsIdentity = table->asciiIsIdentity && table->units[b] == static_cast<wchar_t>(b);
        } else {
            table.reset();
        }
    }
    return (tables[actual] = std::move(table)).get();
}

void SingleByteCodePage::Convert(const char* bytes, size_t size, wchar_t* out) const {
    size_t i = 0;
#if defined(__SSE2__)
    if (asciiIsIdentity) {
        const __m128i zero = _mm_setzero_si128();
        while (i + 16 <= size) {
            // Widen sixteen bytes at once, then look up the few above 127.
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(block, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(block, zero));
            for (unsigned high = static_cast<unsigned>(_mm_movemask_epi8(block)); high; high &= high - 1) {
                const unsigned at = static_cast<unsigned>(__builtin_ctz(high));
                out[i + at] = units[static_cast<unsigned char>(bytes[i + at])];
            }
            i += 16;
        }
    }
#endif
    for (; i < size; ++i)
        out[i] = units[static_cast<unsigned char>(bytes[i])];
}

size_t SingleByteCodePage::ConvertFolded(const char* bytes, size_t size, wchar_t* out,
                                         FoldedOriginals* originals) const {
    size_t firstNul = size;
    size_t i = 0;
    if (originals)
        originals->Begin(size + 1);
    // Remembers a unit that folding changed; once changes are many, the
    // whole text as it was, and nothing more.
    auto keep = [&](size_t at, unsigned char byte) {
        if (!originals || foldedUnits[byte] == units[byte])
            return;
        if (!originals->Record(at, units[byte])) {
            std::wstring whole(size, L'\0');
            Convert(bytes, size, whole.data());
            originals->KeepWhole(std::move(whole));
            originals = nullptr;
        }
    };
#if defined(__SSE2__)
    if (asciiIsIdentity) {
        // Printable ASCII folds to itself: sixteen bytes are widened at once,
        // then the few above 127 and the control bytes (NUL among them) are
        // looked up.
        const __m128i zero = _mm_setzero_si128();
        const __m128i space = _mm_set1_epi8(0x20);
        while (i + 16 <= size) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(block, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8),
                             _mm_unpackhi_epi8(block, zero));
            // Signed: bytes above 127 compare below the space as well.
            unsigned other = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(block, space)));
            for (; other; other &= other - 1) {
                const size_t at = i + static_cast<unsigned>(__builtin_ctz(other));
                out[at] = foldedUnits[static_cast<unsigned char>(bytes[at])];
                keep(at, static_cast<unsigned char>(bytes[at]));
                if (out[at] == 0 && at < firstNul)
                    firstNul = at;
            }
            i += 16;
        }
    }
#endif
    for (; i < size; ++i) {
        out[i] = foldedUnits[static_cast<unsigned char>(bytes[i])];
        keep(i, static_cast<unsigned char>(bytes[i]));
        if (out[i] == 0 && i < firstNul)
            firstNul = i;
    }
    return firstNul;
}
