// A compiled regular expression over wide text. Boost stays inside the .cpp.
#pragma once

#include <memory>
#include <string>

class RegexMatcher {
public:
    enum class SearchResult { kFound, kNotFound, kAbandoned };

    ~RegexMatcher();

    // Compiles `pattern` with Perl syntax and the Windows-locale traits,
    // ignoring case when asked (an inline "(?-i)" still turns it off).
    // On failure returns null and fills the library's description and the
    // position in the pattern at which parsing failed.
    static std::unique_ptr<RegexMatcher> Compile(const wchar_t* pattern, std::string* errorText,
                                                 int* errorPosition, bool ignoreCase = false);

    // Searches [first, last) with the default flags, taking `first` as the
    // start of a text (anchors and word boundaries). kAbandoned when the
    // library gives up (complexity or stack limit).
    SearchResult Search(const wchar_t* first, const wchar_t* last, const wchar_t** matchBegin,
                        const wchar_t** matchEnd) const;

    // The library's own search of [first, last) with `first` as the start of
    // a text, without the literal pre-filter of Search: the plain rule that
    // Search must give the same answers as. For the tests.
    SearchResult SearchPlainly(const wchar_t* first, const wchar_t* last,
                               const wchar_t** matchBegin, const wchar_t** matchEnd) const;

    // The literal text every match begins with, when the pattern shows one
    // plainly (in any case when the pattern begins with "(?i)"); empty
    // otherwise.
    const std::wstring& LiteralPrefix() const;

    // Compares, for every character class name the expressions accept and
    // every UTF-16 unit, the answer of the tabled classes with the answer the
    // library's own traits get from the system. Returns false and describes
    // the first disagreement otherwise. For the tests.
    static bool ClassesAgreeWithSystem(std::wstring* difference);

    // Compares, for every UTF-16 unit, the lower-case form the expressions
    // compare when ignoring case with the one the library's own traits get
    // from the system. For the tests.
    static bool LowerCaseAgreesWithSystem(std::wstring* difference);

private:
    struct Impl;
    explicit RegexMatcher(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl;
};
