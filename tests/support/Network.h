// The isolated test network: the proof that this process is inside it, and
// the control channel of the simulated scanners.
#pragma once

#include <string>
#include <vector>

// The local address a UDP socket would send from towards probe (a dotted
// address), or "" when there is no route. Sends nothing.
std::string LocalAddressToward(const std::string& probe);
// True when a UDP socket of this process would send from the rig's private
// program-namespace address; otherwise why says what was seen.
bool ProveIsolatedNetwork(std::string& why);
// Whether this process runs on Wine rather than Windows.
bool RunningOnWine();
// Whether the self-test may send its datagrams here: always on Windows (a
// PC's own network is what it checks); under Wine, where this machine's
// real network may be a socket away, only inside the rig's isolated
// network (as ProveIsolatedNetwork proves it) or with no route out at all
// (every link of it down), and never outside the rig.
bool SelfTestMaySend(std::string& why);

// Sends one command to the simulator and returns its reply ("" on timeout).
std::string SimulatorCommand(const std::string& command);
// Forgets earlier rules and queries.
bool SimulatorReset();
// count datagrams of size bytes from address, delayMs after the query, gapUs apart.
bool SimulatorRule(const std::string& address, int count, int size, int delayMs, int gapUs = 0);
// One answer from address, to a query sent to address itself only: a device
// whose answers to a broadcast never arrive.
bool SimulatorDirectRule(const std::string& address);

struct QueryLog
{
    int count = 0;
    std::string lines;  // one "SRC:PORT DST LEN HEX" line per query
};
QueryLog SimulatorLog();
// The logged queries as "SOURCE to DESTINATION on INTERFACE" (the source
// address without its port), sorted.
std::vector<std::string> SimulatorQueries();
// What one pass of the dialog sends: one query from each of the program's
// three addresses, each to 255.255.255.255 on its own network.
extern const std::vector<std::string> kOnePassQueries;
