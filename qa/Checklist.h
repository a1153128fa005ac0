// A reviewer's checklist: one rule a line, TAB-separated: source
// expression, target expression, rule, name. An expression is literal, or a
// regular expression when written "re:...". Rules: "missing" (the source
// matches and the target does not), "unexpected" (the target matches and
// the source does not), "forbidden" (the target matches).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/SearchRecords.h"

class RegexMatcher;

class Checklist {
public:
    Checklist();
    ~Checklist();
    Checklist(const Checklist&) = delete;
    Checklist& operator=(const Checklist&) = delete;

    // Reads UTF-8 text; false with *error naming the first bad line.
    bool Read(const std::string& bytes, std::wstring* error);
    bool Empty() const { return rules.empty(); }

    struct Breach {
        std::wstring name;
        ShownSpan sourceSpan{-1, -1};
        ShownSpan targetSpan{-1, -1};
    };
    // The rules that `source` and `target` break, in the list's order.
    std::vector<Breach> Check(std::wstring_view source, std::wstring_view target) const;

private:
    struct Expression {
        std::wstring literal;
        std::unique_ptr<RegexMatcher> regex;
        bool Empty() const { return literal.empty() && !regex; }
        // Where it first matches `text`; begin -1 for nowhere.
        ShownSpan Find(std::wstring_view text) const;
    };
    enum class Rule { kMissing, kUnexpected, kForbidden };
    struct Line {
        Expression source;
        Expression target;
        Rule rule = Rule::kMissing;
        std::wstring name;
    };
    std::vector<Line> rules;
};
