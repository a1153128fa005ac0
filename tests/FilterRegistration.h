// The test content filter (tests/filter), registered in the build's Wine
// prefix for test extensions only:
//   .mtfb  persistent handler on the extension, ThreadingModel "Both"
//   .mtfa  the same with "Apartment", .mtfn with no ThreadingModel
//   .mtfx  a broken filter: IPersistFile answered S_OK, but none given
//   .mtfz  a handler whose filter class is not a valid identifier
//   .mtfp  through the file type's class (a ProgID and its CLSID)
// Registration writes the same values every time and is never undone, so
// that test programs running side by side do not disturb each other.
#pragma once

#include <string>

bool RegisterTestFilter();

// Gives `extension` (".xyz") the test filter's persistent handler, or takes
// its registration away again; for tests that watch a filter appear.
bool RegisterTestFilterFor(const wchar_t* extension);
void UnregisterTestFilterFor(const wchar_t* extension);

// Objects of the filter DLL alive in this process (-1: the DLL is not loaded).
long TestFilterLiveObjects();
// Calls that a filter had from a thread other than the one that made it
// (-1: the DLL is not loaded).
long TestFilterForeignCalls();
