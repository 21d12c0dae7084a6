// Windows Sockets 2 only for the interface list: the program still starts
// and uses version 1.1, and the call lives in ws2_32, a KnownDLL.
#include "Networks.h"

namespace
{
// Far more than a PC has; the list says so when it does not fit.
constexpr int kMaxInterfaces = 64;
}  // namespace

bool InterfaceRoute(const INTERFACE_INFO& item, CDeviceFinder::Route& route, std::string& why)
{
    if (!(item.iiFlags & IFF_UP) || (item.iiFlags & IFF_LOOPBACK) || item.iiAddress.Address.sa_family != AF_INET)
        return false;
    const in_addr local = item.iiAddress.AddressIn.sin_addr;
    const u_long mask = item.iiNetmask.AddressIn.sin_addr.s_addr;
    // A point-to-point link (a VPN's, mostly) has no network to broadcast
    // on, and its far end rarely passes broadcasts on.
    if ((item.iiFlags & IFF_POINTTOPOINT) || mask == INADDR_BROADCAST)
    {
        why = std::string(::inet_ntoa(local)) + ": a point-to-point link, with no broadcast address";
        return false;
    }
    route = CDeviceFinder::Route{};
    route.local = local;
    route.destination.s_addr = local.s_addr | ~mask;
    return true;
}

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
        CDeviceFinder::Route route;
        std::string why;
        if (InterfaceRoute(list[i], route, why))
            routes.push_back(route);
        else if (!why.empty())
            skipped.push_back(why);
    }
    return true;
}
