// RapidXML with the parsing rules every XML converter shares.
#include "converters/readers/XmlDocument.h"

#include <rapidxml/rapidxml.hpp>

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/ThreadScratch.h"

namespace {

// From "<!" to the '>' that ends the declaration (the document type's
// bracketed internal subset may hold others), or to the end of the text.
const char* SkipDeclaration(const char* p) {
    int brackets = 0;
    for (p += 2; *p && (*p != '>' || brackets > 0); ++p) {
        if (*p == '[')
            ++brackets;
        else if (*p == ']' && brackets > 0)
            --brackets;
    }
    return p;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// The first of the bytes `a`, `b`, `c` or the terminating NUL, sixteen bytes
// at a time. Loads never reach into a page the text does not touch: the
// first one, unaligned, only when it ends within the page it starts in (most
// calls find their byte within a few), the others aligned.
__attribute__((always_inline)) inline const char* NextOf(const char* p, char a, char b, char c) {
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    const __m128i vc = _mm_set1_epi8(c);
    const __m128i zero = _mm_setzero_si128();
    auto hits = [&](__m128i block) {
        return static_cast<unsigned>(_mm_movemask_epi8(
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, va), _mm_cmpeq_epi8(block, vb)),
                         _mm_or_si128(_mm_cmpeq_epi8(block, vc), _mm_cmpeq_epi8(block, zero)))));
    };
    constexpr uintptr_t kPage = 4096;
    if ((reinterpret_cast<uintptr_t>(p) & (kPage - 1)) <= kPage - 16) {
        if (const unsigned mask = hits(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))))
            return p + __builtin_ctz(mask);
        p = reinterpret_cast<const char*>((reinterpret_cast<uintptr_t>(p) + 16) & ~uintptr_t{15});
    } else {
        while (reinterpret_cast<uintptr_t>(p) & 15) {
            if (*p == a || *p == b || *p == c || *p == 0)
                return p;
            ++p;
        }
    }
    for (;; p += 16) {
        if (const unsigned mask = hits(_mm_load_si128(reinterpret_cast<const __m128i*>(p))))
            return p + __builtin_ctz(mask);
    }
#else
    while (*p && *p != a && *p != b && *p != c)
        ++p;
    return p;
#endif
}

// The first "&#" in the text, or its NUL, sixteen bytes a step (aligned, so
// no load reaches into a page the text does not touch).
const char* NumericReferenceOrEnd(const char* p) {
#if defined(__SSE2__)
    for (; reinterpret_cast<uintptr_t>(p) & 15; ++p) {
        if (!*p || (p[0] == '&' && p[1] == '#'))
            return p;
    }
    const __m128i amp = _mm_set1_epi8('&');
    const __m128i hash = _mm_set1_epi8('#');
    const __m128i zero = _mm_setzero_si128();
    for (;; p += 16) {
        const __m128i block = _mm_load_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned ends = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, zero)));
        unsigned amps = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, amp)));
        if (ends)
            amps &= (1u << __builtin_ctz(ends)) - 1;  // only what comes before the NUL
        const unsigned hashes =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, hash)));
        // An ampersand in the last lane is decided by the next byte, which
        // the text still holds since no NUL came first.
        const unsigned references =
            (amps & (hashes >> 1)) | ((amps & 0x8000u) && p[16] == '#' ? 0x8000u : 0u);
        if (references)
            return p + __builtin_ctz(references);
        if (ends)
            return p + __builtin_ctz(ends);
    }
#else
    for (; *p; ++p) {
        if (p[0] == '&' && p[1] == '#')
            return p;
    }
    return p;
#endif
}

bool HasNumericReferenceStart(const char* p) { return *NumericReferenceOrEnd(p) != 0; }

}  // namespace

char* FindText(char* text, const char* needle) {
    const size_t n = strlen(needle);
    for (char* p = text;; ++p) {
        p = const_cast<char*>(NextOf(p, needle[0], needle[0], needle[0]));
        if (!*p)
            return n == 0 ? p : nullptr;
        size_t i = 1;
        while (i < n && p[i] == needle[i])
            ++i;
        if (i == n)
            return p;
    }
}

namespace {

// Advances past the first occurrence of `terminator`, or to the end.
const char* SkipPast(const char* p, const char* terminator) {
    const char* found = FindText(const_cast<char*>(p), terminator);
    return found ? found + strlen(terminator) : NextOf(p, 0, 0, 0);
}

}  // namespace

