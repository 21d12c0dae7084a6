#include "Network.h"

#include "framework/Sockets.h"

#include <winsock2.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace
{
constexpr u_short kControlPort = 3120;

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}
}  // namespace

std::string LocalAddressToward(const std::string& probe)
{
    const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = ::inet_addr(probe.c_str());
    to.sin_port = htons(9);
    sockaddr_in local{};
    int length = sizeof local;
    // Connecting a UDP socket sends nothing; it only picks the route.
    const bool routed = s != INVALID_SOCKET && ::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
                        ::getsockname(s, reinterpret_cast<sockaddr*>(&local), &length) == 0;
    if (s != INVALID_SOCKET)
        ::closesocket(s);
    return routed ? AddressText(local.sin_addr) : "";
}

bool ProveIsolatedNetwork(std::string& why)
{
    const std::string expected = Env("CONNSETUP_HOST_ADDR");
    const std::string probe = Env("CONNSETUP_PROBE_ADDR");
    if (expected.empty() || probe.empty())
    {
        why = "not started by the test rig (CONNSETUP_HOST_ADDR unset)";
        return false;
    }
    std::string seen = LocalAddressToward(probe);
    if (seen.empty())
        seen = "no route";
    if (seen != expected)
    {
        why = "a socket here would send from " + seen + ", not the rig's " + expected;
        return false;
    }
    return true;
}

bool RunningOnWine()
{
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

bool SelfTestMaySend(std::string& why)
{
    if (!RunningOnWine())
        return true;
    if (Env("CONNSETUP_NETNS").empty())
    {
        why = "under Wine the self-test runs only inside the test rig's isolated network (tools/test)";
        return false;
    }
    // With every link down there is no route, and nothing can leave.
    const std::string probe = Env("CONNSETUP_PROBE_ADDR");
    return ProveIsolatedNetwork(why) || (!probe.empty() && LocalAddressToward(probe).empty());
}

std::string SimulatorCommand(const std::string& command)
{
    const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET)
        return "";
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = ::inet_addr(Env("CONNSETUP_DEVICE_ADDR").c_str());
    to.sin_port = htons(kControlPort);
    std::string reply;
    if (::sendto(s, command.data(), static_cast<int>(command.size()), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) >
        0)
    {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        timeval wait{3, 0};
        if (::select(0, &readable, nullptr, nullptr, &wait) == 1)
        {
            static char buffer[65536];
            const int got = ::recv(s, buffer, sizeof buffer, 0);
            if (got > 0)
                reply.assign(buffer, static_cast<size_t>(got));
        }
    }
    ::closesocket(s);
    return reply;
}

bool SimulatorReset()
{
    return SimulatorCommand("reset") == "ok";
}

bool SimulatorRule(const std::string& address, int count, int size, int delayMs, int gapUs)
{
    std::ostringstream command;
    command << "rule " << address << ' ' << count << ' ' << size << ' ' << delayMs << ' ' << gapUs;
    return SimulatorCommand(command.str()) == "ok";
}

bool SimulatorDirectRule(const std::string& address)
{
    return SimulatorCommand("rule " + address + " 1 6 100 0 direct") == "ok";
}

QueryLog SimulatorLog()
{
    QueryLog log;
    std::istringstream in(SimulatorCommand("log"));
    in >> log.count;
    std::string line;
    std::getline(in, line);
    for (; std::getline(in, line);)
        log.lines += line + "\n";
    return log;
}

std::vector<std::string> SimulatorQueries()
{
    std::vector<std::string> queries;
    std::istringstream in(SimulatorLog().lines);
    for (std::string line; std::getline(in, line);)
    {
        std::istringstream fields(line);
        std::string source, destination, length, bytes, arrivedOn;
        fields >> source >> destination >> length >> bytes >> arrivedOn;
        queries.push_back(source.substr(0, source.find(':')) + " to " + destination + " on " + arrivedOn);
    }
    std::sort(queries.begin(), queries.end());
    return queries;
}

const std::vector<std::string> kOnePassQueries = {"10.201.1.1 to 255.255.255.255 on eth1",
                                                  "10.201.2.1 to 255.255.255.255 on eth2",
                                                  "192.168.123.1 to 255.255.255.255 on eth0"};
