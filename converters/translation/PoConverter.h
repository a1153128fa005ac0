// Gettext catalogues (.po, .pot): the text of every entry but the header and
// the obsolete ones; a file that does not read as a catalogue is plain text.
#pragma once

#include <string>
#include <vector>

#include "converters/TxtConverter.h"

// One entry as it stands in the file: its strings as bytes of the file's
// character set, escapes decoded, adjacent pieces joined.
struct PoEntry {
    bool hasContext = false;
    std::string context;
    std::string id;
    bool hasPlural = false;
    std::string plural;
    std::vector<std::string> translations;  // msgstr, or msgstr[0], msgstr[1], ... in file order
    bool fuzzy = false;                     // flagged "#, fuzzy": a draft
    int line = 0;                           // of its msgctxt or msgid, from 1
};

// Parses a catalogue's bytes (without a byte-order mark). False when they are
// not a catalogue: a line that is neither blank, a comment, a `domain` line,
// a keyword with its quoted strings nor a continuation string; a string
// without its closing quote; keywords out of their order.
bool ParsePo(const char* text, size_t size, std::vector<PoEntry>* entries);

// The code page of a catalogue's header ("Content-Type: ...; charset=X");
// UTF-8 when it names none, "CHARSET" or one not known here.
unsigned PoCodePage(const std::vector<PoEntry>& entries);

// The code page of a character set's name, ignoring case and spaces; 0 when
// the name is not known here.
unsigned CodePageOfCharset(const std::string& name);

// The converted text: for each entry but the header, its msgid, CR LF, its
// plural and CR LF when it has one, and each translation with CR LF. With
// `segments`, one for each entry written: its id and plural the source, its
// translations the target.
std::wstring PoText(const std::vector<PoEntry>& entries, unsigned codePage, SegmentTable* segments = nullptr);

class PoConverter : public TxtConverter {
public:
    PoConverter();
    PoConverter(const PoConverter& other);

    HGLOBAL Convert(const wchar_t* path, const SearchRequest& request) override;
    // ".po" or ".pot" at the end, in any case.
    int Accepts(const wchar_t* path) override;
    int IsPlainText() override { return 0; }
    std::unique_ptr<DocConverter> Clone() const override;
};
