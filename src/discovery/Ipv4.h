// An IPv4 address with the prefix of its network: the mask, the on-link
// test and the network's text in one place. The address is a number, its
// first part highest, read from the bytes as they lie in memory, so that no
// Windows Sockets call is needed.
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <string>

class CIpv4
{
public:
    explicit CIpv4(in_addr address, int prefix = 32);
    // prefix from a contiguous mask, as the interface list gives it.
    static CIpv4 WithMask(in_addr address, in_addr mask);
    // A dotted address (four numbers 0-255, no leading zero); false for other text.
    static bool Parse(const std::string& dotted, CIpv4& parsed);

    uint32_t Number() const { return m_address; }
    int Prefix() const { return m_prefix; }
    uint32_t Mask() const;
    uint32_t Network() const { return m_address & Mask(); }
    uint32_t Broadcast() const { return m_address | ~Mask(); }
    // Networks of /30 and wider; on a /31 and a /32 every address is a host's.
    bool HasBroadcast() const { return m_prefix <= 30; }
    // Whether other lies on this address's network.
    bool Contains(uint32_t other) const { return (other & Mask()) == Network(); }
    bool Contains(in_addr other) const { return Contains(CIpv4(other).Number()); }
    // "192.168.1.0/24": the network, with its prefix.
    std::string NetworkText() const;

    static in_addr InAddr(uint32_t number);

private:
    uint32_t m_address;
    int m_prefix;
};
