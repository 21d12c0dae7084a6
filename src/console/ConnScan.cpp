// connscan: the connection choice from the command line, for administrators
// and deployment scripts. It runs the program's own discovery and stores the
// same values, byte for byte, as the dialog's OK.
#include "ConnScan.h"

#include "CommandLine.h"
#include "ConsoleText.h"
#include "DiagnosisReport.h"
#include "Json.h"

#include "config/ModelIdentity.h"
#include "config/PortRecord.h"
#include "diagnosis/Adapters.h"
#include "diagnosis/Diagnosis.h"
#include "diagnosis/FirewallState.h"
#include "discovery/DeviceFinder.h"
#include "discovery/Networks.h"
#include "framework/ProgramDir.h"
#include "framework/SafeStart.h"
#include "framework/Sockets.h"
#include "version.h"

#include <algorithm>
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
    Print(Stream::Err, "connscan: " + why + "\n" + UsageText());
    return kUsage;
}

int Fail(int status, const std::string& what)
{
    Print(Stream::Err, "connscan: " + what + "\n");
    return status;
}

const char kNoSockets[] = "Windows Sockets 1.1 could not be started";

// " within 2 s": how long a device had to answer.
std::string WithinWindow()
{
    return " within " + std::to_string(CDeviceFinder::kCollectMs / 1000) + " s";
}

// Why no single device can have address, as the end of a sentence naming
// it; "" when one can. Addresses on the PC's own networks are judged only
// where Windows Sockets runs.
std::string WhyNoDevice(const std::string& address)
{
    std::string why;
    if (!IsDeviceAddress(address, why))
        return why;
    in_addr parsed{};
    parsed.s_addr = ::inet_addr(address.c_str());
    const std::string edge = AfxSocketInit() ? OwnNetworkEdge(parsed) : "";
    return edge.empty() ? "" : "is not a device address: " + edge;
}

// kDone for an address a device can have; otherwise kUsage, having said
// why and that nothing was stored or sent.
int CheckAddress(const std::string& address, const char* nothingWas)
{
    const std::string why = WhyNoDevice(address);
    return why.empty() ? kDone : Fail(kUsage, Quoted(address) + " " + why + "; nothing was " + nothingWas);
}

// One pass along routes. Says on stderr what was left out, skipped before
// the pass or in it. A pass that sent nothing found nothing out: that is
// said, with why, and kSystemFailure returned; otherwise kDone.
int Pass(const std::vector<CDeviceFinder::Route>& routes, std::vector<Answer>& answers,
         std::vector<std::string> skipped = {})
{
    char results[CDeviceFinder::kResultsSize] = {};
    CDeviceFinder finder;
    if (finder.Discover(results, routes, &skipped) == 0)
    {
        std::string why = skipped.empty() ? "no network is up" : skipped.front();
        for (size_t i = 1; i < skipped.size(); ++i)
            why += "; " + skipped[i];
        return Fail(kSystemFailure, "no query could be sent: " + why);
    }
    for (const std::string& why : skipped)
        Print(Stream::Err, "connscan: skipped " + why + "\n");
    const std::vector<std::string> devices = CDeviceFinder::Devices(results);
    for (size_t i = 0; i < devices.size(); ++i)
        answers.push_back({devices[i], AddressText(finder.Via(static_cast<int>(i)))});
    return kDone;
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
    if (json)
        PrintBytes(Stream::Out, text + "]}\n");
    else
        Print(Stream::Out, text);
}

int List(const CommandLine& line)
{
    if (!AfxSocketInit())
        return Fail(kSystemFailure, kNoSockets);
    std::vector<CDeviceFinder::Route> routes;
    std::vector<std::string> skipped;
    if (!line.eachNetwork)
        routes = CDeviceFinder::HostRoutes(&skipped);
    else if (!NetworkRoutes(routes, skipped))
        return Fail(kSystemFailure, skipped.front());
    std::vector<Answer> answers;
    if (Pass(routes, answers, skipped) != kDone)
        return kSystemFailure;
    PrintAnswers(answers, line.eachNetwork, line.json);
    return answers.empty() ? Fail(kNoDevice, "no device answered" + WithinWindow()) : kDone;
}

