// The rules on addresses: which text names a device, and which network
// interface is queried where.
#include "console/CommandLine.h"
#include "discovery/Networks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(Addresses, DottedTextAndTheClassesNoDeviceHas)
{
    std::string why;
    // Every part from 0 to 255; 255 and 0 are ordinary parts of a device's address.
    for (const char* device : {"10.255.0.1", "10.1.255.255", "192.168.1.0", "1.2.3.4", "223.255.255.254", "128.0.0.1"})
        EXPECT_TRUE(IsDeviceAddress(device, why)) << device << ": " << why;
    for (const char* text : {"10.1.1.256", "256.1.1.1", "1.2.3", "1.2.3.4.5", "01.2.3.4", "1.2.3.-4", " 1.2.3.4", ""})
    {
        EXPECT_FALSE(IsDottedAddress(text)) << text;
        EXPECT_FALSE(IsDeviceAddress(text, why)) << text;
        EXPECT_EQ(0u, why.find("is not a dotted IPv4 address")) << text;
    }
    const struct
    {
        const char* address;
        const char* kind;
    } refused[] = {
        {"0.0.0.0", "this-network"}, {"0.1.2.3", "this-network"}, {"127.0.0.1", "loopback"},
        {"127.255.1.9", "loopback"}, {"224.0.0.1", "multicast"},  {"239.255.255.250", "multicast"},
        {"240.0.0.1", "reserved"},   {"254.1.1.1", "reserved"},   {"255.255.255.255", "broadcast"},
    };
    for (const auto& r : refused)
    {
        EXPECT_TRUE(IsDottedAddress(r.address)) << r.address;
        EXPECT_FALSE(IsDeviceAddress(r.address, why)) << r.address;
        EXPECT_EQ(std::string("is not a device address: ") + r.kind, why) << r.address;
    }
}

namespace
{
INTERFACE_INFO Interface(const char* address, const char* mask, u_long flags)
{
    INTERFACE_INFO item{};
    item.iiFlags = flags;
    item.iiAddress.AddressIn.sin_family = AF_INET;
    item.iiAddress.AddressIn.sin_addr.s_addr = ::inet_addr(address);
    item.iiNetmask.AddressIn.sin_family = AF_INET;
    item.iiNetmask.AddressIn.sin_addr.s_addr = ::inet_addr(mask);
    // What some systems put here: no help in finding the network's broadcast address.
    item.iiBroadcastAddress.AddressIn.sin_addr.s_addr = INADDR_BROADCAST;
    return item;
}
}  // namespace

TEST(Addresses, EachNetworkIsQueriedAtItsOwnBroadcastAddress)
{
    const u_long up = IFF_UP | IFF_BROADCAST;
    const struct
    {
        INTERFACE_INFO item;
        const char* destination;  // null: left out
        bool saysWhy;
    } cases[] = {
        {Interface("192.168.1.5", "255.255.255.0", up), "192.168.1.255", false},
        {Interface("10.1.9.20", "255.255.0.0", up), "10.1.255.255", false},
        {Interface("172.16.5.4", "255.255.255.252", up), "172.16.5.7", false},
        {Interface("127.0.0.1", "255.0.0.0", up | IFF_LOOPBACK), nullptr, false},
        {Interface("10.2.0.1", "255.255.255.0", IFF_BROADCAST), nullptr, false},  // down
        {Interface("10.8.0.6", "255.255.255.0", IFF_UP | IFF_POINTTOPOINT), nullptr, true},
        // A /31 (both ends are hosts) and a /32 have no broadcast address of their own.
        {Interface("10.8.0.7", "255.255.255.255", up), "255.255.255.255", false},
        {Interface("10.9.0.0", "255.255.255.254", up), "255.255.255.255", false},
        {Interface("10.9.0.3", "255.255.255.254", up), "255.255.255.255", false},
    };
    for (const auto& c : cases)
    {
        const std::string local = AddressText(c.item.iiAddress.AddressIn.sin_addr);
        SCOPED_TRACE(local);
        CDeviceFinder::Route route{};
        std::string why;
        const bool routed = InterfaceRoute(c.item, route, why);
        EXPECT_EQ(c.destination != nullptr, routed);
        EXPECT_EQ(c.saysWhy, !why.empty()) << why;
        if (!c.destination || !routed)
            continue;
        EXPECT_EQ(local, AddressText(route.local));
        EXPECT_EQ(c.destination, AddressText(route.destination));
    }

    // A list: each interface left out for a reason says its own, and only those do.
    std::vector<CDeviceFinder::Route> routes;
    std::vector<std::string> skipped;
    InterfaceRoutes({Interface("10.8.0.6", "255.255.255.0", IFF_UP | IFF_POINTTOPOINT),
                     Interface("127.0.0.1", "255.0.0.0", up | IFF_LOOPBACK), Interface("10.2.0.1", "255.0.0.0", 0),
                     Interface("192.168.1.5", "255.255.255.0", up),
                     Interface("10.8.0.9", "255.255.255.0", IFF_UP | IFF_POINTTOPOINT)},
                    routes, skipped);
    EXPECT_EQ(std::vector<std::string>({"10.8.0.6: a point-to-point link, with no broadcast address",
                                        "10.8.0.9: a point-to-point link, with no broadcast address"}),
              skipped);
    ASSERT_EQ(1u, routes.size());
    EXPECT_EQ("192.168.1.255", AddressText(routes[0].destination));
}

TEST(Addresses, TwoAddressesInOneTextAreEachTheirOwn)
{
    in_addr first{}, second{};
    first.s_addr = ::inet_addr("10.201.1.1");
    second.s_addr = ::inet_addr("10.201.9.2");
    EXPECT_EQ("10.201.1.1 10.201.9.2", AddressText(first) + " " + AddressText(second));
    in_addr high{};
    high.s_addr = ::inet_addr("255.0.0.1");
    EXPECT_EQ("255.0.0.1", AddressText(high));
    // A failed send names where it came from and where it went.
    EXPECT_EQ("10.201.1.1: cannot send to 10.201.9.2", CDeviceFinder::SendFailure({first, second}));
    first.s_addr = htonl(INADDR_ANY);
    EXPECT_EQ("cannot send to 10.201.9.2", CDeviceFinder::SendFailure({first, second}));
}
