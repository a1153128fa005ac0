// Runs the console program as a child with files for its output.
#include "tests/cli/CliRun.h"

#include <sstream>

#include "tests/TestFiles.h"

namespace {

std::wstring CliPath() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"mirlock-cli.exe";
}

std::wstring Quote(const std::wstring& arg) {
    std::wstring q = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"')
            q.append(backslashes * 2 + 1, L'\\');
        else
            q.append(backslashes, L'\\');
        backslashes = 0;
        q += c;
    }
    q.append(backslashes * 2, L'\\');
    return q + L"\"";
}

}  // namespace

RunResult RunCli(const std::vector<std::wstring>& args) { return RunProgram(CliPath(), args); }

RunResult RunProgram(const std::wstring& program, const std::vector<std::wstring>& args) {
    static TempDir outputs;
    // Files of their own for every run: a helper process that Wine starts on
    // demand (the first program that sets up COM starts one) inherits the
    // handles and keeps them open.
    static int serial = 0;
    ++serial;
    const std::wstring outPath = outputs / (L"out" + std::to_wstring(serial) + L".txt");
    const std::wstring errPath = outputs / (L"err" + std::to_wstring(serial) + L".txt");
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
    HANDLE err = CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
    std::wstring commandLine = Quote(program);
    for (const auto& a : args)
        commandLine += L" " + Quote(a);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    RunResult result;
    // Under load Wine now and then fails to start a process at the first
    // try; a test of the program is no test of that.
    bool started = false;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                                 &pi) != 0;
        if (!started)
            Sleep(200);
    }
    if (started) {
        WaitForSingleObject(pi.hProcess, 60000);
        GetExitCodeProcess(pi.hProcess, &result.exitCode);
        result.processId = pi.dwProcessId;
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(out);
    CloseHandle(err);
    result.out = ReadWholeFile(outPath);
    result.err = ReadWholeFile(errPath);
    return result;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

