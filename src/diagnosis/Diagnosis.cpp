#include "Diagnosis.h"

#include "discovery/DeviceFinder.h"
#include "discovery/Ipv4.h"
#include "framework/AnsiText.h"
#include "framework/Sockets.h"

#include <algorithm>

namespace
{
// Text of the ANSI code page (a key, an address, a reason) in a finding's UTF-16.
std::wstring W(const std::string& text)
{
    return WideFromAnsi(text);
}

std::wstring W(in_addr address)
{
    return W(AddressText(address));
}

bool IsUp(const Adapter& adapter)
{
    return adapter.state == AdapterState::Up;
}

// An address Windows uses: not one still checked, nor one another device has.
bool InUse(const AdapterAddress& a)
{
    return a.state == AddressState::Preferred;
}

// Each address in use on an adapter that is up, with the adapter's.
template <typename F>
void ForEachAddressUp(const DiagnosisFacts& facts, F each)
{
    for (const Adapter& adapter : facts.adapters)
        if (IsUp(adapter))
            for (const AdapterAddress& a : adapter.addresses)
                if (InUse(a))
                    each(adapter, a);
}

bool Listed(const std::vector<in_addr>& addresses, in_addr address)
{
    return std::any_of(addresses.begin(), addresses.end(), [&](in_addr a) { return a.s_addr == address.s_addr; });
}

// The stored address as a number; 0 for text that is no address.
uint32_t Stored(const DiagnosisFacts& facts)
{
    CIpv4 stored(in_addr{});
    return CIpv4::Parse(facts.stored, stored) ? stored.Number() : 0;
}

// The PC's own network the stored address lies on ("" for none): an up
// adapter's address in use and its prefix contain it.
std::string StoredNetwork(const DiagnosisFacts& facts)
{
    std::string network;
    ForEachAddressUp(facts,
                     [&](const Adapter&, const AdapterAddress& a)
                     {
                         const CIpv4 local(a.address, a.prefix);
                         if (network.empty() && local.Contains(Stored(facts)))
                             network = local.NetworkText();
                     });
    return network;
}

// The other devices that answered on the stored address's network, and that network.
std::vector<std::string> AnswersBesideStored(const DiagnosisFacts& facts, std::string& network)
{
    std::vector<std::string> others;
    for (const Answer& answer : facts.answers)
    {
        if (answer.address == facts.stored)
            continue;
        for (const Adapter& adapter : facts.adapters)
            for (const AdapterAddress& a : adapter.addresses)
            {
                const CIpv4 local(a.address, a.prefix);
                if (AddressText(a.address) != answer.via || !local.Contains(Stored(facts)))
                    continue;
                network = local.NetworkText();
                if (std::find(others.begin(), others.end(), answer.address) == others.end())
                    others.push_back(answer.address);
            }
    }
    return others;
}

// "a", "a and b", "a, b and c".
std::wstring Enumerated(const std::vector<std::string>& items)
{
    std::wstring text;
    for (size_t i = 0; i < items.size(); ++i)
        text += (i == 0 ? L"" : i + 1 == items.size() ? L" and " : L", ") + W(items[i]);
    return text;
}

const wchar_t kEachNetworkFix[] = L"Run connscan list --each-network, which asks it; connscan set network ADDRESS "
                                  L"stores a device found there.";
const wchar_t kMeanwhile[] = L"; meanwhile connscan probe ADDRESS and connscan set network ADDRESS work.";
const wchar_t kChooseFix[] = L"Choose the scanner in the dialog, or run connscan set network ADDRESS.";

// The profiles in use that block unicast answers to a broadcast: the
// active ones, or all when which is active is not known.
std::vector<const FirewallProfile*> BlockingProfiles(const DiagnosisFacts& facts)
{
    const bool anyKnownActive = std::any_of(facts.firewall.begin(), facts.firewall.end(),
                                            [](const FirewallProfile& p) { return p.active == Activity::Active; });
    std::vector<const FirewallProfile*> blocking;
    for (const FirewallProfile& profile : facts.firewall)
    {
        const bool inUse =
            profile.active == Activity::Active || (!anyKnownActive && profile.active != Activity::Inactive);
        if (inUse && profile.answers == Verdict::Blocked)
            blocking.push_back(&profile);
    }
    return blocking;
}

void FirewallFindings(const std::vector<const FirewallProfile*>& blocking, std::vector<Finding>& findings)
{
    for (const FirewallProfile* profile : blocking)
    {
        const bool policy = std::string(profile->source) == kByGroupPolicy;
        findings.push_back(
            {"firewall-blocks-answers",
             L"Windows Firewall drops unicast answers to a broadcast in the " + W(profile->name) + L" profile (" +
                 W(profile->source) +
                 L"): the scanners answer the dialog's query, and Windows throws their answers "
                 L"away.",
             policy ? L"Ask the administrator to allow unicast responses to multicast or broadcast requests in the "
                      L"firewall's Group Policy" +
                          std::wstring(kMeanwhile)
                    : L"As an administrator: netsh advfirewall set " + W(profile->name) +
                          L"profile settings unicastresponsetomulticast enable" + kMeanwhile});
    }
}

bool AnsweredBroadcast(const DiagnosisFacts& facts)
{
    return std::any_of(facts.answers.begin(), facts.answers.end(),
                       [&](const Answer& a) { return a.address == facts.stored; });
}

// Why the stored device was not found by the dialog, when it was not;
// ownNetwork is the network of this PC it lies on, "" for none.
void StoredDeviceFindings(const DiagnosisFacts& facts, const std::string& ownNetwork, bool firewallBlocks,
                          std::vector<Finding>& findings)
{
    const std::wstring stored = W(facts.stored);
    if (!facts.probeFailed.empty())
    {
        findings.push_back(
            {"stored-unreachable",
             L"The query to the stored device " + stored + L" could not be sent: " + W(facts.probeFailed) + L".",
             L"Check this PC's way to " + stored +
                 L": a VPN that is down, or a network without a gateway (route print shows the "
                 L"routes)."});
        return;
    }
    if (facts.probeAnswered && !ownNetwork.empty())
    {
        findings.push_back(
            {"stored-misses-broadcast",
             L"The stored device " + stored +
                 L" answered when asked directly, but its answer to the dialog's broadcast did not come, although "
                 L"it is on this PC's network " +
                 W(ownNetwork) + L": " +
                 (firewallBlocks ? L"the firewall drops answers to a broadcast (firewall-blocks-answers), " : L"") +
                 L"the Wi-Fi or switch may keep its clients apart (client or port isolation), or the device may "
                 L"not answer a broadcast (its discovery setting).",
             L"None needed for the scanner software, which asks it directly; for the dialog to list it, " +
                 std::wstring(firewallBlocks ? L"allow the firewall's answers to a broadcast, " : L"") +
                 L"turn off client isolation on the access point, or turn on discovery on the device."});
        return;
    }
    if (facts.probeAnswered)
    {
        findings.push_back({"stored-beyond-broadcast",
                            L"The stored device " + stored +
                                L" answered when asked directly, but not the dialog's broadcast: it is beyond a "
                                L"router, where a broadcast does not reach.",
                            L"None needed for the scanner software, which asks it directly; the dialog cannot list "
                            L"it, so keep it with connscan set network " +
                                stored + L"."});
        return;
    }
    std::string network;
    const std::vector<std::string> others = AnswersBesideStored(facts, network);
    if (others.size() == 1)
        findings.push_back(
            {"stored-moved",
             L"The stored device " + stored + L" did not answer, but " + W(others[0]) + L" answered on its network " +
                 W(network) + L": the scanner has likely got a new address.",
             L"Run connscan set network " + W(others[0]) + L", or choose " + W(others[0]) + L" in the dialog."});
    else if (others.size() > 1)
        findings.push_back({"stored-candidates",
                            L"The stored device " + stored + L" did not answer, but " + Enumerated(others) +
                                L" answered on its network " + W(network) +
                                L": the scanner may have got one of their addresses, and which one cannot be told "
                                L"from here.",
                            L"Read the scanner's address on its panel, then choose it in the dialog."});
    else
        findings.push_back(
            {"stored-silent",
             L"The stored device " + stored + L" did not answer, and nothing else answered on its network.",
             L"Check that the scanner is switched on and connected, and the address its panel shows."});
}

// What is stored, when it is no device that answered the broadcast.
void StoredChoiceFinding(const DiagnosisFacts& facts, std::vector<Finding>& findings)
{
    const std::wstring key = W(facts.key);
    if (facts.port == "usb")
        findings.push_back(
            {"usb-stored",
             L"USB is stored under " + key + L": the network is not used" +
                 (facts.stored.empty() ? L"."
                                       : L"; the address kept with it, " + W(facts.stored) + L", is not in use."),
             L""});
    else if (facts.port != "network")
        findings.push_back({"nothing-stored", L"No connection is stored under " + key + L".", kChooseFix});
    else if (facts.stored.empty())
        findings.push_back({"nothing-stored",
                            L"A network connection is stored under " + key + L", but no device address with it.",
                            kChooseFix});
    else if (!facts.storedInvalid.empty())
        findings.push_back({"stored-invalid",
                            L"The stored address " + W(facts.stored) + L" " + W(facts.storedInvalid) +
                                L": no device can have it, so it was not asked.",
                            kChooseFix});
    else if (AnsweredBroadcast(facts))
        findings.push_back({"ok", L"The stored device " + W(facts.stored) + L" answered the dialog's broadcast.", L""});
}

void AdapterFindings(const DiagnosisFacts& facts, std::vector<Finding>& findings)
{
    // Two link-local ends of a direct cable find each other: that is no failure.
    const bool storedLinkLocalAnswers =
        IsLinkLocal(CIpv4::InAddr(Stored(facts))) && (facts.probeAnswered || AnsweredBroadcast(facts));
    for (const Adapter& adapter : facts.adapters)
    {
        std::vector<AdapterAddress> used;
        std::copy_if(adapter.addresses.begin(), adapter.addresses.end(), std::back_inserter(used), InUse);
        const bool onlyLinkLocal =
            IsUp(adapter) && !used.empty() && !storedLinkLocalAnswers &&
            std::all_of(used.begin(), used.end(), [](const AdapterAddress& a) { return IsLinkLocal(a.address); });
        if (onlyLinkLocal)
            findings.push_back({"link-local-only",
                                L"Adapter " + adapter.name + L" is up with only the address " + W(used[0].address) +
                                    L": it got no address from DHCP.",
                                L"Check the cable of " + adapter.name +
                                    L" and the network's DHCP server (mostly the router), then run ipconfig /renew."});
        for (const AdapterAddress& a : adapter.addresses)
            if (a.state == AddressState::Duplicate)
                findings.push_back({"address-conflict",
                                    L"Another device on the network of adapter " + adapter.name + L" has its address " +
                                        W(a.address) + L", so Windows does not use it.",
                                    L"Give one of them another address: ipconfig /renew for an address from DHCP, "
                                    L"else change the fixed one."});
    }
}
}  // namespace

