// Prints the local address a UDP socket connected to argv[1] would send
// from. Connecting a UDP socket sends nothing; the rig compares the answer
// with its private namespace's own address before any test runs.
// "netcheck --hold-desktop" instead keeps Wine's desktop process running
// for the rig: it lingers only while some window exists, and every program
// that starts it anew hands it its output, which the test runner then waits
// to see closed. "netcheck --wait" says "waiting" and runs, making no
// window, until its input ends: a Wine program that keeps a session going
// and starts no desktop.
#include "Network.h"

#include <winsock2.h>

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
    if (std::strcmp(argv[1], "--wait") == 0)
    {
        std::printf("waiting\n");
        std::fflush(stdout);
        while (std::getchar() != EOF)
        {
        }
        return 0;
    }
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0)
        return 1;
    const std::string local = LocalAddressToward(argv[1]);
    if (local.empty())
        return 1;
    std::printf("%s\n", local.c_str());
    return 0;
}
