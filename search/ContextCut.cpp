// Context cutting, pure and without Windows headers.
#include "search/ContextCut.h"

ContextSpan CutContext(const wchar_t* text, int textLength, int start, int end, int width) {
    int begin = start + (end - start) / 2 - width / 2;
    if (begin < 0)
        begin = 0;
    if (begin > start)
        begin = start;
    int stop = begin + width;
    if (stop > textLength)
        stop = textLength;
    for (int i = start - 1; i >= begin; --i) {
        if (text[i] == L'\n') {
            begin = i + 1;
            break;
        }
    }
    if (stop < begin)
        stop = begin;  // a hit at the very end of the text
    return {begin, stop};
}
