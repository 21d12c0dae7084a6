// Finds the scanners on the network: a UDP query, and the source address of
// every datagram that comes back within the window.
#pragma once

#include "framework/Sockets.h"
#include "framework/Thread.h"

#include <string>
#include <vector>

class CDeviceFinder
{
public:
    static constexpr int kResultsSize = 5100;  // the caller's results buffer
    static constexpr int kEntrySize = 20;      // the caller's entry buffer
    // No dotted address is this short ("1.2.3.4" has 7): text of this length
    // or less is a remnant, not a device.
    static constexpr size_t kMinEntryLength = 5;
    static constexpr int kPort = 3121;
    static constexpr char kQuery[] = "ISORVELQX8";
    static constexpr DWORD kCollectMs = 2000;
    static constexpr DWORD kSettleMs = 500;
    // Every answer a results buffer can hold: the shortest append is "1.2.3.4@".
    static constexpr int kMaxAnswers = kResultsSize / 8;

    // Where one socket of a pass is bound and where it sends the query.
    struct Route
    {
        in_addr local;
        in_addr destination;
    };
    // The dialog's routes: from each IPv4 address of this PC's name but the
    // loopback, in the name's order, to 255.255.255.255: each address asks
    // its own network. Says in failures why there is none.
    static std::vector<Route> HostRoutes(std::vector<std::string>* failures = nullptr);

    // What a failed send on route says: "LOCAL: cannot send to DESTINATION",
    // without "LOCAL: " for a socket bound to any address.
    static std::string SendFailure(const Route& route);

    CDeviceFinder();
    virtual ~CDeviceFinder() = default;
    CDeviceFinder(const CDeviceFinder&) = delete;
    CDeviceFinder& operator=(const CDeviceFinder&) = delete;

    bool IsOpen() const { return m_bOpen; }

    // One pass into results, which holds kResultsSize zeroed bytes: the text
    // "addr@addr@..." in order of arrival. The query goes out on each route
    // from a socket of its own, and the answers on all of them are collected
    // in the one window. A route that cannot be bound or sent on is left out
    // and described in failures, as is a receiver that cannot start. Returns
    // how many datagrams went out, when the receiver is done.
    int Discover(char* results, const std::vector<Route>& routes, std::vector<std::string>* failures = nullptr);
    // The dialog's pass.
    int Discover(char* results, std::vector<std::string>* failures = nullptr)
    {
        return Discover(results, HostRoutes(failures), failures);
    }
    // The local address answer n came in on; 0.0.0.0 for one never recorded.
    in_addr Via(int n) const;
    // What became of route n of the last pass: 0 when its query went out,
    // else the Windows Sockets error that kept it from going.
    int RouteError(size_t n) const { return n < m_routeErrors.size() ? m_routeErrors[n] : WSAENOTSOCK; }

    // Copies the entry at pos (at most kEntrySize - 1 characters) into the
    // zeroed entry buffer; returns where the next entry begins, or null.
    static char* NextEntry(char* pos, char* entry);
    // The devices of a results text, in order of arrival with duplicates:
    // every entry longer than kMinEntryLength.
    static std::vector<std::string> Devices(char* results);

private:
    // One socket of a pass and the route it serves.
    struct Channel
    {
        CSocketHandle socket;
        Route route;
        size_t index;  // the route's place in the pass's list
    };

    // Opens a socket for each route and starts the receiver; true when it runs.
    bool Open(const std::vector<Route>& routes, std::vector<std::string>* failures);
    // Sends the query on every open socket; returns the datagrams sent.
    int Broadcast(std::vector<std::string>* failures);
    // Waits for the receiver to end, then closes the sockets it waited on.
    void Close();
    static unsigned __stdcall ReceiverThreadProc(void* pParam);
    void Receive();

    char* m_pCursor = nullptr;
    std::vector<Channel> m_channels;  // fixed while the receiver runs
    std::vector<int> m_routeErrors;   // each route's, in the pass's order
    bool m_bOpen = false;
    int m_nPort;
    DWORD m_dwWindowEnd = 0;  // when the receiver stops, by GetTickCount
    int m_nReceiveError = 0;  // why the receiver stopped early, if it did
    int m_nAnswers = 0;
    unsigned char m_answerChannel[kMaxAnswers] = {};  // the socket of each answer
    // Last, so that it is destroyed first: the receiver is joined before its sockets close.
    CThreadHandle m_receiver;
};
