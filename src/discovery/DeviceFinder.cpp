#include "DeviceFinder.h"

#include "framework/Thread.h"

#include <strsafe.h>

#include <cstring>

namespace
{
constexpr int kQueryBufferSize = 50;
constexpr int kHostNameSize = 100;
constexpr int kReceiveSize = 1024;
// How long the receiver waits for a datagram before it looks at the open flag again.
constexpr long kWaitUs = 15000;
// The longest append: 15 address characters, '@' and the terminator.
constexpr int kMinRoomLeft = 20;
// Room in the system for a whole burst of answers, should the receiver be
// kept from running for a while.
constexpr int kReceiveBufferBytes = 256 * 1024;

sockaddr_in SocketAddress(in_addr address, int port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr = address;
    sa.sin_port = htons(static_cast<u_short>(port));
    return sa;
}

// What failed on the socket of local, with the error of the call that failed.
std::string Failure(in_addr local, const char* what)
{
    const int error = ::WSAGetLastError();
    return std::string(::inet_ntoa(local)) + ": " + what + " (Windows Sockets error " + std::to_string(error) + ")";
}
}  // namespace

constexpr char CDeviceFinder::kQuery[];

CDeviceFinder::CDeviceFinder()
    : m_nPort(kPort)
{
}

bool CDeviceFinder::Open()
{
    in_addr any{};
    any.s_addr = htonl(INADDR_ANY);
    in_addr broadcast{};
    broadcast.s_addr = htonl(INADDR_BROADCAST);
    return OpenRoutes({{any, broadcast}}, nullptr);
}

bool CDeviceFinder::OpenRoutes(const std::vector<Route>& routes, std::vector<std::string>* failures)
{
    m_bOpen = false;
    for (const Route& route : routes)
    {
        // The receiver waits on every socket at once, and a wait takes so many.
        if (m_sockets.size() == FD_SETSIZE)
        {
            if (failures)
                failures->push_back(std::string(::inet_ntoa(route.local)) + ": too many networks");
            continue;
        }
        CSocketHandle socket(::socket(AF_INET, SOCK_DGRAM, 0));
        const sockaddr_in local = SocketAddress(route.local, 0);
        if (!socket.IsValid() ||
            ::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR)
        {
            if (failures)
                failures->push_back(Failure(route.local, "cannot be bound"));
            continue;
        }
        const int allow = 1;
        ::setsockopt(socket.Get(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&allow), sizeof allow);
        // A system that refuses the size keeps its default.
        ::setsockopt(socket.Get(), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&kReceiveBufferBytes),
                     sizeof kReceiveBufferBytes);
        m_handles.push_back(socket.Get());
        m_sockets.push_back(std::move(socket));
        m_routes.push_back(route);
    }
    if (m_sockets.empty())
        return false;
    m_bOpen = true;
    m_hReceiver = AfxBeginThread(ReceiverThreadProc, this);
    return m_bOpen;
}

void CDeviceFinder::Close()
{
    for (CSocketHandle& socket : m_sockets)
        socket.Close();
    m_bOpen = false;
}

void CDeviceFinder::Discover(char* results)
{
    m_pCursor = results;
    if (Open())
    {
        char query[kQueryBufferSize] = {};
        ::StringCchCopyA(query, kQueryBufferSize, kQuery);
        Broadcast(query);
    }
    Collect();
}

int CDeviceFinder::Discover(char* results, const std::vector<Route>& routes, std::vector<std::string>& failures)
{
    m_pCursor = results;
    int sent = 0;
    if (OpenRoutes(routes, &failures))
    {
        for (size_t i = 0; i < m_sockets.size(); ++i)
        {
            const sockaddr_in to = SocketAddress(m_routes[i].destination, m_nPort);
            if (::sendto(m_sockets[i].Get(), kQuery, static_cast<int>(std::strlen(kQuery)), 0,
                         reinterpret_cast<const sockaddr*>(&to), sizeof to) == SOCKET_ERROR)
                failures.push_back(Failure(m_routes[i].local, "cannot send"));
            else
                ++sent;
        }
    }
    Collect();
    return sent;
}

