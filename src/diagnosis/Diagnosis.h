// What decides whether the scanner is found, as gathered on this PC, and
// what it means. Judging is apart from gathering: it reads the facts only,
// so that any PC's facts can be judged, those no test network has among them.
#pragma once

#include <winsock2.h>

#include <string>
#include <vector>

// IP Helper's operational state of an adapter (IfOperStatus).
enum class AdapterState
{
    Up,
    Disconnected,    // down: no cable, or a Wi-Fi without a network
    Dormant,         // waiting for something outside it (a dial-up, say)
    NotPresent,      // its hardware is missing
    LowerLayerDown,  // a layer beneath it (the adapter it runs over) is down
    Other            // testing or unknown
};

// Duplicate address detection's verdict on an address (DadState).
enum class AddressState
{
    Preferred,  // in use
    Tentative,  // still being checked
    Duplicate,  // another device on the network has it
    Other       // deprecated or invalid
};

struct AdapterAddress
{
    in_addr address;
    int prefix;  // bits of the network part
    AddressState state = AddressState::Preferred;
};

struct Adapter
{
    std::wstring name;  // the friendly name, as the network settings show it, in any script
    AdapterState state = AdapterState::Other;
    std::vector<AdapterAddress> addresses;  // IPv4 only
    std::vector<in_addr> gateways;
};

// Whether unicast answers to a broadcast get through the firewall.
enum class Verdict
{
    Allowed,
    Blocked,
    Unknown
};

enum class Switch
{
    On,
    Off,
    Unknown
};

enum class Activity
{
    Active,
    Inactive,
    Unknown
};

// Where a profile's verdict came from.
constexpr const char* kByGroupPolicy = "Group Policy";
constexpr const char* kByLocalSetting = "local setting";
constexpr const char* kByFirewallService = "firewall service";

struct FirewallProfile
{
    const char* name = "";               // "domain", "private" or "public"
    Switch firewall = Switch::Unknown;   // the profile's firewall itself; one that is off blocks nothing
    Verdict answers = Verdict::Unknown;  // allowed also when the firewall is off
    const char* source = "";             // one of the above; "" when nothing said
    Activity active = Activity::Unknown;
    std::string unknownWhy;  // what each source said, where the verdict stays unknown
};

// A device's answer and the local address it came in on.
struct Answer
{
    std::string address;
    std::string via;
};

struct DiagnosisFacts
{
    std::string maker;
    std::string model;
    std::string key;            // the registry key, from its root
    std::string profile;        // the twain.ini read; "" when the built-in identity is used
    std::string port;           // "usb", "network" or "not set", as show says it
    std::string stored;         // the stored address
    std::string storedInvalid;  // why no device can have it, as the end of a sentence; "" when one can
    bool adaptersRead = false;
    std::string adaptersWhy;  // why not, when they could not be read
    std::vector<Adapter> adapters;
    std::vector<in_addr> dialogAddresses;  // what the dialog's pass asks from
    std::vector<FirewallProfile> firewall;
    int sent = 0;  // queries that went out: the broadcasts and the direct one
    std::vector<std::string> skipped;
    std::vector<Answer> answers;  // to the broadcasts
    bool probed = false;          // the query to the stored device went out
    std::string probeFailed;      // why it could not be sent, when it was meant to be
    bool probeAnswered = false;
};

struct Finding
{
    std::string code;
    std::wstring text;  // UTF-16: it may name an adapter
    std::wstring fix;   // empty when nothing is to be done
};

// The findings, most likely cause first, preceded by "ok" when the stored
// device answered the dialog's broadcast. No system call: facts only.
std::vector<Finding> Judge(const DiagnosisFacts& facts);

// Whether the stored choice reaches its scanner: USB is stored, or the
// stored device answered, to the broadcast or directly.
bool StoredChoiceWorks(const DiagnosisFacts& facts);

// The addresses of the dialog's view that no adapter has up (none when the
// adapters could not be read).
std::vector<in_addr> NameAddressesNotUp(const DiagnosisFacts& facts);

// 169.254/16, what Windows gives itself when DHCP fails.
bool IsLinkLocal(in_addr address);
