// The import-converter host: library loading, the recognition call, the
// converter thread with its callback slots, and the RTF hand-over.
#include "converters/installed/LibConverter.h"

#include <objbase.h>

#include <cstring>
#include <cwchar>
#include <mutex>

#include "base/LongPath.h"
#include "base/SearchRecords.h"
#include "base/ShellPath.h"
#include "base/ThreadScratch.h"
#include "converters/readers/Rtfpars.h"

DWORD LibConverter::threadStartDelayMs = 0;

namespace {

constexpr int kSlots = 4;
constexpr size_t kRtfBufferBytes = 4096;

struct SharedState {
    CRITICAL_SECTION slotLock;
    CRITICAL_SECTION conversionLock;
    LibConverter* slots[kSlots] = {};
    SharedState() {
        InitializeCriticalSection(&slotLock);
        InitializeCriticalSection(&conversionLock);
    }
};

SharedState& Shared() {
    static SharedState state;
    return state;
}

// Waits for `event`, letting the system deliver messages that other threads
// send to this thread's windows meanwhile.
void PumpingWait(HANDLE event) {
    for (;;) {
        const DWORD r = MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0 || r == WAIT_FAILED)
            return;
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    }
}

// StrStrIW's question, through the shell library bound on first use.
bool ContainsNoCase(const wchar_t* text, const wchar_t* part) {
    const int n = static_cast<int>(wcslen(part));
    for (const wchar_t* p = text; wcslen(p) >= static_cast<size_t>(n); ++p) {
        if (CompareNoCase(p, part, n) == 0)
            return true;
    }
    return false;
}

// OLE on the converter thread; the library is bound on first use, so that
// the console front end does not load it in the other modes.
void OleCall(bool initialize) {
    using InitializeFn = HRESULT(WINAPI*)(void*);
    using UninitializeFn = void(WINAPI*)();
    static HMODULE ole = LoadLibraryW(L"ole32.dll");
    static const auto init = reinterpret_cast<InitializeFn>(
        reinterpret_cast<void*>(ole ? GetProcAddress(ole, "OleInitialize") : nullptr));
    static const auto uninit = reinterpret_cast<UninitializeFn>(
        reinterpret_cast<void*>(ole ? GetProcAddress(ole, "OleUninitialize") : nullptr));
    if (initialize && init)
        init(nullptr);
    else if (!initialize && uninit)
        uninit();
}

HGLOBAL BlockWithBytes(const void* bytes, size_t size, size_t capacity) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, capacity);
    if (!block)
        return nullptr;
    if (size) {
        void* p = GlobalLock(block);
        if (!p) {
            GlobalFree(block);
            return nullptr;
        }
        memcpy(p, bytes, size);
        GlobalUnlock(block);
    }
    return block;
}

bool ReadRegistryString(HKEY key, const wchar_t* name, wchar_t (&out)[kConverterChars]) {
    BYTE bytes[512] = {};
    DWORD size = sizeof bytes;
    if (RegQueryValueExW(key, name, nullptr, nullptr, bytes, &size) != ERROR_SUCCESS)
        return false;
    // The value's bytes as they are, whatever its type.
    memcpy(out, bytes, sizeof out - sizeof(wchar_t));
    out[kConverterChars - 1] = 0;
    return true;
}

// `path` in the OEM code page, exactly, in fewer than `capacity` bytes.
bool ExactOem(const std::wstring& path, size_t capacity, std::string* name) {
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(CP_OEMCP, 0, path.c_str(), -1, nullptr, 0, nullptr, &usedDefault);
    if (n <= 0 || static_cast<size_t>(n) > capacity)
        return false;
    std::string oem(n, '\0');
    WideCharToMultiByte(CP_OEMCP, 0, path.c_str(), -1, oem.data(), n, nullptr, &usedDefault);
    // Best fit maps some characters to look-alikes without saying so: only a
    // round trip tells an exact name.
    const int back = MultiByteToWideChar(CP_OEMCP, 0, oem.c_str(), -1, nullptr, 0);
    std::wstring wide(back > 0 ? back : 1, L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, oem.c_str(), -1, wide.data(), back);
    if (usedDefault || std::wcscmp(wide.c_str(), path.c_str()) != 0)
        return false;
    oem.resize(n - 1);
    *name = oem;
    return true;
}

}  // namespace

bool OemFileName(const wchar_t* path, size_t capacity, std::string* name) {
    if (ExactOem(path, capacity, name))
        return true;
    if (wcslen(path) > kClassicPathChars) {
        // A long path reaches the libraries through its short form, when
        // that fits them: they know nothing of the verbatim prefix.
        const std::wstring fitting = FittingPath(ShownPath(path));
        return !IsVerbatimPath(fitting) && ExactOem(fitting, capacity, name);
    }
    wchar_t shortPath[MAX_PATH] = {};
    const DWORD n = GetShortPathNameW(path, shortPath, MAX_PATH);
    return n > 0 && n < MAX_PATH && ExactOem(shortPath, capacity, name);
}

