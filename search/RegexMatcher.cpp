// The only translation unit that includes Boost.Regex.
#include "search/RegexMatcher.h"

#include <windows.h>

// Boost switches its Windows traits off for GCC; they are wanted here.
#include <boost/regex.hpp>
#include <boost/regex/v5/w32_regex_traits.hpp>
#include <climits>
#include <cwchar>
#include <stdexcept>
#include <vector>

#if defined(__SSE2__) && WCHAR_MAX <= 0xFFFF
#include <emmintrin.h>
#endif

#include "base/ThreadScratch.h"
#include "base/TextScan.h"

namespace {

// The Windows-locale traits with the character classes read once. The
// library asks GetStringTypeExW about every character each \w, \s or [[:x:]]
// looks at, which costs a system call per character; the answers depend on
// the character alone, so a table filled with the very same calls gives the
// same result for a lookup. Each entry holds the unit's CT_CTYPE1 mask with
// the traits' own extra class bits (word, unicode, horizontal and vertical
// space) beside it, so that any class is one test.
class TabledTraits : public boost::w32_regex_traits<wchar_t> {
public:
    using Base = boost::w32_regex_traits<wchar_t>;
    using Impl = boost::BOOST_REGEX_DETAIL_NS::w32_regex_traits_implementation<wchar_t>;

    TabledTraits() : table(TableFor(getloc())), lower(LowerFor(getloc())) {}

    bool isctype(wchar_t c, char_class_type f) const {
        if (__builtin_expect(table == nullptr, 0))
            return AskSystem(c, f);
        return (table[static_cast<unsigned short>(c)] & f) != 0;
    }

    // Ignoring case, the library compares lower-case forms, each one a call
    // of LCMapStringW; they are read from a table filled by the system too.
    wchar_t translate_nocase(wchar_t c) const {
        if (__builtin_expect(lower == nullptr, 0))
            return Base::translate_nocase(c);
        return lower[static_cast<unsigned short>(c)];
    }
    wchar_t translate(wchar_t c, bool icase) const { return icase ? translate_nocase(c) : c; }
    wchar_t tolower(wchar_t c) const { return translate_nocase(c); }

    locale_type imbue(locale_type l) {
        const locale_type previous = Base::imbue(l);
        table = TableFor(getloc());
        lower = LowerFor(getloc());
        return previous;
    }

    // The class bits of every unit for the process's default locale; null
    // for any other locale (those are asked one call at a time).
    static const WORD* TableFor(locale_type locale) {
        static_assert((Impl::mask_base | Impl::mask_word | Impl::mask_unicode |
                       Impl::mask_horizontal | Impl::mask_vertical) <= 0xFFFF,
                      "the class bits fit a WORD");
        static WORD masks[65536];
        static const locale_type tableLocale = [] {
            using namespace boost::BOOST_REGEX_DETAIL_NS;
            const locale_type l = w32_get_default_locale();
            for (unsigned c = 0; c < 65536; ++c) {
                const wchar_t unit = static_cast<wchar_t>(c);
                WORD type = 0;
                if (!GetStringTypeExW(l, CT_CTYPE1, &unit, 1, &type))
                    type = 0;
                WORD bits = type & Impl::mask_base;
                if (unit == L'_')
                    bits |= Impl::mask_word;
                if (is_extended(unit))
                    bits |= Impl::mask_unicode;
                const bool vertical = is_separator(unit) || unit == L'\v';
                if (vertical)
                    bits |= Impl::mask_vertical;
                // Horizontal space: a space character (C1_SPACE) that is no line separator.
                if ((type & C1_SPACE) && !vertical)
                    bits |= Impl::mask_horizontal;
                masks[c] = bits;
            }
            return l;
        }();
        return locale == tableLocale ? masks : nullptr;
    }

