// What decides whether the scanner is found, as gathered on this PC, and
// what it means. Judging is apart from gathering: it reads the facts only,
// so that any PC's facts can be judged, those no test network has among them.
#pragma once

#include <winsock2.h>

#include <string>
#include <vector>

enum class AdapterState
{
    Up,
    Down,
    NoCable  // enabled, but its medium is disconnected
};

struct AdapterAddress
{
    in_addr address;
    int prefix;  // bits of the network part
};

struct Adapter
{
    std::string name;  // the friendly name, as the network settings show it
    AdapterState state = AdapterState::Down;
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
    const char* name;  // "domain", "private" or "public"
    Verdict answers = Verdict::Unknown;
    const char* source = "";  // one of the above; "" when nothing said
    Activity active = Activity::Unknown;
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
    std::string key;      // the registry key, from its root
    std::string profile;  // the twain.ini read; "" when the built-in identity is used
    std::string port;     // "usb", "network" or "not set", as show says it
    std::string stored;   // the stored address
    bool adaptersRead = false;
    std::string adaptersWhy;  // why not, when they could not be read
    std::vector<Adapter> adapters;
    std::vector<in_addr> dialogAddresses;  // what the dialog's pass asks from
    std::vector<FirewallProfile> firewall;
    int sent = 0;  // queries that went out: the broadcasts and the direct one
    std::vector<std::string> skipped;
    std::vector<Answer> answers;  // to the broadcasts
    bool probed = false;          // the stored device was asked directly
    bool probeAnswered = false;
};

struct Finding
{
    std::string code;
    std::string text;
    std::string fix;  // "" when nothing is to be done
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