// Queries address alone; kDone when it answered. Every answer is in answers.
int Probe(const std::string& address, std::vector<Answer>& answers)
{
    if (!AfxSocketInit())
        return Fail(kSystemFailure, kNoSockets);
    CDeviceFinder::Route route{};
    route.local.s_addr = htonl(INADDR_ANY);
    route.destination.s_addr = ::inet_addr(address.c_str());
    if (Pass({route}, answers) != kDone)
        return kSystemFailure;
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
        PrintBytes(Stream::Out,
                   "{\"maker\": " + JsonString(identity.maker) + ", \"model\": " + JsonString(identity.model) +
                       ", \"country\": " + JsonString(identity.country) + ", \"key\": " + JsonString(kRootName + key) +
                       ", \"port\": \"" + port + "\", \"address\": " + JsonString(record.szPort) +
                       ", \"saved\": " + (saved ? "true" : "false") + "}\n");
    else
        Print(Stream::Out, "maker    " + identity.maker + "\nmodel    " + identity.model + "\ncountry  " +
                               identity.country + "\nkey      " + kRootName + key + "\nport     " + port +
                               "\naddress  " + record.szPort + "\nsaved    " + (saved ? "yes" : "no") + "\n");
    return kDone;
}

int Check(const ModelIdentity& identity, bool json)
{
    const std::string key = kRootName + SettingsKeyPath(identity.maker, identity.model);
    PortRecord record{};
    const std::string port = ReadStored(identity, record);
    const std::string address = record.szPort;
    int status = kNoDevice;
    std::string failure;
    if (port == "usb")
        failure = "USB is stored under " + key + ": there is no network device to check";
    else if (port == "not set" || address.empty())
        failure = "no network device is stored under " + key;
    else if (!(failure = WhyNoDevice(address)).empty())
        failure = "the stored address " + Quoted(address) + " " + failure;
    else
    {
        std::vector<Answer> answers;
        status = Probe(address, answers);
        if (status == kSystemFailure)
            return status;
        if (status == kNoDevice)
            failure = "the stored device " + address + " did not answer" + WithinWindow();
    }
    if (json)
        PrintBytes(Stream::Out, "{\"key\": " + JsonString(key) + ", \"port\": \"" + port +
                                    "\", \"address\": " + JsonString(address) +
                                    ", \"answered\": " + (status == kDone ? "true" : "false") + "}\n");
    else if (status == kDone)
        Print(Stream::Out, "the stored device " + address + " answered\n");
    return failure.empty() ? status : Fail(status, failure);
}

// What decides whether the scanner is found, gathered here, then judged.
// It changes nothing. The pass is the dialog's, with the stored device
// asked directly in the same window from a socket of its own, bound to any
// address: its answer there is told apart from its answer to a broadcast.
int Diagnose(const std::string& ini, const ModelIdentity& identity, bool json)
{
    DiagnosisFacts facts;
    facts.maker = identity.maker;
    facts.model = identity.model;
    facts.key = kRootName + SettingsKeyPath(identity.maker, identity.model);
    facts.profile = HasModelSection(ini) ? ini : "";
    PortRecord record{};
    facts.port = ReadStored(identity, record);
    facts.stored = record.szPort;
    if (!AfxSocketInit())
        return Fail(kSystemFailure, kNoSockets);
    facts.adaptersRead = ReadAdapters(facts.adapters, facts.adaptersWhy);
    facts.firewall = ReadFirewall();

    std::vector<CDeviceFinder::Route> routes = CDeviceFinder::HostRoutes(&facts.skipped);
    for (const CDeviceFinder::Route& route : routes)
        facts.dialogAddresses.push_back(route.local);
    const bool networkStored = facts.port == "network" && !facts.stored.empty();
    if (networkStored)
        facts.storedInvalid = WhyNoDevice(facts.stored);
    const bool askStored = networkStored && facts.storedInvalid.empty();
    if (askStored)
    {
        CDeviceFinder::Route direct{};
        direct.local.s_addr = htonl(INADDR_ANY);
        direct.destination.s_addr = ::inet_addr(facts.stored.c_str());
        routes.push_back(direct);
    }
    char results[CDeviceFinder::kResultsSize] = {};
    CDeviceFinder finder;
    facts.sent = finder.Discover(results, routes, &facts.skipped);
    if (askStored)
    {
        const int error = finder.RouteError(routes.size() - 1);
        facts.probed = error == 0;
        // The pass's broadcasts went out, or there was no network at all.
        if (error != 0 && facts.sent > 0)
            facts.probeFailed = SocketErrorText(error);
    }
    const std::vector<std::string> devices = CDeviceFinder::Devices(results);
    for (size_t i = 0; i < devices.size(); ++i)
    {
        const in_addr via = finder.Via(static_cast<int>(i));
        if (askStored && via.s_addr == htonl(INADDR_ANY))
            facts.probeAnswered = facts.probeAnswered || devices[i] == facts.stored;
        else
            facts.answers.push_back({devices[i], AddressText(via)});
    }

    const std::vector<Finding> findings = Judge(facts);
    if (json)
        PrintBytes(Stream::Out, DiagnosisJson(facts, findings));
    else
        Print(Stream::Out, DiagnosisText(facts, findings));
    if (StoredChoiceWorks(facts))
        return kDone;
    if (facts.sent == 0)
        return Fail(kSystemFailure, "no query could be sent");
    return kNoDevice;
}

