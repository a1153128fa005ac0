// Encoding and escaping for the console front end.
#include "cli/ConsoleOutput.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include "converters/readers/Utf8Text.h"

void InitConsoleOutput() {
    // MinGW's runtime would turn every "\n" into "\r\n" in text mode.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
}

std::string ToUtf8(const wchar_t* text, size_t length) {
    // The converters' encoder: the system's results, without a call into it
    // for the common text.
    std::string out;
    Utf16ToUtf8(text, length, &out);
    return out;
}

std::string ToAnsi(const std::wstring& text) {
    std::string out;
    if (text.empty())
        return out;
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                      0, nullptr, nullptr);
    if (n <= 0)
        return out;
    out.resize(static_cast<size_t>(n));
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::string EscapeContext(const std::wstring& context) {
    std::wstring escaped;
    escaped.reserve(context.size() + 8);
    for (wchar_t c : context) {
        switch (c) {
        case L'\\': escaped += L"\\\\"; break;
        case L'\t': escaped += L"\\t"; break;
        case L'\n': escaped += L"\\n"; break;
        case L'\r': escaped += L"\\r"; break;
        default: escaped += c; break;
        }
    }
    return ToUtf8(escaped);
}

void WriteUtf8(FILE* stream, const std::wstring& text) {
    const std::string bytes = ToUtf8(text);
    fwrite(bytes.data(), 1, bytes.size(), stream);
}

void AppendSegmentLine(const std::wstring& id, const std::wstring& source, const std::wstring& target,
                       std::wstring* out) {
    out->reserve(out->size() + 12 + id.size() + source.size() + target.size());
    *out += L"\tsegment";
    for (const std::wstring* field : {&id, &source, &target}) {
        *out += L'\t';
        const size_t at = out->size();
        *out += *field;
        for (size_t i = at; i < out->size(); ++i) {
            wchar_t& c = (*out)[i];
            if (c == L'\t' || c == L'\r' || c == L'\n')
                c = L' ';
        }
    }
    *out += L'\n';
}

std::wstring SegmentLine(const std::wstring& id, const std::wstring& source, const std::wstring& target) {
    std::wstring line;
    AppendSegmentLine(id, source, target, &line);
    return line;
}
