// Line feeds found with memchr, looked up by binary search.
#include "converters/readers/LineIndex.h"

#include <algorithm>
#include <cstring>

#include "base/TextBlock.h"
#include "base/ThreadScratch.h"

LineIndex::~LineIndex() {
    if (feeds)
        ReleaseIfLarge(*feeds);
}

void LineIndex::Build(const char* text) { Build(text, strlen(text)); }

void LineIndex::Build(const char* text, size_t size) {
    thread_local std::vector<uint32_t>* slot = nullptr;
    feeds = &ThreadScratch(slot);
    feeds->clear();
    base = text;
    // Past 4 GB the places no longer fit: such a text gets lines up to there.
    length = std::min<size_t>(size, UINT32_MAX);
    for (const char* p = text; (p = static_cast<const char*>(memchr(p, '\n', length - static_cast<size_t>(p - text))));
         ++p)
        feeds->push_back(static_cast<uint32_t>(p - text));
}

int LineIndex::LineOf(const char* at) const {
    if (!base || at < base || at >= base + length)
        return 0;
    const uint32_t offset = static_cast<uint32_t>(at - base);
    return static_cast<int>(std::upper_bound(feeds->begin(), feeds->end(), offset) - feeds->begin()) + 1;
}
