// A simulated scanner for the self-test on a PC of its own: it answers each
// discovery query that reaches this PC on port 3121 with one datagram of
// six bytes, as the test rig's simulator answers by default, from this PC's
// own address, and logs "query from ADDRESS:PORT" for each.
//
//   scansim.exe EVENT SECONDS LOG
//
// Sets the named event once it listens, ends after SECONDS at the latest.
// Exit status 3 when the port is taken, 2 on wrong arguments, 1 on any
// other failure.
#include "discovery/DeviceFinder.h"
#include "framework/Sockets.h"

#include <winsock2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 4)
    {
        std::fprintf(stderr, "usage: scansim EVENT SECONDS LOG\n");
        return 2;
    }
    WSADATA data;
    std::FILE* log = std::fopen(argv[3], "ab");
    if (::WSAStartup(MAKEWORD(1, 1), &data) != 0 || !log)
        return 1;
    CSocketHandle listener(::socket(AF_INET, SOCK_DGRAM, 0));
    CSocketHandle answerer(::socket(AF_INET, SOCK_DGRAM, 0));
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(CDeviceFinder::kPort);
    // Any address: the query comes as a broadcast, which a socket bound to
    // one unicast address may not hear (Linux, under Wine).
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!listener.IsValid() || !answerer.IsValid())
        return 1;
    if (::bind(listener.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return ::WSAGetLastError() == WSAEADDRINUSE || ::WSAGetLastError() == WSAEACCES ? 3 : 1;
    const HANDLE hListening = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]);
    if (!hListening || !::SetEvent(hListening))
        return 1;
    ::CloseHandle(hListening);

    const DWORD start = ::GetTickCount();
    const DWORD boundMs = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)) * 1000;
    const int queryLength = static_cast<int>(sizeof CDeviceFinder::kQuery - 1);
    while (::GetTickCount() - start < boundMs)
    {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener.Get(), &readable);
        timeval wait{1, 0};
        if (::select(0, &readable, nullptr, nullptr, &wait) != 1)
            continue;
        char query[1500];
        sockaddr_in from{};
        int fromLength = sizeof from;
        const int got =
            ::recvfrom(listener.Get(), query, sizeof query, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got != queryLength || std::memcmp(query, CDeviceFinder::kQuery, static_cast<size_t>(queryLength)) != 0)
            continue;
        // From a socket of its own: the listener's address may be the broadcast address.
        ::sendto(answerer.Get(), "AAAAAA", 6, 0, reinterpret_cast<const sockaddr*>(&from), sizeof from);
        std::fprintf(log, "query from %s:%u\n", AddressText(from.sin_addr).c_str(), ntohs(from.sin_port));
        std::fflush(log);
    }
    return 0;
}
