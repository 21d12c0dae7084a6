// connscan: the connection choice from the command line, for administrators
// and deployment scripts. It runs the program's own discovery and stores the
// same values, byte for byte, as the dialog's OK.
#include "ConnScan.h"

#include "CommandLine.h"
#include "Json.h"

#include "config/ModelIdentity.h"
#include "config/PortRecord.h"
#include "discovery/DeviceFinder.h"
#include "discovery/Networks.h"
#include "framework/ProgramDir.h"
#include "framework/SafeStart.h"
#include "framework/Sockets.h"
#include "version.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
enum ExitStatus
{
    kDone = 0,
    kNoDevice = 1,
    kUsage = 2,
    kSystemFailure = 3
};

const char kRootName[] = "HKEY_CURRENT_USER\\";

int Usage(const std::string& why)
{
    std::fprintf(stderr, "connscan: %s\n%s", why.c_str(), UsageText());
    return kUsage;
}

int Fail(int status, const std::string& what)
{
    std::fprintf(stderr, "connscan: %s\n", what.c_str());
    return status;
}

const char kNoSockets[] = "Windows Sockets 1.1 could not be started";

int RefuseAddress(const std::string& address, const char* nothingWas)
{
    return Fail(kUsage, "'" + address +
                            "' is not a dotted IPv4 address (four numbers 0-255, at most 15 characters); nothing was " +
                            nothingWas);
}

// The answers of one pass, each with the local address it came in on.
struct Answer
{
    std::string address;
    std::string via;
};

// One pass: the dialog's own broadcast without routes, else along them.
// Says on stderr what was left out, skipped before the pass or in it;
// false when no query could go out.
bool Pass(const std::vector<CDeviceFinder::Route>* routes, std::vector<Answer>& answers,
          std::vector<std::string> skipped = {})
{
    static char results[CDeviceFinder::kResultsSize];
    CDeviceFinder finder;
    bool sent = true;
    if (routes)
    {
        sent = finder.Discover(results, *routes, skipped) > 0 || routes->empty();
        for (const std::string& why : skipped)
            std::fprintf(stderr, "connscan: skipped %s\n", why.c_str());
    }
    else
    {
        finder.Discover(results);
    }
    const std::vector<std::string> devices = CDeviceFinder::Devices(results);
    for (size_t i = 0; i < devices.size(); ++i)
        answers.push_back({devices[i], routes ? ::inet_ntoa(finder.Via(static_cast<int>(i))) : ""});
    return sent;
}

// One address a line, or "ADDRESS via LOCAL"; or all as JSON.
void PrintAnswers(const std::vector<Answer>& answers, bool withVia, bool json)
{
    std::string text = json ? "{\"devices\": [" : "";
    for (size_t i = 0; i < answers.size(); ++i)
    {
        const Answer& a = answers[i];
        if (json && withVia)
            text +=
                (i ? ", " : "") + ("{\"address\": " + JsonString(a.address) + ", \"via\": " + JsonString(a.via) + "}");
        else if (json)
            text += (i ? ", " : "") + JsonString(a.address);
        else
            text += a.address + (withVia ? " via " + a.via : "") + "\n";
    }
    std::fputs((json ? text + "]}\n" : text).c_str(), stdout);
}

int List(const CommandLine& line)
{
    if (!AfxSocketInit())
        return Fail(kSystemFailure, kNoSockets);
    std::vector<CDeviceFinder::Route> routes;
    std::vector<std::string> skipped;
    if (line.eachNetwork && !NetworkRoutes(routes, skipped))
        return Fail(kSystemFailure, skipped.front());
    std::vector<Answer> answers;
    if (!Pass(line.eachNetwork ? &routes : nullptr, answers, skipped))
        return Fail(kSystemFailure, "no network could be queried");
    PrintAnswers(answers, line.eachNetwork, line.json);
    return answers.empty() ? kNoDevice : kDone;
}

// Queries address alone; kDone when it answered. Every answer is in answers.
int Probe(const std::string& address, std::vector<Answer>& answers)
{
    if (!AfxSocketInit())
        return Fail(kSystemFailure, kNoSockets);
    in_addr any{};
    any.s_addr = htonl(INADDR_ANY);
    in_addr to{};
    to.s_addr = ::inet_addr(address.c_str());
    const std::vector<CDeviceFinder::Route> routes = {{any, to}};
    if (!Pass(&routes, answers))
        return Fail(kSystemFailure, "the query could not be sent");
    const bool answered =
        std::any_of(answers.begin(), answers.end(), [&](const Answer& answer) { return answer.address == address; });
    return answered ? kDone : kNoDevice;
}

// The stored record, read as the dialog reads it, but a missing key is not
// created: a look must not change what the dialog does at its first start.
const char* ReadStored(const ModelIdentity& identity, PortRecord& record)
{
    CSettingsKey settings;
    const bool typeStored = ReadPortRecord(settings, SettingsKeyPath(identity.maker, identity.model), record, false);
    return !typeStored ? "not set" : record.byPortType == kPortTypeUsb ? "usb" : "network";
}

