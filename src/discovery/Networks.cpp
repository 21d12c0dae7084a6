// Windows Sockets 2 only for the interface list: the program still starts
// and uses version 1.1, and the call lives in ws2_32, a KnownDLL.
#include "Networks.h"

#include "Ipv4.h"

namespace
{
// Far more than a PC has; the list says so when it does not fit.
constexpr int kMaxInterfaces = 64;

CIpv4 Network(const INTERFACE_INFO& item)
{
    return CIpv4::WithMask(item.iiAddress.AddressIn.sin_addr, item.iiNetmask.AddressIn.sin_addr);
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
    const CIpv4 network = Network(item);
    route.destination = network.HasBroadcast() ? CIpv4::InAddr(network.Broadcast()) : CIpv4::InAddr(INADDR_BROADCAST);
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
        const CIpv4 network = Network(item);
        if (!InterfaceRoute(item, route, why) || !network.HasBroadcast())
            continue;
        const uint32_t number = CIpv4(address).Number();
        const char* edge = number == network.Broadcast() ? "broadcast"
                           : number == network.Network() ? "network"
                                                         : nullptr;
        if (edge)
            return std::string("the ") + edge + " address of this PC's network " + network.NetworkText();
    }
    return "";
}
