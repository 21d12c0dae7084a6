// The PC's network adapters, as IP Helper lists them.
#pragma once

#include "Diagnosis.h"

#include <string>
#include <vector>

// Every adapter but the loopback, with its IPv4 addresses and gateways.
// False, with why, where IP Helper cannot be loaded or does not answer.
bool ReadAdapters(std::vector<Adapter>& adapters, std::string& why);