void CDeviceFinder::Collect()
{
    if (m_bOpen)
    {
        // Every answer arriving in the window counts, so it runs its full length.
        ::Sleep(kCollectMs);
        Close();
    }
    // Kept although the receiver is waited for below: a pass has always
    // lasted window plus settle, and callers rely on that length.
    ::Sleep(kSettleMs);
    // The receiver sees the cleared flag long before this; waiting makes sure
    // it never touches this finder or the results after we return.
    if (m_hReceiver)
    {
        ::WaitForSingleObject(m_hReceiver, INFINITE);
        ::CloseHandle(m_hReceiver);
        m_hReceiver = nullptr;
    }
}

in_addr CDeviceFinder::Via(int n) const
{
    return m_routes[m_answerRoute[n]].local;
}

void CDeviceFinder::Broadcast(const char* text)
{
    char hostName[kHostNameSize] = {};
    if (::gethostname(hostName, kHostNameSize) == SOCKET_ERROR)
        return;
    const hostent* host = ::gethostbyname(hostName);
    if (!host || !host->h_addr_list)
        return;

    const sockaddr_in to = SocketAddress(m_routes[0].destination, m_nPort);
    const int length = static_cast<int>(std::strlen(text));
    // Once per local address, yet all through the one socket to the one
    // destination: the system picks the interface; the count is what devices see.
    for (char** addr = host->h_addr_list; *addr; ++addr)
        ::sendto(m_sockets[0].Get(), text, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

unsigned __stdcall CDeviceFinder::ReceiverThreadProc(void* pParam)
{
    static_cast<CDeviceFinder*>(pParam)->Receive();
    return 0;
}

void CDeviceFinder::Receive()
{
    int left = kResultsSize;
    for (const SOCKET hSocket : m_handles)
    {
        u_long nonBlocking = 1;
        ::ioctlsocket(hSocket, FIONBIO, &nonBlocking);
    }

    char datagram[kReceiveSize];
    while (m_bOpen)
    {
        // Waits with a timeout, not in a blocking receive: a receive blocked
        // on a socket that another thread closes is not woken on every stack.
        fd_set readable;
        FD_ZERO(&readable);
        for (const SOCKET hSocket : m_handles)
            FD_SET(hSocket, &readable);
        timeval wait{0, kWaitUs};
        if (::select(0, &readable, nullptr, nullptr, &wait) <= 0)
            continue;
        for (size_t route = 0; route < m_handles.size(); ++route)
        {
            if (!FD_ISSET(m_handles[route], &readable))
                continue;
            sockaddr_in from{};
            int fromLength = sizeof from;
            const int got = ::recvfrom(m_handles[route], datagram, kReceiveSize, 0, reinterpret_cast<sockaddr*>(&from),
                                       &fromLength);
            if (got <= 0)
                continue;
            if (left < kMinRoomLeft)
                return;
            const char* address = ::inet_ntoa(from.sin_addr);
            const int length = static_cast<int>(std::strlen(address));
            ::StringCchPrintfA(m_pCursor, static_cast<size_t>(left), "%s@", address);
            m_pCursor += length + 1;
            left -= length + 1;
            m_answerRoute[m_nAnswers++] = static_cast<unsigned char>(route);
        }
    }
}

char* CDeviceFinder::NextEntry(char* pos, char* entry)
{
    if (!pos)
        return nullptr;
    const size_t length = std::strlen(pos);
    if (length < kMinEntryLength)
        return nullptr;
    const char* at = static_cast<const char*>(std::memchr(pos, '@', length));
    const size_t n = at ? static_cast<size_t>(at - pos) : length;
    std::memcpy(entry, pos, n < kEntrySize - 1 ? n : kEntrySize - 1);
    return at ? pos + n + 1 : nullptr;
}

std::vector<std::string> CDeviceFinder::Devices(char* results)
{
    std::vector<std::string> devices;
    char* pos = results;
    do
    {
        char entry[kEntrySize] = {};
        pos = NextEntry(pos, entry);
        if (std::strlen(entry) > kMinEntryLength)
            devices.push_back(entry);
    } while (pos);
    return devices;
}
