#include "DiagnosisReport.h"

#include "Json.h"

#include "framework/AnsiText.h"

#include "framework/Sockets.h"

namespace
{
const char* StateName(AdapterState state)
{
    switch (state)
    {
    case AdapterState::Up:
        return "up";
    case AdapterState::Disconnected:
        return "disconnected";
    case AdapterState::Dormant:
        return "dormant";
    case AdapterState::NotPresent:
        return "not present";
    case AdapterState::LowerLayerDown:
        return "lower layer down";
    default:
        return "unknown";
    }
}

const char* StateName(AddressState state)
{
    return state == AddressState::Preferred   ? "preferred"
           : state == AddressState::Tentative ? "tentative"
           : state == AddressState::Duplicate ? "duplicate"
                                              : "other";
}

// What the report says of an address Windows does not use (yet).
std::string AddressNote(const AdapterAddress& a)
{
    if (a.state == AddressState::Tentative)
        return " (tentative: still being checked, not in use)";
    if (a.state == AddressState::Duplicate)
        return " (duplicate: another device has it, not in use)";
    if (a.state == AddressState::Other)
        return " (not in use)";
    return IsLinkLocal(a.address) ? " (link-local: no address from DHCP)" : "";
}

const char* SwitchJson(Switch s)
{
    return s == Switch::On ? "\"on\"" : s == Switch::Off ? "\"off\"" : "null";
}

// What the report says of the stored device's own query.
std::string ProbeText(const DiagnosisFacts& facts)
{
    if (facts.port == "usb")
        return facts.stored.empty()
                   ? "not asked: USB is stored"
                   : "not asked: USB is stored; the address kept with it, " + facts.stored + ", is not in use";
    if (facts.port != "network" || facts.stored.empty())
        return "not asked: no device address is stored";
    if (!facts.storedInvalid.empty())
        return "not asked: " + facts.stored + " " + facts.storedInvalid;
    if (!facts.probeFailed.empty())
        return facts.stored + ": the query could not be sent (" + facts.probeFailed + ")";
    if (!facts.probed)
        return facts.stored + ": not asked, nothing could be sent";
    return facts.stored + (facts.probeAnswered ? " answered" : " did not answer");
}

const char* VerdictName(Verdict verdict)
{
    return verdict == Verdict::Allowed ? "allowed" : verdict == Verdict::Blocked ? "blocked" : "unknown";
}

std::string Joined(const std::vector<in_addr>& addresses, const std::string& none)
{
    std::string text;
    for (const in_addr a : addresses)
        text += (text.empty() ? "" : ", ") + AddressText(a);
    return text.empty() ? none : text;
}

// A JSON array of what item makes of each element.
template <typename T, typename F>
std::string JsonArray(const std::vector<T>& items, F item)
{
    std::string text = "[";
    for (size_t i = 0; i < items.size(); ++i)
        text += (i ? ", " : "") + item(items[i]);
    return text + "]";
}

std::string JsonAddresses(const std::vector<in_addr>& addresses)
{
    return JsonArray(addresses, [](in_addr a) { return JsonString(AddressText(a)); });
}

std::string JsonOrNull(const char* text)
{
    return *text ? JsonString(text) : "null";
}
}  // namespace

std::wstring DiagnosisText(const DiagnosisFacts& facts, const std::vector<Finding>& findings)
{
    std::wstring text = L"Findings\n";
    for (const Finding& f : findings)
        text += L"  " + WideFromAnsi(f.code) + L": " + f.text + L"\n" +
                (f.fix.empty() ? L"" : L"    Fix: " + f.fix + L"\n");

    text += WideFromAnsi("\nScanner\n  maker    " + facts.maker + "\n  model    " + facts.model + "\n  key      " +
                         facts.key + "\n  profile  " +
                         (facts.profile.empty() ? "none read: the built-in identity" : facts.profile) +
                         "\n  port     " + facts.port + "\n  address  " + facts.stored + "\n\nAdapters\n");
    if (!facts.adaptersRead)
        text += WideFromAnsi("  not known: " + facts.adaptersWhy + "\n");
    for (const Adapter& adapter : facts.adapters)
    {
        std::string details = std::string(": ") + StateName(adapter.state) + "\n";
        for (const AdapterAddress& a : adapter.addresses)
            details += "    " + AddressText(a.address) + "/" + std::to_string(a.prefix) + AddressNote(a) + "\n";
        text += L"  " + adapter.name + WideFromAnsi(details + "    gateway " + Joined(adapter.gateways, "none") + "\n");
    }

    std::string rest;
    rest += "\nThe dialog asks from (this PC's name lists)\n  " + Joined(facts.dialogAddresses, "no address") + "\n";
    const std::vector<in_addr> notUp = NameAddressesNotUp(facts);
    if (!notUp.empty())
        rest += "  on no adapter that is up: " + Joined(notUp, "") + "\n";

    rest += "\nFirewall: unicast answers to a broadcast\n";
    for (const FirewallProfile& p : facts.firewall)
        rest += std::string("  ") + p.name + std::string(9 - std::string(p.name).size(), ' ') +
                (p.firewall == Switch::Off ? "allowed, the firewall is off" : VerdictName(p.answers)) +
                (*p.source ? std::string(" (") + p.source + ")" : "") +
                (p.unknownWhy.empty() ? "" : " (" + p.unknownWhy + ")") +
                (p.active == Activity::Active     ? ", active"
                 : p.active == Activity::Inactive ? ", not active"
                                                  : ", active or not: not known") +
                "\n";

    rest += "\nThe dialog's pass\n  " + std::to_string(facts.sent) + " queries sent" +
            (facts.probed ? ", the one to the stored device among them\n" : "\n");
    for (const std::string& why : facts.skipped)
        rest += "  skipped " + why + "\n";
    for (const Answer& a : facts.answers)
        rest += "  " + a.address + " answered via " + a.via + "\n";
    if (facts.answers.empty())
        rest += "  no answer\n";

    return text + WideFromAnsi(rest + "\nThe stored device asked directly\n  " + ProbeText(facts) + "\n");
}

