#include "Checks.h"

#include "config/PortRecord.h"
#include "diagnosis/Adapters.h"
#include "discovery/DeviceFinder.h"
#include "framework/Sockets.h"
#include "res/resource.h"
#include "support/Desktop.h"
#include "support/ProgramRun.h"
#include "support/Registry.h"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace
{
const Check kHostName = {
    "This PC's name resolves to the IPv4 addresses of its up adapters",
    "gethostbyname of this PC's name lists, besides the loopback, the IPv4 addresses of the adapters that are up, "
    "no more and no fewer: the dialog asks from each of them",
    "https://learn.microsoft.com/windows/win32/api/winsock2/nf-winsock2-gethostbyname, "
    "https://learn.microsoft.com/windows/win32/api/iphlpapi/nf-iphlpapi-getadaptersaddresses"};
const Check kBroadcastSend = {
    "A socket bound to each local address may send to 255.255.255.255",
    "with SO_BROADCAST, a socket bound to each address of this PC's name sends the dialog's 10-byte query to "
    "255.255.255.255:3121",
    "https://learn.microsoft.com/windows/win32/winsock/so-broadcast, "
    "https://learn.microsoft.com/windows/win32/api/winsock/nf-winsock-sendto"};
const Check kBroadcastLoop = {
    "A broadcast of this PC reaches a socket of this PC bound to the port",
    "the simulated scanner started here, bound to port 3121, hears each of those queries, and its answer comes back "
    "to the socket that sent it",
    "https://learn.microsoft.com/windows/win32/winsock/so-broadcast, "
    "https://learn.microsoft.com/windows/win32/winsock/using-so-reuseaddr-and-so-exclusiveaddruse"};
const Check kDiscover = {"Discover lists the simulated scanner on this PC",
                         "a pass of the dialog lists this PC's address, from which the simulated scanner answered "
                         "the dialog's own query",
                         "the two checks above"};
const Check kOkStores = {"OK stores the listed scanner",
                         "OK with that entry selected stores its address as 16 bytes under the self-test's key",
                         "https://learn.microsoft.com/windows/win32/api/winreg/nf-winreg-regsetvalueexa"};

constexpr DWORD kAnswerWaitMs = 3000;

std::string Joined(const std::vector<std::string>& items)
{
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text.empty() ? "none" : text;
}

// The simulated scanner on this PC, from its start until this goes.
class CLocalScanner
{
public:
    CLocalScanner(const std::string& dir, const std::string& log)
    {
        const std::string event = "Local\\ConnSetup-scansim-" + std::to_string(::GetCurrentProcessId());
        const HANDLE hListening = ::CreateEventA(nullptr, TRUE, FALSE, event.c_str());
        // It ends by itself, should this process not end it.
        std::string commandLine = "\"" + dir + "scansim.exe\" " + event + " 300 \"" + log + "\"";
        STARTUPINFOA si{};
        si.cb = sizeof si;
        if (!hListening ||
            !::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &m_pi))
            m_why = "scansim.exe could not be started (error " + std::to_string(::GetLastError()) + ")";
        else
        {
            const HANDLE both[] = {hListening, m_pi.hProcess};
            const DWORD which = ::WaitForMultipleObjects(2, both, FALSE, 5000);
            DWORD status = 0;
            if (which == WAIT_OBJECT_0)
                m_listening = true;
            else
            {
                // Its status 3 says the port is taken.
                m_portTaken = which == WAIT_OBJECT_0 + 1 && ::GetExitCodeProcess(m_pi.hProcess, &status) && status == 3;
                m_why = m_portTaken ? "port 3121 of this PC is taken by another program"
                                    : "scansim.exe did not listen within 5 s (status " + std::to_string(status) + ")";
            }
        }
        if (hListening)
            ::CloseHandle(hListening);
    }
    ~CLocalScanner()
    {
        if (!m_pi.hProcess)
            return;
        ::TerminateProcess(m_pi.hProcess, 0);
        ::WaitForSingleObject(m_pi.hProcess, 5000);
        ::CloseHandle(m_pi.hProcess);
        ::CloseHandle(m_pi.hThread);
    }
    CLocalScanner(const CLocalScanner&) = delete;
    CLocalScanner& operator=(const CLocalScanner&) = delete;

    bool Listening() const { return m_listening; }
    // Another program listens on the port: nothing this PC does wrong.
    bool PortTaken() const { return m_portTaken; }
    const std::string& Why() const { return m_why; }

private:
    PROCESS_INFORMATION m_pi{};
    bool m_listening = false;
    bool m_portTaken = false;
    std::string m_why;
};

