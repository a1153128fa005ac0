// Move-only owners of Win32 handles, one traits struct per kind of handle.
#pragma once

#include <windows.h>

#include <cstdio>
#include <utility>

template <typename Traits>
class ScopedHandle {
public:
    using Handle = typename Traits::Handle;

    ScopedHandle() = default;
    explicit ScopedHandle(Handle h) : handle(h) {}
    ~ScopedHandle() { Reset(); }
    ScopedHandle(ScopedHandle&& other) noexcept : handle(other.Detach()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    Handle Get() const { return handle; }
    bool IsValid() const { return Traits::IsValid(handle); }
    explicit operator bool() const { return IsValid(); }

    Handle Detach() { return std::exchange(handle, Traits::Invalid()); }
    void Reset(Handle h = Traits::Invalid()) {
        if (Traits::IsValid(handle))
            Traits::Close(handle);
        handle = h;
    }

private:
    Handle handle = Traits::Invalid();
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    // Both null and INVALID_HANDLE_VALUE mean "no handle" for kernel objects.
    static bool IsValid(HANDLE h) { return h && h != INVALID_HANDLE_VALUE; }
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { CloseHandle(h); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static bool IsValid(HANDLE h) { return h && h != INVALID_HANDLE_VALUE; }
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { FindClose(h); }
};

struct GlobalTraits {
    using Handle = HGLOBAL;
    static bool IsValid(HGLOBAL h) { return h != nullptr; }
    static HGLOBAL Invalid() { return nullptr; }
    static void Close(HGLOBAL h) { GlobalFree(h); }
};

struct StdioFileTraits {
    using Handle = FILE*;
    static bool IsValid(FILE* f) { return f != nullptr; }
    static FILE* Invalid() { return nullptr; }
    static void Close(FILE* f) { fclose(f); }
};

using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
using ScopedFindHandle = ScopedHandle<FindHandleTraits>;
using ScopedGlobal = ScopedHandle<GlobalTraits>;
using ScopedFile = ScopedHandle<StdioFileTraits>;

// Locks a movable global block for the guard's lifetime.
template <typename T>
class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL h) : block(h), data(h ? static_cast<T*>(GlobalLock(h)) : nullptr) {}
    ~GlobalLockGuard() {
        if (data)
            GlobalUnlock(block);
    }
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;

    T* Get() const { return data; }

private:
    HGLOBAL block;
    T* data;
};
