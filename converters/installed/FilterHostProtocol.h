// What the program and its filter host (mirlock-filterhost.exe) say to each
// other over one pipe: one request per file, one reply per request.
//
// The host is started as
//   mirlock-filterhost.exe PIPE PARENT
// where PIPE is the name of the pipe the program created and waits on, and
// PARENT the program's process id (the host ends when the program does).
// A request is a FilterHostRequest followed by the file's path in UTF-16
// (`pathUnits` units, no NUL); the reply a FilterHostReply followed by the
// text in UTF-16 (`units` units, no NUL), folded as the chunk rules have it.
#pragma once

#include <cstdint>

constexpr wchar_t kFilterHostProgram[] = L"mirlock-filterhost.exe";

constexpr uint32_t kFilterRequestMagic = 0x51524C4D;  // "MLRQ"
constexpr uint32_t kFilterReplyMagic = 0x50524C4D;    // "MLRP"
// A path longer than this is no request (the verbatim form's limit).
constexpr uint32_t kFilterHostMaxPathUnits = 32767;

// A reply longer than this is refused: the search takes at most 2^31 - 1
// units of text from a file.
constexpr uint64_t kFilterReplyMaxUnits = 0x7FFFFFFF;

struct FilterHostRequest {
    uint32_t magic = kFilterRequestMagic;
    uint32_t pathUnits = 0;
};

// The reply's outcome: the values of FilterRead.
struct FilterHostReply {
    uint32_t magic = kFilterReplyMagic;
    uint32_t outcome = 0;
    uint64_t units = 0;
};
