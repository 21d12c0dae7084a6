// Entry of the test exes that open sockets: under CTest they run only after
// proving that this process is inside the isolated test network; in the
// self-test, the tests that need that network skip themselves.
#include "Network.h"
#include "SelfTest.h"

#include <winsock2.h>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ReportResultsForSelfTest();
    WSADATA data;
    if (::WSAStartup(MAKEWORD(1, 1), &data) != 0)
        return 1;
    std::string why;
    const bool safe = SelfTestMode() ? SelfTestMaySend(why) : ProveIsolatedNetwork(why);
    if (!::testing::GTEST_FLAG(list_tests) && !safe)
    {
        std::fprintf(stderr, "refusing to run: %s\n", why.c_str());
        return 1;
    }
    return RUN_ALL_TESTS();
}