int Show(const ModelIdentity& identity, const CommandLine& line)
{
    const std::string key = SettingsKeyPath(identity.maker, identity.model);
    PortRecord record{};
    const char* port = ReadStored(identity, record);
    const bool saved = record.bySaveSetting == 1;
    if (line.json)
    {
        std::printf("{\"maker\": %s, \"model\": %s, \"country\": %s, \"key\": %s, \"port\": \"%s\", \"address\": %s, "
                    "\"saved\": %s}\n",
                    JsonString(identity.maker).c_str(), JsonString(identity.model).c_str(),
                    JsonString(identity.country).c_str(), JsonString(kRootName + key).c_str(), port,
                    JsonString(record.szPort).c_str(), saved ? "true" : "false");
    }
    else
    {
        std::printf("maker    %s\nmodel    %s\ncountry  %s\nkey      %s%s\nport     %s\naddress  %s\nsaved    %s\n",
                    identity.maker.c_str(), identity.model.c_str(), identity.country.c_str(), kRootName, key.c_str(),
                    port, record.szPort, saved ? "yes" : "no");
    }
    return kDone;
}

int Check(const ModelIdentity& identity)
{
    const std::string key = kRootName + SettingsKeyPath(identity.maker, identity.model);
    PortRecord record{};
    const std::string port = ReadStored(identity, record);
    const std::string address = record.szPort;
    if (port == "usb")
    {
        std::printf("USB is stored under %s: there is no network device to check\n", key.c_str());
        return kNoDevice;
    }
    if (port == "not set" || address.empty())
    {
        std::printf("no network device is stored under %s\n", key.c_str());
        return kNoDevice;
    }
    if (!IsDottedAddress(address))
    {
        std::printf("the stored address '%s' is not a dotted IPv4 address\n", address.c_str());
        return kNoDevice;
    }
    std::vector<Answer> answers;
    const int status = Probe(address, answers);
    if (status == kDone)
        std::printf("the stored device %s answered\n", address.c_str());
    else if (status == kNoDevice)
        std::printf("the stored device %s did not answer\n", address.c_str());
    return status;
}

int Set(const ModelIdentity& identity, const std::vector<std::string>& words)
{
    const std::string mode = words.size() > 1 ? words[1] : "";
    if (!(mode == "usb" && words.size() == 2) && !(mode == "network" && words.size() == 3))
        return Usage("set needs 'usb', or 'network' and one address");
    const bool usb = mode == "usb";
    const std::string key = SettingsKeyPath(identity.maker, identity.model);
    CSettingsKey settings;
    std::string address;
    if (usb)
    {
        // As OK in USB mode: the list still shows, and stores, the stored address.
        PortRecord record{};
        ReadPortRecord(settings, key, record, false);
        address = record.szPort;
    }
    else
    {
        address = words[2];
        if (!IsDottedAddress(address))
            return RefuseAddress(address, "stored");
    }
    if (!WritePortRecord(settings, key, usb, address))
        return Fail(kSystemFailure, "the connection could not be stored under " + std::string(kRootName) + key);
    std::printf("%s%s: %s %s\n", kRootName, key.c_str(), usb ? "usb" : "network", address.c_str());
    return kDone;
}
}  // namespace

static int RunCommandLine(int argc, char** argv)
{
    CommandLine line;
    std::string why;
    if (!ParseCommandLine(argc, argv, line, why))
        return Usage(why);
    if (line.help)
    {
        std::fputs(UsageText(), stdout);
        return kDone;
    }
    if (line.version)
    {
        std::printf("connscan %s\n", CONNSETUP_VERSION_TEXT);
        return kDone;
    }
    if (line.words.empty())
        return Usage("no command");

    const std::string& command = line.words[0];
    const size_t arguments = line.words.size() - 1;
    if (line.eachNetwork && command != "list")
        return Usage("--each-network goes with list only");
    if (command == "list" || command == "show" || command == "check")
    {
        if (arguments != 0)
            return Usage(command + " takes no arguments");
    }
    else if (command == "probe")
    {
        if (arguments != 1)
            return Usage("probe needs one address");
    }
    else if (command != "set")
        return Usage("unknown command '" + command + "'");

    if (command == "list")
        return List(line);
    if (command == "probe")
    {
        if (!IsDottedAddress(line.words[1]))
            return RefuseAddress(line.words[1], "sent");
        std::vector<Answer> answers;
        const int status = Probe(line.words[1], answers);
        if (status != kSystemFailure)
            PrintAnswers(answers, false, line.json);
        return status;
    }

    std::string ini = DirectoryOf(GetModuleFilePath()) + "twain.ini";
    if (!line.iniPath.empty())
    {
        // The profile reader looks for a bare file name in the Windows folder:
        // a path given here is taken from the current folder, as users expect.
        char full[MAX_PATH] = {};
        const DWORD length = ::GetFullPathNameA(line.iniPath.c_str(), MAX_PATH, full, nullptr);
        if (length == 0 || length >= MAX_PATH || ::GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES)
            return Fail(kUsage, "--ini: no file " + line.iniPath);
        ini = full;
    }
    const ModelIdentity identity = ReadModelIdentity(ini);
    if (command == "show")
        return Show(identity, line);
    if (command == "check")
        return Check(identity);
    return Set(identity, line.words);
}

int ConnScanMain(int argc, char** argv)
{
    RestrictDllSearchToSystem();
    const int status = RunCommandLine(argc, argv);
    // Output that never arrived is no result: a script must not take an
    // empty list or a missing line for what was asked.
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
    {
        std::fputs("connscan: the output could not be written\n", stderr);
        return status == kDone ? kSystemFailure : status;
    }
    return status;
}
