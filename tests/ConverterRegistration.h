// The test import converters (tests/filter), registered in the build's Wine
// prefix under the Office text-converter key:
//   MirlockTestAll      "*"        mirlock-test-converter.dll
//   MirlockTestDoc      "doc dot"  mirlock-test-converter.dll
//   MirlockTestMtc      "mtc"      mirlock-test-converter.dll
//   MirlockTestNoPath   "nop"      (no "Path")
//   MirlockTestPartial  "prt"      mirlock-test-converter-partial.dll (no "ForeignToRtf32")
// Written the same way every time and never removed (see FilterRegistration.h).
#pragma once

#include <string>

bool RegisterTestConverters();

// The test library's record of its calls since the last look, one a line.
std::string TestConverterLog();
int TestConverterMostAtOnce();
