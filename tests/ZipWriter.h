// Writes zip archives record by record, so that tests can produce every
// layout the reader must handle, broken ones included.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ZipEntryLayout {
    std::string name;
    std::string data;
    uint16_t method = 8;  // 0 stored, 8 deflated; any other value stores the bytes under it
    uint16_t flags = 0;   // bit 0 encrypted, bit 3 sizes in a data descriptor
    bool descriptorSignature = true;
    std::optional<uint32_t> headerCompressedSize;    // what the local header claims
    std::optional<uint32_t> headerUncompressedSize;
    std::optional<std::string> compressed;  // the bytes written in place of the real ones
};

struct ZipLayout {
    std::vector<ZipEntryLayout> entries;
    std::string comment;          // the archive comment after the end record
    std::string trailing;         // bytes after the comment, not counted by it
    uint16_t startDisk = 0;
    std::optional<uint32_t> directorySize;  // what the end record claims
    // The order of the directory's records, as indexes into `entries`; empty
    // for the order the entries stand in the file.
    std::vector<int> directoryOrder;
};

std::string BuildZip(const ZipLayout& layout);

// Raw deflate (no zlib header) of `data`.
std::string Deflate(const std::string& data);
