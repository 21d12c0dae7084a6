#include "Diagnosis.h"

#include "CommandLine.h"
#include "discovery/DeviceFinder.h"
#include "framework/Sockets.h"

#include <algorithm>
#include <cstdint>

namespace
{
// An address as a number, its first part highest; from the bytes, as they
// are in memory, so that no Windows Sockets call is needed.
uint32_t Number(in_addr address)
{
    const auto* b = reinterpret_cast<const unsigned char*>(&address.s_addr);
    return static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 | static_cast<uint32_t>(b[2]) << 8 |
           b[3];
}

// A dotted address (IsDottedAddress) as a number; 0 for text that is none.
uint32_t Number(const std::string& dotted)
{
    if (!IsDottedAddress(dotted))
        return 0;
    uint32_t value = 0;
    size_t at = 0;
    for (int part = 0; part < 4; ++part)
    {
        const size_t dot = dotted.find('.', at);
        value = value << 8 | static_cast<uint32_t>(std::stoul(dotted.substr(at, dot - at)));
        at = dot + 1;
    }
    return value;
}

std::string Text(uint32_t n)
{
    return std::to_string(n >> 24) + '.' + std::to_string(n >> 16 & 0xFF) + '.' + std::to_string(n >> 8 & 0xFF) + '.' +
           std::to_string(n & 0xFF);
}

uint32_t MaskOf(int prefix)
{
    return prefix <= 0 ? 0 : prefix >= 32 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> prefix);
}

bool IsUp(const Adapter& adapter)
{
    return adapter.state == AdapterState::Up;
}

bool Listed(const std::vector<in_addr>& addresses, in_addr address)
{
    return std::any_of(addresses.begin(), addresses.end(), [&](in_addr a) { return a.s_addr == address.s_addr; });
}

// The adapter address an answer came in on, for its network; null when none has it.
const AdapterAddress* LocalAddress(const DiagnosisFacts& facts, const std::string& via)
{
    for (const Adapter& adapter : facts.adapters)
    {
        const auto found = std::find_if(adapter.addresses.begin(), adapter.addresses.end(),
                                        [&](const AdapterAddress& a) { return Number(a.address) == Number(via); });
        if (found != adapter.addresses.end())
            return &*found;
    }
    return nullptr;
}

// The first other device that answered on the stored address's network.
const Answer* AnswerBesideStored(const DiagnosisFacts& facts, std::string& network)
{
    const uint32_t stored = Number(facts.stored);
    for (const Answer& answer : facts.answers)
    {
        const AdapterAddress* local = LocalAddress(facts, answer.via);
        if (!local || answer.address == facts.stored)
            continue;
        const uint32_t mask = MaskOf(local->prefix);
        if ((stored & mask) == (Number(local->address) & mask))
        {
            network = Text(stored & mask) + "/" + std::to_string(local->prefix);
            return &answer;
        }
    }
    return nullptr;
}

const char kEachNetworkFix[] = "Run connscan list --each-network, which asks it; connscan set network ADDRESS "
                               "stores a device found there.";

void FirewallFindings(const DiagnosisFacts& facts, std::vector<Finding>& findings, bool& blocks)
{
    // Which profile is active is known, or all are taken as possibly active.
    const bool anyKnownActive = std::any_of(facts.firewall.begin(), facts.firewall.end(),
                                            [](const FirewallProfile& p) { return p.active == Activity::Active; });
    for (const FirewallProfile& profile : facts.firewall)
    {
        const bool counts =
            profile.active == Activity::Active || (!anyKnownActive && profile.active != Activity::Inactive);
        if (profile.answers != Verdict::Blocked || !counts)
            continue;
        blocks = true;
        const bool policy = std::string(profile.source) == kByGroupPolicy;
        const std::string meanwhile = "; meanwhile connscan probe ADDRESS and connscan set network ADDRESS work.";
        findings.push_back(
            {"firewall-blocks-answers",
             std::string("Windows Firewall drops unicast answers to a broadcast in the ") + profile.name +
                 " profile (" + profile.source +
                 "): the scanners answer the dialog's query, and Windows throws "
                 "their answers away.",
             policy ? "Ask the administrator to allow unicast responses to multicast or broadcast requests in the "
                      "firewall's Group Policy" +
                          meanwhile
                    : std::string("As an administrator: netsh advfirewall set ") + profile.name +
                          "profile settings unicastresponsetomulticast enable" + meanwhile});
    }
}

bool AnsweredBroadcast(const DiagnosisFacts& facts)
{
    return std::any_of(facts.answers.begin(), facts.answers.end(),
                       [&](const Answer& a) { return a.address == facts.stored; });
}