    // The lower-case form of every unit for the process's default locale, as
    // LCMapStringW gives it for the unit alone; null for any other locale.
    // Outside the surrogates the system maps a unit without regard to its
    // neighbours, so one call maps each of the two ranges.
    static const wchar_t* LowerFor(locale_type locale) {
        static wchar_t lowered[65536];
        static const locale_type tableLocale = [] {
            const locale_type l = boost::BOOST_REGEX_DETAIL_NS::w32_get_default_locale();
            std::vector<wchar_t> units(65536);
            for (unsigned c = 0; c < 65536; ++c) units[c] = lowered[c] = static_cast<wchar_t>(c);
            auto mapRange = [&](unsigned from, unsigned to) {
                const int n = static_cast<int>(to - from + 1);
                if (LCMapStringW(l, LCMAP_LOWERCASE, units.data() + from, n, lowered + from, n) !=
                    n) {
                    for (unsigned c = from; c <= to; ++c)
                        lowered[c] = boost::BOOST_REGEX_DETAIL_NS::w32_tolower(units[c], l);
                }
            };
            mapRange(1, 0xD7FF);
            mapRange(0xE000, 0xFFFF);
            lowered[0] = boost::BOOST_REGEX_DETAIL_NS::w32_tolower(units[0], l);
            for (unsigned c = 0xD800; c <= 0xDFFF; ++c)
                lowered[c] = boost::BOOST_REGEX_DETAIL_NS::w32_tolower(units[c], l);
            return l;
        }();
        return locale == tableLocale ? lowered : nullptr;
    }

private:
    // Kept out of line so that the tabled test stays small enough to inline.
    __attribute__((noinline)) bool AskSystem(wchar_t c, char_class_type f) const {
        return Base::isctype(c, f);
    }

    const WORD* table;
    const wchar_t* lower;
};

}  // namespace

using WideRegex = boost::basic_regex<wchar_t, TabledTraits>;

struct RegexMatcher::Impl {
    WideRegex expression;
    std::wstring prefix;

    // For an expression that ignores case: the prefix's lower-case forms,
    // the table they come from, and every unit whose form is the prefix's
    // first or last one (at most four each, repeated to fill the four).
    bool prefixIgnoresCase = false;
    std::wstring lowered;
    const wchar_t* lower = nullptr;
    wchar_t firstUnits[4] = {};
    wchar_t lastUnits[4] = {};

    bool TakeCaseInsensitivePrefix(const std::wstring& literals);
    const wchar_t* FindIgnoringCase(const wchar_t* begin, const wchar_t* end) const;
};

bool RegexMatcher::Impl::TakeCaseInsensitivePrefix(const std::wstring& literals) {
    lower = TabledTraits::LowerFor(expression.getloc());
    if (!lower || literals.size() < 2)
        return false;
    lowered.clear();
    for (wchar_t c : literals) lowered += lower[static_cast<unsigned short>(c)];
    auto unitsOf = [&](wchar_t form, wchar_t* units) {
        int count = 0;
        for (unsigned c = 0; c < 65536; ++c) {
            if (lower[c] == form) {
                if (count == 4)
                    return false;
                units[count++] = static_cast<wchar_t>(c);
            }
        }
        for (int i = count; i < 4; ++i) units[i] = units[0];
        return count > 0;
    };
    if (!unitsOf(lowered.front(), firstUnits) || !unitsOf(lowered.back(), lastUnits))
        return false;
    prefix = literals;
    prefixIgnoresCase = true;
    return true;
}

// The first place from `begin` on where the prefix stands, case ignored as
// the expression ignores it: the first and the last unit are compared at
// eight places at once, with each of the units of their form.
const wchar_t* RegexMatcher::Impl::FindIgnoringCase(const wchar_t* begin,
                                                    const wchar_t* end) const {
    const size_t n = lowered.size();
    if (begin > end || static_cast<size_t>(end - begin) < n)
        return nullptr;
    const wchar_t* const lastStart = end - n;
    auto agrees = [&](const wchar_t* at) {
        for (size_t i = 0; i < n; ++i) {
            if (lower[static_cast<unsigned short>(at[i])] != lowered[i])
                return false;
        }
        return true;
    };
    const wchar_t* p = begin;
#if defined(__SSE2__) && WCHAR_MAX <= 0xFFFF
    auto anyOf = [](__m128i block, const wchar_t* units) {
        __m128i hits = _mm_cmpeq_epi16(block, _mm_set1_epi16(static_cast<short>(units[0])));
        for (int i = 1; i < 4; ++i)
            hits = _mm_or_si128(
                hits, _mm_cmpeq_epi16(block, _mm_set1_epi16(static_cast<short>(units[i]))));
        return hits;
    };
    for (; lastStart - p >= 8; p += 8) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 1));
        for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
                 _mm_and_si128(anyOf(first, firstUnits), anyOf(last, lastUnits))));
             mask; mask &= mask - 1) {
            const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
            mask &= ~(1u << bit);  // both bytes of the lane
            if (agrees(p + bit / 2))
                return p + bit / 2;
        }
    }
