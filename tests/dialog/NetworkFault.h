// The program's network taken away for the length of a test's scope.
#pragma once

#include "support/Desktop.h"
#include "support/Network.h"
#include "support/ProgramRun.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

// The program's network taken away for a while: by the simulator, through
// the rig, which puts it back on request or after maxMs at the latest.
class NetworkFault
{
public:
    NetworkFault(const std::string& kind, int maxMs)
        : m_maxMs(maxMs)
    {
        // Either fault takes away the route toward the rig's probe address.
        std::string why;
        m_bInForce = SimulatorCommand("fault " + kind + " " + std::to_string(maxMs)) == "ok" &&
                     WaitFor([&] { return !ProveIsolatedNetwork(why); }, 3000);
    }
    ~NetworkFault()
    {
        // Unheard while every link is down: the release file is seen then.
        SimulatorCommand("fault restore");
        std::string release = DirFromEnvironment("CONNSETUP_FAULT_RELEASE");
        if (!release.empty())
        {
            release.pop_back();  // a file, not a folder
            const HANDLE hFile = ::CreateFileA(release.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (hFile != INVALID_HANDLE_VALUE)
                ::CloseHandle(hFile);
        }
        std::string why;
        EXPECT_TRUE(WaitFor([&] { return ProveIsolatedNetwork(why) && SimulatorReset(); },
                            static_cast<DWORD>(m_maxMs) + 10000, 200))
            << "the network did not come back: " << why;
    }
    NetworkFault(const NetworkFault&) = delete;
    NetworkFault& operator=(const NetworkFault&) = delete;
    bool InForce() const { return m_bInForce; }

private:
    int m_maxMs;
    bool m_bInForce = false;
};
