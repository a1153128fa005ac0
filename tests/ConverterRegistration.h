// The test import converters (tests/filter), registered in the build's Wine
// prefix under the Office text-converter key:
//   MirlockTestAll      "*"        mirlock-test-converter.dll
//   MirlockTestDoc      "doc dot"  mirlock-test-converter.dll
//   MirlockTestMtc      "mtc"      mirlock-test-converter.dll
//   MirlockTestNoPath   "nop"      (no "Path")
//   MirlockTestPartial  "prt"      mirlock-test-converter-partial.dll (no "ForeignToRtf32")
// Written the same way every time and never removed (see FilterRegistration.h).
#pragma once

#include <memory>
#include <string>

class LibConverter;

bool RegisterTestConverters();

// The import converter of one of those entries, as the Office set builds it.
std::unique_ptr<LibConverter> TestImportConverter(const wchar_t* subkey);

// The test library's record of its calls since the last look, one a line.
std::string TestConverterLog();
int TestConverterMostAtOnce();
