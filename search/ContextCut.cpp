// Context cutting, pure and without Windows headers.
#include "search/ContextCut.h"

#include <algorithm>

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

namespace {

bool IsGap(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

}  // namespace

ShownContextSpan ShowContextSpan(const wchar_t* text, int textLength, ContextSpan span, int start, int end) {
    ShownContextSpan shown{span.begin, span.stop, false, false};
    if (shown.begin > 0 && text[shown.begin - 1] != L'\n') {
        shown.cutBefore = true;
        // Inside a word: begin after the next gap when one is near.
        if (!IsGap(text[shown.begin - 1]) && !IsGap(text[shown.begin])) {
            const int limit = std::min(shown.begin + kWordEdgeReach, start);
            for (int i = shown.begin; i < limit; ++i) {
                if (IsGap(text[i])) {
                    shown.begin = i + 1;
                    break;
                }
            }
        }
    }
    if (shown.stop < textLength) {
        shown.cutAfter = true;
        if (shown.stop > 0 && !IsGap(text[shown.stop - 1]) && !IsGap(text[shown.stop])) {
            const int limit = std::max(shown.stop - kWordEdgeReach, end);
            for (int i = shown.stop - 1; i >= limit; --i) {
                if (IsGap(text[i])) {
                    shown.stop = i;
                    break;
                }
            }
        }
    }
    return shown;
}