namespace {

// What a markup declaration or processing instruction at the '<' at `p`
// skips to: the position the depth count goes on from.
const char* SkipMarkupDeclaration(const char* p) {
    if (p[1] == '?')
        return SkipPast(p + 2, "?>");
    if (strncmp(p, "<!--", 4) == 0)
        return SkipPast(p + 4, "-->");
    if (strncmp(p, "<![CDATA[", 9) == 0)
        return SkipPast(p + 9, "]]>");
    if (strncmp(p, "<!DOCTYPE", 9) == 0 &&
        (p[9] == ' ' || p[9] == '\t' || p[9] == '\n' || p[9] == '\r'))
        return SkipDeclaration(p);  // the internal subset in brackets may hold '>'
    // Any other declaration: the parser skips it to its first '>', brackets
    // or not, and so must this count.
    const char* end = NextOf(p + 2, '>', '>', '>');
    return *end ? end + 1 : end;
}

}  // namespace

bool IsXmlNestingWithin(const char* text, int maxDepth) {
    // Element starts count one deeper, end tags and empty elements one
    // shallower. Inside a start tag only '>' and quotes matter, inside a
    // quoted value only its closing quote; an unterminated tag or value
    // ends the count (the parser reports it).
    enum class In { kText, kTag, kQuote };
    In state = In::kText;
    char quote = 0;
    int depth = 0;
    // One step per '<', '>' or quote: handles the byte at `q`. kSkipped
    // when the scan goes on in text from `p` instead (a declaration skipped).
    enum class Step { kNext, kSkipped, kTooDeep };
    const char* p = text;
    auto step = [&](const char* q) {
        switch (state) {
            case In::kText:
                if (*q != '<')
                    return Step::kNext;
                if (q[1] == '/') {
                    if (depth > 0)
                        --depth;
                    return Step::kNext;
                }
                if (q[1] == '?' || q[1] == '!') {
                    p = SkipMarkupDeclaration(q);
                    return Step::kSkipped;
                }
                if (++depth > maxDepth)
                    return Step::kTooDeep;
                state = In::kTag;
                return Step::kNext;
            case In::kTag:
                if (*q == '>') {
                    if (q[-1] == '/')
                        --depth;  // an empty element
                    state = In::kText;
                } else if (*q != '<') {
                    quote = *q;
                    state = In::kQuote;
                }
                return Step::kNext;
            case In::kQuote:
                if (*q == quote)
                    state = In::kTag;
                return Step::kNext;
        }
        return Step::kNext;
    };
#if defined(__SSE2__)
    // Sixteen bytes a step, aligned so that no load reaches into a page the
    // text does not touch; the marks of a block are taken one by one.
    const __m128i zero = _mm_setzero_si128();
    for (;;) {
        const uintptr_t offset = reinterpret_cast<uintptr_t>(p) & 15;
        const char* block = p - offset;
        const __m128i bytes = _mm_load_si128(reinterpret_cast<const __m128i*>(block));
        const unsigned before = (1u << offset) - 1;
        const unsigned ends =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero))) & ~before;
        unsigned marks = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('<')),
                                      _mm_cmpeq_epi8(bytes, _mm_set1_epi8('>'))),
                         _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('"')),
                                      _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\''))))));
        marks &= ~before;
        if (ends)
            marks &= (1u << __builtin_ctz(ends)) - 1;  // only what comes before the NUL
        Step last = Step::kNext;
        for (; marks && last == Step::kNext; marks &= marks - 1)
            last = step(block + __builtin_ctz(marks));
        if (last == Step::kTooDeep)
            return false;
        if (last == Step::kSkipped)
            continue;  // on from p, in text
        if (ends)
            return true;
        p = block + 16;
    }
#else
    while (*p) {
        const char* q = p++;
        if (*q == '<' || *q == '>' || *q == '"' || *q == '\'') {
            const Step last = step(q);
            if (last == Step::kTooDeep)
                return false;
        }
    }
    return true;
#endif
}

