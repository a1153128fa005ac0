// mirlock-cli.exe run as a child process, its output caught whole.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct RunResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out;
    std::string err;
    DWORD processId = 0;  // the program's, for counting what it started
};

// Runs mirlock-cli.exe (beside the test) with `args`, each quoted as the C
// runtime reads it back; waits at most a minute.
RunResult RunCli(const std::vector<std::wstring>& args);
// The same with another copy of the program, at `program`.
RunResult RunProgram(const std::wstring& program, const std::vector<std::wstring>& args);

// The lines of `text`, without their line feeds.
std::vector<std::string> Lines(const std::string& text);
