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

namespace
{
// The interface list; false, with why, when it cannot be read.
bool ReadInterfaces(std::vector<INTERFACE_INFO>& interfaces, std::string& why)
{
    const CSocketHandle socket(::socket(AF_INET, SOCK_DGRAM, 0));
    INTERFACE_INFO list[kMaxInterfaces] = {};
    DWORD bytes = 0;
    if (!socket.IsValid() || ::WSAIoctl(socket.Get(), SIO_GET_INTERFACE_LIST, nullptr, 0, list, sizeof list, &bytes,
                                        nullptr, nullptr) == SOCKET_ERROR)
    {
        const int error = ::WSAGetLastError();
        why = "the list of networks cannot be read (" + SocketErrorText(error) + ")";
        return false;
    }
    interfaces.assign(list, list + bytes / sizeof(INTERFACE_INFO));
    return true;
}
}  // namespace

bool NetworkRoutes(std::vector<CDeviceFinder::Route>& routes, std::vector<std::string>& skipped)
{
    std::vector<INTERFACE_INFO> interfaces;
    std::string why;
    if (!ReadInterfaces(interfaces, why))
    {
        skipped.push_back(why);
        return false;
    }
    for (const INTERFACE_INFO& item : interfaces)
    {
        CDeviceFinder::Route route;
        why.clear();
        if (InterfaceRoute(item, route, why))
            routes.push_back(route);
        else if (!why.empty())
            skipped.push_back(why);
    }
    return true;
}

std::string OwnNetworkEdge(in_addr address)
{
    std::vector<INTERFACE_INFO> interfaces;
    std::string why;
    ReadInterfaces(interfaces, why);
    for (const INTERFACE_INFO& item : interfaces)
    {
        CDeviceFinder::Route route;
        if (!InterfaceRoute(item, route, why))
            continue;
        const u_long mask = item.iiNetmask.AddressIn.sin_addr.s_addr;
        in_addr network{};
        network.s_addr = route.local.s_addr & mask;
        const char* edge = address.s_addr == route.destination.s_addr ? "broadcast"
                           : address.s_addr == network.s_addr         ? "network"
                                                                      : nullptr;
        if (!edge)
            continue;
        int prefix = 0;
        for (u_long bits = ntohl(mask); bits & 0x80000000u; bits <<= 1)
            ++prefix;
        return std::string("the ") + edge + " address of this PC's network " + ::inet_ntoa(network) + "/" +
               std::to_string(prefix);
    }
    return "";
}