std::vector<in_addr> NameAddressesNotUp(const DiagnosisFacts& facts)
{
    std::vector<in_addr> missing;
    if (!facts.adaptersRead)
        return missing;
    for (const in_addr address : facts.dialogAddresses)
    {
        bool up = false;
        ForEachAddressUp(facts, [&](const Adapter&, const AdapterAddress& a)
                         { up = up || a.address.s_addr == address.s_addr; });
        if (!up)
            missing.push_back(address);
    }
    return missing;
}

bool IsLinkLocal(in_addr address)
{
    return (CIpv4(address).Number() >> 16) == 0xA9FE;  // 169.254
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
    StoredChoiceFinding(facts, findings);
    const bool askable = facts.port == "network" && !facts.stored.empty() && facts.storedInvalid.empty();

    if (facts.sent == 0)
        findings.push_back({"no-network",
                            L"No network of this PC could be asked: no adapter is up with a usable "
                            L"IPv4 address, and nothing was sent.",
                            L"Connect this PC to the scanner's network, by cable or Wi-Fi."});
    AdapterFindings(facts, findings);

    // The firewall is a cause only where answers to a broadcast are missing:
    // the stored device's on this PC's network, or every device's.
    const std::string ownNetwork = StoredNetwork(facts);
    const bool storedAnswerMissing = askable && !AnsweredBroadcast(facts) && !ownNetwork.empty();
    const bool answersMissing = facts.sent > 0 && (facts.answers.empty() || storedAnswerMissing);
    const std::vector<const FirewallProfile*> blocking =
        answersMissing ? BlockingProfiles(facts) : std::vector<const FirewallProfile*>();
    FirewallFindings(blocking, findings);
    if (askable && facts.sent > 0 && !AnsweredBroadcast(facts))
        StoredDeviceFindings(facts, ownNetwork, !blocking.empty(), findings);
    ForEachAddressUp(facts,
                     [&](const Adapter& adapter, const AdapterAddress& a)
                     {
                         if (!IsLinkLocal(a.address) && !Listed(facts.dialogAddresses, a.address))
                             findings.push_back({"name-misses-network",
                                                 L"Adapter " + adapter.name + L" is up at " + W(a.address) + L"/" +
                                                     std::to_wstring(a.prefix) +
                                                     L", but this PC's name does not list it: the dialog does not "
                                                     L"ask its network.",
                                                 kEachNetworkFix});
                     });
    if (facts.sent > 0 && facts.answers.empty() && !facts.probeAnswered)
        findings.push_back(
            {"nothing-answered",
             L"No device answered on any network within " + std::to_wstring(CDeviceFinder::kCollectMs / 1000) + L" s.",
             L""});
    return findings;
}
