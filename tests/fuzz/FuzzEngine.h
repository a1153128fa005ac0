// A small coverage-guided fuzzer for the parsers, run under Wine: the code
// under test is built with -fsanitize-coverage=trace-pc, every heap block is
// guarded (GuardHeap.cpp), and faults, guard failures, hangs and differential
// disagreements are findings, each saved with the input that made it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct FuzzTarget {
    const char* name;
    void (*run)(const uint8_t* data, size_t size);
    // Seeds built from the test fixtures, and tokens the mutator inserts.
    std::vector<std::string> (*seeds)();
    std::vector<std::string> dictionary;
    size_t maxLength;
};

const std::vector<FuzzTarget>& FuzzTargets();

// Ends the run with a finding: the current input is saved, `what` printed.
[[noreturn]] void ReportFinding(const char* what);

// A file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);

// A folder of the fuzzer's own for the files the targets write.
const std::wstring& FuzzScratchFolder();
