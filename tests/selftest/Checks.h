// The Windows behaviours the program relies on, each checked by name, with
// what it expects, the documentation that says so, and what was seen.
#pragma once

#include "Report.h"

#include <string>
#include <vector>

struct Check
{
    const char* name;
    const char* expects;
    const char* restsOn;
};

Outcome Checked(const Check& check, Outcome::Kind kind, const std::string& seen);

// Where the self-test keeps what it stores: HKEY_CURRENT_USER\SOFTWARE\ this,
// below the tests' own key, which goes at the end.
std::string SelfTestMaker();

// Sockets, the language library, the manifest, the registry and what
// diagnose reads; dir is the self-test's folder, with the program.
std::vector<Outcome> CheckPlatform(const std::string& dir);

// This PC's name and addresses, its broadcasts, and when one of them
// reaches this PC itself, the dialog's discovery against the simulated
// scanner started here; its log goes in work.
std::vector<Outcome> CheckNetwork(const std::string& dir, const std::string& work);