MarkupSummary SummarizeMarkup(const char* text, int limit) {
    long long starts = 0;
    bool reference = false;
    const char* p = text;
    auto isStart = [](const char* at) { return at[1] != '/' && at[1] != '!' && at[1] != '?'; };
    auto result = [&](const char* end) { return MarkupSummary{starts <= limit, reference, end}; };
#if defined(__SSE2__)
    for (; reinterpret_cast<uintptr_t>(p) & 15; ++p) {
        if (!*p)
            return result(p);
        if (*p == '<' && isStart(p))
            ++starts;
        if (p[0] == '&' && p[1] == '#')
            reference = true;
    }
    const __m128i open = _mm_set1_epi8('<');
    const __m128i amp = _mm_set1_epi8('&');
    const __m128i hash = _mm_set1_epi8('#');
    const __m128i slash = _mm_set1_epi8('/');
    const __m128i bang = _mm_set1_epi8('!');
    const __m128i question = _mm_set1_epi8('?');
    const __m128i zero = _mm_setzero_si128();
    for (;;) {
        // Whole blocks without a NUL, up to 255 at a time: each lane of
        // `counts` adds the element starts seen in it, `references` keeps
        // every "&#". The byte after each lane comes from a second load one
        // byte further on, which the text still holds since no NUL came in
        // the block.
        __m128i counts = zero;
        __m128i references = zero;
        int blocks = 0;
        unsigned ends = 0;
        for (; blocks < 255; ++blocks, p += 16) {
            const __m128i block = _mm_load_si128(reinterpret_cast<const __m128i*>(p));
            ends = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, zero)));
            if (ends)
                break;
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
            const __m128i markup =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(next, slash), _mm_cmpeq_epi8(next, bang)),
                             _mm_cmpeq_epi8(next, question));
            counts = _mm_sub_epi8(counts, _mm_andnot_si128(markup, _mm_cmpeq_epi8(block, open)));
            references = _mm_or_si128(
                references, _mm_and_si128(_mm_cmpeq_epi8(block, amp), _mm_cmpeq_epi8(next, hash)));
        }
        const __m128i sums = _mm_sad_epu8(counts, zero);
        starts += _mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4);
        if (_mm_movemask_epi8(references))
            reference = true;
        if (ends) {
            // The block that holds the NUL: only what comes before it counts.
            const char* q = p;
            for (; *q; ++q) {
                if (*q == '<' && isStart(q))
                    ++starts;
                if (q[0] == '&' && q[1] == '#')
                    reference = true;
            }
            return result(q);
        }
        if (starts > limit) {
            // Too many starts for the nesting to go unchecked: only "&#" and
            // the end are still wanted, and a plainer pass finds them.
            if (reference)
                return result(nullptr);
            const char* stop = NumericReferenceOrEnd(p);
            return *stop ? MarkupSummary{false, true, nullptr} : MarkupSummary{false, false, stop};
        }
    }
#else
    for (; *p; ++p) {
        if (*p == '<' && isStart(p))
            ++starts;
        if (p[0] == '&' && p[1] == '#')
            reference = true;
    }
    return result(p);
#endif
}

bool FewElementStarts(const char* text, int limit) {
    return SummarizeMarkup(text, limit).fewStarts;
}

bool HasReferenceBeyondUnicode(const char* text) {
    // The common case, a document without numeric references: one pass that
    // stops only at "&#".
    if (!HasNumericReferenceStart(text))
        return false;
    const char* p = text;
    for (;;) {
        p = NextOf(p, '&', '<', '<');
        if (!*p)
            return false;
        if (*p == '<') {
            if (strncmp(p, "<!--", 4) == 0) {
                p = SkipPast(p + 4, "-->");
            } else if (strncmp(p, "<![CDATA[", 9) == 0) {
                p = SkipPast(p + 9, "]]>");
            } else if (p[1] == '?') {
                p = SkipPast(p + 2, "?>");
            } else if (p[1] == '!') {
                p = SkipDeclaration(p);
            } else {
                ++p;
            }
            continue;
        }
        if (p[1] != '#') {
            ++p;
            continue;
        }
        const bool hex = p[2] == 'x';
        unsigned long long value = 0;
        for (p += hex ? 3 : 2;; ++p) {
            int digit = -1;
            if (*p >= '0' && *p <= '9')
                digit = *p - '0';
            else if (hex && *p >= 'a' && *p <= 'f')
                digit = *p - 'a' + 10;
            else if (hex && *p >= 'A' && *p <= 'F')
                digit = *p - 'A' + 10;
            if (digit < 0)
                break;
            value = value * (hex ? 16 : 10) + static_cast<unsigned>(digit);
            if (value > 0x10FFFF)
                return true;
        }
    }
}

