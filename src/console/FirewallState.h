// What Windows Firewall does with unicast answers to a broadcast, profile
// by profile: a scanner's answer to the dialog's query is one.
#pragma once

#include "Diagnosis.h"

#include <vector>

// The domain, private and public profiles: each one's verdict, from its
// Group Policy value, else its local setting, else the firewall service;
// unknown where none of them says. Which is active, where the service says.
std::vector<FirewallProfile> ReadFirewall();
