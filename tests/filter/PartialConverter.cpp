// mirlock-test-converter-partial.dll: a converter library without
// "ForeignToRtf32", for the tests; it recognises every file.
#include <windows.h>

extern "C" {
__declspec(dllexport) long WINAPI InitConverter32(HWND, const char*) { return 1; }
__declspec(dllexport) short WINAPI IsFormatCorrect32(HGLOBAL, HGLOBAL) { return 1; }
}
