// Entry point of every test executable (the programs are built with -municode).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>

int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
