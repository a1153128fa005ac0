// The filter host pipe's name, its security and the check on its client.
#include "converters/installed/HostPipe.h"

#include "base/RandomName.h"

namespace {

std::vector<unsigned char> TokenUserOfProcess() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    const bool read = size != 0 && GetTokenInformation(token, TokenUser, user.data(), size, &size);
    CloseHandle(token);
    if (!read)
        user.clear();
    return user;
}

}  // namespace

std::wstring RandomHostPipeName() {
    const std::wstring bits = RandomHex(16);
    return bits.empty() ? bits : L"\\\\.\\pipe\\mirlock-filterhost-" + bits;
}

OwnerOnlySecurity::OwnerOnlySecurity() : user(TokenUserOfProcess()) {
    if (user.empty())
        return;
    PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    if (!IsValidSid(sid))
        return;
    const DWORD aclBytes = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sid);
    acl.resize(aclBytes);
    PACL list = reinterpret_cast<PACL>(acl.data());
    // One entry: the user. No inherited or default entries, so the system,
    // administrators and other accounts of this machine get nothing.
    valid = InitializeAcl(list, aclBytes, ACL_REVISION) && AddAccessAllowedAce(list, ACL_REVISION, GENERIC_ALL, sid) &&
            InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
            SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE) &&
            SetSecurityDescriptorOwner(&descriptor, sid, FALSE);
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = &descriptor;
    attributes.bInheritHandle = FALSE;
}

bool PipeClientIs(HANDLE pipe, DWORD expected) {
    ULONG client = 0;
    return GetNamedPipeClientProcessId(pipe, &client) && client == expected;
}
