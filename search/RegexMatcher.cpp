// The only translation unit that includes Boost.Regex.
#include "search/RegexMatcher.h"

#include <windows.h>

// Boost switches its Windows traits off for GCC; they are wanted here.
#include <boost/regex/v5/w32_regex_traits.hpp>
#include <boost/regex.hpp>

#include <stdexcept>

using WideRegex = boost::basic_regex<wchar_t, boost::w32_regex_traits<wchar_t>>;

struct RegexMatcher::Impl {
    WideRegex expression;
};

RegexMatcher::RegexMatcher(std::unique_ptr<Impl> i) : impl(std::move(i)) {}
RegexMatcher::~RegexMatcher() = default;

std::unique_ptr<RegexMatcher> RegexMatcher::Compile(const wchar_t* pattern, std::string* errorText,
                                                    int* errorPosition) {
    try {
        auto impl = std::make_unique<Impl>();
        impl->expression.assign(pattern);
        if (impl->expression.empty() || impl->expression.status() != 0)
            throw std::invalid_argument("invalid regex syntax");
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

RegexMatcher::SearchResult RegexMatcher::Search(const wchar_t* first, const wchar_t* last,
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
        // Complexity bound exceeded or out of stack: the library abandons this text.
        return SearchResult::kAbandoned;
    }
}