std::string DiagnosisJson(const DiagnosisFacts& facts, const std::vector<Finding>& findings)
{
    std::string json = "{\"identity\": {\"maker\": " + JsonString(facts.maker) +
                       ", \"model\": " + JsonString(facts.model) + ", \"key\": " + JsonString(facts.key) +
                       ", \"profile\": " + (facts.profile.empty() ? "null" : JsonString(facts.profile)) + "}";
    json += ", \"stored\": {\"port\": " + JsonString(facts.port) + ", \"address\": " + JsonString(facts.stored) + "}";
    json += ", \"adapters\": ";
    json += !facts.adaptersRead
                ? "null"
                : JsonArray(facts.adapters,
                            [](const Adapter& adapter)
                            {
                                return "{\"name\": " + JsonString(adapter.name) +
                                       ", \"state\": " + JsonString(StateName(adapter.state)) + ", \"addresses\": " +
                                       JsonArray(adapter.addresses,
                                                 [](const AdapterAddress& a)
                                                 {
                                                     return "{\"address\": " + JsonString(AddressText(a.address)) +
                                                            ", \"prefix\": " + std::to_string(a.prefix) +
                                                            ", \"linkLocal\": " +
                                                            (IsLinkLocal(a.address) ? "true" : "false") +
                                                            ", \"state\": " + JsonString(StateName(a.state)) + "}";
                                                 }) +
                                       ", \"gateways\": " + JsonAddresses(adapter.gateways) + "}";
                            });
    json += ", \"adaptersWhy\": " + (facts.adaptersRead ? std::string("null") : JsonString(facts.adaptersWhy));
    json += ", \"dialogAddresses\": {\"addresses\": " + JsonAddresses(facts.dialogAddresses) +
            ", \"onNoAdapterUp\": " + JsonAddresses(NameAddressesNotUp(facts)) + "}";
    json += ", \"firewall\": " + JsonArray(facts.firewall,
                                           [](const FirewallProfile& p)
                                           {
                                               return "{\"profile\": " + JsonString(p.name) +
                                                      ", \"answers\": " + JsonString(VerdictName(p.answers)) +
                                                      ", \"firewall\": " + SwitchJson(p.firewall) +
                                                      ", \"why\": " + JsonOrNull(p.unknownWhy.c_str()) +
                                                      ", \"source\": " + JsonOrNull(p.source) + ", \"active\": " +
                                                      (p.active == Activity::Active     ? "true"
                                                       : p.active == Activity::Inactive ? "false"
                                                                                        : "null") +
                                                      "}";
                                           });
    json += ", \"pass\": {\"sent\": " + std::to_string(facts.sent) +
            ", \"skipped\": " + JsonArray(facts.skipped, [](const std::string& s) { return JsonString(s); }) +
            ", \"answers\": " +
            JsonArray(facts.answers, [](const Answer& a)
                      { return "{\"address\": " + JsonString(a.address) + ", \"via\": " + JsonString(a.via) + "}"; }) +
            "}";
    const bool asked = facts.probed || !facts.probeFailed.empty();
    json += ", \"probe\": " + (asked ? "{\"address\": " + JsonString(facts.stored) +
                                           ", \"answered\": " + (facts.probeAnswered ? "true" : "false") +
                                           ", \"sendFailed\": " + JsonOrNull(facts.probeFailed.c_str()) + "}"
                                     : std::string("null"));
    json += ", \"findings\": " + JsonArray(findings,
                                           [](const Finding& f)
                                           {
                                               return "{\"code\": " + JsonString(f.code) +
                                                      ", \"text\": " + JsonString(f.text) +
                                                      ", \"fix\": " + JsonString(f.fix) + "}";
                                           });
    return json + "}\n";
}
