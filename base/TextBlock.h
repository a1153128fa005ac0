// Text blocks: movable global memory blocks of UTF-16LE text ended by a NUL
// unit, the form in which every converter hands over its text, with a
// per-thread pool that keeps the largest freed block for the next file.
#pragma once

#include <windows.h>

#include <string>

#include "base/ScopedHandle.h"

// The length of a text that a writer did not fold (the search folds it).
constexpr size_t kTextNotFolded = static_cast<size_t>(-1);

// A zero-filled movable block of at least `bytes` bytes; null when memory is
// short. The writer stays within the `bytes` it asked for.
HGLOBAL AllocTextBlock(size_t bytes);

// The same for a writer that puts its whole text and the terminating NUL
// inside the `bytes` it asked for: a reused block is not cleared first, so
// between that NUL and `bytes` an earlier text may remain (nothing reads past
// the first NUL). Beyond `bytes` the block is zero.
HGLOBAL AllocUnclearedTextBlock(size_t bytes);

// Frees a block made by AllocTextBlock (or GlobalAlloc). The thread keeps the
// largest freed block (up to KeptBufferBytes) and hands it out again, zeroed, so that every file
// does not pay for fresh pages; under Wine those cost ten times a memset.
void FreeTextBlock(HGLOBAL block);

struct TextBlockTraits {
    using Handle = HGLOBAL;
    static bool IsValid(HGLOBAL h) { return h != nullptr; }
    static HGLOBAL Invalid() { return nullptr; }
    static void Close(HGLOBAL h) { FreeTextBlock(h); }
};
using ScopedTextBlock = ScopedHandle<TextBlockTraits>;

// Buffers that a thread reuses from file to file (the freed text block, read
// and inflate buffers) keep at most this many bytes each between files; a
// larger one goes back to the system after its file. 64 MiB unless the
// thread sets less: a search's workers keep less each, so that their number
// does not multiply what stays.
size_t KeptBufferBytes();
void SetKeptBufferBytes(size_t bytes);
template <class Buffer>
void ReleaseIfLarge(Buffer& buffer) {
    if (buffer.capacity() * sizeof(typename Buffer::value_type) > KeptBufferBytes())
        Buffer().swap(buffer);
}

// A new text block holding `text` and its NUL; null when memory is short.
HGLOBAL TextBlockFromString(const std::wstring& text);

// The number of units before the first NUL of a locked text block. A block
// without any NUL loses its last unit, which then serves as the terminator.
size_t TextBlockLength(HGLOBAL block, const wchar_t* text);
