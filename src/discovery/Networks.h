// The IPv4 networks this PC is on, as Windows Sockets lists its interfaces.
#pragma once

#include "DeviceFinder.h"

#include <ws2tcpip.h>

#include <string>
#include <vector>

// The route of one interface of the list: from its address to its network's
// broadcast address, worked out from address and mask (the list's own
// broadcast field reads 255.255.255.255 on some systems), or to
// 255.255.255.255 on a /31 or /32, which have none. False for an interface
// that is down, the loopback or not IPv4; false, with why, for a
// point-to-point link.
bool InterfaceRoute(const INTERFACE_INFO& item, CDeviceFinder::Route& route, std::string& why);
// The routes of a list of interfaces; why each one with a reason was left
// out, in skipped.
void InterfaceRoutes(const std::vector<INTERFACE_INFO>& interfaces, std::vector<CDeviceFinder::Route>& routes,
                     std::vector<std::string>& skipped);

// One route for each IPv4 network of the PC; what was left out, and why, in
// skipped. False, with why in skipped, when there is no list.
bool NetworkRoutes(std::vector<CDeviceFinder::Route>& routes, std::vector<std::string>& skipped);

// What address is on one of the PC's own IPv4 networks when no single device
// can have it, "the broadcast address of this PC's network 192.168.1.0/24"
// or its network address; "" for any other address, or with no list.
std::string OwnNetworkEdge(in_addr address);
