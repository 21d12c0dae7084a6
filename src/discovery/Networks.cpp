// Windows Sockets 2 only for the interface list: the program still starts
// and uses version 1.1, and the call lives in ws2_32, a KnownDLL.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "Networks.h"

#include "framework/Sockets.h"

namespace
{
// Far more than a PC has; the list says so when it does not fit.
constexpr int kMaxInterfaces = 64;
}  // namespace

bool NetworkRoutes(std::vector<CDeviceFinder::Route>& routes, std::vector<std::string>& skipped)
{
    const CSocketHandle socket(::socket(AF_INET, SOCK_DGRAM, 0));
    INTERFACE_INFO list[kMaxInterfaces] = {};
    DWORD bytes = 0;
    if (!socket.IsValid() || ::WSAIoctl(socket.Get(), SIO_GET_INTERFACE_LIST, nullptr, 0, list, sizeof list, &bytes,
                                        nullptr, nullptr) == SOCKET_ERROR)
    {
        skipped.push_back("the list of networks cannot be read (Windows Sockets error " +
                          std::to_string(::WSAGetLastError()) + ")");
        return false;
    }
    for (DWORD i = 0; i < bytes / sizeof(INTERFACE_INFO); ++i)
    {
        const INTERFACE_INFO& item = list[i];
        if (!(item.iiFlags & IFF_UP) || (item.iiFlags & IFF_LOOPBACK) || item.iiAddress.Address.sa_family != AF_INET)
            continue;
        const in_addr local = item.iiAddress.AddressIn.sin_addr;
        const u_long mask = item.iiNetmask.AddressIn.sin_addr.s_addr;
        // A point-to-point link (a VPN's, mostly) has no network to broadcast
        // on, and its far end rarely passes broadcasts on.
        if ((item.iiFlags & IFF_POINTTOPOINT) || mask == INADDR_BROADCAST)
        {
            skipped.push_back(std::string(::inet_ntoa(local)) + ": a point-to-point link, with no broadcast address");
            continue;
        }
        in_addr broadcast{};
        broadcast.s_addr = local.s_addr | ~mask;
        routes.push_back({local, broadcast});
    }
    return true;
}
