#include "Checks.h"

#include "config/LangLibrary.h"
#include "config/PortRecord.h"
#include "diagnosis/Adapters.h"
#include "diagnosis/FirewallState.h"
#include "framework/AnsiText.h"
#include "framework/Sockets.h"
#include "res/langids.h"
#include "res/resource.h"
#include "support/ProgramRun.h"
#include "support/Registry.h"
#include "support/TestKey.h"

#include <windows.h>

namespace
{
const Check kWinsock = {"Windows Sockets 1.1 is granted as asked",
                        "WSAStartup asked for version 1.1 succeeds and grants 1.1",
                        "https://learn.microsoft.com/windows/win32/api/winsock/nf-winsock-wsastartup"};
const Check kLanguage = {
    "A resource-only library loads as data from the program's folder",
    "LoadLibraryEx with LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE loads ENG.dll beside the program, "
    "and its texts load",
    "https://learn.microsoft.com/windows/win32/api/libloaderapi/nf-libloaderapi-loadlibraryexa"};
const Check kCommonControls = {
    "The manifest gives Common Controls 6",
    "the dialog's device list answers CB_GETMINVISIBLE, which only version 6 knows, with its default of 30",
    "https://learn.microsoft.com/windows/win32/controls/cookbook-overview, "
    "https://learn.microsoft.com/windows/win32/controls/cb-getminvisible"};
const Check kDpi = {"The manifest gives per-monitor DPI awareness v2 where Windows has it",
                    "the dialog's window is per-monitor aware v2 on Windows 10 version 1703 and later",
                    "https://learn.microsoft.com/windows/win32/hidpi/setting-the-default-dpi-awareness-for-a-process, "
                    "https://learn.microsoft.com/windows/win32/api/winuser/nf-winuser-getwindowdpiawarenesscontext"};
const Check kRegistry = {
    "The three values round-trip as REG_BINARY",
    "PortType, Velmora and SaveSetting, written by the program's own code under the self-test's key, read back "
    "as REG_BINARY, byte for byte",
    "https://learn.microsoft.com/windows/win32/api/winreg/nf-winreg-regsetvalueexa"};
const Check kDiagnose = {"What connscan diagnose reads",
                         "the adapters and the firewall's state per profile are read; reported here, never changed",
                         "https://learn.microsoft.com/windows/win32/api/iphlpapi/nf-iphlpapi-getadaptersaddresses, "
                         "https://learn.microsoft.com/windows/win32/api/netfw/nn-netfw-inetfwpolicy2"};

Outcome CheckWinsock()
{
    WSADATA data{};
    const int error = ::WSAStartup(MAKEWORD(1, 1), &data);
    if (error != 0)
        return Checked(kWinsock, Outcome::Fail, "WSAStartup failed: " + SocketErrorText(error));
    const std::string seen =
        "granted " + std::to_string(LOBYTE(data.wVersion)) + "." + std::to_string(HIBYTE(data.wVersion)) +
        ", highest " + std::to_string(LOBYTE(data.wHighVersion)) + "." + std::to_string(HIBYTE(data.wHighVersion));
    // The layer stays up for the network checks.
    return Checked(kWinsock, data.wVersion == MAKEWORD(1, 1) ? Outcome::Pass : Outcome::Fail, seen);
}

Outcome CheckLanguageLibrary(const std::string& dir)
{
    const HMODULE hLib =
        ::LoadLibraryExA((dir + "ENG.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!hLib)
        return Checked(kLanguage, Outcome::Fail,
                       "ENG.dll did not load (error " + std::to_string(::GetLastError()) + ")");
    char text[CLangLibrary::kTextSize] = {};
    ::LoadStringA(hLib, IDS_DISCOVER, text, sizeof text);
    ::FreeLibrary(hLib);
    return Checked(kLanguage, std::string(text) == "Discover" ? Outcome::Pass : Outcome::Fail,
                   "loaded; text " + std::to_string(IDS_DISCOVER) + " reads \"" + text + "\"");
}

// Both from the dialog of the program in this folder.
std::vector<Outcome> CheckManifest()
{
    ProgramRun run;
    run.CopyBeside("ENG.dll");
    run.WriteFile("twain.ini", "[MODEL]\r\nMFG=" + SelfTestMaker() + "\r\nMDL=Manifest\r\n");
    if (!run.Start() || !run.WaitForDialog())
    {
        const std::string seen = "the dialog did not show within 15 s";
        return {Checked(kCommonControls, Outcome::Fail, seen), Checked(kDpi, Outcome::Fail, seen)};
    }
    const LRESULT visible = ::SendMessageW(run.Item(IDC_DEVICE_LIST), 0x1702 /* CB_GETMINVISIBLE */, 0, 0);
    std::vector<Outcome> outcomes = {Checked(kCommonControls, visible == 30 ? Outcome::Pass : Outcome::Fail,
                                             "CB_GETMINVISIBLE gave " + std::to_string(visible))};

    using ContextOfWindow = DPI_AWARENESS_CONTEXT(WINAPI*)(HWND);
    using ContextsEqual = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT, DPI_AWARENESS_CONTEXT);
    using ValidContext = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    const HMODULE user32 = ::GetModuleHandleA("user32.dll");
    const auto contextOf = reinterpret_cast<ContextOfWindow>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "GetWindowDpiAwarenessContext")));
    const auto equal = reinterpret_cast<ContextsEqual>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "AreDpiAwarenessContextsEqual")));
    const auto valid =
        reinterpret_cast<ValidContext>(reinterpret_cast<void*>(::GetProcAddress(user32, "IsValidDpiAwarenessContext")));
    if (!contextOf || !equal || !valid || !valid(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2))
        outcomes.push_back(Checked(kDpi, Outcome::Skip, "this Windows has no per-monitor awareness v2"));
    else
    {
        const DPI_AWARENESS_CONTEXT context = contextOf(run.Dialog());
        const bool v2 = equal(context, DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) != FALSE;
        const bool system = equal(context, DPI_AWARENESS_CONTEXT_SYSTEM_AWARE) != FALSE;
        const bool unaware = equal(context, DPI_AWARENESS_CONTEXT_UNAWARE) != FALSE;
        outcomes.push_back(Checked(kDpi, v2 ? Outcome::Pass : Outcome::Fail,
                                   v2        ? "per-monitor aware v2"
                                   : system  ? "system aware"
                                   : unaware ? "unaware"
                                             : "another awareness"));
    }
    run.Command(IDC_CANCEL_BTN);
    run.WaitForExit();
    return outcomes;
}

