// Every size and offset read from the archive is checked against the file or
// the directory before it is used; nothing larger than the file justifies is
// ever allocated.
#include "converters/readers/ZipReader.h"

#include "converters/readers/FileBlock.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "base/ResourceText.h"
#include "base/ThreadScratch.h"
#include "base/TextBlock.h"
#include "base/ShellPath.h"

namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kDirectorySignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kEndRecordSize = 22;
constexpr uint32_t kDirectoryEntrySize = 46;
constexpr uint32_t kLocalHeaderSize = 30;
constexpr uint32_t kDescriptorSize = 12;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// True when [offset, offset + count) lies inside a buffer of `size` bytes.
bool Fits(uint64_t offset, uint64_t count, uint64_t size) {
    return offset <= size && count <= size - offset;
}

// A raw-deflate stream that the thread keeps: its state and its 32 KB window
// are reset between entries instead of allocated and freed for each one (an
// office package has hundreds of small entries, and the heap is the place
// where workers meet).
class KeptInflater {
public:
    KeptInflater() = default;
    ~KeptInflater() {
        if (ready)
            inflateEnd(&stream);
    }
    KeptInflater(const KeptInflater&) = delete;
    KeptInflater& operator=(const KeptInflater&) = delete;

    // The stream, made at the first entry and reset for each one after it;
    // null when zlib has no memory.
    z_stream* Fresh() {
        if (ready)
            return inflateReset(&stream) == Z_OK ? &stream : nullptr;
        ready = inflateInit2(&stream, -15) == Z_OK;
        return ready ? &stream : nullptr;
    }

private:
    z_stream stream{};
    bool ready = false;
};

}  // namespace

// The first buffer for an inflated entry: this many times its compressed
// size (deflated XML rarely grows more), never more than the size it claims.
constexpr uint64_t kFirstInflateRatio = 16;
constexpr uint64_t kFirstInflateExtra = 64 * 1024;

// Inflated entries reuse the memory of the last one: fresh pages for every
// archive cost more than the copy they hold.
std::vector<uint8_t>& SpareEntryBuffer() {
    thread_local std::vector<uint8_t>* spareSlot = nullptr;
    return ThreadScratch(spareSlot);
}

ZipEntryData::~ZipEntryData() {
    // A large entry's memory goes back to the system; only a bounded spare stays.
    std::vector<uint8_t>& spare = SpareEntryBuffer();
    if (data.capacity() > spare.capacity() && data.capacity() <= KeptBufferBytes())
        spare.swap(data);
}

bool ZipEntryData::ReadBytes(uint32_t count, void* destination, uint32_t* copied) {
    if (copied)
        *copied = 0;
    if (!hasData || count == 0 || position >= size)
        return false;
    const uint32_t n = std::min(count, size - position);
    memcpy(destination, data.data() + position, n);
    position += n;
    if (copied)
        *copied = n;
    return true;
}

char* ZipEntryData::TerminatedBytes() {
    if (!hasData)
        return nullptr;
    try {
        data.resize(size_t{size} + 1);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    data[size] = 0;
    return reinterpret_cast<char*>(data.data());
}

void ZipEntryData::Assign(std::vector<uint8_t> bytes) {
    data = std::move(bytes);
    size = static_cast<uint32_t>(data.size());
    position = 0;
    hasData = true;
}

void ZipReader::Close() {
    file.Reset();
    directory.clear();
    directory.shrink_to_fit();
    entries.clear();
    entries.shrink_to_fit();
    sortedOffsets.clear();
    sortedOffsets.shrink_to_fit();
    fileSize = 0;
    directoryStart = 0;
}

bool ZipReader::ReadAt(uint64_t offset, void* buffer, uint32_t count) const {
    if (!Fits(offset, count, fileSize))
        return false;
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file.Get(), to, nullptr, FILE_BEGIN))
        return false;
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), out + done, count - done, &got, nullptr) || got == 0)
            return false;
        done += got;
        BytesReadInProcess() += got;
    }
    return true;
}

bool ZipReader::FindEndRecord(uint64_t* position, uint8_t* record) const {
    // The record is searched backwards from 22 bytes before the end, as far as
    // the start of the file: a comment of any length is allowed. The tail is
    // read in chunks so that a large file that is no archive costs one pass.
    if (fileSize < kEndRecordSize)
        return false;
    constexpr uint32_t kChunk = 1 << 16;
    std::vector<uint8_t> buffer(kChunk + kEndRecordSize);
    uint64_t chunkEnd = fileSize;  // one past the last byte of the chunk in the file
    for (;;) {
        const uint64_t chunkStart = chunkEnd > kChunk + kEndRecordSize ? chunkEnd - kChunk - kEndRecordSize : 0;
        const uint32_t length = static_cast<uint32_t>(chunkEnd - chunkStart);
        if (!ReadAt(chunkStart, buffer.data(), length))
            return false;
        for (uint32_t i = length - kEndRecordSize + 1; i-- > 0;) {
            if (Le32(buffer.data() + i) == kEndSignature) {
                *position = chunkStart + i;
                memcpy(record, buffer.data() + i, kEndRecordSize);
                return true;
            }
        }
        if (chunkStart == 0)
            return false;
        // The next chunk overlaps by 21 bytes: every position is tried once.
        chunkEnd = chunkStart + kEndRecordSize - 1;
    }
}