int Set(const ModelIdentity& identity, const std::vector<std::string>& words, bool json)
{
    const std::string mode = words.size() > 1 ? Lower(words[1]) : "";
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
        if (CheckAddress(address, "stored") != kDone)
            return kUsage;
    }
    if (!WritePortRecord(settings, key, usb, address))
        return Fail(kSystemFailure, "the connection could not be stored under " + std::string(kRootName) + key);
    if (json)
        PrintBytes(Stream::Out, "{\"key\": " + JsonString(kRootName + key) + ", \"port\": \"" +
                                    (usb ? "usb" : "network") + "\", \"address\": " + JsonString(address) + "}\n");
    else
        Print(Stream::Out, kRootName + key + ": " + (usb ? "usb " : "network ") + address + "\n");
    // The registry decides: what is stored is done, said or not.
    if (OutputFailed())
    {
        ForgetOutputFailure();
        Print(Stream::Err, "connscan: stored, but the confirmation could not be written\n");
    }
    return kDone;
}
}  // namespace

// The twain.ini to read into ini: --ini's, which must be a file with a
// [MODEL] section, or the one beside connscan, which may be missing (the
// built-in identity, as the dialog has it). kDone, or kUsage having said why.
static int ProfilePath(const std::string& given, std::string& ini)
{
    if (given.empty())
    {
        ini = DirectoryOf(GetModuleFilePath()) + "twain.ini";
        return kDone;
    }
    // The profile reader looks for a bare file name in the Windows folder:
    // a path given here is taken from the current folder, as users expect.
    char full[MAX_PATH] = {};
    const DWORD length = ::GetFullPathNameA(given.c_str(), MAX_PATH, full, nullptr);
    const DWORD attributes = ::GetFileAttributesA(full);
    if (length == 0 || length >= MAX_PATH || attributes == INVALID_FILE_ATTRIBUTES)
        return Fail(kUsage, "--ini: no file " + Quoted(given));
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return Fail(kUsage, "--ini: " + Quoted(given) + " is a folder, not a twain.ini");
    // Its identity would be the built-in one: another scanner's key.
    if (!HasModelSection(full))
        return Fail(kUsage, "--ini: " + Quoted(given) + " has no [MODEL] section");
    ini = full;
    return kDone;
}

static int RunCommandLine(int argc, char** argv)
{
    CommandLine line;
    std::string why;
    if (!ParseCommandLine(argc, argv, line, why))
        return Usage(why);
    if (line.help || line.version)
    {
        // Neither reads a profile, asks a network or prints JSON: no option is ignored.
        if (line.json || line.eachNetwork || !line.iniPath.empty())
            return Usage("--help and --version take no other option");
        Print(Stream::Out, line.help ? UsageText() : "connscan " CONNSETUP_VERSION_TEXT "\n");
        return kDone;
    }
    if (line.words.empty())
        return Usage("no command");

    const std::string& command = line.words[0];
    const size_t arguments = line.words.size() - 1;
    if (line.eachNetwork && command != "list")
        return Usage("--each-network goes with list only");
    if (command == "list" || command == "show" || command == "check" || command == "diagnose")
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
        return Usage("unknown command " + Quoted(command));
    // Checked by every command, before anything is sent or stored: a script
    // that names the wrong file learns it at its first command.
    std::string ini;
    if (ProfilePath(line.iniPath, ini) != kDone)
        return kUsage;

    if (command == "list")
        return List(line);
    if (command == "probe")
    {
        const std::string& address = line.words[1];
        if (CheckAddress(address, "sent") != kDone)
            return kUsage;
        std::vector<Answer> answers;
        const int status = Probe(address, answers);
        if (status != kSystemFailure)
            PrintAnswers(answers, false, line.json);
        return status == kNoDevice ? Fail(kNoDevice, address + " did not answer" + WithinWindow()) : status;
    }
    const ModelIdentity identity = ReadModelIdentity(ini);
    if (command == "show")
        return Show(identity, line);
    if (command == "check")
        return Check(identity, line.json);
    if (command == "diagnose")
        return Diagnose(ini, identity, line.json);
    return Set(identity, line.words, line.json);
}

int ConnScanMain(int argc, char** argv)
{
    RestrictDllSearchToSystem();
    const int status = RunCommandLine(argc, argv);
    // Output that never arrived is no result: a script must not take an
    // empty list or a missing line for what was asked.
    if (OutputFailed())
    {
        Fail(kSystemFailure, "the output could not be written");
        return status == kDone ? kSystemFailure : status;
    }
    return status;
}
