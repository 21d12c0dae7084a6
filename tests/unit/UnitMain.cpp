// Entry of the unit tests; none of them opens a socket.
#include "support/SelfTest.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ReportResultsForSelfTest();
    return RUN_ALL_TESTS();
}
