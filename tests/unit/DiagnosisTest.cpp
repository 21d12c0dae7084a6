// Judging what diagnose gathered, on facts made here: among them firewall
// and adapter states that no test network can give.
#include "console/Diagnosis.h"

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

Adapter UpAdapter(const char* name, const char* address, int prefix)
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
    f.adapters = {UpAdapter("Ethernet", "192.168.1.5", 24)};
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
        std::string said;  // in the text or the fix of the last finding
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
             f.adapters[0].state = AdapterState::NoCable;
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
             f.adapters.push_back(UpAdapter("Wi-Fi", "169.254.7.9", 16));
             f.dialogAddresses.push_back(Address("169.254.7.9"));
         },
         {"ok", "link-local-only"},
         true,
         "Wi-Fi is up with only the address 169.254.7.9"},
        {"a firewall that blocks, and a device that answers directly",
         [](DiagnosisFacts& f)
         {
             f.firewall[1] = Profile("private", Verdict::Blocked, kByGroupPolicy, Activity::Active);
             f.answers.clear();
         },
         {"firewall-blocks-answers"},
         true,
         "Group Policy"},
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
         [](DiagnosisFacts& f) { f.firewall[2].answers = Verdict::Blocked; },
         {"ok"},
         true,
         "answered"},
        {"a block where nobody knows which profile is active",
         [](DiagnosisFacts& f)
         {
             for (FirewallProfile& p : f.firewall)
                 p.active = Activity::Unknown;
             f.firewall[2].answers = Verdict::Blocked;
         },
         {"ok", "firewall-blocks-answers"},
         true,
         "netsh advfirewall set publicprofile settings unicastresponsetomulticast enable"},
        {"the stored device moved",
         [](DiagnosisFacts& f)
         {
             f.answers = {{"10.0.75.31", "10.0.75.1"}, {"192.168.1.31", "192.168.1.5"}};
             f.adapters.push_back(UpAdapter("vEthernet", "10.0.75.1", 24));
             f.dialogAddresses.push_back(Address("10.0.75.1"));
             f.probeAnswered = false;
         },
         {"stored-moved"},
         false,
         "connscan set network 192.168.1.31"},
        {"the stored device is beyond a router",
         [](DiagnosisFacts& f)
         {
             f.stored = "10.1.9.20";
             f.answers.clear();
         },
         {"stored-beyond-broadcast"},
         true,
         "keep it with connscan set network 10.1.9.20"},
        {"the stored device is silent, another network answers",
         [](DiagnosisFacts& f)
         {
             f.answers = {{"10.0.75.31", "10.0.75.1"}};
             f.adapters.push_back(UpAdapter("vEthernet", "10.0.75.1", 24));
             f.dialogAddresses.push_back(Address("10.0.75.1"));
             f.probeAnswered = false;
         },
         {"stored-silent"},
         false,
         "switched on"},
        {"a network the name misses",
         [](DiagnosisFacts& f) { f.adapters.push_back(UpAdapter("vEthernet (WSL)", "172.20.1.1", 20)); },
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
        const Finding& last = findings.back();
        EXPECT_NE(std::string::npos, (last.text + " " + last.fix).find(c.said)) << last.text << " / " << last.fix;
        for (const Finding& f : findings)
            EXPECT_EQ('.', f.text.back()) << f.code << ": one plain sentence";
    }
}

TEST(Diagnosis, TheDialogsViewAgainstTheAdapters)
{
    DiagnosisFacts facts = Healthy();
    facts.dialogAddresses.push_back(Address("10.8.0.6"));  // a VPN that is gone
    ASSERT_EQ(1u, NameAddressesNotUp(facts).size());
    EXPECT_EQ(Address("10.8.0.6").s_addr, NameAddressesNotUp(facts)[0].s_addr);
    facts.adaptersRead = false;  // then nothing can be said of them
    EXPECT_TRUE(NameAddressesNotUp(facts).empty());
    EXPECT_TRUE(IsLinkLocal(Address("169.254.0.1")));
    EXPECT_FALSE(IsLinkLocal(Address("169.253.255.255")));
}