#endif
    for (; p <= lastStart; ++p) {
        if (agrees(p))
            return p;
    }
    return nullptr;
}

namespace {

// The plain literal characters an expression without alternatives begins
// with, after any assertions of the start of a line, a text or a word, which
// match no characters (so "\\bterm\\b" begins with "term" too); the last
// one is dropped when a quantifier follows it. Empty when there are none.
std::wstring LeadingLiterals(const std::wstring& p) {
    size_t start = 0;
    for (;;) {
        if (start < p.size() && p[start] == L'^')
            start += 1;
        else if (start + 1 < p.size() && p[start] == L'\\' && p[start + 1] != 0 &&
                 wcschr(L"bB<>A`", p[start + 1]))
            start += 2;
        else
            break;
    }
    static const wchar_t kSpecial[] = L".^$|?*+()[]{}\\";
    if (start < p.size() && wcschr(kSpecial, p[start]))
        return {};  // a quantified assertion, or no literal after them
    size_t n = start;
    while (n < p.size() && !wcschr(kSpecial, p[n]))
        ++n;
    if (n < p.size() && (p[n] == L'?' || p[n] == L'*' || p[n] == L'+' || p[n] == L'{') && n > start)
        --n;
    return p.substr(start, n - start);
}

// The characters every match must begin with: the leading literals of the
// pattern, or those that all its alternatives share when the pattern is a
// plain list of them ("colour|color" begins with "colo"). No inline modifier
// (which could turn on case folding or extended syntax) and no \\G (which
// depends on where a search starts) may appear; alternatives are split only
// where no group, set or escaped bar could hold a bar. Anything else gives no
// prefix, and the search runs as it is.
std::wstring FindLiteralPrefix(const wchar_t* pattern) {
    const std::wstring p = pattern;
    if (p.find(L"(?") != std::wstring::npos || p.find(L"\\G") != std::wstring::npos)
        return {};
    std::wstring prefix;
    if (p.find(L'|') == std::wstring::npos) {
        prefix = LeadingLiterals(p);
    } else {
        if (p.find_first_of(L"([") != std::wstring::npos || p.find(L"\\|") != std::wstring::npos)
            return {};
        size_t from = 0;
        for (bool first = true;; first = false) {
            const size_t bar = p.find(L'|', from);
            const std::wstring literals = LeadingLiterals(p.substr(from, bar - from));
            if (first) {
                prefix = literals;
            } else {
                size_t common = 0;
                while (common < prefix.size() && common < literals.size() &&
                       prefix[common] == literals[common])
                    ++common;
                prefix.resize(common);
            }
            if (bar == std::wstring::npos)
                break;
            from = bar + 1;
        }
    }
    return prefix.size() >= 2 ? prefix : std::wstring();
}

}  // namespace

RegexMatcher::RegexMatcher(std::unique_ptr<Impl> i) : impl(std::move(i)) {}
RegexMatcher::~RegexMatcher() = default;

std::unique_ptr<RegexMatcher> RegexMatcher::Compile(const wchar_t* pattern, std::string* errorText,
                                                    int* errorPosition, bool ignoreCase) {
    try {
        auto impl = std::make_unique<Impl>();
        impl->expression.assign(pattern, ignoreCase ? WideRegex::perl | WideRegex::icase : WideRegex::perl);
        if (impl->expression.empty() || impl->expression.status() != 0)
            throw std::invalid_argument("invalid regex syntax");
        // Ignoring case, the literals every match begins with are looked for
        // in their lower-case forms; an inline "(?-i)" gives no prefix at all.
        if (ignoreCase)
            impl->TakeCaseInsensitivePrefix(FindLiteralPrefix(pattern));
        else
            impl->prefix = FindLiteralPrefix(pattern);
        // "(?i)" ahead of all else turns case folding on for the whole
        // expression: its literals, compared in their lower-case forms, can
        // still be looked for ahead.
        if (impl->prefix.empty() && wcsncmp(pattern, L"(?i)", 4) == 0)
            impl->TakeCaseInsensitivePrefix(FindLiteralPrefix(pattern + 4));
        return std::unique_ptr<RegexMatcher>(new RegexMatcher(std::move(impl)));
    } catch (const boost::regex_error& e) {
        if (errorText)
            *errorText = e.what();
        if (errorPosition)
            *errorPosition = static_cast<int>(e.position());
    } catch (const std::exception& e) {
        if (errorText)
            *errorText = e.what();
        if (errorPosition)
            *errorPosition = 0;
    }
    return nullptr;
}

