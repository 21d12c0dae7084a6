#include "FirewallState.h"

#include <windows.h>

#include <netfw.h>

#include <string>

namespace
{
struct ProfilePlace
{
    const char* name;
    const char* policyKey;  // under the Group Policy key
    const char* localKey;   // under the local settings' key ("Standard" is the private profile)
    NET_FW_PROFILE_TYPE2 type;
};
const ProfilePlace kProfiles[] = {
    {"domain", "DomainProfile", "DomainProfile", NET_FW_PROFILE2_DOMAIN},
    {"private", "PrivateProfile", "StandardProfile", NET_FW_PROFILE2_PRIVATE},
    {"public", "PublicProfile", "PublicProfile", NET_FW_PROFILE2_PUBLIC},
};
const char kPolicyRoot[] = "SOFTWARE\\Policies\\Microsoft\\WindowsFirewall\\";
const char kLocalRoot[] = "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\";
const char kValue[] = "DisableUnicastResponsesToMulticastBroadcast";  // 1: answers blocked

const CLSID kNetFwPolicy2 = {0xe2b3c97f, 0x6ae1, 0x41ac, {0x81, 0x7a, 0xf6, 0xf9, 0x21, 0x66, 0xd7, 0xdd}};
const IID kINetFwPolicy2 = {0x98325047, 0xc671, 0x4174, {0x8d, 0x81, 0xde, 0xfc, 0xd3, 0xf0, 0x31, 0x86}};

// The value under HKEY_LOCAL_MACHINE\path as the system has it (a 32-bit
// program on 64-bit Windows would read its own copy of SOFTWARE otherwise).
bool ReadSetting(const std::string& path, Verdict& verdict)
{
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &hKey) != ERROR_SUCCESS)
        return false;
    DWORD value = 0, type = 0, size = sizeof value;
    const LONG result = ::RegQueryValueExA(hKey, kValue, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    ::RegCloseKey(hKey);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value)
        return false;
    verdict = value == 1 ? Verdict::Blocked : Verdict::Allowed;
    return true;
}

// The merged state and the active profiles, where the firewall service answers.
void AskFirewallService(std::vector<FirewallProfile>& profiles)
{
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INetFwPolicy2* policy = nullptr;
    if (SUCCEEDED(::CoCreateInstance(kNetFwPolicy2, nullptr, CLSCTX_INPROC_SERVER, kINetFwPolicy2,
                                     reinterpret_cast<void**>(&policy))))
    {
        LONG active = 0;
        // One profile at least is always active: none is no answer.
        const bool activeKnown = SUCCEEDED(policy->get_CurrentProfileTypes(&active)) && active != 0;
        for (size_t i = 0; i < profiles.size(); ++i)
        {
            if (activeKnown)
                profiles[i].active = (active & kProfiles[i].type) ? Activity::Active : Activity::Inactive;
            VARIANT_BOOL disabled = VARIANT_FALSE;
            if (profiles[i].answers == Verdict::Unknown &&
                SUCCEEDED(policy->get_UnicastResponsesToMulticastBroadcastDisabled(kProfiles[i].type, &disabled)))
            {
                profiles[i].answers = disabled ? Verdict::Blocked : Verdict::Allowed;
                profiles[i].source = kByFirewallService;
            }
        }
        policy->Release();
    }
    if (SUCCEEDED(init))
        ::CoUninitialize();
}
}  // namespace

std::vector<FirewallProfile> ReadFirewall()
{
    std::vector<FirewallProfile> profiles;
    for (const ProfilePlace& place : kProfiles)
    {
        FirewallProfile profile;
        profile.name = place.name;
        if (ReadSetting(kPolicyRoot + std::string(place.policyKey), profile.answers))
            profile.source = kByGroupPolicy;
        else if (ReadSetting(kLocalRoot + std::string(place.localKey), profile.answers))
            profile.source = kByLocalSetting;
        profiles.push_back(profile);
    }
    AskFirewallService(profiles);
    return profiles;
}
