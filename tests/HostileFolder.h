// A folder of hostile files for the end-to-end tests of the console and the
// window, with the row each file must give in each converter mode.
#pragma once

#include <string>
#include <vector>

class TempDir;

struct HostileExpectation {
    std::wstring name;  // relative to the folder
    const char* rows[3];  // per mode (ifilter, office, text): "1", "read error" or "" for no row
};

// Writes every file but two into `dir`; "locked.txt" and "growing.txt" are
// the caller's (it holds the one and feeds the other while the search runs).
std::vector<HostileExpectation> MakeHostileFolder(const TempDir& dir);
