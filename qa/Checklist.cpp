// Reading a checklist and applying its rules to a segment.
#include "qa/Checklist.h"

#include "converters/readers/Utf8Text.h"
#include "search/RegexMatcher.h"

namespace {

std::vector<std::wstring> Fields(const std::wstring& line) {
    std::vector<std::wstring> fields;
    size_t from = 0;
    for (;;) {
        const size_t tab = line.find(L'\t', from);
        fields.push_back(line.substr(from, tab == std::wstring::npos ? tab : tab - from));
        if (tab == std::wstring::npos)
            return fields;
        from = tab + 1;
    }
}

}  // namespace

Checklist::Checklist() = default;
Checklist::~Checklist() = default;

ShownSpan Checklist::Expression::Find(std::wstring_view text) const {
    if (regex) {
        const wchar_t* begin = nullptr;
        const wchar_t* end = nullptr;
        if (regex->Search(text.data(), text.data() + text.size(), &begin, &end) == RegexMatcher::SearchResult::kFound)
            return {static_cast<int>(begin - text.data()), static_cast<int>(end - text.data())};
        return {-1, -1};
    }
    const size_t at = text.find(literal);
    if (literal.empty() || at == std::wstring_view::npos)
        return {-1, -1};
    return {static_cast<int>(at), static_cast<int>(at + literal.size())};
}

bool Checklist::Read(const std::string& bytes, std::wstring* error) {
    std::wstring text = WidenUtf8(bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? bytes.substr(3) : bytes);
    int number = 0;
    size_t from = 0;
    while (from <= text.size()) {
        size_t end = text.find(L'\n', from);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(from, end - from);
        from = end + 1;
        ++number;
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        if (line.empty() || line[0] == L'#')
            continue;
        const std::vector<std::wstring> fields = Fields(line);
        Line rule;
        const std::wstring kind = fields.size() > 2 ? fields[2] : std::wstring();
        if (kind == L"missing")
            rule.rule = Rule::kMissing;
        else if (kind == L"unexpected")
            rule.rule = Rule::kUnexpected;
        else if (kind == L"forbidden")
            rule.rule = Rule::kForbidden;
        else {
            *error = L"line " + std::to_wstring(number) + L": the rule must be missing, unexpected or forbidden";
            return false;
        }
        for (int side = 0; side < 2; ++side) {
            const std::wstring& written = fields[side];
            Expression& expression = side == 0 ? rule.source : rule.target;
            if (written.rfind(L"re:", 0) == 0) {
                std::string description;
                int position = 0;
                expression.regex = RegexMatcher::Compile(written.c_str() + 3, &description, &position);
                if (!expression.regex) {
                    *error = L"line " + std::to_wstring(number) + L": the regular expression is not valid";
                    return false;
                }
            } else {
                expression.literal = written;
            }
        }
        if ((rule.rule != Rule::kForbidden && (rule.source.Empty() || rule.target.Empty())) ||
            (rule.rule == Rule::kForbidden && rule.target.Empty())) {
            *error = L"line " + std::to_wstring(number) + L": an expression is missing";
            return false;
        }
        rule.name = fields.size() > 3 && !fields[3].empty() ? fields[3] : line;
        rules.push_back(std::move(rule));
    }
    return true;
}

std::vector<Checklist::Breach> Checklist::Check(std::wstring_view source, std::wstring_view target) const {
    std::vector<Breach> breaches;
    for (const Line& rule : rules) {
        const ShownSpan inTarget = rule.target.Find(target);
        const ShownSpan inSource = rule.source.Empty() ? ShownSpan{-1, -1} : rule.source.Find(source);
        const bool sourceHas = inSource.begin >= 0, targetHas = inTarget.begin >= 0;
        bool broken = false;
        switch (rule.rule) {
        case Rule::kMissing: broken = sourceHas && !targetHas; break;
        case Rule::kUnexpected: broken = targetHas && !sourceHas; break;
        case Rule::kForbidden: broken = targetHas; break;
        }
        if (broken)
            breaches.push_back({rule.name, inSource, inTarget});
    }
    return breaches;
}
