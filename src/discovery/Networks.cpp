// Windows Sockets 2 only for the interface list: the program still starts
// and uses version 1.1, and the call lives in ws2_32, a KnownDLL.
#include "Networks.h"

namespace
{
// Far more than a PC has; the list says so when it does not fit.
constexpr int kMaxInterfaces = 64;

u_long Mask(const INTERFACE_INFO& item)
{
    return item.iiNetmask.AddressIn.sin_addr.s_addr;
}

// Networks of /30 and wider; on a /31 and a /32 every address is a host's.
bool HasBroadcastAddress(const INTERFACE_INFO& item)
{
    return ntohl(Mask(item)) < 0xFFFFFFFEu;
}
}  // namespace

bool InterfaceRoute(const INTERFACE_INFO& item, CDeviceFinder::Route& route, std::string& why)
{
    if (!(item.iiFlags & IFF_UP) || (item.iiFlags & IFF_LOOPBACK) || item.iiAddress.Address.sa_family != AF_INET)
        return false;
    const in_addr local = item.iiAddress.AddressIn.sin_addr;
    // A point-to-point link (a VPN's, mostly) has no network to broadcast
    // on, and its far end rarely passes broadcasts on.
    if (item.iiFlags & IFF_POINTTOPOINT)
    {
        why = AddressText(local) + ": a point-to-point link, with no broadcast address";
        return false;
    }
    route = CDeviceFinder::Route{};
    route.local = local;
    // A /31 (two hosts, both usable) or a /32 has no broadcast address of
    // its own: the limited broadcast leaves through its interface all the same.
    route.destination.s_addr = HasBroadcastAddress(item) ? local.s_addr | ~Mask(item) : htonl(INADDR_BROADCAST);
    return true;
}

void InterfaceRoutes(const std::vector<INTERFACE_INFO>& interfaces, std::vector<CDeviceFinder::Route>& routes,
                     std::vector<std::string>& skipped)
{
    for (const INTERFACE_INFO& item : interfaces)
    {
        CDeviceFinder::Route route;
        std::string why;  // each interface's own reason, if it has one
        if (InterfaceRoute(item, route, why))
            routes.push_back(route);
        else if (!why.empty())
            skipped.push_back(why);
    }
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
    InterfaceRoutes(interfaces, routes, skipped);
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
        if (!InterfaceRoute(item, route, why) || !HasBroadcastAddress(item))
            continue;
        const u_long mask = Mask(item);
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
        return std::string("the ") + edge + " address of this PC's network " + AddressText(network) + "/" +
               std::to_string(prefix);
    }
    return "";
}
