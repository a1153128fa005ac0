// mirlock-test-filter.dll: a content filter for the tests (never installed
// with the program). The file it is given is a script, one chunk a line:
//   TEXT <break> <text>        a text chunk; <break> is EOW, EOS, EOP, EOC or NONE;
//                              <text> is UTF-8, "\0" in it a NUL character
//   LAST <break> <text>        the same, its text ending with FILTER_S_LAST_TEXT
//   REPEAT <break> <n> <c>     a text chunk of n copies of character c
//   VALUE <text>               a value chunk (a property such as a title)
//   EMBEDDING | LINK | ACCESS  GetChunk answers FILTER_E_EMBEDDING_UNAVAILABLE,
//                              FILTER_E_LINK_UNAVAILABLE or FILTER_E_ACCESS
//   FAILTEXT <break> <text>    a text chunk whose second GetText fails
//   FAILINIT                   (first line) Init fails
//   THROW                      GetChunk throws a C++ exception
//   CRASH                      GetChunk ends the process at once (exit code 99),
//                              as a crash would: nothing is flushed
//   FAULT <kind>               GetChunk faults: ACCESS (an access violation),
//                              RECURSE (recursion without end), ABORT (abort()),
//                              TERMINATE (std::terminate, as an uncaught C++
//                              exception does), HANG (a loop without end), GROW
//                              (allocates and touches memory without end; past
//                              8 GiB it only loops, so a missing limit cannot
//                              take the machine)
//   APARTMENT                  a text chunk (EOP) "apartment sta|mta|none thread N
//                              process P": the calling thread's COM apartment,
//                              its identifier and its process's
// TestFilterLiveObjects() tells how many objects of the DLL are alive;
// TestFilterForeignCalls() how many calls a filter had from a thread other
// than the one that made it.
#include <windows.h>
#include <filter.h>
#include <filterr.h>
#include <objidl.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::atomic<long> liveObjects{0};
std::atomic<long> foreignCalls{0};

const IID kIidFilter = {0x89BCB740, 0x6119, 0x101A, {0xBC, 0xB7, 0x00, 0xDD, 0x01, 0x06, 0x55, 0xAF}};

struct Chunk {
    std::string kind;
    CHUNK_BREAKTYPE breakType = CHUNK_NO_BREAK;
    std::wstring text;
};

CHUNK_BREAKTYPE ParseBreak(const std::string& word) {
    if (word == "EOW") return CHUNK_EOW;
    if (word == "EOS") return CHUNK_EOS;
    if (word == "EOP") return CHUNK_EOP;
    if (word == "EOC") return CHUNK_EOC;
    return CHUNK_NO_BREAK;
}

// UTF-8 with "\0" standing for a NUL character.
std::wstring Widen(const std::string& text) {
    std::wstring out;
    size_t from = 0;
    for (;;) {
        const size_t nul = text.find("\\0", from);
        const std::string piece = text.substr(from, nul == std::string::npos ? std::string::npos : nul - from);
        if (!piece.empty()) {
            std::wstring wide(piece.size(), L'\0');
            const int n = MultiByteToWideChar(CP_UTF8, 0, piece.data(), static_cast<int>(piece.size()), wide.data(),
                                              static_cast<int>(wide.size()));
            out.append(wide.data(), n > 0 ? n : 0);
        }
        if (nul == std::string::npos)
            return out;
        out += L'\0';
        from = nul + 2;
    }
}

// Deep enough that no stack holds it; the volatile array keeps each frame,
// the volatile flag keeps the compiler from seeing that it never ends.
volatile bool goDeeper = true;
int Recurse(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    return goDeeper ? Recurse(depth + 1) + frame[0] : 0;
}

