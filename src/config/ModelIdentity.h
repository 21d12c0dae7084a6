// The scanner's identity, from the [MODEL] section of its twain.ini.
#pragma once

#include <string>

struct ModelIdentity
{
    std::string maker;    // MFG, "ORVEL" when missing
    std::string model;    // MDL, "QX7S&QN8S" when missing
    std::string country;  // COUNTRY, "ENG" when missing: names the language library
};

ModelIdentity ReadModelIdentity(const std::string& iniPath);
// Whether iniPath has a [MODEL] section with a key in it: a profile that
// names a scanner, not one that would give the built-in identity.
bool HasModelSection(const std::string& iniPath);