Outcome CheckRegistry()
{
    const std::string subKey = SettingsKeyPath(SelfTestMaker(), "Registry");
    CSettingsKey key;
    if (!WritePortRecord(key, subKey, false, "192.168.1.20"))
        return Checked(kRegistry, Outcome::Fail, "the program's code could not store under " + subKey);
    key.Close();
    const std::pair<const char*, std::vector<unsigned char>> expected[] = {
        {"PortType", {0}}, {"Velmora", PortBytes("192.168.1.20")}, {"SaveSetting", {1}}};
    std::string seen;
    bool same = true;
    for (const auto& value : expected)
    {
        const StoredValue stored = ReadValue(subKey, value.first);
        const bool ok = stored.present && stored.type == REG_BINARY && stored.bytes == value.second;
        same = same && ok;
        seen += std::string(seen.empty() ? "" : "; ") + value.first + (ok ? " as written" : " differs") + " (type " +
                std::to_string(stored.type) + ", " + std::to_string(stored.bytes.size()) + " bytes)";
    }
    return Checked(kRegistry, same ? Outcome::Pass : Outcome::Fail, seen);
}

const char* Word(Switch value)
{
    return value == Switch::On ? "on" : value == Switch::Off ? "off" : "not known";
}

const char* Word(Verdict value)
{
    return value == Verdict::Allowed ? "allowed" : value == Verdict::Blocked ? "blocked" : "not known";
}

const char* Word(Activity value)
{
    return value == Activity::Active ? "active" : value == Activity::Inactive ? "not active" : "activity not known";
}

Outcome CheckDiagnoseReads()
{
    std::vector<Adapter> adapters;
    std::string why;
    const bool read = ReadAdapters(adapters, why);
    std::string seen =
        read ? "adapters besides the loopback: " + std::to_string(adapters.size()) : "adapters not read: " + why;
    for (const Adapter& a : adapters)
    {
        seen += "\n  " + FromWide(a.name, CP_UTF8) + (a.state == AdapterState::Up ? ": up" : ": not up");
        for (const AdapterAddress& address : a.addresses)
            seen += " " + AddressText(address.address) + "/" + std::to_string(address.prefix);
    }
    for (const FirewallProfile& p : ReadFirewall())
    {
        seen += std::string("\n  firewall, ") + p.name + " profile: " + Word(p.firewall) + ", answers to a broadcast " +
                Word(p.answers) + (*p.source ? std::string(" (") + p.source + ")" : std::string()) + ", " +
                Word(p.active);
        if (!p.unknownWhy.empty())
            seen += ": " + p.unknownWhy;
    }
    return Checked(kDiagnose, read ? Outcome::Pass : Outcome::Fail, seen);
}
}  // namespace

Outcome Checked(const Check& check, Outcome::Kind kind, const std::string& seen)
{
    Outcome o;
    o.kind = kind;
    o.group = "platform";
    o.name = check.name;
    o.detail = std::string("expects: ") + check.expects + "\nrests on: " + check.restsOn + "\nseen: " + seen;
    return o;
}

std::string SelfTestMaker()
{
    return TestMaker("selftest");
}

std::vector<Outcome> CheckPlatform(const std::string& dir)
{
    std::vector<Outcome> outcomes = {CheckWinsock(), CheckLanguageLibrary(dir)};
    for (const Outcome& o : CheckManifest())
        outcomes.push_back(o);
    outcomes.push_back(CheckRegistry());
    outcomes.push_back(CheckDiagnoseReads());
    return outcomes;
}
