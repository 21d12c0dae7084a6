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
}  // namespace

constexpr char CDeviceFinder::kQuery[];

CDeviceFinder::CDeviceFinder()
    : m_nPort(kPort)
{
}

bool CDeviceFinder::Open()
{
    m_bOpen = false;
    m_hSocket = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (m_hSocket == INVALID_SOCKET)
        return false;

    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = 0;
    if (::bind(m_hSocket, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR)
    {
        ::closesocket(m_hSocket);
        m_hSocket = INVALID_SOCKET;
        return false;
    }
    m_bOpen = true;

    const int allow = 1;
    ::setsockopt(m_hSocket, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&allow), sizeof allow);
    m_hReceiver = AfxBeginThread(ReceiverThreadProc, this);
    return m_bOpen;
}

void CDeviceFinder::Close()
{
    ::closesocket(m_hSocket);
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

void CDeviceFinder::Broadcast(const char* text)
{
    char hostName[kHostNameSize] = {};
    if (::gethostname(hostName, kHostNameSize) == SOCKET_ERROR)
        return;
    const hostent* host = ::gethostbyname(hostName);
    if (!host || !host->h_addr_list)
        return;

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = ::inet_addr("255.255.255.255");
    to.sin_port = htons(static_cast<u_short>(m_nPort));
    const int length = static_cast<int>(std::strlen(text));
    // Once per local address, yet all through the one socket to the one
    // destination: the system picks the interface; the count is what devices see.
    for (char** addr = host->h_addr_list; *addr; ++addr)
        ::sendto(m_hSocket, text, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

unsigned __stdcall CDeviceFinder::ReceiverThreadProc(void* pParam)
{
    static_cast<CDeviceFinder*>(pParam)->Receive();
    return 0;
}

void CDeviceFinder::Receive()
{
    int left = kResultsSize;
    u_long nonBlocking = 1;
    ::ioctlsocket(m_hSocket, FIONBIO, &nonBlocking);

    char datagram[kReceiveSize];
    while (m_bOpen)
    {
        // Waits with a timeout, not in a blocking receive: a receive blocked
        // on a socket that another thread closes is not woken on every stack.
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(m_hSocket, &readable);
        timeval wait{0, kWaitUs};
        if (::select(0, &readable, nullptr, nullptr, &wait) <= 0)
            continue;
        sockaddr_in from{};
        int fromLength = sizeof from;
        const int got =
            ::recvfrom(m_hSocket, datagram, kReceiveSize, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got <= 0)
            continue;
        if (left < kMinRoomLeft)
            break;
        const char* address = ::inet_ntoa(from.sin_addr);
        const int length = static_cast<int>(std::strlen(address));
        ::StringCchPrintfA(m_pCursor, static_cast<size_t>(left), "%s@", address);
        m_pCursor += length + 1;
        left -= length + 1;
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
