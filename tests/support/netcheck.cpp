// Prints the local address a UDP socket connected to argv[1] would send
// from. Connecting a UDP socket sends nothing; the rig compares the answer
// with its private namespace's own address before any test runs.
// "netcheck --hold-desktop" instead keeps Wine's desktop process running
// for the rig: it lingers only while some window exists, and every program
// that starts it anew hands it its output, which the test runner then waits
// to see closed.
#include <winsock.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    if (std::strcmp(argv[1], "--hold-desktop") == 0)
    {
        if (!CreateWindowA("STATIC", "rig", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr))
            return 1;
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
        return 0;
    }
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0)
        return 1;
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = inet_addr(argv[1]);
    to.sin_port = htons(9);
    sockaddr_in local{};
    int length = sizeof local;
    if (s == INVALID_SOCKET || connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return 1;
    std::printf("%s\n", inet_ntoa(local.sin_addr));
    return 0;
}
