// Finding and loading the content filter (IFilter) of a file.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <string>

// The content-filter interface, by its published identifier.
extern const IID kIidFilter;

// The extension of the file name in `path`, with its dot, in lower case
// ("" when the name has none).
std::wstring FileExtension(const wchar_t* path);

// True when the registry names a content filter for files with
// `extension`: its persistent handler, directly or through the class of the
// file type, has a filter class registered.
bool ExtensionHasFilter(const std::wstring& extension);

// Loads the filter for the file at `path`, as the system's LoadIFilter does,
// and hands back its IUnknown (an IFilter, already given the file). The
// system's call is used where it works; where it is missing or answers that
// it is not implemented (Wine), the filter is found through the registry
// and created with CoCreateInstance and IPersistFile::Load. The calling
// thread must have COM initialised.
HRESULT LoadFilterForFile(const wchar_t* path, IUnknown** filter);

// Initialises COM on the calling thread as a single-threaded apartment, as
// filters expect. The COM library is loaded on first use.
HRESULT InitializeComApartment();
// Ends it again (after a successful InitializeComApartment): the filters'
// libraries are unloaded, each told so while its process still runs.
void UninitializeComApartment();