bool ZipReader::OpenFailed(const wchar_t* why) {
    Close();
    failure = why;
    return false;
}

bool ZipReader::Open(const wchar_t* path) {
    Close();
    failure.clear();
    file.Reset(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        failure = L"the file cannot be read: " + SystemErrorText(GetLastError());
        return false;
    }
    LARGE_INTEGER size;
    // File offsets in the archive are 32-bit.
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 || size.QuadPart > 0xFFFFFFFFLL)
        return OpenFailed(L"an archive of 4 GB or more, which the archive reader does not take");
    fileSize = static_cast<uint64_t>(size.QuadPart);

    uint64_t endPosition = 0;
    if (!FindEndRecord(&endPosition, endRecord))
        return OpenFailed(L"not an archive");
    const uint16_t startDisk = Le16(endRecord + 6);
    const uint16_t count = Le16(endRecord + 8);
    const uint32_t directorySize = Le32(endRecord + 12);
    // The directory ends where the end record begins; it must lie inside the file.
    if (startDisk != 0 || directorySize > endPosition) {
        return OpenFailed(L"a damaged archive");
    }
    directoryStart = static_cast<uint32_t>(endPosition - directorySize);
    directory.resize(directorySize);
    if (directorySize && !ReadAt(directoryStart, directory.data(), directorySize)) {
        return OpenFailed(L"a damaged archive");
    }
    entries.reserve(count);
    uint64_t at = 0;
    for (uint32_t i = 0; i < count; ++i) {
        // Each entry, with its name, extra field and comment, lies inside the directory.
        if (!Fits(at, kDirectoryEntrySize, directory.size()) ||
            Le32(directory.data() + at) != kDirectorySignature) {
            return OpenFailed(L"a damaged archive");
        }
        const uint8_t* e = directory.data() + at;
        const uint64_t nameLength = Le16(e + 28);
        const uint64_t total = kDirectoryEntrySize + nameLength + Le16(e + 30) + Le16(e + 32);
        if (!Fits(at, total, directory.size())) {
            return OpenFailed(L"a damaged archive");
        }
        uint8_t* name = directory.data() + at + kDirectoryEntrySize;
        std::replace(name, name + nameLength, static_cast<uint8_t>('/'), static_cast<uint8_t>('\\'));
        entries.push_back(static_cast<uint32_t>(at));
        at += total;
    }
    return true;
}

uint32_t ZipReader::LocalHeaderOffset(int index) const {
    return Le32(directory.data() + entries[static_cast<size_t>(index)] + 42);
}

uint64_t ZipReader::NextLocalHeaderAfter(uint64_t offset) const {
    // The offsets in file order, sorted once per archive: an archive of
    // many entries with descriptors costs a search per entry, not a pass.
    if (sortedOffsets.size() != entries.size()) {
        sortedOffsets.clear();
        for (int i = 0; i < EntryCount(); ++i)
            sortedOffsets.push_back(LocalHeaderOffset(i));
        std::sort(sortedOffsets.begin(), sortedOffsets.end());
    }
    const auto next = std::upper_bound(sortedOffsets.begin(), sortedOffsets.end(), offset);
    return next == sortedOffsets.end() || *next >= directoryStart ? directoryStart : *next;
}

std::string ZipReader::EntryName(int index) const {
    if (index < 0 || index >= EntryCount())
        return {};
    const uint8_t* e = directory.data() + entries[static_cast<size_t>(index)];
    return std::string(reinterpret_cast<const char*>(e + kDirectoryEntrySize), Le16(e + 28));
}

