// Context cutting, pure and without Windows headers.
#include "search/ContextCut.h"

#include "base/TextScan.h"

ContextSpan CutContext(const wchar_t* text, int textLength, int start, int end, int width) {
    int begin = start + (end - start) / 2 - width / 2;
    if (begin < 0)
        begin = 0;
    if (begin > start)
        begin = start;
    int stop = begin + width;
    if (stop > textLength)
        stop = textLength;
    if (const wchar_t* lineFeed = FindLastUnit(text + begin, text + start, L'\n'))
        begin = static_cast<int>(lineFeed - text) + 1;
    if (stop < begin)
        stop = begin;  // a hit at the very end of the text
    return {begin, stop};
}
