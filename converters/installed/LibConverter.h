// Reads office documents through an installed import text converter: a
// library that turns a foreign format into RTF on a thread of its own,
// handing the RTF over in chunks through a callback; the RTF text reader
// makes the text.
#pragma once

#include <windows.h>

#include <string>

#include "converters/DocConverter.h"

class LibConverter : public DocConverter {
public:
    // Where the installed import converters are listed, one subkey each.
    static constexpr const wchar_t* kImportKey = L"Software\\Microsoft\\Shared Tools\\Text Converters\\Import";

    LibConverter();
    ~LibConverter() override;
    LibConverter(const LibConverter&) = delete;
    LibConverter& operator=(const LibConverter&) = delete;

    // Fills the prototype from one subkey of kImportKey ("Name",
    // "Extensions", "Path") and loads its library.
    void FillFromRegistry(HKEY importKey, const wchar_t* subkey);

    int Load(const wchar_t* path) override;
    int Accepts(const wchar_t* path) override;
    HGLOBAL Convert(const wchar_t* path, const SearchRequest& request) override;
    std::unique_ptr<DocConverter> Clone() const override;
    // The file, its RTF and the text from it.
    ULONGLONG WorkingBytes(ULONGLONG fileBytes) const override { return fileBytes * 8 + kBaseWorkingBytes; }

    bool IsUsable() const { return module && initConverter && isFormatCorrect && foreignToRtf; }

    // Delays the start of every converter thread (tests: the hand-over must
    // not depend on the thread running first).
    static DWORD threadStartDelayMs;

    using InitConverterFn = long(WINAPI*)(HWND, const char*);
    using IsFormatCorrectFn = short(WINAPI*)(HGLOBAL, HGLOBAL);  // 1: recognised
    using RtfCallbackFn = long(WINAPI*)(long, int);
    using ForeignToRtfFn = short(WINAPI*)(HGLOBAL, void*, HGLOBAL, HGLOBAL, HGLOBAL, RtfCallbackFn);
    using UninitConverterFn = void(WINAPI*)();

private:
    static DWORD WINAPI ThreadProc(void* self);
    void RunConversion();
    long OnChunk(long bytes);
    static long WINAPI Callback0(long bytes, int percent);
    static long WINAPI Callback1(long bytes, int percent);
    static long WINAPI Callback2(long bytes, int percent);
    static long WINAPI Callback3(long bytes, int percent);
    static long FromSlot(int slot, long bytes);

    HMODULE module = nullptr;
    InitConverterFn initConverter = nullptr;
    IsFormatCorrectFn isFormatCorrect = nullptr;
    ForeignToRtfFn foreignToRtf = nullptr;
    UninitConverterFn uninitConverter = nullptr;
    wchar_t requestIgnoreTags[260] = {};
    int requestIncludeHidden = 1;
    HGLOBAL fileNameHandle = nullptr;
    HGLOBAL rtfBuffer = nullptr;
    long chunkSize = 0;
    volatile LONG finished = 1;
    HANDLE dataReady = nullptr;
    HANDLE bufferFree = nullptr;
    unsigned long long rtfTotal = 0;
};

// The file name a converter library is given: `path` in the OEM code page,
// or its short (8.3) form when the OEM code page cannot hold the name
// exactly (a character it lacks, or one it maps to a look-alike) or the name
// is longer than `capacity` - 1 bytes. False when neither fits.
bool OemFileName(const wchar_t* path, size_t capacity, std::string* name);
