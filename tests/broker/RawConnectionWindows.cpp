#include "RawConnection.h"

#include <windows.h>

#include <atomic>

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
