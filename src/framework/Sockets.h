// Windows Sockets start-up for the whole process.
#pragma once

#include <winsock2.h>

#include <string>

using SocketsStartupFn = int(PASCAL*)(WORD wVersionRequested, LPWSADATA lpWSAData);
using SocketsCleanupFn = int(PASCAL*)();

// Asks for version 1.1 and succeeds only when exactly 1.1 is granted. A layer
// that granted another version is released again; a failed request is not.
// The socket layer is otherwise left to the end of the process.
bool AfxSocketInit(SocketsStartupFn startup = ::WSAStartup, SocketsCleanupFn cleanup = ::WSACleanup);

// "Windows Sockets error N: the system's text", as Windows' own tools say
// it; the number alone when the system has no text for it.
std::string SocketErrorText(int error);

// address as dotted text ("192.168.1.5"). Unlike inet_ntoa it shares no
// buffer, so two in one expression cannot overwrite each other.
std::string AddressText(in_addr address);

// Owns one socket: closes it on Close or when it goes, whichever is first,
// so that no path can leave it open.
class CSocketHandle
{
public:
    CSocketHandle() = default;
    explicit CSocketHandle(SOCKET hSocket)
        : m_hSocket(hSocket)
    {
    }
    ~CSocketHandle() { Close(); }
    CSocketHandle(CSocketHandle&& other) noexcept
        : m_hSocket(other.Detach())
    {
    }
    CSocketHandle& operator=(CSocketHandle&& other) noexcept
    {
        if (this != &other)
        {
            Close();
            m_hSocket = other.Detach();
        }
        return *this;
    }
    CSocketHandle(const CSocketHandle&) = delete;
    CSocketHandle& operator=(const CSocketHandle&) = delete;

    SOCKET Get() const { return m_hSocket; }
    bool IsValid() const { return m_hSocket != INVALID_SOCKET; }
    void Close()
    {
        if (IsValid())
            ::closesocket(Detach());
    }

private:
    SOCKET Detach()
    {
        const SOCKET hSocket = m_hSocket;
        m_hSocket = INVALID_SOCKET;
        return hSocket;
    }

    SOCKET m_hSocket = INVALID_SOCKET;
};
