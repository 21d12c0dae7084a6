// connscan: the connection choice from the command line, for administrators
// and deployment scripts. It runs the program's own discovery and stores the
// same values, byte for byte, as the dialog's OK.
#include "CommandLine.h"
#include "Json.h"

#include "config/ModelIdentity.h"
#include "config/PortRecord.h"
#include "discovery/DeviceFinder.h"
#include "framework/ProgramDir.h"
#include "framework/SafeStart.h"
#include "framework/Sockets.h"
#include "version.h"

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

int List(const CommandLine& line)
{
    if (!AfxSocketInit())
        return Fail(kSystemFailure, "Windows Sockets 1.1 could not be started");
    static char results[CDeviceFinder::kResultsSize];
    CDeviceFinder finder;
    finder.Discover(results);
    const std::vector<std::string> devices = CDeviceFinder::Devices(results);
    if (line.json)
    {
        std::string json = "{\"devices\": [";
        for (size_t i = 0; i < devices.size(); ++i)
            json += (i ? ", " : "") + JsonString(devices[i]);
        std::printf("%s]}\n", json.c_str());
    }
    else
    {
        for (const std::string& device : devices)
            std::printf("%s\n", device.c_str());
    }
    return devices.empty() ? kNoDevice : kDone;
}

int Show(const ModelIdentity& identity, const CommandLine& line)
{
    const std::string key = SettingsKeyPath(identity.maker, identity.model);
    CSettingsKey settings;
    PortRecord record{};
    // Read as the dialog reads it, but a missing key is not created.
    const bool typeStored = ReadPortRecord(settings, key, record, false);
    const char* port = !typeStored ? "not set" : record.byPortType == kPortTypeUsb ? "usb" : "network";
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
            return Fail(kUsage, "'" + address +
                                    "' is not a dotted IPv4 address (four numbers 0-255, at most 15 characters); "
                                    "nothing was stored");
    }
    if (!WritePortRecord(settings, key, usb, address))
        return Fail(kSystemFailure, "the connection could not be stored under " + std::string(kRootName) + key);
    std::printf("%s%s: %s %s\n", kRootName, key.c_str(), usb ? "usb" : "network", address.c_str());
    return kDone;
}
}  // namespace

int main(int argc, char** argv)
{
    RestrictDllSearchToSystem();
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
    if (command == "list" && line.words.size() == 1)
        return List(line);
    if (command != "show" && command != "set")
        return Usage(command == "list" ? "list takes no arguments" : "unknown command '" + command + "'");
    if (command == "show" && line.words.size() != 1)
        return Usage("show takes no arguments");

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
    return command == "show" ? Show(identity, line) : Set(identity, line.words);
}
