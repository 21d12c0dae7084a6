// The tests as the self-test runs them on a PC of its own: which tests
// skip there and why, the one registry key they all keep to, and each
// test's result for the self-test's report.
#pragma once

#include "TestKey.h"

#include <gtest/gtest.h>

// True in the self-test (CONNSETUP_SELFTEST=1): none of the rig's
// isolated networks and simulated scanners are there, and the registry is
// a real user's. Under CTest it is false, and a missing rig fails.
bool SelfTestMode();

// Why a test cannot run in the self-test.
extern const char kNeedsRig[];
extern const char kUsesBuiltInKey[];

// In the self-test only, skips the test, saying why.
#define SKIP_IN_SELFTEST(why)      \
    do                             \
    {                              \
        if (SelfTestMode())        \
            GTEST_SKIP() << (why); \
    } while (0)

// With CONNSETUP_SELFTEST_RESULTS naming a file, appends a line to it as
// each test ends: its result, name, milliseconds and messages.
void ReportResultsForSelfTest();