// The IPv4 addresses in use on the adapters that are up.
std::vector<std::string> UpAddresses(std::string& why)
{
    std::vector<Adapter> adapters;
    std::vector<std::string> addresses;
    if (!ReadAdapters(adapters, why))
        return addresses;
    for (const Adapter& a : adapters)
        for (const AdapterAddress& address : a.addresses)
            if (a.state == AdapterState::Up && address.state == AddressState::Preferred)
                addresses.push_back(AddressText(address.address));
    std::sort(addresses.begin(), addresses.end());
    return addresses;
}

// Sends the query from each address; the addresses whose query the scanner answered, in answered.
Outcome SendFromEach(const std::vector<CDeviceFinder::Route>& routes, const CLocalScanner& scanner,
                     std::vector<std::string>& answered, Outcome& loop)
{
    std::vector<CSocketHandle> sockets;
    std::vector<std::string> sent, failed;
    for (const CDeviceFinder::Route& route : routes)
    {
        CSocketHandle s(::socket(AF_INET, SOCK_DGRAM, 0));
        const BOOL on = TRUE;
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr = route.local;
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
        to.sin_port = htons(CDeviceFinder::kPort);
        const int length = static_cast<int>(sizeof CDeviceFinder::kQuery - 1);
        const bool ok =
            s.IsValid() &&
            ::setsockopt(s.Get(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) == 0 &&
            ::bind(s.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 &&
            ::sendto(s.Get(), CDeviceFinder::kQuery, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) ==
                length;
        (ok ? sent : failed)
            .push_back(AddressText(route.local) + (ok ? "" : " (" + SocketErrorText(::WSAGetLastError()) + ")"));
        if (ok)
            sockets.push_back(std::move(s));
    }
    const Outcome send = Checked(kBroadcastSend, failed.empty() ? Outcome::Pass : Outcome::Fail,
                                 "sent from: " + Joined(sent) + "; could not send from: " + Joined(failed));
    if (!scanner.Listening())
    {
        loop = Checked(kBroadcastLoop, scanner.PortTaken() ? Outcome::Skip : Outcome::Fail, scanner.Why());
        return send;
    }
    const DWORD start = ::GetTickCount();
    std::vector<bool> heard(sockets.size(), false);
    while (!sockets.empty() && ::GetTickCount() - start < kAnswerWaitMs &&
           std::count(heard.begin(), heard.end(), false) > 0)
    {
        fd_set readable;
        FD_ZERO(&readable);
        for (const CSocketHandle& s : sockets)
            FD_SET(s.Get(), &readable);
        timeval wait{0, 100 * 1000};
        if (::select(0, &readable, nullptr, nullptr, &wait) <= 0)
            continue;
        for (size_t i = 0; i < sockets.size(); ++i)
        {
            char buffer[1500];
            if (FD_ISSET(sockets[i].Get(), &readable) && ::recv(sockets[i].Get(), buffer, sizeof buffer, 0) > 0)
                heard[i] = true;
        }
    }
    std::vector<std::string> silent;
    for (size_t i = 0; i < sockets.size(); ++i)
        (heard[i] ? answered : silent).push_back(sent[i]);
    loop = Checked(kBroadcastLoop, silent.empty() && !answered.empty() ? Outcome::Pass : Outcome::Fail,
                   "answered within " + std::to_string(kAnswerWaitMs / 1000) + " s: " + Joined(answered) +
                       "; not answered: " + Joined(silent));
    return send;
}

std::string FileText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// The dialog's pass against the scanner, then OK: both checks' outcomes.
std::vector<Outcome> DiscoverAndStore(const std::vector<std::string>& answered, const std::string& log)
{
    const auto unstored = [](const Outcome& discover) {
        return std::vector<Outcome>{discover, Checked(kOkStores, Outcome::Skip, "Discover listed nothing to store")};
    };
    ProgramRun run;
    run.CopyBeside("ENG.dll");
    run.WriteFile("twain.ini", "[MODEL]\r\nMFG=" + SelfTestMaker() + "\r\nMDL=Discovery\r\n");
    if (!run.Start() || !run.WaitForDialog())
        return unstored(Checked(kDiscover, Outcome::Fail, "the dialog did not show within 15 s"));
    const std::string before = FileText(log);
    run.Command(IDC_DISCOVER);
    // The pass locks Discover and gives it back when it ends, 2.5 s on.
    const bool ended = WaitFor([&] { return !run.Enabled(IDC_DISCOVER); }, 5000) &&
                       WaitFor([&] { return run.Enabled(IDC_DISCOVER); }, 15000);
    if (HWND box = FindMessageBox(run.ProcessId()))
    {
        const std::string text = ReadMessageBox(box).text;
        CloseMessageBox(box);
        return unstored(Checked(kDiscover, Outcome::Fail, "the pass ended with the message \"" + text + "\""));
    }
    const std::vector<std::string> entries = run.Entries();
    // The queries the scanner answered during the pass.
    const std::string heard = FileText(log).substr(before.size());
    std::string listed;
    for (const std::string& entry : entries)
        if (std::find(answered.begin(), answered.end(), entry) != answered.end() &&
            heard.find("query from " + entry + ":") != std::string::npos)
            listed = entry;
    const Outcome discover =
        Checked(kDiscover, ended && !listed.empty() ? Outcome::Pass : Outcome::Fail,
                std::string(ended ? "" : "the pass did not end within 15 s; ") + "listed: " + Joined(entries) +
                    "; the simulated scanner during the pass: " + (heard.empty() ? "no query" : heard));
    if (listed.empty())
        return unstored(discover);
    const int index = static_cast<int>(std::find(entries.begin(), entries.end(), listed) - entries.begin());
    ::SendMessageA(run.Item(IDC_DEVICE_LIST), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    run.Command(IDC_OK_BTN);
    const bool ok = run.WaitForExit() && run.ExitCode() == IDOK;
    const StoredValue stored = ReadValue(SettingsKeyPath(SelfTestMaker(), "Discovery"), "Velmora");
    const bool same = stored.present && stored.bytes == PortBytes(listed);
    return {discover, Checked(kOkStores, ok && same ? Outcome::Pass : Outcome::Fail,
                              std::string(ok ? "the dialog ended with OK" : "the dialog did not end with OK") +
                                  "; Velmora " + (same ? "holds " : "does not hold ") + listed)};
}
}  // namespace

std::vector<Outcome> CheckNetwork(const std::string& dir, const std::string& work)
{
    std::vector<Outcome> outcomes;
    std::vector<std::string> failures;
    const std::vector<CDeviceFinder::Route> routes = CDeviceFinder::HostRoutes(&failures);
    std::vector<std::string> named;
    for (const CDeviceFinder::Route& route : routes)
        named.push_back(AddressText(route.local));
    std::sort(named.begin(), named.end());
    std::string why;
    const std::vector<std::string> up = UpAddresses(why);
    const std::string seen = "the name: " + Joined(named) + "; up adapters: " + (why.empty() ? Joined(up) : why);
    if (named.empty() && up.empty() && why.empty())
        outcomes.push_back(Checked(kHostName, Outcome::Skip, "no adapter with an IPv4 address is up (" + seen + ")"));
    else
        outcomes.push_back(Checked(kHostName, named == up ? Outcome::Pass : Outcome::Fail, seen));

    const std::string skipped = "this PC's name lists no address to send from (" + Joined(failures) + ")";
    if (routes.empty())
    {
        for (const Check* check : {&kBroadcastSend, &kBroadcastLoop, &kDiscover, &kOkStores})
            outcomes.push_back(Checked(*check, Outcome::Skip, skipped));
        return outcomes;
    }
    const std::string log = work + "scansim.log";
    CLocalScanner scanner(dir, log);
    std::vector<std::string> answered;
    Outcome loop;
    outcomes.push_back(SendFromEach(routes, scanner, answered, loop));
    outcomes.push_back(loop);
    if (answered.empty())
    {
        for (const Check* check : {&kDiscover, &kOkStores})
            outcomes.push_back(Checked(*check, Outcome::Skip, "no broadcast of this PC came back to it (see above)"));
        return outcomes;
    }
    for (const Outcome& o : DiscoverAndStore(answered, log))
        outcomes.push_back(o);
    return outcomes;
}
