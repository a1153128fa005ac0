// Reading a whole file into a text-sized global block.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <vector>

// Reads exactly `bytes` bytes; false with the read's error, or
// ERROR_HANDLE_EOF when the file ends first (it shrank while it was read).
bool ReadExactly(HANDLE file, void* buffer, unsigned long long bytes);

// Bytes that the converters of every thread have read from files, for the
// console's --stats; every read of file contents adds to it (atomically: a
// search's workers read at once).
std::atomic<unsigned long long>& BytesReadInProcess();

// Opens `path` for reading (existing file, no sharing) and reads its n bytes
// into a new movable block of 2n + 2 bytes, room for the file read as UTF-16
// or widened later. The bytes are followed by zeros that end them both as
// 8-bit and as UTF-16 text; the rest of the block is left as it was. Null on failure, with the last error set:
// the open's own, ERROR_FILE_TOO_LARGE for 4 GiB or more,
// ERROR_NOT_ENOUGH_MEMORY when 2n + 2 bytes are not to be had (or do not fit
// in 32 bits), the read's own when the read fails or comes up short.
HGLOBAL ReadFileIntoBlock(const wchar_t* path, size_t* size);

// The same rules, but the n bytes go into `buffer` (grown as needed and kept
// by the caller for the next file), followed by two zero bytes. Reusing one
// buffer spares a fresh allocation, and its page faults, for every file.
bool ReadFileIntoBuffer(const wchar_t* path, std::vector<char>* buffer, size_t* size);

// A reused read buffer is kept between files up to KeptBufferBytes; a
// larger one goes back to the system after its file.
void ReleaseLargeBuffer(std::vector<char>* buffer);
