// A byte-by-byte tokenizer over a stack of group states. Each state carries a
// text handler, a control-word handler and a group handler; control words
// write text, set formatting flags or swap the current group's handlers.
// The group stack lives on the heap, so nesting depth costs no call stack.
#include "converters/readers/Rtfpars.h"

#include "base/TextScan.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <unordered_map>

namespace {

enum class Word {
    kUnknown,
    kQuote,      // \'
    kStar,       // \*
    kTilde,      // \~
    kBackslash,  // \\ (written)
    kB,
    kCell,
    kCs,
    kColortbl,
    kEndash,
    kFonttbl,
    kI,
    kInfo,
    kLdblquote,
    kLine,
    kLquote,
    kNoproof,
    kPar,
    kPict,
    kPlain,
    kRdblquote,
    kRevtbl,
    kRquote,
    kS,
    kShpgrp,
    kStrike,
    kStylesheet,
    kTab,
    kV,
    kOther,  // known to RTF, no action here
};

struct WordEntry {
    const char* name;
    Word word;
};

// Sorted byte-wise for the binary search; compared case-sensitively.
constexpr WordEntry kWords[] = {
    {"'", Word::kQuote},        {"*", Word::kStar},          {"-", Word::kOther},
    {":", Word::kOther},        {"\\", Word::kBackslash},    {"_", Word::kOther},
    {"ansi", Word::kOther},     {"ansicpg", Word::kOther},   {"b", Word::kB},
    {"bullet", Word::kOther},   {"cell", Word::kCell},       {"colortbl", Word::kColortbl},
    {"cs", Word::kCs},          {"deff", Word::kOther},      {"emdash", Word::kOther},
    {"endash", Word::kEndash},  {"f", Word::kOther},         {"fcharset", Word::kOther},
    {"field", Word::kOther},    {"fldrslt", Word::kOther},   {"fonttbl", Word::kFonttbl},
    {"footer", Word::kOther},   {"footnote", Word::kOther},  {"fs", Word::kOther},
    {"header", Word::kOther},   {"i", Word::kI},             {"info", Word::kInfo},
    {"ldblquote", Word::kLdblquote}, {"line", Word::kLine},  {"lquote", Word::kLquote},
    {"noproof", Word::kNoproof}, {"page", Word::kOther},     {"par", Word::kPar},
    {"pard", Word::kOther},     {"pict", Word::kPict},       {"plain", Word::kPlain},
    {"rdblquote", Word::kRdblquote}, {"revtbl", Word::kRevtbl}, {"row", Word::kOther},
    {"rquote", Word::kRquote},  {"rtf", Word::kOther},       {"s", Word::kS},
    {"sect", Word::kOther},     {"shpgrp", Word::kShpgrp},   {"strike", Word::kStrike},
    {"stylesheet", Word::kStylesheet}, {"tab", Word::kTab},  {"u", Word::kOther},
    {"v", Word::kV},            {"{", Word::kOther},         {"|", Word::kOther},
    {"}", Word::kOther},        {"~", Word::kTilde},
};

Word LookUp(const char* token) {
    const auto* end = std::end(kWords);
    const auto* it = std::lower_bound(std::begin(kWords), end, token,
                                      [](const WordEntry& e, const char* t) { return strcmp(e.name, t) < 0; });
    return it != end && strcmp(it->name, token) == 0 ? it->word : Word::kUnknown;
}

bool IsAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsSymbol(unsigned char c) { return c && strchr("'*-:\\_{|}~", c) != nullptr; }

// The leading decimal integer of `text`, saturated instead of overflowing.
int LeadingInteger(const char* text) {
    bool negative = false;
    if (*text == '-') {
        negative = true;
        ++text;
    }
    long long value = 0;
    for (; IsDigit(static_cast<unsigned char>(*text)); ++text) {
        value = value * 10 + (*text - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        return static_cast<int>(-value);
    return static_cast<int>(std::min<long long>(value, INT_MAX));
}

struct RtfCharFormat {
    bool hidden = false;
    bool noProof = false;
    bool strike = false;
};

class Reader;
using TextHandler = void (Reader::*)(unsigned char);
using ControlHandler = void (Reader::*)(Word);
enum class GroupEvent { kOpen, kClose };
using GroupHandler = void (Reader::*)(GroupEvent);

struct RtfGroupState {
    RtfCharFormat format;
    TextHandler text;
    ControlHandler control;
    GroupHandler group;
};

class Reader {
public:
    Reader(RtfReaderContext& context, const char* input) : c(context), p(input) {}

    void Run() {
        states.push_back({RtfCharFormat{}, &Reader::DocumentText, &Reader::DocumentControl,
                          &Reader::DocumentGroup});
        while (*p) {
            const unsigned char byte = static_cast<unsigned char>(*p);
            ++p;
            SkipLineBreaks();
            if (byte == '\\') {
                const Word word = ReadControlToken();
                (this->*State().control)(word);
            } else if (byte == '{') {
                states.push_back(State());
                (this->*State().group)(GroupEvent::kOpen);
            } else if (byte == '}') {
                CloseGroup();
            } else {
                (this->*State().text)(byte);
            }
        }
        while (states.size() > 1)
            CloseGroup();
    }

private:
    static constexpr size_t kTokenBuffer = 1024;

    RtfGroupState& State() { return states.back(); }

    void SkipLineBreaks() {
        while (*p == '\r' || *p == '\n')
            ++p;
    }

    void CloseGroup() {
        if (states.size() < 2)
            return;  // a closing brace without an open group does nothing
        (this->*State().group)(GroupEvent::kClose);
        states.pop_back();
    }

    // Reads the token after a backslash and updates the parameter.
    Word ReadControlToken() {
        const unsigned char first = static_cast<unsigned char>(*p);
        if (IsSymbol(first)) {
            ++p;
            SkipLineBreaks();
            const char symbol[2] = {static_cast<char>(first), 0};
            const Word word = LookUp(symbol);
            if (first == '\'')
                ReadHexParameter();
            return word;
        }
        // A run of letters and high-bit bytes; a longer run than the buffer
        // holds is read to its end and can be no known word.
        char token[kTokenBuffer];
        size_t length = 0;
        bool overlong = false;
        for (;;) {
            const unsigned char b = static_cast<unsigned char>(*p);
            if (!(IsAsciiLetter(b) || b >= 0x80))
                break;
            if (length < kTokenBuffer - 1)
                token[length++] = static_cast<char>(b);
            else
                overlong = true;
            ++p;
            SkipLineBreaks();
        }
        token[length] = 0;
        const Word word = overlong ? Word::kUnknown : LookUp(token);
        if (word == Word::kB || word == Word::kI || word == Word::kStrike || word == Word::kV)
            parameter = 1;
        if (IsDigit(static_cast<unsigned char>(*p)) || *p == '-') {
            char digits[kTokenBuffer];
            size_t count = 0;
            while (IsDigit(static_cast<unsigned char>(*p)) || *p == '-') {
                if (count < kTokenBuffer - 1)
                    digits[count++] = *p;
                ++p;
                SkipLineBreaks();
            }
            digits[count] = 0;
            parameter = LeadingInteger(digits);
        }
        // One white-space byte after a control word is its delimiter.
        if (IsSpace(static_cast<unsigned char>(*p)))
            ++p;
        SkipLineBreaks();
        return word;
    }

    void ReadHexParameter() {
        int value = 0;
        bool inNumber = true;
        for (int i = 0; i < 2 && *p; ++i) {
            const int digit = HexDigitValue(*p);
            if (digit < 0)
                inNumber = false;
            if (inNumber)
                value = value * 16 + digit;
            ++p;
            SkipLineBreaks();
        }
        parameter = value;
    }

    // Document handlers.
    void DocumentText(unsigned char byte) {
        const RtfCharFormat& f = State().format;
        if (f.hidden && c.ignoreHidden)
            return;
        if (f.noProof && c.dropNoProofLetters && IsAsciiLetter(byte))
            return;
        if (f.strike && c.dropStruckText)
            return;
        c.output.push_back(static_cast<wchar_t>(byte));  // the byte as an ISO 8859-1 code point
    }

    void DiscardText(unsigned char) {}

    void Write(unsigned char byte) { (this->*State().text)(byte); }

    void DocumentControl(Word word) {
        switch (word) {
        case Word::kPar:
        case Word::kLine: Write('\n'); break;
        case Word::kTab:
        case Word::kCell: Write('\t'); break;
        case Word::kEndash: Write('-'); break;
        case Word::kLquote:
        case Word::kRquote: Write('\''); break;
        case Word::kLdblquote:
        case Word::kRdblquote: Write('"'); break;
        case Word::kTilde: Write(' '); break;
        case Word::kBackslash: Write('\\'); break;
        case Word::kQuote:
            // A zero byte would end the text block here and hide the rest of
            // the document from the search, so it is not written.
            if (parameter & 0xFF)
                Write(static_cast<unsigned char>(parameter & 0xFF));
            break;
        case Word::kFonttbl:
        case Word::kColortbl:
        case Word::kRevtbl:
        case Word::kInfo:
        case Word::kPict:
        case Word::kStar:
        case Word::kShpgrp: State().text = &Reader::DiscardText; break;
        case Word::kPlain: State().text = &Reader::DocumentText; break;
        case Word::kV: State().format.hidden = parameter != 0; break;
        case Word::kStrike: State().format.strike = parameter != 0; break;
        case Word::kNoproof: State().format.noProof = parameter != 0; break;
        case Word::kStylesheet:
            State().text = &Reader::StylesheetText;
            State().control = &Reader::StylesheetControl;
            State().group = &Reader::StylesheetGroup;
            break;
        case Word::kS:
        case Word::kCs:
            if (const RtfStyleEntry* style = FindStyle(parameter); style && style->isSource) {
                Write(' ');
                State().text = &Reader::DiscardText;
            }
            break;
        default: break;
        }
    }

    void DocumentGroup(GroupEvent) {}  // the new state already holds a copy of the flags

    // Stylesheet handlers: every subgroup is one style entry.
    void StylesheetGroup(GroupEvent event) {
        if (event == GroupEvent::kOpen)
            NewStyle();
    }

    void StylesheetControl(Word word) {
        if ((word == Word::kS || word == Word::kCs) && !c.styles.empty())
            Front().styleNumber = parameter;
    }

    void StylesheetText(unsigned char byte) {
        if (c.styles.empty())
            return;
        RtfStyleEntry& front = Front();
        if (byte != ';') {
            front.styleName.push_back(static_cast<char>(byte));
            return;
        }
        for (const std::string& name : c.sourceStyleNames) {
            if (name.empty())
                break;  // the list ends at an empty name
            if (name == front.styleName) {
                front.isSource = true;
                break;
            }
        }
    }

    // Styles are kept oldest first in the context's vector and read newest
    // first. Only the newest entry can still change; the older ones are
    // indexed by number so that a lookup does not walk the whole sheet.
    RtfStyleEntry& Front() { return c.styles.back(); }

    void NewStyle() {
        if (!c.styles.empty())
            newestOlder[c.styles.back().styleNumber] = c.styles.size() - 1;
        c.styles.push_back(RtfStyleEntry{});
    }

    const RtfStyleEntry* FindStyle(int number) const {
        if (c.styles.empty())
            return nullptr;
        if (c.styles.back().styleNumber == number)
            return &c.styles.back();
        const auto it = newestOlder.find(number);
        return it == newestOlder.end() ? nullptr : &c.styles[it->second];
    }

    RtfReaderContext& c;
    const char* p;
    int parameter = 0;  // keeps its value from one control word to the next
    std::vector<RtfGroupState> states;
    std::unordered_map<int, size_t> newestOlder;
};

}  // namespace

void ReadRtf(RtfReaderContext& context, const char* rtf) {
    context.styles.clear();
    Reader reader(context, rtf ? rtf : "");
    reader.Run();
    // Newest first, as the sheet is read.
    std::reverse(context.styles.begin(), context.styles.end());
}
