#include "DeviceFinder.h"

#include "framework/Thread.h"

#include <strsafe.h>

#include <cstring>

namespace
{
constexpr int kQueryLength = sizeof CDeviceFinder::kQuery - 1;  // no terminator on the wire
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

void Report(std::vector<std::string>* failures, const std::string& what)
{
    if (failures)
        failures->push_back(what + " (Windows Sockets error " + std::to_string(::WSAGetLastError()) + ")");
}

std::string Text(in_addr address)
{
    return ::inet_ntoa(address);
}

// How many IPv4 addresses the host has: 0 when its name does not resolve.
int HostAddressCount(std::vector<std::string>* failures)
{
    char hostName[kHostNameSize] = {};
    const hostent* host = ::gethostname(hostName, kHostNameSize) == SOCKET_ERROR ? nullptr : ::gethostbyname(hostName);
    int count = 0;
    for (char** addr = host ? host->h_addr_list : nullptr; addr && *addr; ++addr)
        ++count;
    if (count == 0)
        Report(failures, "this PC's name has no IPv4 address");
    return count;
}
}  // namespace

constexpr char CDeviceFinder::kQuery[];

CDeviceFinder::CDeviceFinder()
    : m_nPort(kPort)
{
}

CDeviceFinder::Route CDeviceFinder::BroadcastRoute()
{
    Route route{};
    route.local.s_addr = htonl(INADDR_ANY);
    route.destination.s_addr = htonl(INADDR_BROADCAST);
    route.oncePerHostAddress = true;
    return route;
}

int CDeviceFinder::Discover(char* results, const std::vector<Route>& routes, std::vector<std::string>* failures)
{
    m_pCursor = results;
    int sent = 0;
    if (Open(routes, failures))
    {
        sent = Broadcast(failures);
        // Every answer arriving in the window counts, so it runs its full length.
        ::Sleep(kCollectMs);
        m_bOpen = false;  // the receiver sees it within one wait
    }
    // A pass has always lasted window plus settle, and callers rely on that length.
    ::Sleep(kSettleMs);
    Close();
    return sent;
}

bool CDeviceFinder::Open(const std::vector<Route>& routes, std::vector<std::string>* failures)
{
    m_bOpen = false;
    for (const Route& route : routes)
    {
        // The receiver waits on every socket at once, and a wait takes so many.
        if (m_channels.size() == FD_SETSIZE)
        {
            if (failures)
                failures->push_back(Text(route.local) + ": too many networks");
            continue;
        }
        CSocketHandle socket(::socket(AF_INET, SOCK_DGRAM, 0));
        const sockaddr_in local = SocketAddress(route.local, 0);
        if (!socket.IsValid() ||
            ::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR)
        {
            Report(failures, Text(route.local) + (socket.IsValid() ? ": cannot be bound" : ": no socket"));
            continue;
        }
        const int allow = 1;
        ::setsockopt(socket.Get(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&allow), sizeof allow);
        // A system that refuses the size keeps its default.
        ::setsockopt(socket.Get(), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&kReceiveBufferBytes),
                     sizeof kReceiveBufferBytes);
        m_channels.push_back({std::move(socket), route});
    }
    if (m_channels.empty())
        return false;
    m_bOpen = true;
    m_hReceiver = AfxBeginThread(ReceiverThreadProc, this);
    return true;
}

int CDeviceFinder::Broadcast(std::vector<std::string>* failures)
{
    int sent = 0;
    for (const Channel& channel : m_channels)
    {
        const int copies = channel.route.oncePerHostAddress ? HostAddressCount(failures) : 1;
        const sockaddr_in to = SocketAddress(channel.route.destination, m_nPort);
        bool failed = false;
        for (int i = 0; i < copies; ++i)
        {
            if (::sendto(channel.socket.Get(), kQuery, kQueryLength, 0, reinterpret_cast<const sockaddr*>(&to),
                         sizeof to) != SOCKET_ERROR)
                ++sent;
            else if (!failed)
            {
                failed = true;
                Report(failures, Text(channel.route.local) + ": cannot send to " + Text(channel.route.destination));
            }
        }
    }
    return sent;
}

void CDeviceFinder::Close()
{
    // Never close a socket the receiver may still wait on: its sockets are
    // closed only once it has seen the cleared flag and ended.
    if (m_hReceiver)
    {
        ::WaitForSingleObject(m_hReceiver, INFINITE);
        ::CloseHandle(m_hReceiver);
        m_hReceiver = nullptr;
    }
    for (Channel& channel : m_channels)
        channel.socket.Close();
}

in_addr CDeviceFinder::Via(int n) const
{
    return n >= 0 && n < m_nAnswers ? m_channels[m_answerChannel[n]].route.local : in_addr{};
}

unsigned __stdcall CDeviceFinder::ReceiverThreadProc(void* pParam)
{
    static_cast<CDeviceFinder*>(pParam)->Receive();
    return 0;
}

void CDeviceFinder::Receive()
{
    int left = kResultsSize;
    for (const Channel& channel : m_channels)
    {
        u_long nonBlocking = 1;
        ::ioctlsocket(channel.socket.Get(), FIONBIO, &nonBlocking);
    }

    char datagram[kReceiveSize];
    while (m_bOpen)
    {
        // Waits with a timeout, not in a blocking receive, so that it sees
        // the cleared flag soon.
        fd_set readable;
        FD_ZERO(&readable);
        for (const Channel& channel : m_channels)
            FD_SET(channel.socket.Get(), &readable);
        timeval wait{0, kWaitUs};
        if (::select(0, &readable, nullptr, nullptr, &wait) <= 0)
            continue;
        for (size_t n = 0; n < m_channels.size(); ++n)
        {
            const SOCKET hSocket = m_channels[n].socket.Get();
            if (!FD_ISSET(hSocket, &readable))
                continue;
            sockaddr_in from{};
            int fromLength = sizeof from;
            const int got =
                ::recvfrom(hSocket, datagram, kReceiveSize, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (got <= 0)
                continue;
            if (left < kMinRoomLeft)
                return;
            const char* address = ::inet_ntoa(from.sin_addr);
            const int length = static_cast<int>(std::strlen(address));
            ::StringCchPrintfA(m_pCursor, static_cast<size_t>(left), "%s@", address);
            m_pCursor += length + 1;
            left -= length + 1;
            m_answerChannel[m_nAnswers++] = static_cast<unsigned char>(n);
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
