#include "CommandLine.h"

#include "discovery/Ipv4.h"

#include <windows.h>

#include <algorithm>

namespace
{
constexpr int kMaxEchoed = 40;  // characters of an argument said back
}  // namespace

bool ParseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& why)
{
    bool options = true;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        const bool option =
            options && ((arg.size() > 1 && arg[0] == '-' && (arg[1] < '0' || arg[1] > '9')) || arg == "/?");
        if (!option)
            line.words.push_back(arg);
        else if (arg == "--")
            options = false;
        else if (arg == "--json")
            line.json = true;
        else if (arg == "--each-network")
            line.eachNetwork = true;
        else if (arg == "--help" || arg == "-h" || arg == "-?" || arg == "/?")
            line.help = true;
        else if (arg == "--version")
            line.version = true;
        else if (arg == "--ini" || arg.compare(0, 6, "--ini=") == 0)
        {
            line.iniPath = arg.size() > 5 ? arg.substr(6) : i + 1 < argc ? argv[++i] : "";
            if (line.iniPath.empty())
            {
                why = "--ini needs the path of a twain.ini";
                return false;
            }
        }
        else
        {
            why = "unknown option " + Quoted(arg);
            return false;
        }
    }
    if (!line.words.empty())
    {
        line.words[0] = Lower(line.words[0]);
        line.help = line.help || line.words[0] == "help";
    }
    return true;
}

std::string Quoted(const std::string& text)
{
    // Cut between characters, never inside a double-byte one.
    const char* end = text.c_str();
    for (int n = 0; *end && n < kMaxEchoed; ++n)
        end = ::CharNextA(end);
    return "'" + std::string(text.c_str(), end) + (*end ? "...'" : "'");
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

bool IsDottedAddress(const std::string& text)
{
    CIpv4 parsed(in_addr{});
    return CIpv4::Parse(text, parsed);
}

bool IsDeviceAddress(const std::string& text, std::string& why)
{
    CIpv4 parsed(in_addr{});
    if (!CIpv4::Parse(text, parsed))
    {
        why = "is not a dotted IPv4 address (four numbers 0-255, at most 15 characters)";
        return false;
    }
    const uint32_t first = parsed.Number() >> 24;
    const char* kind = parsed.Number() == 0xFFFFFFFFu ? "broadcast"
                       : first == 0                   ? "this-network"
                       : first == 127                 ? "loopback"
                       : first >= 240                 ? "reserved"
                       : first >= 224                 ? "multicast"
                                                      : nullptr;
    if (kind)
        why = std::string("is not a device address: ") + kind;
    return !kind;
}

const char* UsageText()
{
    return "usage: connscan [--ini PATH] [--json] COMMAND\n"
           "  list                    find the scanners on the PC's networks (the dialog's discovery pass,\n"
           "                          about 2.5 s): the query from each address of this PC\n"
           "  list --each-network     the same query on each network of this PC, every answer with the\n"
           "                          local address it came in on; not beyond a router (use probe)\n"
           "  probe ADDRESS           send the query to ADDRESS alone (a device behind a router); a device\n"
           "                          that answers broadcasts only will not answer\n"
           "  check                   probe the stored device; changes nothing\n"
           "  diagnose                why the scanner is or is not found, and the fix: the adapters, the\n"
           "                          firewall, the stored device, one pass; changes nothing\n"
           "  show                    the scanner's identity and its stored connection\n"
           "  set usb                 connect over USB (the stored address is kept)\n"
           "  set network ADDRESS     connect to the device at ADDRESS (dotted IPv4)\n"
           "  help                    this text\n"
           "Commands and the words usb and network may be written in any case.\n"
           "probe and set refuse addresses no device has: 0.x, 127.x (loopback), 224.x to 239.x\n"
           "(multicast), 240.x and above (reserved, with the broadcast 255.255.255.255), and the\n"
           "network and broadcast addresses of this PC's own networks\n"
           "options, anywhere on the line; -- ends them:\n"
           "  --ini PATH, --ini=PATH  the scanner's twain.ini (default: twain.ini beside connscan.exe)\n"
           "  --json                  list, probe, show, check, set and diagnose print JSON on stdout\n"
           "  --help, -h, -?, /?      this text;  --version  the version\n"
           "Results go to stdout; failures and warnings to stderr.\n"
           "exit status: 0 done (probe, check: the device answered); 1 no device found, or it did not\n"
           "answer (or none is stored); 2 usage or refused input; 3 a system failure\n";
}