bool ZipReader::ReadEntry(int index, ZipEntryData* out) {
    if (!IsOpen() || index < 0 || index >= EntryCount())
        return false;
    const uint64_t local = LocalHeaderOffset(index);
    uint8_t header[kLocalHeaderSize];
    if (!ReadAt(local, header, kLocalHeaderSize) || Le32(header) != kLocalSignature)
        return false;
    const uint16_t flags = Le16(header + 6);
    const uint16_t method = Le16(header + 8);
    uint32_t compressedSize = Le32(header + 18);
    uint32_t uncompressedSize = Le32(header + 22);
    if (flags & 0x0008) {
        // The sizes follow the data: the 12 bytes before the next local
        // header in the file (or the directory), past an optional signature.
        // The directory may list the entries in any order, so the next header
        // is the nearest one after this entry's, not the next record's.
        const uint64_t descriptorEnd = NextLocalHeaderAfter(local);
        uint8_t descriptor[kDescriptorSize];
        if (descriptorEnd < kDescriptorSize ||
            !ReadAt(descriptorEnd - kDescriptorSize, descriptor, kDescriptorSize))
            return false;
        compressedSize = Le32(descriptor + 4);
        uncompressedSize = Le32(descriptor + 8);
    }
    if (flags & 0x0001)
        return false;  // encrypted: there is no way to ask for a password
    if (method != 0 && method != 8)
        return false;
    const uint64_t dataStart = local + kLocalHeaderSize + Le16(header + 26) + Le16(header + 28);
    // A header or descriptor may not claim more bytes than the file holds.
    if (!Fits(dataStart, compressedSize, fileSize))
        return false;
    if (method == 0) {
        if (compressedSize > ZipReader::kMaxEntryBytes)
            return false;
        // Stored: the data are the bytes read, whatever the other size says.
        std::vector<uint8_t> stored;
        stored.reserve(size_t{compressedSize} + 1);  // room for a terminating NUL
        stored.resize(compressedSize);
        if (compressedSize && !ReadAt(dataStart, stored.data(), compressedSize))
            return false;
        out->Assign(std::move(stored));
        return true;
    }
    // The compressed bytes go into a buffer that the thread keeps.
    thread_local std::vector<uint8_t>* compressedSlot = nullptr;
    std::vector<uint8_t>& compressed = ThreadScratch(compressedSlot);
    struct ReleaseAfterEntry {
        std::vector<uint8_t>& compressed;
        ~ReleaseAfterEntry() { ReleaseIfLarge(compressed); }
    } release{compressed};
    if (compressed.size() < compressedSize)
        compressed.resize(compressedSize);
    if (compressedSize && !ReadAt(dataStart, compressed.data(), compressedSize))
        return false;
    if (uncompressedSize > static_cast<uint64_t>(compressedSize) * kMaxDeflateRatio + 64)
        return false;  // no deflate stream of this size can produce that much
    std::vector<uint8_t> inflated = std::move(SpareEntryBuffer());
    SpareEntryBuffer() = std::vector<uint8_t>();
    // Memory grows with what the stream produces, up to the size claimed: a
    // small entry that claims gigabytes gets no gigabytes before it proves them.
    size_t room = static_cast<size_t>(std::min<uint64_t>(
        uncompressedSize, static_cast<uint64_t>(compressedSize) * kFirstInflateRatio + kFirstInflateExtra));
    room = std::max<size_t>(room, 1);
    inflated.reserve(room + 1);  // room for a terminating NUL
    inflated.resize(room);
    thread_local KeptInflater* inflaterSlot = nullptr;
    z_stream* kept = ThreadScratch(inflaterSlot).Fresh();
    if (!kept)
        return false;
    z_stream& stream = *kept;
    stream.next_in = compressed.data();
    stream.avail_in = compressedSize;
    int result = Z_OK;
    bool grew = false;
    // No entry may grow past what a text block can carry: a bomb within the
    // ratio stops there instead of taking gigabytes.
    const uint64_t most = std::min<uint64_t>(uncompressedSize, uint64_t{ZipReader::kMaxEntryBytes} + 1);
    for (;;) {
        stream.next_out = inflated.data() + stream.total_out;
        stream.avail_out = static_cast<uInt>(inflated.size() - stream.total_out);
        result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK || stream.avail_out != 0 || inflated.size() >= most)
            break;
        const size_t larger = static_cast<size_t>(
            std::min<uint64_t>(most, static_cast<uint64_t>(inflated.size()) * 2));
        inflated.reserve(larger + 1);
        inflated.resize(larger);
        grew = true;
    }
    const uLong produced = stream.total_out;
    if (produced > ZipReader::kMaxEntryBytes)
        return false;
    // A stream that stops short (cut) keeps what it produced, as before it grew.
    if (result != Z_STREAM_END && result != Z_OK && !(result == Z_BUF_ERROR && grew))
        return false;
    // The data are exactly the bytes the stream produced.
    inflated.resize(produced);
    if (inflated.capacity() < produced + 1)
        inflated.reserve(produced + 1);
    out->Assign(std::move(inflated));
    return true;
}

int ZipReader::FindEntry(const wchar_t* pattern, int start) const {
    if (!IsOpen())
        return kNone;
    for (int i = std::max(start, 0); i < EntryCount(); ++i) {
        const uint8_t* e = directory.data() + entries[static_cast<size_t>(i)];
        const int nameLength = Le16(e + 28);
        // A name that does not fit the 260-character buffer never matches.
        if (nameLength >= MAX_PATH)
            continue;
        wchar_t name[MAX_PATH] = {};
        if (nameLength > 0 &&
            MultiByteToWideChar(CP_OEMCP, 0, reinterpret_cast<const char*>(e + kDirectoryEntrySize),
                                nameLength, name, MAX_PATH - 1) == 0)
            continue;
        if (MatchPathPattern(name, pattern))
            return i;
    }
    return kNone;
}