// Why the stored device was not found by the dialog, when it was not.
void StoredDeviceFindings(const DiagnosisFacts& facts, bool firewallBlocks, std::vector<Finding>& findings)
{
    const std::string& stored = facts.stored;
    if (AnsweredBroadcast(facts))
        return;
    if (facts.probeAnswered)
    {
        // With the firewall dropping broadcast answers, that says it all.
        if (!firewallBlocks)
            findings.push_back({"stored-beyond-broadcast",
                                "The stored device " + stored +
                                    " answered when asked directly, but not the dialog's broadcast: it is beyond a "
                                    "router, where a broadcast does not reach.",
                                "None needed for the scanner software, which asks it directly; the dialog cannot list "
                                "it, so keep it with connscan set network " +
                                    stored + "."});
        return;
    }
    std::string network;
    if (const Answer* other = AnswerBesideStored(facts, network))
        findings.push_back(
            {"stored-moved",
             "The stored device " + stored + " did not answer, but " + other->address + " answered on its network " +
                 network + ": the scanner has likely got a new address.",
             "Run connscan set network " + other->address + ", or choose " + other->address + " in the dialog."});
    else
        findings.push_back(
            {"stored-silent",
             "The stored device " + stored + " did not answer, and nothing else answered on its network.",
             "Check that the scanner is switched on and connected, and the address its panel shows."});
}
}  // namespace

std::vector<in_addr> NameAddressesNotUp(const DiagnosisFacts& facts)
{
    std::vector<in_addr> missing;
    if (!facts.adaptersRead)
        return missing;
    for (const in_addr address : facts.dialogAddresses)
    {
        const bool up =
            std::any_of(facts.adapters.begin(), facts.adapters.end(),
                        [&](const Adapter& adapter)
                        {
                            return IsUp(adapter) && std::any_of(adapter.addresses.begin(), adapter.addresses.end(),
                                                                [&](const AdapterAddress& a)
                                                                { return a.address.s_addr == address.s_addr; });
                        });
        if (!up)
            missing.push_back(address);
    }
    return missing;
}

bool IsLinkLocal(in_addr address)
{
    return (Number(address) >> 16) == 0xA9FE;  // 169.254
}

bool StoredChoiceWorks(const DiagnosisFacts& facts)
{
    if (facts.port == "usb")
        return true;
    return facts.port == "network" && !facts.stored.empty() && (facts.probeAnswered || AnsweredBroadcast(facts));
}

std::vector<Finding> Judge(const DiagnosisFacts& facts)
{
    std::vector<Finding> findings;
    const bool usb = facts.port == "usb";
    const bool network = facts.port == "network" && !facts.stored.empty();
    if (usb)
        findings.push_back({"usb-stored", "USB is stored under " + facts.key + ": the network is not used.", ""});
    else if (!network)
        findings.push_back({"nothing-stored", "No connection is stored under " + facts.key + ".",
                            "Choose the scanner in the dialog, or run connscan set network ADDRESS."});
    else if (AnsweredBroadcast(facts))
        findings.push_back({"ok", "The stored device " + facts.stored + " answered the dialog's broadcast.", ""});

    if (facts.sent == 0)
        findings.push_back({"no-network",
                            "No network of this PC could be asked: no adapter is up with a usable "
                            "IPv4 address, and nothing was sent.",
                            "Connect this PC to the scanner's network, by cable or Wi-Fi."});
    for (const Adapter& adapter : facts.adapters)
    {
        const bool onlyLinkLocal = IsUp(adapter) && !adapter.addresses.empty() &&
                                   std::all_of(adapter.addresses.begin(), adapter.addresses.end(),
                                               [](const AdapterAddress& a) { return IsLinkLocal(a.address); });
        if (onlyLinkLocal)
            findings.push_back({"link-local-only",
                                "Adapter " + adapter.name + " is up with only the address " +
                                    AddressText(adapter.addresses[0].address) + ": it got no address from DHCP.",
                                "Check the cable of " + adapter.name +
                                    " and the network's DHCP server (mostly the router), then run ipconfig /renew."});
    }
    bool firewallBlocks = false;
    FirewallFindings(facts, findings, firewallBlocks);
    if (network && facts.sent > 0)
        StoredDeviceFindings(facts, firewallBlocks, findings);
    for (const Adapter& adapter : facts.adapters)
        for (const AdapterAddress& a : adapter.addresses)
            if (IsUp(adapter) && !IsLinkLocal(a.address) && !Listed(facts.dialogAddresses, a.address))
                findings.push_back({"name-misses-network",
                                    "Adapter " + adapter.name + " is up at " + AddressText(a.address) + "/" +
                                        std::to_string(a.prefix) +
                                        ", but this PC's name does not list it: the dialog does not ask its network.",
                                    kEachNetworkFix});
    if (facts.sent > 0 && facts.answers.empty() && !facts.probeAnswered)
        findings.push_back(
            {"nothing-answered",
             "No device answered on any network within " + std::to_string(CDeviceFinder::kCollectMs / 1000) + " s.",
             ""});
    return findings;
}
