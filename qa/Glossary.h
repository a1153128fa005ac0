// A glossary for the checks: source terms with the target terms that may
// render them and the target terms that must not appear. Read from CSV or
// tab-separated text (source term, target term; further target terms on
// more rows or separated by "|"; a target term written "!term" is
// forbidden), or from TBX (the first language named is the source; a term
// whose administrative status is deprecated, superseded or forbidden is
// forbidden).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/SearchRecords.h"

class Glossary {
public:
    struct Entry {
        std::wstring source;
        std::vector<std::wstring> targets;
        std::vector<std::wstring> forbidden;
    };

    // Reads UTF-8 text (a byte-order mark allowed); a row of fewer than two
    // fields is passed over. False with *error for text that is no table.
    bool Read(const std::string& bytes, std::wstring* error);
    // Reads TBX; false with *error for a document that is not well-formed.
    bool ReadTbx(std::string bytes, std::wstring* error);
    void Add(const std::wstring& source, const std::wstring& target);
    const std::vector<Entry>& Entries() const { return entries; }
    bool Empty() const { return entries.empty(); }

private:
    std::vector<Entry> entries;
};

// Where `term` stands in `text` as whole words (letters, digits and "_"
// around it are not), from `from` on; -1 for nowhere.
int FindWholeTerm(std::wstring_view text, std::wstring_view term, bool matchCase, size_t from = 0);
