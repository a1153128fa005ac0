// The per-thread pool of text blocks and the helpers around them.
#include "base/ThreadScratch.h"
#include "base/TextBlock.h"

#include <cstring>
#include <cwchar>
#include <utility>

#include "base/TextScan.h"

namespace {

class TextBlockPool {
public:
    ~TextBlockPool() {
        if (spare)
            GlobalFree(spare);
    }

    HGLOBAL Alloc(size_t bytes, bool writerEndsText) {
        HGLOBAL block = nullptr;
        if (spare && GlobalSize(spare) >= bytes) {
            // Only the part the last writer asked for can hold anything but
            // zeros; a writer that ends its own text needs only what lies beyond.
            if (auto* data = static_cast<char*>(GlobalLock(spare))) {
                if (!writerEndsText)
                    memset(data, 0, spareDirty);
                else if (spareDirty > bytes)
                    memset(data + bytes, 0, spareDirty - bytes);
                GlobalUnlock(spare);
                block = std::exchange(spare, nullptr);
            }
        }
        if (!block)
            block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes ? bytes : 1);
        if (block) {
            lastHandedOut = block;
            lastRequested = bytes;
        }
        return block;
    }

    void Free(HGLOBAL block) {
        const size_t size = GlobalSize(block);
        if (size > KeptBufferBytes()) {
            if (block == lastHandedOut)
                lastHandedOut = nullptr;
            GlobalFree(block);
            return;
        }
        const size_t dirty = block == lastHandedOut ? lastRequested : size;
        if (block == lastHandedOut)
            lastHandedOut = nullptr;
        if (spare && GlobalSize(spare) >= size) {
            GlobalFree(block);
            return;
        }
        if (spare)
            GlobalFree(spare);
        spare = block;
        spareDirty = dirty < size ? dirty : size;
    }

private:
    HGLOBAL spare = nullptr;
    size_t spareDirty = 0;
    HGLOBAL lastHandedOut = nullptr;
    size_t lastRequested = 0;
};

thread_local size_t keptBufferBytes = 64u << 20;

TextBlockPool& Pool() {
    thread_local TextBlockPool* poolSlot = nullptr;
    return ThreadScratch(poolSlot);
}

}  // namespace

size_t KeptBufferBytes() { return keptBufferBytes; }

void SetKeptBufferBytes(size_t bytes) { keptBufferBytes = bytes; }

HGLOBAL AllocTextBlock(size_t bytes) { return Pool().Alloc(bytes, false); }

HGLOBAL AllocUnclearedTextBlock(size_t bytes) { return Pool().Alloc(bytes, true); }

void FreeTextBlock(HGLOBAL block) {
    if (block)
        Pool().Free(block);
}

HGLOBAL TextBlockFromString(const std::wstring& text) {
    HGLOBAL block = AllocTextBlock((text.size() + 1) * sizeof(wchar_t));
    if (!block)
        return nullptr;
    {
        GlobalLockGuard<wchar_t> chars(block);
        if (chars.Get()) {
            wmemcpy(chars.Get(), text.c_str(), text.size() + 1);
            return block;
        }
    }
    FreeTextBlock(block);
    return nullptr;
}

size_t TextBlockLength(HGLOBAL block, const wchar_t* text) {
    const size_t capacity = GlobalSize(block) / sizeof(wchar_t);
    const size_t length = FindNul(text, capacity);
    return length == capacity && length > 0 ? length - 1 : length;
}
