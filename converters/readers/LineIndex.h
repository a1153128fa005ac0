// Where the lines of a text begin, taken before an in-place parse changes
// the text: the line (from 1) of any place in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class LineIndex {
public:
    LineIndex() = default;
    ~LineIndex();
    LineIndex(const LineIndex&) = delete;
    LineIndex& operator=(const LineIndex&) = delete;

    // Notes every line feed of the NUL-terminated `text` (or of its first
    // `size` bytes). The places are kept in the thread's own buffer.
    void Build(const char* text, size_t size);
    void Build(const char* text);
    // The line of the byte at `at`, which lies in the text indexed; 0 when
    // nothing was indexed or `at` is outside it.
    int LineOf(const char* at) const;
    bool Empty() const { return base == nullptr; }

private:
    const char* base = nullptr;
    size_t length = 0;
    std::vector<uint32_t>* feeds = nullptr;  // offsets of the line feeds
};
