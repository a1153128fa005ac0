// The only translation unit that includes Boost.Regex.
#include "search/RegexMatcher.h"

#include <windows.h>

// Boost switches its Windows traits off for GCC; they are wanted here.
#include <boost/regex/v5/w32_regex_traits.hpp>
#include <boost/regex.hpp>

#include <cwchar>
#include <stdexcept>

#include "search/TextScan.h"

using WideRegex = boost::basic_regex<wchar_t, boost::w32_regex_traits<wchar_t>>;

struct RegexMatcher::Impl {
    WideRegex expression;
    std::wstring prefix;
};

namespace {

// The characters every match must begin with, read off patterns that start
// with plain literal characters: no alternation, no inline modifier (which
// could turn on case folding or extended syntax), no \G (which depends on
// where a search starts), and the last literal dropped when a quantifier
// follows it. Anything else gives no prefix, and the search runs as it is.
std::wstring FindLiteralPrefix(const wchar_t* pattern) {
    const std::wstring p = pattern;
    if (p.find(L'|') != std::wstring::npos || p.find(L"(?") != std::wstring::npos ||
        p.find(L"\\G") != std::wstring::npos)
        return {};
    static const wchar_t kSpecial[] = L".^$|?*+()[]{}\\";
    size_t n = 0;
    while (n < p.size() && !wcschr(kSpecial, p[n]))
        ++n;
    if (n < p.size() && (p[n] == L'?' || p[n] == L'*' || p[n] == L'+' || p[n] == L'{') && n > 0)
        --n;
    return n >= 2 ? p.substr(0, n) : std::wstring();
}

}  // namespace

RegexMatcher::RegexMatcher(std::unique_ptr<Impl> i) : impl(std::move(i)) {}
RegexMatcher::~RegexMatcher() = default;

std::unique_ptr<RegexMatcher> RegexMatcher::Compile(const wchar_t* pattern, std::string* errorText,
                                                    int* errorPosition) {
    try {
        auto impl = std::make_unique<Impl>();
        impl->expression.assign(pattern);
        if (impl->expression.empty() || impl->expression.status() != 0)
            throw std::invalid_argument("invalid regex syntax");
        impl->prefix = FindLiteralPrefix(pattern);
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

const std::wstring& RegexMatcher::LiteralPrefix() const { return impl->prefix; }

RegexMatcher::SearchResult RegexMatcher::Search(const wchar_t* first, const wchar_t* last,
                                                const wchar_t** matchBegin,
                                                const wchar_t** matchEnd) const {
    try {
        boost::match_results<const wchar_t*> m;
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
                at = FindLiteral(at, last, prefix.c_str(), prefix.size());
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
