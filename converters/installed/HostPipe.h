// The pipe between the program and one filter host: a name no other process
// can guess, a security descriptor that lets the current user alone open
// it, and the check that the process at the other end is the host itself.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A pipe name with 128 random bits, as \\.\pipe\mirlock-filterhost-HEX;
// empty when the system has no random bits to give.
std::wstring RandomHostPipeName();

// Security attributes whose descriptor grants full access to the user of
// this process's token and to nobody else. Not valid when the token could
// not be read (Valid() false): callers then refuse to make the pipe.
class OwnerOnlySecurity {
public:
    OwnerOnlySecurity();
    OwnerOnlySecurity(const OwnerOnlySecurity&) = delete;
    OwnerOnlySecurity& operator=(const OwnerOnlySecurity&) = delete;

    bool Valid() const { return valid; }
    SECURITY_ATTRIBUTES* Attributes() { return valid ? &attributes : nullptr; }
    const SECURITY_DESCRIPTOR* Descriptor() const { return &descriptor; }

private:
    std::vector<unsigned char> user;  // the TOKEN_USER, the SID inside it
    std::vector<unsigned char> acl;
    SECURITY_DESCRIPTOR descriptor{};
    SECURITY_ATTRIBUTES attributes{};
    bool valid = false;
};

// True when the client at the other end of the connected `pipe` runs as
// process `expected`.
bool PipeClientIs(HANDLE pipe, DWORD expected);
