// mirlock-test-converter.dll: an import text converter for the tests (never
// installed with the program). It recognises files that begin with
//   "MTCV\n"  and writes the rest of the file as RTF, in chunks of 5, 4096,
//             17 and 1000 bytes in turn, so that chunks end inside control
//             words and multi-byte characters;
//   "MTCE\n"  and writes no RTF at all;
//   "MTCS\n"  like MTCV, sleeping 150 ms before each chunk (a slow conversion).
// TestConverterLog() returns what it was called with, one call a line;
// TestConverterMostAtOnce() the most conversions that ever ran at once.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>

namespace {

using RtfCallbackFn = long(WINAPI*)(long, int);

std::mutex logLock;
std::string callLog;
std::atomic<int> running{0};
std::atomic<int> mostAtOnce{0};

void Log(const std::string& line) {
    std::lock_guard<std::mutex> guard(logLock);
    callLog += line + "\n";
}

std::string BlockText(HGLOBAL block) {
    std::string text;
    if (const char* p = static_cast<const char*>(GlobalLock(block))) {
        text.assign(p, strnlen(p, GlobalSize(block)));
        GlobalUnlock(block);
    }
    return text;
}

std::string ReadFile(const std::string& oemName) {
    std::ifstream in(oemName, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The first bytes only: a format check never reads a whole (maybe huge) file.
std::string ReadHead(const std::string& oemName, size_t count) {
    std::ifstream in(oemName, std::ios::binary);
    std::string head(count, '\0');
    in.read(head.data(), static_cast<std::streamsize>(count));
    head.resize(static_cast<size_t>(in.gcount()));
    return head;
}

}  // namespace

extern "C" {

__declspec(dllexport) long WINAPI InitConverter32(HWND, const char* module) {
    // Converters expect OLE on the thread that calls them: a single-threaded
    // apartment refuses to become a multithreaded one.
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(hr))
        CoUninitialize();
    Log(std::string("InitConverter32 ") + module + (hr == RPC_E_CHANGED_MODE ? " in an apartment" : " without OLE"));
    return 1;
}

__declspec(dllexport) short WINAPI IsFormatCorrect32(HGLOBAL file, HGLOBAL className) {
    const std::string name = BlockText(file);
    Log("IsFormatCorrect32 " + name + " class " + std::to_string(GlobalSize(className)));
    const std::string head = ReadHead(name, 5);
    return head == "MTCV\n" || head == "MTCE\n" || head == "MTCS\n" ? 1 : 0;
}

__declspec(dllexport) short WINAPI ForeignToRtf32(HGLOBAL file, void* storage, HGLOBAL buffer, HGLOBAL classBlock,
                                                  HGLOBAL subsetBlock, RtfCallbackFn callback) {
    const int now = ++running;
    int seen = mostAtOnce.load();
    while (now > seen && !mostAtOnce.compare_exchange_weak(seen, now)) {
    }
    const std::string name = BlockText(file);
    Log("ForeignToRtf32 " + name + " storage " + (storage ? "set" : "null") + " class [" + BlockText(classBlock) +
        "] subset [" + BlockText(subsetBlock) + "] buffer " + std::to_string(GlobalSize(buffer)));
    const std::string content = ReadFile(name);
    const bool slow = content.compare(0, 5, "MTCS\n") == 0;
    if (content.compare(0, 5, "MTCE\n") != 0) {
        static const size_t kChunks[] = {5, 4096, 17, 1000};
        size_t at = 5;
        for (int i = 0; at < content.size(); ++i) {
            const size_t n = std::min({kChunks[i % 4], content.size() - at, static_cast<size_t>(GlobalSize(buffer))});
            if (slow)
                Sleep(150);
            char* out = static_cast<char*>(GlobalLock(buffer));
            memcpy(out, content.data() + at, n);
            GlobalUnlock(buffer);
            at += n;
            if (callback(static_cast<long>(n), static_cast<int>(at * 100 / content.size())) != 0)
                break;
        }
    }
    --running;
    return 0;
}

__declspec(dllexport) void WINAPI UninitConverter() { Log("UninitConverter"); }

__declspec(dllexport) const char* TestConverterLog() {
    static std::string copy;
    std::lock_guard<std::mutex> guard(logLock);
    copy = callLog;
    callLog.clear();
    return copy.c_str();
}

__declspec(dllexport) int TestConverterMostAtOnce() { return mostAtOnce.load(); }

}  // extern "C"
