// mirlock-cli.exe run as a child process, its output caught whole.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct RunResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out;
    std::string err;
};

// Runs mirlock-cli.exe (beside the test) with `args`, each quoted as the C
// runtime reads it back; waits at most a minute.
RunResult RunCli(const std::vector<std::wstring>& args);

// The lines of `text`, without their line feeds.
std::vector<std::string> Lines(const std::string& text);
