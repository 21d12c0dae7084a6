// Discovery passes on the isolated test network, against the simulated scanners.
#include "discovery/DeviceFinder.h"

#include "support/Desktop.h"
#include "support/Lines.h"
#include "support/Network.h"
#include "support/SelfTest.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
const char kDevice[] = "192.168.123.123";  // 15 characters
const char kA[] = "192.168.123.11";
const char kB[] = "192.168.123.12";
const char kC[] = "192.168.123.13";

class DeviceFinderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SKIP_IN_SELFTEST(kNeedsRig);
        ASSERT_TRUE(SimulatorReset()) << "the simulator does not answer";
    }

    // One pass; the results buffer has a guard zone behind its 5100 bytes.
    std::string Pass()
    {
        std::memset(m_buffer, 0, CDeviceFinder::kResultsSize);
        std::memset(m_buffer + CDeviceFinder::kResultsSize, 'G', kGuard);
        CDeviceFinder finder;
        finder.Discover(m_buffer);
        EXPECT_FALSE(finder.IsOpen());
        EXPECT_EQ(std::string(kGuard, 'G'), std::string(m_buffer + CDeviceFinder::kResultsSize, kGuard));
        return std::string(m_buffer, strnlen(m_buffer, CDeviceFinder::kResultsSize));
    }

    static constexpr int kGuard = 64;
    char m_buffer[CDeviceFinder::kResultsSize + kGuard];
};
}  // namespace

TEST_F(DeviceFinderTest, NoAnswerLeavesTheBufferEmpty)
{
    EXPECT_EQ("", Pass());
    char entry[CDeviceFinder::kEntrySize] = "untouched";
    EXPECT_EQ(nullptr, CDeviceFinder::NextEntry(m_buffer, entry));
    EXPECT_STREQ("untouched", entry);
}

TEST_F(DeviceFinderTest, TheQueryIsTenBytesToTheBroadcastAddressFromEachLocalAddress)
{
    Pass();
    const QueryLog log = SimulatorLog();
    // The program's namespace has three interfaces, so three local addresses.
    ASSERT_EQ(3, log.count);
    for (const std::string& line : Lines(log.lines))
    {
        std::istringstream in(line);
        std::string source, destination, length, bytes;
        in >> source >> destination >> length >> bytes;
        EXPECT_EQ("10", length);
        EXPECT_EQ("49534f5256454c515838", bytes);  // "ISORVELQX8", no terminator
    }
    // Each from a socket bound to its address, so each on its own network.
    EXPECT_EQ(kOnePassQueries, SimulatorQueries());
}

TEST_F(DeviceFinderTest, ASecondPassOnTheSameFinderStartsClean)
{
    ASSERT_TRUE(SimulatorRule("10.201.2.2", 1, 6, 100));
    CDeviceFinder finder;
    for (int pass = 0; pass < 2; ++pass)
    {
        SCOPED_TRACE(pass);
        char results[CDeviceFinder::kResultsSize] = {};
        EXPECT_EQ(3, finder.Discover(results));
        EXPECT_STREQ("10.201.2.2@", results);
        EXPECT_EQ("10.201.2.1", AddressText(finder.Via(0)));
        EXPECT_EQ(0u, finder.Via(1).s_addr);
        EXPECT_FALSE(finder.IsOpen());
    }
    EXPECT_EQ(6, SimulatorLog().count);
}

TEST_F(DeviceFinderTest, OneAnswerIsItsAddressAndASeparator)
{
    ASSERT_TRUE(SimulatorRule(kA, 1, 12, 0));
    EXPECT_EQ("192.168.123.11@", Pass());
    char entry[CDeviceFinder::kEntrySize] = {};
    char* next = CDeviceFinder::NextEntry(m_buffer, entry);
    EXPECT_STREQ(kA, entry);
    ASSERT_NE(nullptr, next);
    EXPECT_EQ('\0', *next);
    EXPECT_EQ(nullptr, CDeviceFinder::NextEntry(next, entry));
}