LibConverter::LibConverter() { Shared(); }

LibConverter::~LibConverter() {
    if (dataReady)
        CloseHandle(dataReady);
    if (bufferFree)
        CloseHandle(bufferFree);
    if (module)
        FreeLibrary(module);
    if (fileNameHandle)
        GlobalFree(fileNameHandle);
}

void LibConverter::FillFromRegistry(HKEY importKey, const wchar_t* subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(importKey, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    if (ReadRegistryString(key, L"Name", typeName) && ReadRegistryString(key, L"Extensions", fileSpec) &&
        ReadRegistryString(key, L"Path", libraryPath))
        Load(libraryPath);
    RegCloseKey(key);
}

int LibConverter::Load(const wchar_t* path) {
    if (path != libraryPath) {
        wcsncpy(libraryPath, path, kConverterChars - 1);
        libraryPath[kConverterChars - 1] = 0;
    }
    module = LoadLibraryW(libraryPath);
    if (module && !initConverter) {
        auto bind = [this](const char* name) {
            return reinterpret_cast<void*>(GetProcAddress(module, name));
        };
        initConverter = reinterpret_cast<InitConverterFn>(bind("InitConverter32"));
        isFormatCorrect = reinterpret_cast<IsFormatCorrectFn>(bind("IsFormatCorrect32"));
        foreignToRtf = reinterpret_cast<ForeignToRtfFn>(bind("ForeignToRtf32"));
        uninitConverter = reinterpret_cast<UninitConverterFn>(bind("UninitConverter"));
    }
    if (module && !(initConverter && isFormatCorrect && foreignToRtf)) {
        FreeLibrary(module);
        module = nullptr;
        initConverter = nullptr;
        isFormatCorrect = nullptr;
        foreignToRtf = nullptr;
        uninitConverter = nullptr;
    }
    return 0;
}

int LibConverter::Accepts(const wchar_t* path) {
    wchar_t extension[256] = {};
    if (_wsplitpath_s(path, nullptr, 0, nullptr, 0, nullptr, 0, extension, 256) != 0)
        return 0;
    const wchar_t* ext = extension[0] == L'.' ? extension + 1 : extension;
    const bool everyFile = fileSpec[0] == L'*';
    // A file without an extension reaches only a converter for every file.
    if (!everyFile && (!ext[0] || !ContainsNoCase(fileSpec, ext)))
        return 0;
    if (!module || !isFormatCorrect)
        return 0;
    std::string name;
    if (!OemFileName(path, 260, &name)) {
        // A name the library cannot be given: a file listed for this
        // converter fails (no other file is converted in its place).
        return everyFile ? 0 : 1;
    }
    HGLOBAL file = BlockWithBytes(name.c_str(), name.size() + 1, name.size() + 1);
    HGLOBAL className = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 256);
    short recognised = 0;
    if (file && className)
        recognised = isFormatCorrect(file, className);
    if (file)
        GlobalFree(file);
    if (className)
        GlobalFree(className);
    return recognised == 1 ? 1 : 0;
}

