// Reading a glossary table and finding its terms as whole words.
#include "qa/Glossary.h"

#include <algorithm>
#include <cwctype>

#include "qa/TextParts.h"

namespace {

std::wstring Widen(const std::string& utf8) {
    std::wstring out;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        unsigned code = c;
        size_t more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (more)
            code = c & (0x3F >> more);
        ++i;
        for (; more && i < utf8.size(); --more, ++i)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (code >> 10));
            out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<wchar_t>(code);
        }
    }
    return out;
}

std::wstring Trimmed(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos)
        return std::wstring();
    return text.substr(first, text.find_last_not_of(L" \t\r\n") - first + 1);
}

// The records of CSV (quotes doubled inside quoted fields) or of
// tab-separated text, chosen by the first line.
std::vector<std::vector<std::wstring>> Records(const std::wstring& text) {
    const size_t firstLine = text.find(L'\n');
    const std::wstring head = text.substr(0, firstLine);
    const wchar_t separator = head.find(L'\t') != std::wstring::npos ? L'\t' : head.find(L';') != std::wstring::npos &&
                                                                                       head.find(L',') == std::wstring::npos
                                                                                   ? L';'
                                                                                   : L',';
    std::vector<std::vector<std::wstring>> records(1);
    std::wstring field;
    bool quoted = false, started = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (quoted) {
            if (c == L'"' && i + 1 < text.size() && text[i + 1] == L'"') {
                field += L'"';
                ++i;
            } else if (c == L'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == L'"' && !started) {
            quoted = started = true;
        } else if (c == separator) {
            records.back().push_back(field);
            field.clear();
            started = false;
        } else if (c == L'\n' || c == L'\r') {
            if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
                ++i;
            records.back().push_back(field);
            field.clear();
            started = false;
            records.emplace_back();
        } else {
            field += c;
            started = true;
        }
    }
    if (started || !records.back().empty())
        records.back().push_back(field);
    return records;
}

bool IsWordUnit(wchar_t c) { return IsLetter(c) || DigitValue(c) >= 0 || c == L'_'; }

}  // namespace

void Glossary::Add(const std::wstring& source, const std::wstring& target) {
    auto it = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.source == source; });
    if (it == entries.end()) {
        entries.push_back({source, {}, {}});
        it = entries.end() - 1;
    }
    size_t from = 0;
    for (;;) {
        const size_t bar = target.find(L'|', from);
        std::wstring term = Trimmed(target.substr(from, bar == std::wstring::npos ? bar : bar - from));
        if (!term.empty() && term[0] == L'!')
            it->forbidden.push_back(Trimmed(term.substr(1)));
        else if (!term.empty())
            it->targets.push_back(term);
        if (bar == std::wstring::npos)
            break;
        from = bar + 1;
    }
}

bool Glossary::Read(const std::string& bytes, std::wstring* error) {
    std::string body = bytes;
    if (body.rfind("\xEF\xBB\xBF", 0) == 0)
        body.erase(0, 3);
    if (body.find('\0') != std::string::npos) {
        *error = L"the glossary is not UTF-8 text";
        return false;
    }
    for (const auto& record : Records(Widen(body))) {
        if (record.size() < 2)
            continue;
        const std::wstring source = Trimmed(record[0]);
        if (!source.empty())
            Add(source, record[1]);
    }
    return true;
}

int FindWholeTerm(std::wstring_view text, std::wstring_view term, bool matchCase, size_t from) {
    if (term.empty() || term.size() > text.size())
        return -1;
    auto same = [matchCase](wchar_t a, wchar_t b) {
        return a == b || (!matchCase && std::towlower(a) == std::towlower(b));
    };
    for (size_t i = from; i + term.size() <= text.size(); ++i) {
        if (!std::equal(term.begin(), term.end(), text.begin() + i, same))
            continue;
        const bool before = i == 0 || !IsWordUnit(text[i - 1]) || !IsWordUnit(term.front());
        const size_t end = i + term.size();
        const bool after = end == text.size() || !IsWordUnit(text[end]) || !IsWordUnit(term.back());
        if (before && after)
            return static_cast<int>(i);
    }
    return -1;
}