TEST_F(DeviceFinderTest, AnswersAreRecordedInOrderOfArrivalWithDuplicates)
{
    ASSERT_TRUE(SimulatorRule(kC, 1, 4, 50));
    ASSERT_TRUE(SimulatorRule(kA, 1, 4, 300));
    ASSERT_TRUE(SimulatorRule(kB, 2, 4, 600));
    EXPECT_EQ("192.168.123.13@192.168.123.11@192.168.123.12@192.168.123.12@", Pass());
}

TEST_F(DeviceFinderTest, TheWindowLastsTwoSecondsFromTheQueryAndThePassHalfASecondMore)
{
    ASSERT_TRUE(SimulatorRule(kA, 1, 6, 1800));  // late in the window
    ASSERT_TRUE(SimulatorRule(kB, 1, 6, 2300));  // after it, while the pass settles
    const DWORD started = ::GetTickCount();
    EXPECT_EQ("192.168.123.11@", Pass());
    // A lower bound only: a busy machine may make a pass longer, never shorter.
    EXPECT_GE(::GetTickCount() - started, CDeviceFinder::kCollectMs + CDeviceFinder::kSettleMs - 20);
}

TEST_F(DeviceFinderTest, AtMostSixtyFourSocketsAndEveryOneOfThemHeard)
{
    // 65 routes between loopback addresses (all of 127/8 is this PC's): a
    // wait takes 64 sockets, so the 65th route is refused, not left unheard.
    CSocketHandle answerer(::socket(AF_INET, SOCK_DGRAM, 0));
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = ::inet_addr("127.0.0.1");
    at.sin_port = htons(CDeviceFinder::kPort);
    ASSERT_EQ(0, ::bind(answerer.Get(), reinterpret_cast<const sockaddr*>(&at), sizeof at));
    std::vector<CDeviceFinder::Route> routes(65);
    for (size_t n = 0; n < routes.size(); ++n)
    {
        routes[n].local.s_addr = htonl(0x7F000002u + static_cast<u_long>(n));  // 127.0.0.2 on
        routes[n].destination = at.sin_addr;
    }
    std::thread answering(
        [&]
        {
            // Answers every query until a second passes without one.
            for (;;)
            {
                fd_set readable;
                FD_ZERO(&readable);
                FD_SET(answerer.Get(), &readable);
                timeval wait{1, 0};
                if (::select(0, &readable, nullptr, nullptr, &wait) != 1)
                    return;
                char query[64];
                sockaddr_in from{};
                int fromLength = sizeof from;
                if (::recvfrom(answerer.Get(), query, sizeof query, 0, reinterpret_cast<sockaddr*>(&from),
                               &fromLength) > 0)
                    ::sendto(answerer.Get(), "hello", 5, 0, reinterpret_cast<const sockaddr*>(&from), fromLength);
            }
        });
    char results[CDeviceFinder::kResultsSize] = {};
    CDeviceFinder finder;
    std::vector<std::string> failures;
    const int sent = finder.Discover(results, routes, &failures);
    answering.join();
    EXPECT_EQ(64, sent);
    ASSERT_EQ(1u, failures.size());
    EXPECT_EQ(0u, failures[0].find("127.0.0.66: no socket (Windows Sockets error 10024")) << failures[0];
    const std::vector<std::string> devices = CDeviceFinder::Devices(results);
    EXPECT_EQ(64u, devices.size()) << "an open socket was never waited on";
    std::set<std::string> via;
    for (size_t n = 0; n < devices.size(); ++n)
        via.insert(AddressText(finder.Via(static_cast<int>(n))));
    EXPECT_EQ(64u, via.size());
    EXPECT_EQ(0u, via.count("127.0.0.66"));
}

