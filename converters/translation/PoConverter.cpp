// Reading gettext catalogues: lines, quoted strings and their escapes, the
// header's character set, and the text written for a search.
#include "converters/translation/PoConverter.h"

#include <string_view>
#include <utility>

#include <cwctype>

#include "converters/readers/FileBlock.h"
#include "base/TextScan.h"
#include "converters/readers/Utf8Text.h"

namespace {

constexpr size_t kMaxCatalogueBytes = 256u << 20;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Reads the quoted string at `p` (at its opening quote) into `out`, escapes
// decoded; `p` is left after the closing quote. False without one.
bool ReadQuoted(const char*& p, const char* end, std::string* out) {
    ++p;
    while (p < end && *p != '"') {
        if (*p == '\n' || *p == '\r')
            return false;
        if (*p != '\\') {
            out->push_back(*p++);
            continue;
        }
        if (++p >= end)
            return false;
        const char c = *p++;
        switch (c) {
        case 'n': out->push_back('\n'); break;
        case 't': out->push_back('\t'); break;
        case 'r': out->push_back('\r'); break;
        case 'a': out->push_back('\a'); break;
        case 'b': out->push_back('\b'); break;
        case 'f': out->push_back('\f'); break;
        case 'v': out->push_back('\v'); break;
        case 'x': {
            int value = 0, digits = 0;
            for (; digits < 2 && p < end && HexDigitValue(*p) >= 0; ++digits)
                value = value * 16 + HexDigitValue(*p++);
            out->push_back(digits ? static_cast<char>(value) : 'x');
            break;
        }
        default:
            if (c >= '0' && c <= '7') {
                int value = c - '0';
                for (int digits = 1; digits < 3 && p < end && *p >= '0' && *p <= '7'; ++digits)
                    value = value * 8 + (*p++ - '0');
                out->push_back(static_cast<char>(value));
            } else {
                out->push_back(c);  // \" \\ and any unknown escape: the character itself
            }
            break;
        }
    }
    if (p >= end)
        return false;
    ++p;
    return true;
}

const char* SkipBlanks(const char* p, const char* end) {
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    return p;
}

// Reads the quoted strings from `q` to the line's end `next` into `out`;
// false when anything else stands there (a CR before the line feed aside).
bool ReadStringsOfLine(const char* q, const char* next, std::string* out) {
    while (q < next && *q == '"') {
        if (!ReadQuoted(q, next, out))
            return false;
        q = SkipBlanks(q, next);
    }
    return q >= next || *q == '\r';
}

// The keywords of an entry, in the order they may come.
enum class Keyword { kNone, kContext, kId, kPlural, kString };

}  // namespace

