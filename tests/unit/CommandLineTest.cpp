// Reading connscan's command line: which word is an option, which a word,
// and which option lacks its value.
#include "console/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
bool Parse(std::vector<const char*> args, CommandLine& line, std::string& why)
{
    args.insert(args.begin(), "connscan");
    return ParseCommandLine(static_cast<int>(args.size()), args.data(), line, why);
}
}  // namespace

TEST(CommandLine, AMinusBeforeADigitStartsAWordAndAnEmptyIniIsRefused)
{
    // A mistyped address is an address to refuse as such, never an option.
    for (const char* address : {"-0.1.2.3", "-9.1.2.3", "-1"})
    {
        SCOPED_TRACE(address);
        CommandLine line;
        std::string why;
        ASSERT_TRUE(Parse({"set", "network", address}, line, why)) << why;
        EXPECT_EQ(std::vector<std::string>({"set", "network", address}), line.words);
    }
    for (const char* option : {"-/", "-:", "-x", "--jsn"})
    {
        CommandLine line;
        std::string why;
        EXPECT_FALSE(Parse({"list", option}, line, why)) << option;
        EXPECT_EQ("unknown option '" + std::string(option) + "'", why);
    }

    // --ini= with nothing after the sign names no file: the next word is
    // the command, not the path.
    for (const std::vector<const char*>& args :
         {std::vector<const char*>{"--ini=", "other.ini", "show"}, {"show", "--ini"}, {"--ini", "", "show"}})
    {
        CommandLine line;
        std::string why;
        EXPECT_FALSE(Parse(args, line, why)) << args[0];
        EXPECT_EQ("--ini needs the path of a twain.ini", why);
        EXPECT_EQ("", line.iniPath);
    }
    CommandLine line;
    std::string why;
    ASSERT_TRUE(Parse({"--ini=a.ini", "SHOW", "--ini", "b.ini"}, line, why)) << why;
    EXPECT_EQ("b.ini", line.iniPath);
    EXPECT_EQ(std::vector<std::string>({"show"}), line.words);
}