HGLOBAL LibConverter::Convert(const wchar_t* path, const SearchRequest& request) {
    wcsncpy(requestIgnoreTags, request.ignoreTags, 259);
    requestIgnoreTags[259] = 0;
    requestIncludeHidden = request.includeHidden;
    std::string name;
    if (!IsUsable())
        return Fail(L"the import converter cannot be loaded");
    if (!OemFileName(path, 256, &name))
        return Fail(L"a file name the import converter cannot be given");
    SetReadAs(typeName);  // the import converter's own name
    if (fileNameHandle)
        GlobalFree(fileNameHandle);
    fileNameHandle = BlockWithBytes(name.c_str(), name.size() + 1, name.size() + 1);
    if (!fileNameHandle)
        return nullptr;
    if (!dataReady)
        dataReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!bufferFree)
        bufferFree = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!dataReady || !bufferFree)
        return nullptr;
    ResetEvent(dataReady);
    ResetEvent(bufferFree);
    rtfTotal = 0;
    // Running before the thread starts: the loop below must not see the
    // finished state of the last conversion and leave before this one.
    finished = 0;
    HANDLE thread = CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr);
    if (!thread) {
        finished = 1;
        return nullptr;
    }
    SetEvent(bufferFree);
    std::string rtf;
    while (!finished) {
        PumpingWait(dataReady);
        ResetEvent(dataReady);
        if (rtfBuffer && chunkSize > 0) {
            if (const char* bytes = static_cast<const char*>(GlobalLock(rtfBuffer))) {
                const size_t n = std::min<size_t>(static_cast<size_t>(chunkSize), GlobalSize(rtfBuffer));
                rtfTotal += n;
                rtf.append(bytes, n);
                GlobalUnlock(rtfBuffer);
            }
        }
        SetEvent(bufferFree);
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);

    // Up to the first zero byte, as the reader takes a NUL-terminated text.
    rtf.resize(strlen(rtf.c_str()));
    RtfReaderContext context;
    context.ignoreHidden = requestIncludeHidden == 0;
    context.dropNoProofLetters = true;
    context.dropStruckText = true;
    if (requestIgnoreTags[0]) {
        const int n = WideCharToMultiByte(CP_THREAD_ACP, 0, requestIgnoreTags, -1, nullptr, 0, nullptr, nullptr);
        if (n > 0) {
            std::string tag(n, '\0');
            WideCharToMultiByte(CP_THREAD_ACP, 0, requestIgnoreTags, -1, tag.data(), n, nullptr, nullptr);
            tag.resize(n - 1);
            context.sourceStyleNames.push_back(tag);
        }
    }
    if (!rtf.empty())
        ReadRtf(context, rtf.c_str());
    return TextBlockFromString(context.output);
}

std::unique_ptr<DocConverter> LibConverter::Clone() const {
    auto copy = std::make_unique<LibConverter>();
    copy->CopyStringsFrom(*this);
    copy->Load(libraryPath);
    return copy;
}

DWORD WINAPI LibConverter::ThreadProc(void* self) {
    if (threadStartDelayMs)
        Sleep(threadStartDelayMs);
    static_cast<LibConverter*>(self)->RunConversion();
    // The thread ends with this file: what it kept for the next goes now.
    EndThreadScratch();
    return 0;
}

void LibConverter::RunConversion() {
    OleCall(true);
    if (foreignToRtf) {
        SharedState& shared = Shared();
        EnterCriticalSection(&shared.conversionLock);
        initConverter(GetActiveWindow(), "TVREADER");
        HGLOBAL classBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 1);
        HGLOBAL subsetBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 1);
        rtfBuffer = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kRtfBufferBytes);
        int slot = -1;
        while (slot < 0) {
            EnterCriticalSection(&shared.slotLock);
            for (int i = 0; i < kSlots && slot < 0; ++i) {
                if (!shared.slots[i]) {
                    shared.slots[i] = this;
                    slot = i;
                }
            }
            LeaveCriticalSection(&shared.slotLock);
            if (slot < 0)
                Sleep(1);
        }
        static const RtfCallbackFn kCallbacks[kSlots] = {Callback0, Callback1, Callback2, Callback3};
        if (classBlock && subsetBlock && rtfBuffer)
            foreignToRtf(fileNameHandle, nullptr, rtfBuffer, classBlock, subsetBlock, kCallbacks[slot]);
        EnterCriticalSection(&shared.slotLock);
        shared.slots[slot] = nullptr;
        LeaveCriticalSection(&shared.slotLock);
        if (classBlock)
            GlobalFree(classBlock);
        if (subsetBlock)
            GlobalFree(subsetBlock);
        if (rtfBuffer)
            GlobalFree(rtfBuffer);
        rtfBuffer = nullptr;
        if (uninitConverter)
            uninitConverter();
        LeaveCriticalSection(&shared.conversionLock);
    }
    finished = 1;
    SetEvent(dataReady);
    OleCall(false);
}

long LibConverter::OnChunk(long bytes) {
    PumpingWait(bufferFree);
    ResetEvent(bufferFree);
    chunkSize = bytes;
    SetEvent(dataReady);
    // The library may refill the buffer as soon as this returns: wait until
    // the chunk has been copied.
    PumpingWait(bufferFree);
    return 0;
}

long LibConverter::FromSlot(int slot, long bytes) {
    SharedState& shared = Shared();
    EnterCriticalSection(&shared.slotLock);
    LibConverter* converter = shared.slots[slot];
    LeaveCriticalSection(&shared.slotLock);
    return converter ? converter->OnChunk(bytes) : 0;
}

long WINAPI LibConverter::Callback0(long bytes, int) { return FromSlot(0, bytes); }
long WINAPI LibConverter::Callback1(long bytes, int) { return FromSlot(1, bytes); }
long WINAPI LibConverter::Callback2(long bytes, int) { return FromSlot(2, bytes); }
long WINAPI LibConverter::Callback3(long bytes, int) { return FromSlot(3, bytes); }