bool RegexMatcher::ClassesAgreeWithSystem(std::wstring* difference) {
    static const wchar_t* const kNames[] = {
        L"alnum", L"alpha", L"blank", L"cntrl", L"d",     L"digit", L"graph", L"h",
        L"l",     L"lower", L"print", L"punct", L"s",     L"space", L"u",     L"unicode",
        L"upper", L"v",     L"w",     L"word",  L"xdigit",
    };
    const TabledTraits tabled;
    const TabledTraits::Base system;
    for (const wchar_t* name : kNames) {
        const auto mask = system.lookup_classname(name, name + wcslen(name));
        if (mask == 0 || tabled.lookup_classname(name, name + wcslen(name)) != mask) {
            *difference = std::wstring(L"class ") + name + L" not found";
            return false;
        }
        for (unsigned c = 0; c < 65536; ++c) {
            const auto unit = static_cast<wchar_t>(c);
            if (tabled.isctype(unit, mask) != system.isctype(unit, mask)) {
                wchar_t text[64];
                swprintf(text, 64, L"class %ls, unit U+%04X", name, c);
                *difference = text;
                return false;
            }
        }
    }
    return true;
}

bool RegexMatcher::LowerCaseAgreesWithSystem(std::wstring* difference) {
    const TabledTraits tabled;
    const TabledTraits::Base system;
    for (unsigned c = 0; c < 65536; ++c) {
        const auto unit = static_cast<wchar_t>(c);
        if (tabled.translate(unit, true) != system.translate(unit, true) ||
            tabled.tolower(unit) != system.tolower(unit) || tabled.translate(unit, false) != unit) {
            wchar_t text[64];
            swprintf(text, 64, L"unit U+%04X", c);
            *difference = text;
            return false;
        }
    }
    return true;
}

const std::wstring& RegexMatcher::LiteralPrefix() const { return impl->prefix; }

RegexMatcher::SearchResult RegexMatcher::Search(const wchar_t* first, const wchar_t* last,
                                                const wchar_t** matchBegin,
                                                const wchar_t** matchEnd) const {
    try {
        // The match state is the thread's own, so that workers share one
        // compiled expression; it is kept between searches for its storage.
        thread_local boost::match_results<const wchar_t*>* resultsSlot = nullptr;
        boost::match_results<const wchar_t*>& m = ThreadScratch(resultsSlot);
        const std::wstring& prefix = impl->prefix;
        if (prefix.empty()) {
            if (!boost::regex_search(first, last, m, impl->expression, boost::match_default, first))
                return SearchResult::kNotFound;
        } else {
            // Only where the prefix stands can a match begin: try the
            // expression there alone. Past the start of the search the
            // character before is visible to anchors and word boundaries, as
            // it is to a search that reached that place by itself.
            const wchar_t* at = first;
            for (;;) {
                at = impl->prefixIgnoresCase ? impl->FindIgnoringCase(at, last)
                                             : FindLiteral(at, last, prefix.c_str(), prefix.size());
                if (!at)
                    return SearchResult::kNotFound;
                const auto flags = boost::match_continuous |
                                   (at > first ? boost::match_prev_avail : boost::match_default);
                if (boost::regex_search(at, last, m, impl->expression, flags, first))
                    break;
                ++at;
            }
        }
        *matchBegin = m[0].first;
        *matchEnd = m[0].second;
        return SearchResult::kFound;
    } catch (const std::exception&) {
        // Complexity bound exceeded or out of stack: the library abandons this text.
        return SearchResult::kAbandoned;
    }
}

RegexMatcher::SearchResult RegexMatcher::SearchPlainly(const wchar_t* first, const wchar_t* last,
                                                       const wchar_t** matchBegin,
                                                       const wchar_t** matchEnd) const {
    try {
        boost::match_results<const wchar_t*> m;
        if (!boost::regex_search(first, last, m, impl->expression, boost::match_default, first))
            return SearchResult::kNotFound;
        *matchBegin = m[0].first;
        *matchEnd = m[0].second;
        return SearchResult::kFound;
    } catch (const std::exception&) {
        return SearchResult::kAbandoned;
    }
}
