// A CSV reader and a strict JSON reader for the export tests.
#include "tests/TableReaders.h"

#include <cstdlib>
#include <stdexcept>

std::vector<std::vector<std::string>> ReadCsv(const std::string& text, char separator) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    size_t i = 0;
    bool any = false;
    while (i < text.size()) {
        const char c = text[i];
        any = true;
        if (c == '"' && field.empty()) {
            ++i;
            for (;;) {
                if (i >= text.size())
                    throw std::runtime_error("unterminated quoted field");
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i++];
            }
            if (i < text.size() && text[i] != separator && text[i] != '\r' && text[i] != '\n')
                throw std::runtime_error("text after a closing quote");
        } else if (c == separator) {
            record.push_back(field);
            field.clear();
            ++i;
        } else if (c == '\r' || c == '\n') {
            record.push_back(field);
            field.clear();
            records.push_back(record);
            record.clear();
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            any = false;
        } else if (c == '"') {
            throw std::runtime_error("quote inside an unquoted field");
        } else {
            field += c;
            ++i;
        }
    }
    if (any) {
        record.push_back(field);
        records.push_back(record);
    }
    return records;
}

namespace {

class JsonParser {
public:
    explicit JsonParser(const std::string& text) : s(text) {}

    JsonValue Document() {
        JsonValue v = Value(0);
        Space();
        if (i != s.size())
            Fail("text after the value");
        return v;
    }

private:
    [[noreturn]] void Fail(const char* what) {
        throw std::runtime_error(std::string(what) + " at byte " + std::to_string(i));
    }
    void Space() {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r'))
            ++i;
    }
    void Expect(char c) {
        Space();
        if (i >= s.size() || s[i] != c)
            Fail("unexpected character");
        ++i;
    }
    JsonValue Value(int depth) {
        if (depth > 200)
            Fail("too deep");
        Space();
        if (i >= s.size())
            Fail("no value");
        JsonValue v;
        const char c = s[i];
        if (c == '{') {
            v.kind = JsonValue::Kind::kObject;
            ++i;
            Space();
            if (i < s.size() && s[i] == '}') {
                ++i;
                return v;
            }
            for (;;) {
                Space();
                JsonValue key = String();
                Expect(':');
                JsonValue member = Value(depth + 1);
                v.members[key.Utf8()] = std::move(member);
                Space();
                if (i < s.size() && s[i] == ',') {
                    ++i;
                    continue;
                }
                Expect('}');
                return v;
            }
        }
        if (c == '[') {
            v.kind = JsonValue::Kind::kArray;
            ++i;
            Space();
            if (i < s.size() && s[i] == ']') {
                ++i;
                return v;
            }
            for (;;) {
                v.items.push_back(Value(depth + 1));
                Space();
                if (i < s.size() && s[i] == ',') {
                    ++i;
                    continue;
                }
                Expect(']');
                return v;
            }
        }
        if (c == '"')
            return String();
        if (s.compare(i, 4, "true") == 0 || s.compare(i, 5, "false") == 0) {
            v.kind = JsonValue::Kind::kBool;
            v.boolean = s[i] == 't';
            i += v.boolean ? 4 : 5;
            return v;
        }
        if (s.compare(i, 4, "null") == 0) {
            i += 4;
            return v;
        }
        return Number();
    }
    JsonValue Number() {
        const size_t start = i;
        if (i < s.size() && s[i] == '-')
            ++i;
        if (i >= s.size() || !isdigit(static_cast<unsigned char>(s[i])))
            Fail("bad number");
        if (s[i] == '0' && i + 1 < s.size() && isdigit(static_cast<unsigned char>(s[i + 1])))
            Fail("leading zero");
        while (i < s.size() && (isdigit(static_cast<unsigned char>(s[i])) || s[i] == '.' || s[i] == 'e' ||
                                s[i] == 'E' || s[i] == '+' || s[i] == '-'))
            ++i;
        JsonValue v;
        v.kind = JsonValue::Kind::kNumber;
        v.number = strtod(s.substr(start, i - start).c_str(), nullptr);
        return v;
    }
    unsigned Hex4() {
        if (i + 4 > s.size())
            Fail("short escape");
        unsigned value = 0;
        for (int k = 0; k < 4; ++k) {
            const char h = s[i++];
            value <<= 4;
            if (h >= '0' && h <= '9')
                value |= h - '0';
            else if (h >= 'a' && h <= 'f')
                value |= h - 'a' + 10;
            else if (h >= 'A' && h <= 'F')
                value |= h - 'A' + 10;
            else
                Fail("bad escape");
        }
        return value;
    }
    JsonValue String() {
        if (i >= s.size() || s[i] != '"')
            Fail("expected a string");
        ++i;
        JsonValue v;
        v.kind = JsonValue::Kind::kString;
        for (;;) {
            if (i >= s.size())
                Fail("unterminated string");
            const unsigned char c = static_cast<unsigned char>(s[i]);
            if (c == '"') {
                ++i;
                return v;
            }
            if (c < 0x20)
                Fail("control character in a string");
            if (c == '\\') {
                ++i;
                if (i >= s.size())
                    Fail("short escape");
                const char e = s[i++];
                switch (e) {
                case '"': v.string += u'"'; break;
                case '\\': v.string += u'\\'; break;
                case '/': v.string += u'/'; break;
                case 'b': v.string += u'\b'; break;
                case 'f': v.string += u'\f'; break;
                case 'n': v.string += u'\n'; break;
                case 'r': v.string += u'\r'; break;
                case 't': v.string += u'\t'; break;
                case 'u': v.string += static_cast<char16_t>(Hex4()); break;
                default: Fail("bad escape");
                }
                continue;
            }
            // UTF-8, strictly: no overlong forms, no surrogates, nothing past U+10FFFF.
            unsigned code = c;
            int more = 0;
            if (c >= 0xF0 && c <= 0xF4) {
                code = c & 7;
                more = 3;
            } else if (c >= 0xE0) {
                code = c & 15;
                more = 2;
            } else if (c >= 0xC2 && c < 0xE0) {
                code = c & 31;
                more = 1;
            } else if (c >= 0x80) {
                Fail("invalid UTF-8");
            }
            ++i;
            for (int k = 0; k < more; ++k) {
                if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80)
                    Fail("invalid UTF-8");
                code = (code << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
            }
            if ((more == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
                (more == 3 && (code < 0x10000 || code > 0x10FFFF)))
                Fail("invalid UTF-8");
            if (code >= 0x10000) {
                code -= 0x10000;
                v.string += static_cast<char16_t>(0xD800 + (code >> 10));
                v.string += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
            } else {
                v.string += static_cast<char16_t>(code);
            }
        }
    }

    const std::string& s;
    size_t i = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const {
    const auto found = members.find(key);
    if (found == members.end())
        throw std::runtime_error("no member " + key);
    return found->second;
}

std::string JsonValue::Utf8() const {
    std::string out;
    for (size_t k = 0; k < string.size(); ++k) {
        unsigned code = string[k];
        if (code >= 0xD800 && code <= 0xDBFF && k + 1 < string.size() && string[k + 1] >= 0xDC00 &&
            string[k + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (string[++k] - 0xDC00);
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

JsonValue ReadJson(const std::string& text) { return JsonParser(text).Document(); }