bool ParsePo(const char* text, size_t size, std::vector<PoEntry>* entries) {
    entries->clear();
    const char* p = text;
    const char* const end = text + size;
    PoEntry entry;
    Keyword last = Keyword::kNone;  // of the entry being read
    std::string* target = nullptr;  // where continuation strings go
    bool fuzzyNext = false;  // a flag line said so for the entry to come
    auto finish = [&] {
        if (last == Keyword::kString)
            entries->push_back(std::move(entry));
        entry = PoEntry();
        last = Keyword::kNone;
    };
    int lineNumber = 0;
    while (p < end) {
        ++lineNumber;
        const char* line = SkipBlanks(p, end);
        const char* next = line;
        while (next < end && *next != '\n')
            ++next;
        if (line == next || *line == '\r' || *line == '#') {
            // Flags ("#, fuzzy, c-format") belong to the entry that follows.
            if (next - line > 2 && line[1] == ',' && std::string_view(line, static_cast<size_t>(next - line)).find("fuzzy") !=
                                                         std::string_view::npos)
                fuzzyNext = true;
            p = next + (next < end);
            continue;  // blank, or a comment (obsolete entries "#~" included)
        }
        if (*line == '"') {
            if (!target)
                return false;
            if (!ReadStringsOfLine(line, next, target))
                return false;
            p = next + (next < end);
            continue;
        }
        const char* word = line;
        while (word < next && !IsBlank(*word) && *word != '"')
            ++word;
        const std::string keyword(line, word);
        Keyword kind = Keyword::kNone;
        if (keyword == "domain") {
            p = next + (next < end);
            continue;
        }
        if (keyword == "msgctxt") {
            if (last != Keyword::kNone && last != Keyword::kString)
                return false;
            finish();
            entry.fuzzy = std::exchange(fuzzyNext, false);
            entry.line = lineNumber;
            entry.hasContext = true;
            target = &entry.context;
            kind = Keyword::kContext;
        } else if (keyword == "msgid") {
            if (last == Keyword::kString)
                finish();
            if (last != Keyword::kNone && last != Keyword::kContext)
                return false;
            if (last == Keyword::kNone) {
                entry.fuzzy = std::exchange(fuzzyNext, false);
                entry.line = lineNumber;
            }
            target = &entry.id;
            kind = Keyword::kId;
        } else if (keyword == "msgid_plural") {
            if (last != Keyword::kId)
                return false;
            entry.hasPlural = true;
            target = &entry.plural;
            kind = Keyword::kPlural;
        } else if (keyword == "msgstr" || (keyword.rfind("msgstr[", 0) == 0 && keyword.size() > 8 &&
                                           keyword.back() == ']' &&
                                           keyword.find_first_not_of("0123456789", 7) == keyword.size() - 1)) {
            // A plain msgstr follows the msgid; numbered ones follow the plural or each other.
            const bool numbered = keyword != "msgstr";
            if (!(last == Keyword::kId || last == Keyword::kPlural || (numbered && last == Keyword::kString)))
                return false;
            entry.translations.emplace_back();
            target = &entry.translations.back();
            kind = Keyword::kString;
        } else {
            return false;
        }
        last = kind;
        // Its strings on this line; the first may also stand on the next.
        if (!ReadStringsOfLine(SkipBlanks(word, next), next, target))
            return false;
        p = next + (next < end);
    }
    if (last != Keyword::kNone && last != Keyword::kString)
        return false;
    finish();
    return true;
}

unsigned CodePageOfCharset(const std::string& name) {
    std::string n;
    for (char c : name) {
        if (c != ' ' && c != '\t')
            n.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
    }
    auto number = [](const std::string& digits) -> unsigned {
        if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
            return 0;
        return static_cast<unsigned>(std::stoul(digits));
    };
    if (n == "utf-8" || n == "utf8")
        return CP_UTF8;
    for (const char* prefix : {"cp", "windows-", "x-cp"}) {
        const std::string p = prefix;
        if (n.rfind(p, 0) == 0)
            return number(n.substr(p.size()));
    }
    if (n.rfind("iso-8859-", 0) == 0) {
        const unsigned part = number(n.substr(9));
        return part >= 1 && part <= 16 ? 28590 + part : 0;
    }
    static const struct {
        const char* name;
        unsigned codePage;
    } kKnown[] = {{"koi8-r", 20866}, {"koi8-u", 21866}, {"shift_jis", 932}, {"sjis", 932},
                  {"euc-jp", 20932}, {"gb2312", 936},  {"gbk", 936},       {"gb18030", 54936},
                  {"big5", 950},     {"euc-kr", 949},  {"ascii", 20127},   {"us-ascii", 20127}};
    for (const auto& k : kKnown) {
        if (n == k.name)
            return k.codePage;
    }
    return 0;
}

unsigned PoCodePage(const std::vector<PoEntry>& entries) {
    for (const PoEntry& e : entries) {
        if (e.hasContext || !e.id.empty() || e.translations.empty())
            continue;
        const std::string& header = e.translations.front();
        size_t at = header.find("charset=");
        if (at != std::string::npos) {
            at += 8;
            const size_t stop = header.find_first_of(";\n\r", at);
            const unsigned codePage = CodePageOfCharset(header.substr(at, stop == std::string::npos ? std::string::npos : stop - at));
            return codePage ? codePage : CP_UTF8;
        }
        break;
    }
    return CP_UTF8;
}

