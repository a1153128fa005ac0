// Reads any file as text: UTF-16LE after a byte-order mark, else a code page.
#pragma once

#include "converters/DocConverter.h"

class TxtConverter : public DocConverter {
public:
    // Files this large or larger are refused: the text offsets are 32-bit.
    static constexpr long long kMaxFileBytes = 0x7FFFFFFFLL;

    TxtConverter();
    TxtConverter(const TxtConverter& other);
    TxtConverter& operator=(const TxtConverter&) = delete;

    HGLOBAL Convert(const wchar_t* path, const SearchRequest& request) override;
    int Accepts(const wchar_t* path) override;
    int IsPlainText() override;
    void SetCodePage(int value) override;
    std::unique_ptr<DocConverter> Clone() const override;

    int CodePage() const { return codePage; }

    // With this on, a file that starts with the UTF-8 byte-order mark, or
    // whose bytes are all well-formed UTF-8 and not all ASCII, is read as
    // UTF-8 (the mark left out); every other file as before.
    void SetReadUtf8(bool on) { readUtf8 = on; }
    bool ReadsUtf8() const { return readUtf8; }

    static constexpr int kUtf16 = -2;

private:
    int codePage = 0;  // -2 UTF-16LE, else a Windows code page (0 = ANSI)
    bool readUtf8 = false;
};