TEST_F(DeviceFinderTest, AnyContentFromOneTo1024BytesCountsAndNothingElse)
{
    ASSERT_TRUE(SimulatorRule(kA, 1, 0, 50));  // empty: not an answer
    ASSERT_TRUE(SimulatorRule(kB, 1, 1, 300));
    ASSERT_TRUE(SimulatorRule(kC, 1, 1024, 600));
    ASSERT_TRUE(SimulatorRule(kDevice, 1, 1025, 900));  // too long for the receive buffer
    EXPECT_EQ("192.168.123.12@192.168.123.13@", Pass());
}

TEST_F(DeviceFinderTest, AFullBufferEndsTheReceiverCleanly)
{
    // 16 bytes per entry: 318 fit while at least 20 bytes are left; the 319th
    // ends the receiver. Paced, so that none is lost on the way.
    ASSERT_TRUE(SimulatorRule(kDevice, 330, 8, 0, 2000));
    const std::string text = Pass();
    ASSERT_EQ(318u * 16, text.size());
    for (size_t at = 0; at < text.size(); at += 16)
        ASSERT_EQ("192.168.123.123@", text.substr(at, 16)) << "at " << at;
    EXPECT_EQ('\0', m_buffer[318 * 16]);
}

TEST_F(DeviceFinderTest, WithoutASocketThePassIsOnlyTheSettlingPause)
{
    ASSERT_EQ(0, ::WSACleanup());  // this process's one start-up: sockets now fail
    std::memset(m_buffer, 'x', CDeviceFinder::kResultsSize);
    m_buffer[CDeviceFinder::kResultsSize - 1] = '\0';
    const DWORD start = ::GetTickCount();
    CDeviceFinder finder;
    finder.Discover(m_buffer);
    const DWORD elapsed = ::GetTickCount() - start;
    WSADATA data;
    ASSERT_EQ(0, ::WSAStartup(MAKEWORD(1, 1), &data));
    EXPECT_FALSE(finder.IsOpen());
    EXPECT_GE(elapsed, 450u);
    EXPECT_LT(elapsed, 1900u) << "the collection window ran without a socket";
    EXPECT_EQ(std::string(CDeviceFinder::kResultsSize - 1, 'x'), std::string(m_buffer));
    EXPECT_EQ(0, SimulatorLog().count);
}

TEST_F(DeviceFinderTest, ASocketThatCannotBeHadIsNamedWithItsOwnError)
{
    ASSERT_EQ(0, ::WSACleanup());
    CDeviceFinder::Route route{};
    route.local.s_addr = ::inet_addr("192.168.123.1");
    route.destination.s_addr = htonl(INADDR_BROADCAST);
    char results[CDeviceFinder::kResultsSize] = {};
    std::vector<std::string> failures;
    CDeviceFinder finder;
    const int sent = finder.Discover(results, {route}, &failures);
    WSADATA data;
    ASSERT_EQ(0, ::WSAStartup(MAKEWORD(1, 1), &data));
    EXPECT_EQ(0, sent);
    EXPECT_EQ(std::vector<std::string>({"192.168.123.1: no socket (" + SocketErrorText(WSANOTINITIALISED) + ")"}),
              failures);
}

namespace
{
std::set<DWORD> ThreadsOfThisProcess()
{
    std::set<DWORD> threads;
    const HANDLE hSnapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(hSnapshot, &entry); more; more = ::Thread32Next(hSnapshot, &entry))
        if (entry.th32OwnerProcessID == ::GetCurrentProcessId())
            threads.insert(entry.th32ThreadID);
    ::CloseHandle(hSnapshot);
    return threads;
}
}  // namespace

