// The IPv4 networks this PC is on, as Windows Sockets lists its interfaces.
#pragma once

#include "DeviceFinder.h"

#include <string>
#include <vector>

// One route for each IPv4 network of the PC, that is each interface that is
// up and not the loopback: from the interface's address to the network's
// broadcast address, worked out from address and mask (the list's own
// broadcast field reads 255.255.255.255 on some systems). An interface with
// no broadcast address (point-to-point, or a mask without host bits) is left
// out and described in skipped. False, with why in skipped, when there is no list.
bool NetworkRoutes(std::vector<CDeviceFinder::Route>& routes, std::vector<std::string>& skipped);
