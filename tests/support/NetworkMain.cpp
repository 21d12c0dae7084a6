// Entry of the test exes that open sockets: they run only after proving that
// this process is inside the isolated test network.
#include "Network.h"

#include <winsock2.h>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    WSADATA data;
    if (::WSAStartup(MAKEWORD(1, 1), &data) != 0)
        return 1;
    std::string why;
    if (!::testing::GTEST_FLAG(list_tests) && !ProveIsolatedNetwork(why))
    {
        std::fprintf(stderr, "refusing to run: %s\n", why.c_str());
        return 1;
    }
    return RUN_ALL_TESTS();
}
