// What Windows Firewall does with unicast answers to a broadcast, profile
// by profile: a scanner's answer to the dialog's query is one.
#pragma once

#include "Diagnosis.h"

#include <string>
#include <vector>

// How long the firewall service may take to answer.
constexpr DWORD kFirewallServiceMs = 5000;

// The domain, private and public profiles: each one's firewall (on or off)
// and verdict, from the firewall service, which knows the merged state,
// else from the Group Policy value, else from the local setting; unknown
// where none of them says, with what each said (why the service said
// nothing among it). Which is active, where the service says.
std::vector<FirewallProfile> ReadFirewall();