namespace {

// Whether the '>' at `close` ends a tag. Text may hold a '>' as it is; such
// a one follows another '>' (the end of the tag before the text) with no '<'
// between them. Inside a CDATA section only "]]>" ends it. `start` is where
// the scan began, at a '<'.
bool EndsTag(const char* start, const char* close) {
    const char* p = close;
    while (p > start && p[-1] != '<' && p[-1] != '>') --p;
    if (p == start || p[-1] == '>')
        return false;
    const char* open = p - 1;
    if (strncmp(open, "<![CDATA[", 9) == 0)
        return close - open >= 11 && close[-1] == ']' && close[-2] == ']';
    return true;
}

// The white-space-only run after the '>' at `close`: its first byte becomes
// its marker when a '<' ends it and the '>' ends a tag, so that the run is a
// text node of its own.
inline void MarkRunAfter(const char* start, char* close) {
    char* run = close + 1;
    char* p = run;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
    if (p == run || *p != '<' || !EndsTag(start, close))
        return;
    switch (*run) {
        case ' ':
            *run = static_cast<char>(0xFF);
            break;
        case '\t':
            *run = static_cast<char>(0xFE);
            break;
        case '\n':
            *run = static_cast<char>(0xFD);
            break;
        default:
            *run = static_cast<char>(0xFC);
            break;
    }
}

inline bool IsXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Every '>' of [p, NUL) followed by white space, sixteen bytes a step: most
// tags are followed by another at once, and those cost no step of their own.
void MarkRunsFrom(char* p) {
    const char* const start = p;
#if defined(__SSE2__)
    for (; reinterpret_cast<uintptr_t>(p) & 15; ++p) {
        if (!*p)
            return;
        if (*p == '>')
            MarkRunAfter(start, p);
    }
    const __m128i close = _mm_set1_epi8('>');
    const __m128i zero = _mm_setzero_si128();
    for (;; p += 16) {
        const __m128i block = _mm_load_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned ends = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, zero)));
        unsigned closes = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, close)));
        if (ends)
            closes &= (1u << __builtin_ctz(ends)) - 1;  // only what comes before the NUL
        const __m128i space =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8(' ')),
                                      _mm_cmpeq_epi8(block, _mm_set1_epi8('\t'))),
                         _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('\n')),
                                      _mm_cmpeq_epi8(block, _mm_set1_epi8('\r'))));
        unsigned candidates = closes & (static_cast<unsigned>(_mm_movemask_epi8(space)) >> 1);
        // A '>' in the last lane is decided by the next byte, which the text
        // still holds since no NUL came first.
        if ((closes & 0x8000u) && IsXmlSpace(p[16]))
            candidates |= 0x8000u;
        for (; candidates; candidates &= candidates - 1)
            MarkRunAfter(start, p + __builtin_ctz(candidates));
        if (ends)
            return;
    }
#else
    for (; *p; ++p) {
        if (*p == '>')
            MarkRunAfter(start, p);
    }
#endif
}

// Stores the first byte of every white-space-only run between '>' and '<'
// as its marker, so that the parser keeps the run as a text node.
// Only between the root's start tag and the last end tag: white space in
// the prolog and after the root is no text, and the parser refuses any
// other byte there. `textEnd` is the text's NUL.
void MarkWhitespaceRuns(char* text, char* textEnd) {
    char* p = text;
    for (;;) {
        p = const_cast<char*>(NextOf(p, '<', '<', '<'));
        if (!*p)
            return;
        if (p[1] == '?') {
            p = const_cast<char*>(SkipPast(p + 2, "?>"));
        } else if (strncmp(p, "<!--", 4) == 0) {
            p = const_cast<char*>(SkipPast(p + 4, "-->"));
        } else if (p[1] == '!') {
            p = const_cast<char*>(SkipDeclaration(p));
        } else {
            break;
        }
    }
    char* end = textEnd;
    while (end > p && !(end[-1] == '<' && end[0] == '/'))
        --end;
    if (end == p)
        return;  // no end tag: nothing but an empty root
    const char saved = *end;
    *end = 0;
    MarkRunsFrom(p);
    *end = saved;
}

}  // namespace

