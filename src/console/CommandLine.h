// The console companion's command line: words and options in any order.
#pragma once

#include <string>
#include <vector>

struct CommandLine
{
    std::vector<std::string> words;  // the command and its arguments
    std::string iniPath;             // --ini PATH or --ini=PATH; empty: twain.ini beside the program
    bool json = false;               // --json
    bool eachNetwork = false;        // --each-network
    bool help = false;               // --help, -h, -?, /? or the command help
    bool version = false;            // --version
};

// False, with why, for an unknown option or --ini without its path. "--"
// ends the options; a '-' before a digit starts a word (a mistyped address),
// not an option. The command word is lower-cased, as Windows' own command
// words are read whatever their case.
bool ParseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& why);

// text in quotes, cut to a length that reads in one line.
std::string Quoted(const std::string& text);
// ASCII letters of text lower-cased.
std::string Lower(std::string text);

// A dotted IPv4 address as a device's address is stored: at most 15
// characters, four decimal parts of 0 to 255, no sign, space or leading zero.
bool IsDottedAddress(const std::string& text);
// Whether text can be a device's address: dotted, and neither this network
// (0.0.0.0/8), the loopback (127.0.0.0/8), multicast (224.0.0.0/4) nor
// reserved (240.0.0.0/4, which holds the broadcast 255.255.255.255).
// Otherwise why says so, as the end of a sentence naming the address.
bool IsDeviceAddress(const std::string& text, std::string& why);

// The usage text, ending in a line break.
const char* UsageText();