std::wstring PoText(const std::vector<PoEntry>& entries, unsigned codePage, SegmentTable* segments) {
    std::wstring text;
    auto decode = [&](unsigned page, const std::string& bytes) {
        const int n = MultiByteToWideChar(page, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
        if (n <= 0)
            return false;
        const size_t at = text.size();
        text.resize(at + static_cast<size_t>(n));
        MultiByteToWideChar(page, 0, bytes.data(), static_cast<int>(bytes.size()), &text[at], n);
        return true;
    };
    bool target = false;
    auto append = [&](const std::string& bytes) {
        const size_t begin = text.size();
        // A code page the system lacks: read as UTF-8 rather than lose the text.
        if (!bytes.empty() && !decode(codePage, bytes))
            decode(CP_UTF8, bytes);
        if (segments && text.size() > begin)
            segments->Add(target, {static_cast<uint32_t>(begin), static_cast<uint32_t>(text.size())});
        text += L"\r\n";
    };
    if (segments)
        segments->clear();
    for (const PoEntry& e : entries) {
        if (!e.hasContext && e.id.empty()) {
            // The header: the catalogue's language is its target's.
            const std::string& header = e.translations.empty() ? std::string() : e.translations.front();
            const size_t at = header.find("Language:");
            if (segments && at != std::string::npos) {
                size_t from = header.find_first_not_of(' ', at + 9);
                const size_t stop = from == std::string::npos ? from : header.find_first_of(" \r\n", from);
                if (from != std::string::npos && stop != from && (stop == std::string::npos || stop - from <= 35)) {
                    const std::string language = header.substr(from, stop == std::string::npos ? stop : stop - from);
                    segments->NoteLanguages(L"", std::wstring(language.begin(), language.end()));
                }
            }
            continue;
        }
        if (segments) {
            segments->Begin(L"#" + std::to_wstring(segments->size() + 1));
            segments->SetLastLine(e.line);
        }
        target = false;
        append(e.id);
        if (e.hasPlural)
            append(e.plural);
        target = true;
        bool translated = false;
        for (const std::string& s : e.translations) {
            append(s);
            translated |= !s.empty();
        }
        if (segments)
            segments->SetLastState(e.fuzzy ? SegmentState::kDraft
                                   : translated ? SegmentState::kTranslated
                                                : SegmentState::kNew,
                                   false);
    }
    if (segments)
        segments->End();
    return text;
}

PoConverter::PoConverter() {
    wcsncpy(typeName, L"PO files", kConverterChars - 1);
    wcsncpy(fileSpec, L"*.po;*.pot", kConverterChars - 1);
}

PoConverter::PoConverter(const PoConverter& other) : TxtConverter(other) {}

int PoConverter::Accepts(const wchar_t* path) {
    const size_t n = wcslen(path);
    auto endsWith = [&](const wchar_t* suffix) {
        const size_t k = wcslen(suffix);
        return n > k && _wcsicmp(path + n - k, suffix) == 0;
    };
    return endsWith(L".po") || endsWith(L".pot");
}

std::unique_ptr<DocConverter> PoConverter::Clone() const { return std::make_unique<PoConverter>(*this); }

HGLOBAL PoConverter::Convert(const wchar_t* path, const SearchRequest& request) {
    segments.clear();
    std::vector<char> buffer;
    size_t size = 0;
    if (!ReadFileIntoBuffer(path, &buffer, &size))
        return nullptr;
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
    std::string utf8;
    const char* text = buffer.data();
    size_t length = size;
    bool unicode = false;  // a byte-order mark decided the encoding
    if (size >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
        std::wstring units;
        for (size_t i = 2; i + 1 < size; i += 2)
            units.push_back(static_cast<wchar_t>(bytes[0] == 0xFF ? bytes[i] | (bytes[i + 1] << 8)
                                                                  : (bytes[i] << 8) | bytes[i + 1]));
        Utf16ToUtf8(units.data(), units.size(), &utf8);
        text = utf8.data();
        length = utf8.size();
        unicode = true;
    } else if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        text += 3;
        length -= 3;
        unicode = true;
    }
    // A catalogue is a few megabytes at most: anything far larger, or not a
    // catalogue, is read as plain text.
    std::vector<PoEntry> entries;
    if (length > kMaxCatalogueBytes || !ParsePo(text, length, &entries))
        return TxtConverter::Convert(path, request);  // not a catalogue: plain text
    SetReadAs(L"PO");
    return TextBlockFromString(
        PoText(entries, unicode ? CP_UTF8 : PoCodePage(entries), WantsSegments() ? &segments : nullptr));
}
