// Entry point of every test executable (the programs are built with -municode).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

namespace {

// Wine ends a program that faults with exit status 0 once its debugger has
// looked at it, and CTest would count that as a pass: a test program that
// crashes says so and fails.
LONG WINAPI FailOnCrash(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info ? info->ExceptionRecord : nullptr;
    fprintf(stderr, "\nThe test program crashed: exception 0x%08lX at %p.\n",
            record ? static_cast<unsigned long>(record->ExceptionCode) : 0ul,
            record ? record->ExceptionAddress : nullptr);
    fflush(stdout);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    SetUnhandledExceptionFilter(FailOnCrash);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
