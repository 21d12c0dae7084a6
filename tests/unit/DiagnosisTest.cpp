// Judging what diagnose gathered, on facts made here: among them firewall
// and adapter states that no test network can give.
#include "diagnosis/Diagnosis.h"
#include "console/DiagnosisReport.h"
#include "framework/AnsiText.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace
{
in_addr Address(const char* dotted)
{
    in_addr a{};
    a.s_addr = ::inet_addr(dotted);
    return a;
}

Adapter UpAdapter(const wchar_t* name, const char* address, int prefix)
{
    Adapter adapter;
    adapter.name = name;
    adapter.state = AdapterState::Up;
    adapter.addresses.push_back({Address(address), prefix});
    return adapter;
}

FirewallProfile Profile(const char* name, Verdict answers, const char* source, Activity active)
{
    FirewallProfile p;
    p.name = name;
    p.answers = answers;
    p.source = source;
    p.active = active;
    return p;
}

// A PC whose stored scanner answers: one network, the private profile active.
DiagnosisFacts Healthy()
{
    DiagnosisFacts f;
    f.key = "HKEY_CURRENT_USER\\SOFTWARE\\ORVEL\\QX7S&QN8S";
    f.port = "network";
    f.stored = "192.168.1.20";
    f.adaptersRead = true;
    f.adapters = {UpAdapter(L"Ethernet", "192.168.1.5", 24)};
    f.dialogAddresses = {Address("192.168.1.5")};
    f.firewall = {Profile("domain", Verdict::Allowed, kByLocalSetting, Activity::Inactive),
                  Profile("private", Verdict::Allowed, kByLocalSetting, Activity::Active),
                  Profile("public", Verdict::Allowed, kByLocalSetting, Activity::Inactive)};
    f.sent = 2;
    f.answers = {{"192.168.1.20", "192.168.1.5"}};
    f.probed = true;
    f.probeAnswered = true;
    return f;
}

// A finding's text and fix, in the ANSI code page.
std::string Ansi(const Finding& f)
{
    return FromWide(f.text + L" / " + f.fix, CP_ACP);
}

std::vector<std::string> Codes(const std::vector<Finding>& findings)
{
    std::vector<std::string> codes;
    for (const Finding& f : findings)
        codes.push_back(f.code);
    return codes;
}
}  // namespace

