#include "FirewallState.h"

#include "framework/Thread.h"

#include <windows.h>

#include <netfw.h>
#include <strsafe.h>

#include <memory>
#include <string>

namespace
{
struct ProfilePlace
{
    const char* name;
    const char* policyKeys[2];  // under the Group Policy key, the first that has a value
    const char* localKey;       // under the local settings' key ("Standard" is the private profile)
    NET_FW_PROFILE_TYPE2 type;
};
// "StandardProfile" is the private profile's policy key of Windows XP's
// firewall, still honoured.
const ProfilePlace kProfiles[] = {
    {"domain", {"DomainProfile", nullptr}, "DomainProfile", NET_FW_PROFILE2_DOMAIN},
    {"private", {"PrivateProfile", "StandardProfile"}, "StandardProfile", NET_FW_PROFILE2_PRIVATE},
    {"public", {"PublicProfile", nullptr}, "PublicProfile", NET_FW_PROFILE2_PUBLIC},
};
constexpr size_t kProfileCount = sizeof kProfiles / sizeof kProfiles[0];
const char kPolicyRoot[] = "SOFTWARE\\Policies\\Microsoft\\WindowsFirewall\\";
const char kLocalRoot[] = "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\";
const char kBlockValue[] = "DisableUnicastResponsesToMulticastBroadcast";  // 1: answers blocked
const char kEnableValue[] = "EnableFirewall";                              // 0: the firewall is off

const CLSID kNetFwPolicy2 = {0xe2b3c97f, 0x6ae1, 0x41ac, {0x81, 0x7a, 0xf6, 0xf9, 0x21, 0x66, 0xd7, 0xdd}};
const IID kINetFwPolicy2 = {0x98325047, 0xc671, 0x4174, {0x8d, 0x81, 0xde, 0xfc, 0xd3, 0xf0, 0x31, 0x86}};

std::string HresultText(HRESULT hr)
{
    char text[16] = {};
    ::StringCchPrintfA(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// A DWORD under HKEY_LOCAL_MACHINE\path as the system has it (a 32-bit
// program on 64-bit Windows would read its own copy of SOFTWARE otherwise).
// False, with what was found instead, when there is none.
bool ReadDword(const std::string& path, const char* name, DWORD& value, std::string& why)
{
    HKEY hKey = nullptr;
    LONG result = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &hKey);
    DWORD type = 0, size = sizeof value;
    if (result == ERROR_SUCCESS)
    {
        result = ::RegQueryValueExA(hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
        ::RegCloseKey(hKey);
    }
    if (result == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value)
        return true;
    why = result == ERROR_FILE_NOT_FOUND ? "not set"
          : result == ERROR_SUCCESS      ? "not a DWORD"
                                         : "registry error " + std::to_string(result);
    return false;
}

// What the firewall service said; filled on a thread of its own.
struct ServiceAnswer
{
    bool answered = false;
    std::string why;
    LONG active = 0;  // the active profiles' bits; 0 when not known
    Switch firewall[kProfileCount] = {Switch::Unknown, Switch::Unknown, Switch::Unknown};
    Verdict answers[kProfileCount] = {Verdict::Unknown, Verdict::Unknown, Verdict::Unknown};
    HRESULT answersError[kProfileCount] = {};  // why a profile's verdict is not known
};

// In the multithreaded apartment: a console program runs no message loop,
// and a single-threaded one would make COM create a window for it.
void AskFirewallService(ServiceAnswer& answer)
{
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    INetFwPolicy2* policy = nullptr;
    const HRESULT created = ::CoCreateInstance(kNetFwPolicy2, nullptr, CLSCTX_INPROC_SERVER, kINetFwPolicy2,
                                               reinterpret_cast<void**>(&policy));
    if (SUCCEEDED(created))
    {
        answer.answered = true;
        LONG active = 0;
        // One profile at least is always active: none is no answer.
        if (SUCCEEDED(policy->get_CurrentProfileTypes(&active)))
            answer.active = active;
        for (size_t i = 0; i < kProfileCount; ++i)
        {
            VARIANT_BOOL on = VARIANT_FALSE, disabled = VARIANT_FALSE;
            if (SUCCEEDED(policy->get_FirewallEnabled(kProfiles[i].type, &on)))
                answer.firewall[i] = on ? Switch::On : Switch::Off;
            const HRESULT asked =
                policy->get_UnicastResponsesToMulticastBroadcastDisabled(kProfiles[i].type, &disabled);
            if (SUCCEEDED(asked))
                answer.answers[i] = disabled ? Verdict::Blocked : Verdict::Allowed;
            else
                answer.answersError[i] = asked;
        }
        policy->Release();
    }
    else
        answer.why = "error " + HresultText(created);
    if (SUCCEEDED(init))
        ::CoUninitialize();
}

// The profile's firewall and verdict from the registry, where the service
// said nothing: the Group Policy value first, then the local setting.
void ReadSettings(const ProfilePlace& place, FirewallProfile& profile)
{
    std::string policyWhy, localWhy;
    DWORD value = 0;
    auto read = [&](const char* name, const char*& source) -> bool
    {
        for (const char* key : place.policyKeys)
            if (key && ReadDword(kPolicyRoot + std::string(key), name, value, policyWhy))
            {
                source = kByGroupPolicy;
                return true;
            }
        if (!ReadDword(kLocalRoot + std::string(place.localKey), name, value, localWhy))
            return false;
        source = kByLocalSetting;
        return true;
    };
    const char* source = "";
    if (profile.firewall == Switch::Unknown && read(kEnableValue, source))
    {
        profile.firewall = value == 0 ? Switch::Off : Switch::On;
        if (value == 0)
        {
            profile.answers = Verdict::Allowed;
            profile.source = source;
        }
    }
    if (profile.answers == Verdict::Unknown && read(kBlockValue, source))
    {
        profile.answers = value == 1 ? Verdict::Blocked : Verdict::Allowed;
        profile.source = source;
    }
    if (profile.answers == Verdict::Unknown)
        profile.unknownWhy += "; Group Policy: " + policyWhy + "; local setting: " + localWhy;
}
}  // namespace

std::vector<FirewallProfile> ReadFirewall()
{
    const auto answer = std::make_shared<ServiceAnswer>();
    const bool inTime = RunWithin(kFirewallServiceMs, [answer] { AskFirewallService(*answer); });
    const std::string serviceWhy =
        !inTime ? "the firewall service did not answer within " + std::to_string(kFirewallServiceMs / 1000) + " s"
        : answer->answered ? ""
                           : "the firewall service could not be asked (" + answer->why + ")";
    std::vector<FirewallProfile> profiles;
    for (size_t i = 0; i < kProfileCount; ++i)
    {
        FirewallProfile profile;
        profile.name = kProfiles[i].name;
        if (inTime && answer->answered)
        {
            if (answer->active != 0)
                profile.active = (answer->active & kProfiles[i].type) ? Activity::Active : Activity::Inactive;
            profile.firewall = answer->firewall[i];
            profile.answers = profile.firewall == Switch::Off ? Verdict::Allowed : answer->answers[i];
            if (profile.answers != Verdict::Unknown)
                profile.source = kByFirewallService;
        }
        profile.unknownWhy =
            serviceWhy.empty() ? "the firewall service: error " + HresultText(answer->answersError[i]) : serviceWhy;
        ReadSettings(kProfiles[i], profile);
        if (profile.answers != Verdict::Unknown)
            profile.unknownWhy.clear();
        profiles.push_back(profile);
    }
    return profiles;
}