void Fault(const std::wstring& kind) {
    if (kind == L"ACCESS") {
        *static_cast<volatile int*>(nullptr) = 1;
    } else if (kind == L"RECURSE") {
        Recurse(0);
    } else if (kind == L"ABORT") {
        abort();
    } else if (kind == L"TERMINATE") {
        std::terminate();
    } else if (kind == L"HANG") {
        std::atomic<unsigned long long> spin{0};
        for (;;)
            spin.fetch_add(1, std::memory_order_relaxed);
    } else if (kind == L"GROW") {
        constexpr size_t kPiece = 16u << 20;
        for (size_t total = 0; total < (8ull << 30); total += kPiece) {
            void* piece = VirtualAlloc(nullptr, kPiece, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
            if (!piece)
                break;
            memset(piece, 1, kPiece);
        }
        for (;;)
            Sleep(100);
    }
}

class Filter : public IFilter, public IPersistFile {
public:
    // A broken filter answers S_OK to IPersistFile without giving one.
    explicit Filter(bool broken = false) : broken(broken) { ++liveObjects; }
    virtual ~Filter() { --liveObjects; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kIidFilter)) {
            *out = static_cast<IFilter*>(this);
        } else if (IsEqualIID(iid, IID_IPersistFile) || IsEqualIID(iid, IID_IPersist)) {
            if (broken) {
                *out = nullptr;
                return S_OK;
            }
            *out = static_cast<IPersistFile*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        CountForeign();
        const ULONG left = --references;
        if (left == 0)
            delete this;
        return left;
    }

    // IPersistFile
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(LPCOLESTR path, DWORD) override {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return STG_E_FILENOTFOUND;
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            std::istringstream words(line);
            Chunk chunk;
            words >> chunk.kind;
            if (chunk.kind == "FAILINIT") {
                failInit = true;
                continue;
            }
            if (chunk.kind == "TEXT" || chunk.kind == "LAST" || chunk.kind == "FAILTEXT" || chunk.kind == "REPEAT") {
                std::string breakWord;
                words >> breakWord;
                chunk.breakType = ParseBreak(breakWord);
            }
            std::string rest;
            std::getline(words, rest);
            if (!rest.empty() && rest[0] == ' ')
                rest.erase(0, 1);
            if (chunk.kind == "REPEAT") {
                std::istringstream counts(rest);
                size_t n = 0;
                char c = 'x';
                counts >> n >> c;
                chunk.text.assign(n, static_cast<wchar_t>(c));
            } else {
                chunk.text = Widen(rest);
            }
            if (!chunk.kind.empty())
                chunks.push_back(chunk);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Save(LPCOLESTR, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR*) override { return E_NOTIMPL; }

    // IFilter
    SCODE STDMETHODCALLTYPE Init(ULONG, ULONG, const FULLPROPSPEC*, ULONG* flags) override {
        if (flags)
            *flags = 0;
        return failInit ? E_FAIL : S_OK;
    }
    SCODE STDMETHODCALLTYPE GetChunk(STAT_CHUNK* stat) override {
        CountForeign();
        if (next >= chunks.size())
            return FILTER_E_END_OF_CHUNKS;
        current = &chunks[next++];
        offset = 0;
        textCalls = 0;
        if (current->kind == "EMBEDDING")
            return FILTER_E_EMBEDDING_UNAVAILABLE;
        if (current->kind == "LINK")
            return FILTER_E_LINK_UNAVAILABLE;
        if (current->kind == "ACCESS")
            return FILTER_E_ACCESS;
        if (current->kind == "THROW")
            throw std::runtime_error("a filter that throws");
        if (current->kind == "CRASH")
            TerminateProcess(GetCurrentProcess(), 99);
        if (current->kind == "FAULT")
            Fault(current->text);
        if (current->kind == "APARTMENT") {
            APTTYPE type{};
            APTTYPEQUALIFIER qualifier{};
            const HRESULT hr = CoGetApartmentType(&type, &qualifier);
            const wchar_t* name = FAILED(hr) ? L"none" : type == APTTYPE_STA || type == APTTYPE_MAINSTA ? L"sta" : L"mta";
            current->text = std::wstring(L"apartment ") + name + L" thread " + std::to_wstring(GetCurrentThreadId()) +
                            L" process " + std::to_wstring(GetCurrentProcessId());
            current->breakType = CHUNK_EOP;
        }
        *stat = STAT_CHUNK{};
        stat->idChunk = static_cast<ULONG>(next);
        stat->breakType = current->breakType;
        stat->flags = current->kind == "VALUE" ? CHUNK_VALUE : CHUNK_TEXT;
        return S_OK;
    }
    SCODE STDMETHODCALLTYPE GetText(ULONG* count, WCHAR* buffer) override {
        CountForeign();
        if (!current || current->kind == "VALUE")
            return FILTER_E_NO_TEXT;
        if (current->kind == "FAILTEXT" && ++textCalls > 1)
            return E_FAIL;
        if (offset >= current->text.size() && current->kind != "FAILTEXT")
            return FILTER_E_NO_MORE_TEXT;
        const size_t n = std::min<size_t>(*count, current->text.size() - offset);
        current->text.copy(buffer, n, offset);
        offset += n;
        *count = static_cast<ULONG>(n);
        if (current->kind == "LAST" && offset >= current->text.size())
            return FILTER_S_LAST_TEXT;
        return S_OK;
    }
    SCODE STDMETHODCALLTYPE GetValue(PROPVARIANT**) override { return FILTER_E_NO_VALUES; }
    SCODE STDMETHODCALLTYPE BindRegion(FILTERREGION, REFIID, void**) override { return E_NOTIMPL; }

private:
    void CountForeign() const {
        if (GetCurrentThreadId() != owner)
            ++foreignCalls;
    }

    const DWORD owner = GetCurrentThreadId();
    std::atomic<ULONG> references{1};
    std::vector<Chunk> chunks;
    size_t next = 0;
    Chunk* current = nullptr;
    size_t offset = 0;
    int textCalls = 0;
    bool failInit = false;
    bool broken = false;
};

class Factory : public IClassFactory {
public:
    explicit Factory(bool broken) : broken(broken) { ++liveObjects; }
    virtual ~Factory() { --liveObjects; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* filter = new Filter(broken);
        const HRESULT hr = filter->QueryInterface(iid, out);
        filter->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    std::atomic<ULONG> references{1};
    bool broken;
};

// The class the tests register for a filter that breaks the rules.
const CLSID kBrokenFilter = {0x6A0C3D10, 0x7B2E, 0x4F51, {0x9C, 0x11, 0x2E, 0x8B, 0x5A, 0x7D, 0x0B, 0x04}};

}  // namespace

// Any class identifier the tests register for this DLL makes the same
// filter, but the broken one's.
extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID id, REFIID iid, void** out) {
    auto* factory = new Factory(IsEqualCLSID(id, kBrokenFilter) != 0);
    const HRESULT hr = factory->QueryInterface(iid, out);
    factory->Release();
    return hr;
}

namespace {

// MIRLOCK_TEST_FILTER_DETACH_LOG names a file: the DLL may then be unloaded
// once no object lives, and when it is it adds "detach live=N" to that file,
// so that a test can see that its process let it go in order.
std::wstring DetachLog() {
    wchar_t path[MAX_PATH] = L"";
    const DWORD n = GetEnvironmentVariableW(L"MIRLOCK_TEST_FILTER_DETACH_LOG", path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(path) : std::wstring();
}

}  // namespace

// Otherwise it stays loaded: the tests read its object count.
extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return !DetachLog().empty() && liveObjects.load() == 0 ? S_OK : S_FALSE;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void* processEnds) {
    // Only an unload, not the end of the process, says that it was let go.
    if (reason == DLL_PROCESS_DETACH && !processEnds) {
        const std::wstring log = DetachLog();
        if (!log.empty()) {
            HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                const std::string line = "detach live=" + std::to_string(liveObjects.load()) + "\n";
                DWORD written = 0;
                WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
                CloseHandle(file);
            }
        }
    }
    return TRUE;
}

extern "C" long TestFilterLiveObjects() { return liveObjects.load(); }

extern "C" long TestFilterForeignCalls() { return foreignCalls.load(); }