TEST(Diagnosis, EachCauseIsNamedMostLikelyFirstWithItsFix)
{
    const struct
    {
        const char* what;
        std::function<void(DiagnosisFacts&)> change;
        std::vector<std::string> codes;
        bool works;
        std::string said;            // in the text or the fix of the last finding
        std::string neverSaid = "";  // in no finding
    } cases[] = {
        {"healthy", [](DiagnosisFacts&) {}, {"ok"}, true, "192.168.1.20 answered the dialog's broadcast"},
        {"USB", [](DiagnosisFacts& f) { f.port = "usb"; }, {"usb-stored"}, true, "network is not used"},
        {"nothing stored",
         [](DiagnosisFacts& f)
         {
             f.port = "not set";
             f.stored.clear();
             f.probed = f.probeAnswered = false;
         },
         {"nothing-stored"},
         false,
         "connscan set network"},
        {"no network",
         [](DiagnosisFacts& f)
         {
             f.adapters[0].state = AdapterState::Disconnected;
             f.dialogAddresses.clear();
             f.sent = 0;
             f.answers.clear();
             f.probeAnswered = false;
         },
         {"no-network"},
         false,
         "by cable or Wi-Fi"},
        {"a link-local adapter beside a good one",
         [](DiagnosisFacts& f)
         {
             f.adapters.push_back(UpAdapter(L"Wi-Fi", "169.254.7.9", 16));
             f.dialogAddresses.push_back(Address("169.254.7.9"));
         },
         {"ok", "link-local-only"},
         true,
         "Wi-Fi is up with only the address 169.254.7.9"},
        {"a firewall that blocks, and a device on this PC's network that answers directly",
         [](DiagnosisFacts& f)
         {
             f.firewall[1] = Profile("private", Verdict::Blocked, kByGroupPolicy, Activity::Active);
             f.answers.clear();
         },
         {"firewall-blocks-answers", "stored-misses-broadcast"},
         true,
         "the firewall drops answers to a broadcast (firewall-blocks-answers), the Wi-Fi",
         "beyond a router"},
        {"a device on this PC's network that answers only when asked directly",
         [](DiagnosisFacts& f) {
             f.answers = {{"192.168.1.31", "192.168.1.5"}};
         },
         {"stored-misses-broadcast"},
         true,
         "on this PC's network 192.168.1.0/24: the Wi-Fi or switch may keep its clients apart",
         "firewall"},
        {"a local setting that blocks, which netsh mends",
         [](DiagnosisFacts& f)
         {
             f.firewall[1].answers = Verdict::Blocked;
             f.answers.clear();
             f.probeAnswered = false;
         },
         {"firewall-blocks-answers", "stored-silent", "nothing-answered"},
         false,
         "within 2 s"},
        {"a block in a profile that is not active",
         [](DiagnosisFacts& f)
         {
             f.firewall[2].answers = Verdict::Blocked;
             f.answers.clear();
             f.probeAnswered = false;
         },
         {"stored-silent", "nothing-answered"},
         false,
         "within 2 s"},
        {"answers that arrived although a profile in use blocks them",
         [](DiagnosisFacts& f) { f.firewall[1].answers = Verdict::Blocked; },
         {"ok"},
         true,
         "answered the dialog's broadcast"},
        {"a block where nobody knows which profile is active, and no answer",
         [](DiagnosisFacts& f)
         {
             for (FirewallProfile& p : f.firewall)
                 p.active = Activity::Unknown;
             f.firewall[2].answers = Verdict::Blocked;
             f.answers.clear();
         },
         {"firewall-blocks-answers", "stored-misses-broadcast"},
         true,
         "client isolation"},
        {"the stored device moved",
         [](DiagnosisFacts& f)
         {
             f.answers = {{"10.0.75.31", "10.0.75.1"}, {"192.168.1.31", "192.168.1.5"}};
             f.adapters.push_back(UpAdapter(L"vEthernet", "10.0.75.1", 24));
             f.dialogAddresses.push_back(Address("10.0.75.1"));
             f.probeAnswered = false;
         },
         {"stored-moved"},
         false,
         "192.168.1.31 answered on its network 192.168.1.0/24"},
        {"several devices where the stored one was",
         [](DiagnosisFacts& f)
         {
             f.answers = {
                 {"192.168.1.31", "192.168.1.5"}, {"192.168.1.32", "192.168.1.5"}, {"192.168.1.31", "192.168.1.5"}};
             f.probeAnswered = false;
         },
         {"stored-candidates"},
         false,
         "but 192.168.1.31 and 192.168.1.32 answered on its network 192.168.1.0/24",
         "set network 192.168.1.3"},
        {"a device on the neighbouring network is no new address",
         [](DiagnosisFacts& f)
         {
             f.answers = {{"192.168.0.31", "192.168.0.5"}};
             f.adapters.push_back(UpAdapter(L"LAN 2", "192.168.0.5", 24));
             f.dialogAddresses.push_back(Address("192.168.0.5"));
             f.probeAnswered = false;
         },
         {"stored-silent"},
         false,
         "switched on"},
        {"the stored device is beyond a router",
         [](DiagnosisFacts& f)
         {
             f.stored = "10.1.9.20";
             f.answers.clear();
         },
         {"stored-beyond-broadcast"},
         true,
         "keep it with connscan set network 10.1.9.20"},
        {"no way to the stored device",
         [](DiagnosisFacts& f)
         {
             f.stored = "10.1.9.20";
             f.probed = f.probeAnswered = false;
             f.probeFailed = "Windows Sockets error 10051: A socket operation was attempted to an unreachable network";
         },
         {"stored-unreachable"},
         false,
         "could not be sent: Windows Sockets error 10051",
         "switched on"},
        {"a stored address no device can have",
         [](DiagnosisFacts& f)
         {
             f.stored = "192.168.1.255";
             f.storedInvalid = "is not a device address: the broadcast address of this PC's network 192.168.1.0/24";
             f.probed = f.probeAnswered = false;
         },
         {"stored-invalid"},
         false,
         "so it was not asked",
         "did not answer"},
        {"a network port stored without an address",
         [](DiagnosisFacts& f)
         {
             f.stored.clear();
             f.probed = f.probeAnswered = false;
         },
         {"nothing-stored"},
         false,
         "but no device address with it",
         "did not answer"},
        {"USB stored, an address kept",
         [](DiagnosisFacts& f) { f.port = "usb"; },
         {"usb-stored"},
         true,
         "the address kept with it, 192.168.1.20, is not in use"},
        {"the stored device is silent, another network answers",
         [](DiagnosisFacts& f)
         {
             f.answers = {{"10.0.75.31", "10.0.75.1"}};
             f.adapters.push_back(UpAdapter(L"vEthernet", "10.0.75.1", 24));
             f.dialogAddresses.push_back(Address("10.0.75.1"));
             f.probeAnswered = false;
         },
         {"stored-silent"},
         false,
         "switched on"},
        {"addresses Windows does not use: a duplicate and a tentative one",
         [](DiagnosisFacts& f)
         {
             Adapter wifi = UpAdapter(L"Wi-Fi", "192.168.1.7", 24);
             wifi.addresses[0].state = AddressState::Duplicate;
             wifi.addresses.push_back({Address("10.0.0.9"), 24, AddressState::Tentative});
             f.adapters.push_back(wifi);
         },
         {"ok", "address-conflict"},
         true,
         "Wi-Fi has its address 192.168.1.7",
         "this PC's name does not list"},
        {"a direct cable, both ends link-local",
         [](DiagnosisFacts& f)
         {
             f.adapters = {UpAdapter(L"Ethernet", "169.254.10.1", 16)};
             f.dialogAddresses = {Address("169.254.10.1")};
             f.stored = "169.254.20.2";
             f.answers = {{"169.254.20.2", "169.254.10.1"}};
         },
         {"ok"},
         true,
         "169.254.20.2 answered"},
        {"an adapter up without an IPv4 address",
         [](DiagnosisFacts& f)
         {
             Adapter v6 = UpAdapter(L"Wi-Fi", "0.0.0.0", 0);
             v6.addresses.clear();
             f.adapters.push_back(v6);
         },
         {"ok"},
         true,
         "answered"},
        {"a network the name misses",
         [](DiagnosisFacts& f) { f.adapters.push_back(UpAdapter(L"vEthernet (WSL)", "172.20.1.1", 20)); },
         {"ok", "name-misses-network"},
         true,
         "172.20.1.1/20"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        DiagnosisFacts facts = Healthy();
        c.change(facts);
        const std::vector<Finding> findings = Judge(facts);
        EXPECT_EQ(c.codes, Codes(findings));
        EXPECT_EQ(c.works, StoredChoiceWorks(facts));
        ASSERT_FALSE(findings.empty());
        const std::string last = Ansi(findings.back());
        EXPECT_NE(std::string::npos, last.find(c.said)) << last;
        for (const Finding& f : findings)
        {
            EXPECT_EQ(L'.', f.text.back()) << f.code << ": one plain sentence";
            if (!c.neverSaid.empty())
            {
                EXPECT_EQ(std::string::npos, Ansi(f).find(c.neverSaid)) << Ansi(f);
            }
        }
    }
}

TEST(Diagnosis, TheDialogsViewAgainstTheAdapters)
{
    DiagnosisFacts facts = Healthy();
    facts.dialogAddresses.push_back(Address("10.8.0.6"));  // a VPN that is gone
    Adapter vpn = UpAdapter(L"VPN", "10.8.0.6", 32);
    vpn.state = AdapterState::Disconnected;
    facts.adapters.push_back(vpn);
    ASSERT_EQ(1u, NameAddressesNotUp(facts).size());
    EXPECT_EQ(Address("10.8.0.6").s_addr, NameAddressesNotUp(facts)[0].s_addr);
    facts.adaptersRead = false;  // then nothing can be said of them
    EXPECT_TRUE(NameAddressesNotUp(facts).empty());
    EXPECT_TRUE(IsLinkLocal(Address("169.254.0.1")));
    EXPECT_FALSE(IsLinkLocal(Address("169.253.255.255")));
}

TEST(Diagnosis, AnAdaptersNameReachesTheReportAndTheJsonWhateverItsScript)
{
    // Cyrillic, which the test's ANSI code page (1252) cannot hold.
    const std::wstring name = L"\x0421\x0435\x0442\x044c 2";
    DiagnosisFacts facts = Healthy();
    facts.adapters.push_back(UpAdapter(name.c_str(), "169.254.7.9", 16));
    const std::vector<Finding> findings = Judge(facts);
    ASSERT_EQ(std::vector<std::string>({"ok", "link-local-only"}), Codes(findings));
    EXPECT_EQ(0u, findings[1].text.find(L"Adapter " + name + L" is up"));
    EXPECT_NE(std::wstring::npos, DiagnosisText(facts, findings).find(L"\n  " + name + L": up\n"));
    const std::string json = DiagnosisJson(facts, findings);
    EXPECT_NE(std::string::npos, json.find("\"name\": \"\\u0421\\u0435\\u0442\\u044c 2\"")) << json;
    EXPECT_NE(std::string::npos, json.find("Adapter \\u0421\\u0435\\u0442\\u044c 2 is up")) << json;
}
