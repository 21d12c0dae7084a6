// IP Helper is loaded from the system folder when it is needed, never
// imported: IPHLPAPI.DLL is no KnownDLL, and an import would be looked for
// first in the folder connscan runs from (a download folder, often).
#include "Adapters.h"

#include "framework/SafeStart.h"

#include <ws2tcpip.h>

#include <iphlpapi.h>

#include <memory>

namespace
{
using GetAdaptersAddressesFn = ULONG(WINAPI*)(ULONG family, ULONG flags, void* reserved,
                                              IP_ADAPTER_ADDRESSES* addresses, ULONG* size);

// Owns a library loaded at run time.
class CLibrary
{
public:
    explicit CLibrary(HMODULE hModule)
        : m_hModule(hModule)
    {
    }
    ~CLibrary()
    {
        if (m_hModule)
            ::FreeLibrary(m_hModule);
    }
    CLibrary(const CLibrary&) = delete;
    CLibrary& operator=(const CLibrary&) = delete;
    HMODULE Get() const { return m_hModule; }

private:
    HMODULE m_hModule;
};

bool IsIpv4(const SOCKET_ADDRESS& address)
{
    return address.lpSockaddr && address.lpSockaddr->sa_family == AF_INET;
}

in_addr Ipv4(const SOCKET_ADDRESS& address)
{
    return reinterpret_cast<const sockaddr_in*>(address.lpSockaddr)->sin_addr;
}

// An enabled adapter whose cable is out, or whose Wi-Fi has no network, is
// down; a disabled one is not listed at all.
AdapterState StateOf(IF_OPER_STATUS status)
{
    switch (status)
    {
    case IfOperStatusUp:
        return AdapterState::Up;
    case IfOperStatusDown:
        return AdapterState::Disconnected;
    case IfOperStatusDormant:
        return AdapterState::Dormant;
    case IfOperStatusNotPresent:
        return AdapterState::NotPresent;
    case IfOperStatusLowerLayerDown:
        return AdapterState::LowerLayerDown;
    default:
        return AdapterState::Other;
    }
}

AddressState StateOf(IP_DAD_STATE state)
{
    return state == IpDadStatePreferred   ? AddressState::Preferred
           : state == IpDadStateTentative ? AddressState::Tentative
           : state == IpDadStateDuplicate ? AddressState::Duplicate
                                          : AddressState::Other;
}

Adapter Facts(const IP_ADAPTER_ADDRESSES& item)
{
    Adapter adapter;
    adapter.name = item.FriendlyName ? item.FriendlyName : L"";
    adapter.state = StateOf(item.OperStatus);
    for (const IP_ADAPTER_UNICAST_ADDRESS* a = item.FirstUnicastAddress; a; a = a->Next)
        if (IsIpv4(a->Address))
            adapter.addresses.push_back({Ipv4(a->Address), a->OnLinkPrefixLength, StateOf(a->DadState)});
    for (const IP_ADAPTER_GATEWAY_ADDRESS* g = item.FirstGatewayAddress; g; g = g->Next)
        if (IsIpv4(g->Address))
            adapter.gateways.push_back(Ipv4(g->Address));
    return adapter;
}
}  // namespace

bool ReadAdapters(std::vector<Adapter>& adapters, std::string& why)
{
    const CLibrary library(LoadSystemLibrary("iphlpapi.dll"));
    const auto getAdapters = library.Get() ? reinterpret_cast<GetAdaptersAddressesFn>(reinterpret_cast<void*>(
                                                 ::GetProcAddress(library.Get(), "GetAdaptersAddresses")))
                                           : nullptr;
    if (!getAdapters)
    {
        why = "IP Helper (iphlpapi.dll) could not be loaded from the system folder";
        return false;
    }
    const ULONG flags =
        GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER | GAA_FLAG_INCLUDE_GATEWAYS;
    // The list may grow between the call that sizes it and the one that fills it.
    ULONG size = 16 * 1024;
    std::unique_ptr<unsigned char[]> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int tries = 0; tries < 3 && result == ERROR_BUFFER_OVERFLOW; ++tries)
    {
        buffer.reset(new unsigned char[size]);
        result = getAdapters(AF_INET, flags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()), &size);
    }
    if (result == ERROR_NO_DATA)
        return true;  // no adapter at all
    if (result != NO_ERROR)
    {
        why = "IP Helper could not list the adapters (error " + std::to_string(result) + ")";
        return false;
    }
    for (auto* item = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.get()); item; item = item->Next)
        if (item->IfType != IF_TYPE_SOFTWARE_LOOPBACK)
            adapters.push_back(Facts(*item));
    return true;
}
