#include "RawConnection.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace {

std::string sidText(PSID sid)
{
    char *text = nullptr;
    if (!ConvertSidToStringSidA(sid, &text))
        return "?";
    std::string result = text;
    LocalFree(text);
    return result;
}

std::string joined(std::vector<std::string> sids)
{
    std::sort(sids.begin(), sids.end());
    std::string result;
    for (const std::string &sid : sids)
        result += (result.empty() ? "" : ";") + sid;
    return result;
}

} // namespace

RawConnection::RawConnection(const std::string &address)
    : m_handle(reinterpret_cast<intptr_t>(CreateFileA(address.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                      OPEN_EXISTING, 0, nullptr)))
{
}

RawConnection::~RawConnection()
{
    close();
}

bool RawConnection::connected() const
{
    return reinterpret_cast<HANDLE>(m_handle) != INVALID_HANDLE_VALUE;
}

bool RawConnection::write(const std::string &bytes)
{
    DWORD written = 0;
    return connected() && WriteFile(reinterpret_cast<HANDLE>(m_handle), bytes.data(), DWORD(bytes.size()), &written, nullptr)
           && written == bytes.size();
}

void RawConnection::close()
{
    if (connected())
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
    m_handle = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
}

// Pipes have no folder: the process id keeps the names of test processes running at once
// apart, the count those of one process.
std::string RawConnection::freshAddress(const std::string &)
{
    static std::atomic<int> s_count{0};
    return "\\\\.\\pipe\\velmord-channel-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++s_count);
}

std::string RawConnection::accessOf(const std::string &address)
{
    // Opening the pipe connects to its waiting instance, whatever access is asked for.
    const HANDLE pipe = CreateFileA(address.c_str(), READ_CONTROL, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE)
        return std::string();
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::vector<std::string> allowed;
    if (GetSecurityInfo(pipe, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl, nullptr, &descriptor)
            == ERROR_SUCCESS
        && acl != nullptr) {
        for (DWORD index = 0; index < acl->AceCount; ++index) {
            void *ace = nullptr;
            if (GetAce(acl, index, &ace) && static_cast<ACE_HEADER *>(ace)->AceType == ACCESS_ALLOWED_ACE_TYPE)
                allowed.push_back(sidText(&static_cast<ACCESS_ALLOWED_ACE *>(ace)->SidStart));
        }
    } else {
        allowed.push_back(acl == nullptr && descriptor != nullptr ? "no access list: everyone" : "?");
    }
    if (descriptor != nullptr)
        LocalFree(descriptor);
    CloseHandle(pipe);
    return joined(allowed);
}

std::string RawConnection::expectedAccess()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return "?";
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<char> buffer(size);
    std::string user = "?";
    if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        user = sidText(reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid);
    CloseHandle(token);
    // S-1-5-32-544: the Administrators group.
    return joined({user, "S-1-5-32-544"});
}
