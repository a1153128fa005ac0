// A minimal reader of zip archives: the central directory, entry lookup by
// wildcard, and whole-entry reads of stored and deflated data. No ZIP64, no
// multi-disk archives, no encryption; CRCs are not verified.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/ScopedHandle.h"

// The bytes of one entry and a read position over them.
class ZipEntryData {
public:
    ZipEntryData() = default;
    ~ZipEntryData();
    ZipEntryData(const ZipEntryData&) = delete;
    ZipEntryData& operator=(const ZipEntryData&) = delete;

    // Copies min(count, size - position) bytes to `destination` and advances.
    // False (and 0 copied) with no data, a count of 0 or the position at the end.
    bool ReadBytes(uint32_t count, void* destination, uint32_t* copied = nullptr);

    // All the bytes followed by a NUL, writable; null with no data or when
    // memory for the NUL is short. Reading and the size are unchanged.
    char* TerminatedBytes();

    uint32_t Size() const { return size; }
    // The memory held for the bytes (tests: it follows the data, not a claim).
    size_t Capacity() const { return data.capacity(); }
    uint32_t Position() const { return position; }
    bool HasData() const { return hasData; }

private:
    friend class ZipReader;
    void Assign(std::vector<uint8_t> bytes);

    std::vector<uint8_t> data;  // handed back to the thread's spare when done
    bool hasData = false;
    uint32_t position = 0;
    uint32_t size = 0;  // always the number of bytes actually held
};

class ZipReader {
public:
    static constexpr int kNone = -1;
    // No deflate stream can expand its input by more than about this factor.
    static constexpr uint64_t kMaxDeflateRatio = 1032;
    // The largest entry read: its text, two bytes a character and a NUL,
    // must fit a text block (32-bit sizes), as a file's must.
    static constexpr uint32_t kMaxEntryBytes = 0x7FFFFFFE;

    ZipReader() = default;
    ~ZipReader() { Close(); }
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    // Loads the archive's central directory; closes any archive open before.
    bool Open(const wchar_t* path);
    // Why the last Open failed, as a failed file's reason: the system's word
    // when the file cannot be read, "not an archive", "a damaged archive".
    const std::wstring& FailureText() const { return failure; }
    void Close();
    bool IsOpen() const { return file.IsValid(); }

    int EntryCount() const { return static_cast<int>(entries.size()); }

    // Reads entry `index` whole into `out`; on failure `out` is unchanged.
    bool ReadEntry(int index, ZipEntryData* out);

    // The first entry at or after `start` whose name (OEM code page, slashes
    // read as backslashes) matches `pattern` as a path wildcard; kNone if none.
    int FindEntry(const wchar_t* pattern, int start) const;

    // The stored name of entry `index`, slashes already turned into backslashes.
    std::string EntryName(int index) const;

private:
    bool ReadAt(uint64_t offset, void* buffer, uint32_t count) const;
    bool FindEndRecord(uint64_t* position, uint8_t* record) const;
    uint32_t LocalHeaderOffset(int index) const;
    bool OpenFailed(const wchar_t* why);
    std::wstring failure;
    // The nearest local header offset after `offset`, or the directory's start.
    uint64_t NextLocalHeaderAfter(uint64_t offset) const;

    ScopedKernelHandle file;
    uint64_t fileSize = 0;
    uint8_t endRecord[22] = {};
    std::vector<uint8_t> directory;
    std::vector<uint32_t> entries;  // offsets of the entries inside `directory`
    mutable std::vector<uint32_t> sortedOffsets;  // local header offsets in file order, made when first needed
    uint32_t directoryStart = 0;
};
