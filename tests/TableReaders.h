// Readers that check what the program exports: CSV as spreadsheet programs
// read it, and JSON strictly (RFC 8259), each into plain values.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

// Records of CSV text (quoted fields with doubled quotes and line breaks,
// CR LF or LF between records). Throws std::runtime_error on a stray quote.
std::vector<std::vector<std::string>> ReadCsv(const std::string& text, char separator = ',');

struct JsonValue {
    enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = Kind::kNull;
    bool boolean = false;
    double number = 0;
    std::u16string string;  // UTF-16, so that escaped lone surrogates survive
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;  // keys as UTF-8

    const JsonValue& operator[](const std::string& key) const;  // throws when absent
    bool Has(const std::string& key) const { return members.count(key) != 0; }
    std::string Utf8() const;  // the string's UTF-8 (lone surrogates as U+FFFD)
};

// Parses one JSON text; throws std::runtime_error on anything RFC 8259
// refuses, invalid UTF-8 included.
JsonValue ReadJson(const std::string& text);