namespace
{
// Runs a pass of finder on a thread of its own and keeps its receiver (the
// one new thread besides the pass's own) suspended for suspendMs, doing
// meanwhile what meanwhile does. Then checks whether the pass has returned
// meanwhile, and waits for it.
struct SuspendedReceiver
{
    bool suspended = false;
    bool returnedWhileSuspended = false;
};
SuspendedReceiver PassWithReceiverSuspended(
    CDeviceFinder& finder, char* results, DWORD suspendMs, const std::function<void()>& meanwhile = [] {},
    std::vector<std::string>* failures = nullptr)
{
    const std::set<DWORD> before = ThreadsOfThisProcess();
    std::atomic<DWORD> passThread{0};
    std::atomic<bool> returned{false};
    std::thread pass(
        [&]
        {
            passThread = ::GetCurrentThreadId();
            finder.Discover(results, failures);
            returned = true;
        });
    std::set<DWORD> started;
    WaitFor(
        [&]
        {
            started.clear();
            for (const DWORD id : ThreadsOfThisProcess())
                if (!before.count(id) && id != passThread)
                    started.insert(id);
            return passThread && !started.empty();
        },
        1000, 1);
    SuspendedReceiver seen;
    const HANDLE hReceiver =
        started.size() == 1 ? ::OpenThread(THREAD_SUSPEND_RESUME, FALSE, *started.begin()) : nullptr;
    seen.suspended = hReceiver && ::SuspendThread(hReceiver) != static_cast<DWORD>(-1);
    meanwhile();
    ::Sleep(suspendMs);
    seen.returnedWhileSuspended = returned;
    if (seen.suspended)
        ::ResumeThread(hReceiver);
    if (hReceiver)
        ::CloseHandle(hReceiver);
    pass.join();
    return seen;
}
}  // namespace

TEST_F(DeviceFinderTest, ABurstWaitsForAReceiverThatCannotRunForAWhile)
{
    // 318 answers at once, while the receiver is kept from reading: the
    // system holds them for it, and none is lost.
    ASSERT_TRUE(SimulatorRule(kDevice, 318, 8, 300));
    std::memset(m_buffer, 0, CDeviceFinder::kResultsSize);
    CDeviceFinder finder;
    const SuspendedReceiver seen = PassWithReceiverSuspended(finder, m_buffer, 1200);  // the burst arrives meanwhile
    ASSERT_TRUE(seen.suspended);
    EXPECT_EQ(318u * 16, std::strlen(m_buffer)) << "answers were lost while the receiver could not run";
}

TEST_F(DeviceFinderTest, APassWaitsForItsReceiverBeforeItEnds)
{
    // The receiver is held past the pass's 2.5 s: its sockets and the
    // results stay its own until it has ended.
    ASSERT_TRUE(SimulatorRule(kA, 1, 6, 100));
    std::memset(m_buffer, 0, CDeviceFinder::kResultsSize);
    CDeviceFinder finder;
    const SuspendedReceiver seen = PassWithReceiverSuspended(finder, m_buffer, 3500);
    ASSERT_TRUE(seen.suspended);
    EXPECT_FALSE(seen.returnedWhileSuspended) << "the pass ended while its receiver could still run";
}

TEST_F(DeviceFinderTest, AWaitThatFailedIsReportedByItsOwnPassAlone)
{
    ASSERT_TRUE(SimulatorRule(kA, 1, 6, 100));
    const std::string kWaitFailed = "the rest of the window: the wait for answers failed";
    CDeviceFinder finder;
    std::vector<std::string> failures;
    // The sockets the receiver waits on are gone when it runs again.
    const SuspendedReceiver seen = PassWithReceiverSuspended(
        finder, m_buffer, 300, [] { ::WSACleanup(); }, &failures);
    WSADATA data;
    ASSERT_EQ(0, ::WSAStartup(MAKEWORD(1, 1), &data));
    ASSERT_TRUE(seen.suspended);
    ASSERT_FALSE(failures.empty());
    EXPECT_EQ(0u, failures.back().find(kWaitFailed)) << failures.back();

    // The next pass of the same finder waits well, and says nothing of the last one's failure.
    failures.clear();
    std::memset(m_buffer, 0, CDeviceFinder::kResultsSize);
    finder.Discover(m_buffer, &failures);
    EXPECT_EQ(std::vector<std::string>(), failures);
    EXPECT_EQ(std::string(kA) + "@", m_buffer);
}
