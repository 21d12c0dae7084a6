#include "DeviceFinder.h"

#include <strsafe.h>

#include <cstring>

namespace
{
constexpr int kQueryLength = sizeof CDeviceFinder::kQuery - 1;  // no terminator on the wire
constexpr int kHostNameSize = 100;
constexpr int kReceiveSize = 1024;
// The longest append: 15 address characters, '@' and the terminator.
constexpr int kMinRoomLeft = 20;
// Room in the system for a burst of answers while the receiver cannot run.
constexpr int kReceiveBufferBytes = 256 * 1024;

sockaddr_in SocketAddress(in_addr address, int port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr = address;
    sa.sin_port = htons(static_cast<u_short>(port));
    return sa;
}

// error was read right after the call that failed, before any other call.
void Report(std::vector<std::string>* failures, int error, const std::string& what)
{
    if (failures)
        failures->push_back(what + " (" + SocketErrorText(error) + ")");
}

// A route is named by its local address where it has one.
std::string Where(const CDeviceFinder::Route& route)
{
    return route.local.s_addr == htonl(INADDR_ANY) ? "" : AddressText(route.local) + ": ";
}
}  // namespace

std::string CDeviceFinder::SendFailure(const Route& route)
{
    return Where(route) + "cannot send to " + AddressText(route.destination);
}

CDeviceFinder::CDeviceFinder()
    : m_nPort(kPort)
{
}

std::vector<CDeviceFinder::Route> CDeviceFinder::HostRoutes(std::vector<std::string>* failures)
{
    std::vector<Route> routes;
    char hostName[kHostNameSize] = {};
    const hostent* host = ::gethostname(hostName, kHostNameSize) == SOCKET_ERROR ? nullptr : ::gethostbyname(hostName);
    if (!host)
    {
        const int error = ::WSAGetLastError();
        Report(failures, error, "this PC's name has no IPv4 address");
        return routes;
    }
    for (char** addr = host->h_addr_list; *addr; ++addr)
    {
        Route route{};
        std::memcpy(&route.local, *addr, sizeof route.local);
        route.destination.s_addr = htonl(INADDR_BROADCAST);
        // The loopback (127/8), all that the name of a PC with no network up lists.
        if ((ntohl(route.local.s_addr) >> 24) != 127)
            routes.push_back(route);
    }
    if (routes.empty() && failures)
        failures->push_back("no network is up");
    return routes;
}

int CDeviceFinder::Discover(char* results, const std::vector<Route>& routes, std::vector<std::string>* failures)
{
    // Whatever an earlier pass of this finder left is gone.
    m_channels.clear();
    m_routeErrors.assign(routes.size(), 0);
    m_nAnswers = 0;
    m_nReceiveError = 0;
    m_pCursor = results;
    int sent = 0;
    if (Open(routes, failures))
    {
        sent = Broadcast(failures);
        // Every answer arriving in the window counts, so it runs its full length.
        const long windowLeft = static_cast<long>(m_dwWindowEnd - ::GetTickCount());
        ::Sleep(windowLeft > 0 ? static_cast<DWORD>(windowLeft) : 0);
    }
    // A pass has always lasted window plus settle, and callers rely on that length.
    ::Sleep(kSettleMs);
    Close();
    if (m_nReceiveError)
        Report(failures, m_nReceiveError, "the rest of the window: the wait for answers failed");
    return sent;
}

