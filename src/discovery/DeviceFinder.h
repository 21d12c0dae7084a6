// Finds the scanners on the network: a UDP query, and the source address of
// every datagram that comes back within the window.
#pragma once

#include "framework/Sockets.h"

#include <winsock.h>

#include <atomic>
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

    CDeviceFinder();
    virtual ~CDeviceFinder() = default;
    CDeviceFinder(const CDeviceFinder&) = delete;
    CDeviceFinder& operator=(const CDeviceFinder&) = delete;

    // Opens one socket bound to any address and starts the receiver; true when it is open.
    bool Open();
    void Close();
    bool IsOpen() const { return m_bOpen; }

    // One pass into results, which holds kResultsSize zeroed bytes: the text
    // "addr@addr@..." in order of arrival. The query goes to the broadcast
    // address, and the system picks the interface. Returns when the receiver is done.
    void Discover(char* results);
    // Sends text, without its terminator, to the broadcast address once for
    // each IPv4 address of the local host.
    void Broadcast(const char* text);

    // A pass along routes, into results as above: the query goes once from a
    // socket bound to each route's local address to its destination, and the
    // answers on all of them are collected in the one window. A route that
    // cannot be bound or sent on is left out and described in failures.
    // Returns how many routes the query went out on.
    int Discover(char* results, const std::vector<Route>& routes, std::vector<std::string>& failures);
    // The local address of the socket that recorded answer n came in on.
    in_addr Via(int n) const;

    // Copies the entry at pos (at most kEntrySize - 1 characters) into the
    // zeroed entry buffer; returns where the next entry begins, or null.
    static char* NextEntry(char* pos, char* entry);
    // The devices of a results text, in order of arrival with duplicates:
    // every entry longer than kMinEntryLength.
    static std::vector<std::string> Devices(char* results);

private:
    bool OpenRoutes(const std::vector<Route>& routes, std::vector<std::string>* failures);
    // The rest of a pass: the window, then the socket closed, the settle
    // time, and the receiver's end.
    void Collect();
    static unsigned __stdcall ReceiverThreadProc(void* pParam);
    void Receive();

    char* m_pCursor = nullptr;
    std::vector<CSocketHandle> m_sockets;
    std::vector<Route> m_routes;    // of each open socket
    std::vector<SOCKET> m_handles;  // the receiver's copy, made before it starts
    std::atomic<bool> m_bOpen{false};
    int m_nPort;
    HANDLE m_hReceiver = nullptr;
    int m_nAnswers = 0;
    unsigned char m_answerRoute[kMaxAnswers] = {};  // the socket of each answer
};
