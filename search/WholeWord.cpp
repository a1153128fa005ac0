// Word characters by the system's character types.
#include "search/WholeWord.h"

#include <windows.h>

bool IsWordCharacter(wchar_t c) {
    if (c < 0x80)
        return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') ||
               c == L'_';
    if (c >= 0xD800 && c <= 0xDFFF)
        return true;
    WORD type1 = 0, type3 = 0;
    GetStringTypeW(CT_CTYPE1, &c, 1, &type1);
    if (type1 & (C1_ALPHA | C1_DIGIT))
        return true;
    GetStringTypeW(CT_CTYPE3, &c, 1, &type3);
    return (type3 & (C3_NONSPACING | C3_DIACRITIC | C3_VOWELMARK)) != 0 && !(type1 & C1_SPACE);
}

bool IsWholeWord(const wchar_t* text, int length, int start, int end) {
    if (start > 0 && IsWordCharacter(text[start - 1]))
        return false;
    if (end < length && IsWordCharacter(text[end]))
        return false;
    return true;
}
