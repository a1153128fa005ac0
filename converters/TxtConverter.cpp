// The plain-text converter: one read of the whole file, then at most one
// code-page conversion.
#include "converters/TxtConverter.h"

#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

#include "converters/readers/FileBlock.h"
#include "converters/readers/SingleByteCodePage.h"
#include "converters/readers/Utf8Text.h"
#include "resource.h"
#include "base/ThreadScratch.h"
#include "base/ResourceText.h"
#include "base/ScopedHandle.h"

TxtConverter::TxtConverter() {
    wcsncpy(typeName, LoadResourceText(IDS_TXT_TYPE_NAME).c_str(), kConverterChars - 1);
    wcsncpy(fileSpec, LoadResourceText(IDS_TXT_FILE_SPEC).c_str(), kConverterChars - 1);
}

// A clone copies the strings instead of loading them again: one clone is
// made for every file searched.
TxtConverter::TxtConverter(const TxtConverter& other)
    : DocConverter(other), codePage(other.codePage), readUtf8(other.readUtf8) {}

int TxtConverter::Accepts(const wchar_t*) { return 1; }
int TxtConverter::IsPlainText() { return 1; }
void TxtConverter::SetCodePage(int value) { codePage = value; }

std::unique_ptr<DocConverter> TxtConverter::Clone() const {
    return std::unique_ptr<DocConverter>(new TxtConverter(*this));
}

namespace {

// The bytes of 8-bit files are read into one buffer that lives as long as
// the thread and grows to the largest file, instead of a new block per file.
std::vector<char>& ScratchBuffer() {
    thread_local std::vector<char>* bufferSlot = nullptr;
    return ThreadScratch(bufferSlot);
}

// Decodes `bytes` bytes as UTF-8 into `chars` (room for bytes + 1 units,
// zero-terminated here) when they are to be read so: after a byte-order mark
// (broken sequences then replaced as the system does), or when they are all
// well-formed and not all ASCII. False, with `chars` to be written anew,
// for any other file.
bool DecodeAsUtf8(const char* raw, size_t bytes, wchar_t* chars) {
    size_t units = 0;
    if (bytes >= 3 && memcmp(raw, "\xEF\xBB\xBF", 3) == 0) {
        units = bytes > 3 ? Utf8ToUtf16Bounded(raw + 3, bytes - 3, chars) : 0;
    } else if (!Utf8ToUtf16Strict(raw, bytes, chars, &units) || units == bytes) {
        return false;
    }
    memset(chars + units, 0, (bytes - units) * 2 + 2);
    return true;
}

}  // namespace

HGLOBAL TxtConverter::Convert(const wchar_t* path, const SearchRequest&) {
    // Shared like a C runtime open for reading, so that files that other
    // programs hold open can still be searched.
    ScopedKernelHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return nullptr;
    LARGE_INTEGER fileSize;
    if (!GetFileSizeEx(file.Get(), &fileSize))
        return nullptr;
    if (fileSize.QuadPart < 0 || fileSize.QuadPart >= kMaxFileBytes) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return nullptr;
    }
    const size_t bytes = static_cast<size_t>(fileSize.QuadPart);

    // The first two bytes decide: FF FE is UTF-16LE, read straight into the result.
    unsigned char mark[2] = {};
    DWORD got = 0;
    if (bytes >= 2 && (!ReadFile(file.Get(), mark, 2, &got, nullptr) || got != 2))
        return nullptr;
    BytesReadInProcess() += got;
    if (bytes >= 2 && mark[0] == 0xFF && mark[1] == 0xFE)
        codePage = kUtf16;

    if (codePage == kUtf16) {
        SetReadAs(L"Text (UTF-16)");
        const size_t blockBytes = (bytes + 1) / 2 * 2 + 2;
        ScopedTextBlock block(AllocUnclearedTextBlock(blockBytes));
        if (!block) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        {
            GlobalLockGuard<unsigned char> data(block.Get());
            if (!data.Get())
                return nullptr;
            const size_t head = bytes >= 2 ? 2 : 0;
            memcpy(data.Get(), mark, head);
            if (!ReadExactly(file.Get(), data.Get() + head, bytes - head))
                return nullptr;
            memset(data.Get() + bytes, 0, blockBytes - bytes);
        }
        return block.Detach();
    }

    std::vector<char>& raw = ScratchBuffer();
    // A buffer grown for a very large file goes back after it.
    struct ReleaseAfterFile {
        std::vector<char>& buffer;
        ~ReleaseAfterFile() { ReleaseLargeBuffer(&buffer); }
    } release{raw};
    try {
        if (raw.size() < bytes)
            raw.resize(bytes);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const size_t head = bytes >= 2 ? 2 : 0;
    memcpy(raw.data(), mark, head);
    if (!ReadExactly(file.Get(), raw.data() + head, bytes - head))
        return nullptr;
    file.Reset();

    ScopedTextBlock text(AllocUnclearedTextBlock(bytes * 2 + 2));
    if (!text) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    {
        GlobalLockGuard<wchar_t> chars(text.Get());
        if (!chars.Get())
            return nullptr;
        if (readUtf8 && DecodeAsUtf8(raw.data(), bytes, chars.Get())) {
            SetReadAs(L"Text (UTF-8)");
            return text.Detach();
        }
        // "Text (Windows-1252)": the code page the bytes are read in.
        SetReadAs(L"Text (Windows-" + std::to_wstring(codePage > 0 ? static_cast<UINT>(codePage) : GetACP()) + L")");
        // Flags 0: characters not valid in the code page do not fail the
        // conversion. A file of zero bytes fails here, as it should.
        const SingleByteCodePage* table = SingleByteCodePage::For(static_cast<UINT>(codePage));
        int converted = 0;
        if (table && bytes > 0) {
            // For a search, text in a single-byte code page is folded as it
            // is converted, what folding changed kept aside.
            if (FoldedOriginals* kept = KeepingOriginals())
                TextFolded(table->ConvertFolded(raw.data(), bytes, chars.Get(), kept));
            else
                table->Convert(raw.data(), bytes, chars.Get());
            converted = static_cast<int>(bytes);
        } else {
            converted = MultiByteToWideChar(static_cast<UINT>(codePage), 0, raw.data(),
                                            static_cast<int>(bytes), chars.Get(), static_cast<int>(bytes));
        }
        if (converted == 0)
            return nullptr;
        // The block was not cleared: zero what follows the text.
        memset(chars.Get() + converted, 0, (bytes - static_cast<size_t>(converted)) * 2 + 2);
    }
    return text.Detach();
}
