// The ordered set of converter prototypes; the first that accepts a file wins.
#pragma once

#include <memory>
#include <string>

#include "converters/DocConverter.h"

enum ConverterMode : int {
    ConverterModeIFilter = 0,
    ConverterModeOffice = 1,
    ConverterModeTextOnly = 2,
};

class ConverterList {
public:
    static constexpr int kMaxConverters = 256;

    ConverterList() = default;
    ~ConverterList();
    ConverterList(const ConverterList&) = delete;
    ConverterList& operator=(const ConverterList&) = delete;

    // Destroys every prototype in index order.
    void ClearConverters();

    // Rebuilds the list for `mode`: text only for 2; otherwise the
    // translation formats, the system-backed converters of the mode, and the
    // plain-text converter last.
    void BuildConverters(int mode);

    // Whether the plain-text converter reads valid UTF-8 files as UTF-8; kept
    // across rebuilds.
    void SetReadUtf8(bool on);
    bool ReadsUtf8() const { return readUtf8; }

    // The first prototype whose Accepts(path) is nonzero, or null.
    DocConverter* FindConverter(const wchar_t* path) const;
    // Tells every prototype that a search begins.
    void BeginSearch();

    // A message for the user that a converter left, handed out once per
    // search (content filters that cannot run: their host cannot start).
    // Any thread may ask.
    bool TakeNotice(std::wstring* message) const;

private:
    // One converter for each import converter installed for Office.
    void AppendImportConverters();
    // Gives the content-filter converter copies of the converters after it.
    void LinkFollowing();

public:

    int Mode() const { return mode; }
    int Count() const { return prototypeCount; }
    DocConverter* At(int index) const { return prototypes[index].get(); }

    // Appends a prototype; false (and the converter dropped) when the list is full.
    bool Append(std::unique_ptr<DocConverter> converter);

private:
    std::unique_ptr<DocConverter> prototypes[kMaxConverters];
    int mode = ConverterModeIFilter;
    int prototypeCount = 0;
    bool readUtf8 = false;
};