namespace {

// A parser holds its first 64 KB of nodes inside itself. An office package
// parses hundreds of small parts, so the thread keeps a few emptied parsers
// for the next documents instead of taking 64 KB from the heap for each.
constexpr size_t kKeptParsers = 4;

using Parser = rapidxml::xml_document<char>;

std::vector<std::unique_ptr<Parser>>& KeptParsers() {
    thread_local std::vector<std::unique_ptr<Parser>>* slot = nullptr;
    return ThreadScratch(slot);
}

}  // namespace

XmlDocument::XmlDocument() {
    std::vector<std::unique_ptr<Parser>>& kept = KeptParsers();
    if (kept.empty()) {
        document = std::make_unique<Parser>();
        return;
    }
    document = std::move(kept.back());
    kept.pop_back();
}

XmlDocument::~XmlDocument() {
    // Emptied, the parser gives back the pools it grew beyond its own.
    document->clear();
    try {
        std::vector<std::unique_ptr<Parser>>& kept = KeptParsers();
        if (kept.size() < kKeptParsers)
            kept.push_back(std::move(document));
    } catch (const std::bad_alloc&) {
        // Not kept: the parser is freed with this document.
    }
}

namespace {

// The line and column (from 1, in characters) of `at` in `text`. The parser
// has changed the text before `at` in place, but not its line feeds, except
// the first byte of a white-space run it marked (MarkRunAfter), which for a
// line feed is 0xFD, never a byte of UTF-8.
std::wstring NotWellFormedAt(const char* text, const char* at) {
    int line = 1, column = 1;
    for (const char* p = text; p < at; ++p) {
        if (*p == '\n' || static_cast<unsigned char>(*p) == 0xFD) {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(*p) & 0xC0) != 0x80) {
            ++column;
        }
    }
    return L"not well-formed XML, line " + std::to_wstring(line) + L", column " + std::to_wstring(column);
}

}  // namespace

std::wstring XmlDocument::ErrorText(const char* documentStart) const {
    if (errorWhere)
        return NotWellFormedAt(documentStart && documentStart <= errorWhere ? documentStart : parsedText, errorWhere);
    return errorText.empty() ? std::wstring(L"not well-formed XML") : errorText;
}

bool XmlDocument::Parse(char* text, XmlProfile profile) {
    errorText.clear();
    errorWhere = nullptr;
    parsedText = text;
    const MarkupSummary summary = SummarizeMarkup(text, kMaxXmlDepth);
    if (!summary.fewStarts && !IsXmlNestingWithin(text, kMaxXmlDepth)) {
        errorText = L"XML nested more than " + std::to_wstring(kMaxXmlDepth) + L" elements deep";
        return false;
    }
    if (summary.numericReference && HasReferenceBeyondUnicode(text)) {
        errorText = L"not well-formed XML: a character reference beyond Unicode";
        return false;
    }
    try {
        // A document parsed again starts from an empty memory pool.
        document->clear();
        if (profile == XmlProfile::kTrimmed) {
            document->parse<rapidxml::parse_trim_whitespace>(text);
        } else {
            MarkWhitespaceRuns(
                text, const_cast<char*>(summary.end ? summary.end : NextOf(text, 0, 0, 0)));
            document->parse<0>(text);
        }
        return true;
    } catch (const rapidxml::parse_error& e) {
        document->clear();
        errorWhere = e.where<char>();
        return false;
    }
}

XmlNode* XmlDocument::Root() const { return document.get(); }

// Names hold no NUL, so a shorter `name` differs at its terminator; a loop
// here costs less than the library calls for names of a few bytes.
bool NameIs(const XmlNode* node, const char* name) {
    const char* own = node->name();
    const size_t n = node->name_size();
    for (size_t i = 0; i < n; ++i) {
        if (own[i] != name[i])
            return false;
    }
    return name[n] == 0;
}

bool NameIsIgnoringCase(const XmlNode* node, const char* name) {
    const char* own = node->name();
    const size_t n = node->name_size();
    for (size_t i = 0; i < n; ++i) {
        if (AsciiLower(own[i]) != AsciiLower(name[i]))
            return false;
    }
    return name[n] == 0;
}
