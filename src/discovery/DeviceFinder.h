// Finds the scanners on the local network: one UDP broadcast query, and the
// source address of every datagram that comes back within the window.
#pragma once

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

    CDeviceFinder();
    virtual ~CDeviceFinder() = default;
    CDeviceFinder(const CDeviceFinder&) = delete;
    CDeviceFinder& operator=(const CDeviceFinder&) = delete;

    // Opens the socket and starts the receiver; true when it is open.
    bool Open();
    void Close();
    bool IsOpen() const { return m_bOpen; }

    // One pass into results, which holds kResultsSize zeroed bytes: the text
    // "addr@addr@..." in order of arrival. Returns when the receiver is done.
    void Discover(char* results);
    // Sends text, without its terminator, to the broadcast address once for
    // each IPv4 address of the local host.
    void Broadcast(const char* text);

    // Copies the entry at pos (at most kEntrySize - 1 characters) into the
    // zeroed entry buffer; returns where the next entry begins, or null.
    static char* NextEntry(char* pos, char* entry);
    // The devices of a results text, in order of arrival with duplicates:
    // every entry longer than kMinEntryLength.
    static std::vector<std::string> Devices(char* results);

private:
    static unsigned __stdcall ReceiverThreadProc(void* pParam);
    void Receive();

    char* m_pCursor = nullptr;
    SOCKET m_hSocket = INVALID_SOCKET;
    std::atomic<bool> m_bOpen{false};
    int m_nPort;
    HANDLE m_hReceiver = nullptr;
};