bool CDeviceFinder::Open(const std::vector<Route>& routes, std::vector<std::string>* failures)
{
    for (size_t index = 0; index < routes.size(); ++index)
    {
        const Route& route = routes[index];
        // The receiver waits on every socket at once, and a wait takes so many.
        const bool room = m_channels.size() < FD_SETSIZE;
        CSocketHandle socket(room ? ::socket(AF_INET, SOCK_DGRAM, 0) : INVALID_SOCKET);
        const sockaddr_in local = SocketAddress(route.local, 0);
        if (!socket.IsValid() ||
            ::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR)
        {
            const int error = room ? ::WSAGetLastError() : WSAEMFILE;
            Report(failures, error, Where(route) + (socket.IsValid() ? "cannot be bound" : "no socket"));
            m_routeErrors[index] = error;
            continue;
        }
        const int allow = 1;
        ::setsockopt(socket.Get(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&allow), sizeof allow);
        // A system that refuses the size keeps its default.
        ::setsockopt(socket.Get(), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&kReceiveBufferBytes),
                     sizeof kReceiveBufferBytes);
        // Before the first send: a socket's mode never changes while a send may be under way.
        u_long nonBlocking = 1;
        ::ioctlsocket(socket.Get(), FIONBIO, &nonBlocking);
        m_channels.push_back({std::move(socket), route, index});
    }
    if (m_channels.empty())
        return false;
    m_dwWindowEnd = ::GetTickCount() + kCollectMs;
    if (!m_receiver.Begin(ReceiverThreadProc, this))
    {
        // No answer could be read: nothing is asked.
        if (failures)
            failures->push_back("the receiver of answers could not start");
        for (const Channel& channel : m_channels)
            m_routeErrors[channel.index] = WSAENOTSOCK;
        m_channels.clear();
        return false;
    }
    m_bOpen = true;
    return true;
}

int CDeviceFinder::Broadcast(std::vector<std::string>* failures)
{
    int sent = 0;
    for (const Channel& channel : m_channels)
    {
        const sockaddr_in to = SocketAddress(channel.route.destination, m_nPort);
        if (::sendto(channel.socket.Get(), kQuery, kQueryLength, 0, reinterpret_cast<const sockaddr*>(&to),
                     sizeof to) != SOCKET_ERROR)
            ++sent;
        else
        {
            const int error = ::WSAGetLastError();
            Report(failures, error, SendFailure(channel.route));
            m_routeErrors[channel.index] = error;
        }
    }
    return sent;
}

void CDeviceFinder::Close()
{
    // Never close a socket the receiver may still wait on.
    m_receiver.Join();
    for (Channel& channel : m_channels)
        channel.socket.Close();
    m_bOpen = false;
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

// Sleeps until a datagram arrives or the window ends, whichever is first.
void CDeviceFinder::Receive()
{
    int left = kResultsSize;
    char datagram[kReceiveSize];
    for (;;)
    {
        const long waitMs = static_cast<long>(m_dwWindowEnd - ::GetTickCount());
        if (waitMs <= 0)
            return;
        fd_set readable;
        FD_ZERO(&readable);
        for (const Channel& channel : m_channels)
            FD_SET(channel.socket.Get(), &readable);
        timeval wait{waitMs / 1000, waitMs % 1000 * 1000};
        if (::select(0, &readable, nullptr, nullptr, &wait) == SOCKET_ERROR)
        {
            m_nReceiveError = ::WSAGetLastError();  // the pass reads it once this thread has ended
            return;
        }
        for (size_t n = 0; n < m_channels.size(); ++n)
        {
            const SOCKET hSocket = m_channels[n].socket.Get();
            if (!FD_ISSET(hSocket, &readable))
                continue;
            sockaddr_in from{};
            int fromLength = sizeof from;
            const int got =
                ::recvfrom(hSocket, datagram, kReceiveSize, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
            // An ICMP port unreachable for one of our queries makes this
            // fail with WSAECONNRESET; an oversized datagram (WSAEMSGSIZE)
            // and an empty one are no answers. None of them ends the window
            // for the answers still on their way.
            if (got <= 0)
                continue;
            if (left < kMinRoomLeft)
                return;
            const std::string address = AddressText(from.sin_addr);
            const int length = static_cast<int>(address.size());
            ::StringCchPrintfA(m_pCursor, static_cast<size_t>(left), "%s@", address.c_str());
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
