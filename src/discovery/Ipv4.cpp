#include "Ipv4.h"

#include "framework/Sockets.h"

CIpv4::CIpv4(in_addr address, int prefix)
    : m_prefix(prefix < 0    ? 0
               : prefix > 32 ? 32
                             : prefix)
{
    const auto* b = reinterpret_cast<const unsigned char*>(&address.s_addr);
    m_address =
        static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 | static_cast<uint32_t>(b[2]) << 8 | b[3];
}

CIpv4 CIpv4::WithMask(in_addr address, in_addr mask)
{
    int prefix = 0;
    for (uint32_t bits = CIpv4(mask).Number(); bits & 0x80000000u; bits <<= 1)
        ++prefix;
    return CIpv4(address, prefix);
}

bool CIpv4::Parse(const std::string& dotted, CIpv4& parsed)
{
    uint32_t value = 0;
    size_t at = 0;
    for (int part = 0; part < 4; ++part)
    {
        const size_t end = part < 3 ? dotted.find('.', at) : dotted.size();
        if (end == std::string::npos || end == at || end - at > 3 || (end - at > 1 && dotted[at] == '0'))
            return false;
        uint32_t number = 0;
        for (size_t i = at; i < end; ++i)
        {
            if (dotted[i] < '0' || dotted[i] > '9')
                return false;
            number = number * 10 + static_cast<uint32_t>(dotted[i] - '0');
        }
        if (number > 255)
            return false;
        value = value << 8 | number;
        at = end + 1;
    }
    parsed = CIpv4(InAddr(value));
    return true;
}

uint32_t CIpv4::Mask() const
{
    return m_prefix == 0 ? 0 : ~(0xFFFFFFFFu >> m_prefix);
}

std::string CIpv4::NetworkText() const
{
    return AddressText(InAddr(Network())) + "/" + std::to_string(m_prefix);
}

in_addr CIpv4::InAddr(uint32_t number)
{
    in_addr address{};
    auto* b = reinterpret_cast<unsigned char*>(&address.s_addr);
    b[0] = static_cast<unsigned char>(number >> 24);
    b[1] = static_cast<unsigned char>(number >> 16);
    b[2] = static_cast<unsigned char>(number >> 8);
    b[3] = static_cast<unsigned char>(number);
    return address;
}
