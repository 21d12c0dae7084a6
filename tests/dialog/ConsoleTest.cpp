// The command-line companion against the simulated scanners and the real
// registry, side by side with the dialog it must agree with.
#include "DialogFixture.h"

#include "NetworkFault.h"
#include "support/JsonReader.h"
#include "support/Lines.h"
#include "support/Network.h"
#include "version.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace
{
const char kA[] = "192.168.123.11";
const char kC[] = "192.168.123.13";
// Devices beside the default route's network: one on each of the program's
// other two networks, one on both, and one behind a router.
const char kSecond[] = "10.201.1.2";
const char kThird[] = "10.201.2.2";
const char kOnBoth[] = "10.201.12.12";
const char kRouted[] = "10.201.9.2";
const char kNobody[] = "10.201.1.77";

class ConsoleTest : public DialogTest
{
protected:
    // In the self-test, the tests that need no simulated scanner run.
    void SetUp() override
    {
        if (!SelfTestMode())
        {
            ASSERT_TRUE(SimulatorReset()) << "the simulator does not answer";
        }
    }

    // Every value of the key: name, type and bytes, in the order they were made.
    std::vector<std::string> Stored() const
    {
        std::vector<std::string> values;
        for (const std::string& name : ValueNames(Key()))
        {
            const StoredValue v = Value(name.c_str());
            std::ostringstream one;
            one << name << " type " << v.type << ':';
            for (unsigned char b : v.bytes)
                one << ' ' << static_cast<int>(b);
            values.push_back(one.str());
        }
        return values;
    }

    // Starts the dialog, presses OK and waits for it to end.
    void DialogOk()
    {
        ProgramRun dialog;
        dialog.CopyBeside("ENG.dll");
        dialog.WriteFile("twain.ini", "[MODEL]\r\nMFG=" + m_maker + "\r\nMDL=" + m_model + "\r\n");
        ASSERT_TRUE(dialog.Start());
        ASSERT_TRUE(dialog.WaitForDialog());
        dialog.Command(kOk);
        ASSERT_TRUE(dialog.WaitForExit());
        ASSERT_EQ(static_cast<DWORD>(IDOK), dialog.ExitCode());
    }
};
}  // namespace

TEST_F(ConsoleTest, ListPrintsWhatTheDialogListsAndFailsWhenNothingAnswers)
{
    SKIP_IN_SELFTEST(kNeedsRig);
    ASSERT_TRUE(SimulatorRule(kC, 1, 6, 100));
    ASSERT_TRUE(SimulatorRule(kA, 2, 6, 400));
    Prepare("T-List", "M1");
    const ConsoleResult listed = run.RunConsole("list");
    EXPECT_EQ(0u, listed.status) << listed.err;
    const std::vector<std::string> expected = {kC, kA, kA};
    EXPECT_EQ(expected, Lines(listed.out));
    EXPECT_EQ("{\"devices\": [\"192.168.123.13\", \"192.168.123.11\", \"192.168.123.11\"]}\n",
              run.RunConsole("--json list").out);

    StartDialog();
    run.Command(kDiscover);
    ASSERT_TRUE(WaitFor([this] { return !run.Enabled(kDiscover); }, 3000)) << "the pass did not start";
    ASSERT_TRUE(WaitFor([this] { return run.Enabled(kDiscover); }, 10000)) << "the pass did not end";
    EXPECT_EQ(expected, run.Entries());
    run.Command(kCancel);
    ASSERT_TRUE(EndsWith(IDNO));

    ASSERT_TRUE(SimulatorReset());
    const ConsoleResult silent = run.RunConsole("list");
    EXPECT_EQ(1u, silent.status);
    EXPECT_EQ("", silent.out);
    EXPECT_EQ("connscan: no device answered within 2 s\n", silent.err);
}

TEST_F(ConsoleTest, EachNetworkFindsWhatTheBroadcastMissesOnEveryNetworkOfThePc)
{
    SKIP_IN_SELFTEST(kNeedsRig);
    ASSERT_TRUE(SimulatorRule(kA, 1, 6, 100));
    ASSERT_TRUE(SimulatorRule(kSecond, 1, 6, 300));
    ASSERT_TRUE(SimulatorRule(kThird, 1, 6, 500));
    ASSERT_TRUE(SimulatorRule(kOnBoth, 1, 6, 700));
    Prepare("T-Each", "M1");
    // The dialog's pass and plain list ask each network from its own
    // address; the device on two networks hears, and answers, twice.
    StartDialog();
    run.Command(kDiscover);
    ASSERT_TRUE(WaitFor([this] { return !run.Enabled(kDiscover); }, 3000)) << "the pass did not start";
    ASSERT_TRUE(WaitFor([this] { return run.Enabled(kDiscover); }, 10000)) << "the pass did not end";
    const std::vector<std::string> expected = {kA, kSecond, kThird, kOnBoth, kOnBoth};
    EXPECT_EQ(expected, run.Entries());
    run.Command(kCancel);
    ASSERT_TRUE(EndsWith(IDNO));
    EXPECT_EQ(expected, Lines(run.RunConsole("list").out));

    const DWORD started = ::GetTickCount();
    const ConsoleResult each = run.RunConsole("list --each-network");
    std::printf("list --each-network took %lu ms\n", ::GetTickCount() - started);
    EXPECT_EQ(0u, each.status) << each.err;
    // Each network got the query once, at its own broadcast address: the
    // last three queries the simulator saw.
    std::vector<std::string> sent;
    for (const std::string& line : Lines(SimulatorLog().lines))
    {
        std::istringstream in(line);
        std::string source, destination;
        in >> source >> destination;
        sent.push_back(source.substr(0, source.find(':')) + " to " + destination);
    }
    ASSERT_LE(3u, sent.size());
    sent.erase(sent.begin(), sent.end() - 3);
    std::sort(sent.begin(), sent.end());
    EXPECT_EQ(std::vector<std::string>(
                  {"10.201.1.1 to 10.201.1.255", "10.201.2.1 to 10.201.2.255", "192.168.123.1 to 192.168.123.255"}),
              sent);
    std::vector<std::string> lines = Lines(each.out);
    ASSERT_EQ(5u, lines.size()) << each.out;
    // In order of arrival; the device on both networks answers both at once.
    EXPECT_EQ("192.168.123.11 via 192.168.123.1", lines[0]);
    EXPECT_EQ("10.201.1.2 via 10.201.1.1", lines[1]);
    EXPECT_EQ("10.201.2.2 via 10.201.2.1", lines[2]);
    std::sort(lines.begin() + 3, lines.end());
    EXPECT_EQ("10.201.12.12 via 10.201.1.1", lines[3]);
    EXPECT_EQ("10.201.12.12 via 10.201.2.1", lines[4]);
    EXPECT_EQ(0u, run.RunConsole("--json list --each-network")
                      .out.find("{\"devices\": [{\"address\": \"192.168.123.11\", \"via\": \"192.168.123.1\"}, "
                                "{\"address\": \"10.201.1.2\", \"via\": \"10.201.1.1\"}, "));
}

TEST_F(ConsoleTest, ProbeReachesADeviceBehindARouterAndCheckAsksTheStoredOne)
{
    SKIP_IN_SELFTEST(kNeedsRig);
    Prepare("T-Probe", "M1");
    const ConsoleResult routed = run.RunConsole("probe 10.201.9.2");
    EXPECT_EQ(0u, routed.status) << routed.err;
    EXPECT_EQ(kRouted + std::string("\n"), routed.out);
    EXPECT_EQ("{\"devices\": [\"10.201.9.2\"]}\n", run.RunConsole("probe --json 10.201.9.2").out);
    const DWORD started = ::GetTickCount();
    const ConsoleResult silent = run.RunConsole(std::string("probe ") + kNobody);
    const DWORD took = ::GetTickCount() - started;
    std::printf("probe of a silent address took %lu ms\n", took);
    EXPECT_LT(took, 5000u) << "a probe lasts one pass, about 2.5 s";
    EXPECT_EQ(1u, silent.status);
    EXPECT_EQ("", silent.out);
    EXPECT_EQ("connscan: 10.201.1.77 did not answer within 2 s\n", silent.err);

    // check reads the key as show does: neither leaves one behind.
    for (const char* look : {"check", "show", "show --json"})
    {
        const ConsoleResult r = run.RunConsole(look);
        EXPECT_FALSE(KeyExists(Key())) << look << " created the key";
        if (look == std::string("check"))
        {
            EXPECT_EQ(1u, r.status);
            EXPECT_EQ("", r.out);
            EXPECT_EQ("connscan: no network device is stored under HKEY_CURRENT_USER\\SOFTWARE\\" TEST_KEY_ROOT
                      "\\T-Probe\\M1\n",
                      r.err);
        }
    }
    // Results on stdout, failures on stderr; with --json a result on stdout either way.
    const struct
    {
        const char* set;
        DWORD status;
        std::string out;
        std::string err;
        std::string json;
    } cases[] = {
        {"set network 10.201.9.2", 0, "the stored device 10.201.9.2 answered\n", "",
         "\"port\": \"network\", \"address\": \"10.201.9.2\", \"answered\": true}\n"},
        {"set network 10.201.1.77", 1, "", "connscan: the stored device 10.201.1.77 did not answer within 2 s\n",
         "\"port\": \"network\", \"address\": \"10.201.1.77\", \"answered\": false}\n"},
        {"set usb", 1, "",
         "connscan: USB is stored under HKEY_CURRENT_USER\\SOFTWARE\\" TEST_KEY_ROOT
         "\\T-Probe\\M1: there is no network "
         "device to "
         "check\n",
         "\"port\": \"usb\", \"address\": \"10.201.1.77\", \"answered\": false}\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.set);
        ASSERT_EQ(0u, run.RunConsole(c.set).status);
        const std::vector<std::string> before = Stored();
        const ConsoleResult checked = run.RunConsole("check");
        EXPECT_EQ(c.status, checked.status) << checked.err;
        EXPECT_EQ(c.out, checked.out);
        EXPECT_EQ(c.err, checked.err);
        const ConsoleResult json = run.RunConsole("check --json");
        EXPECT_EQ(c.status, json.status);
        EXPECT_EQ("{\"key\": \"HKEY_CURRENT_USER\\\\SOFTWARE\\\\" TEST_KEY_ROOT "\\\\T-Probe\\\\M1\", " + c.json,
                  json.out);
        EXPECT_EQ(c.err, json.err);
        EXPECT_EQ(before, Stored());
    }

    // The dialog then shows the routed device, selected.
    ASSERT_EQ(0u, run.RunConsole("set network 10.201.9.2").status);
    StartDialog();
    EXPECT_EQ(std::vector<std::string>({kRouted}), run.Entries());
    EXPECT_EQ(0, run.Selection());
    run.Command(kCancel);
    ASSERT_TRUE(EndsWith(IDNO));
}

TEST_F(ConsoleTest, ShowJsonGivesOddNamesBackExactly)
{
    if (::GetACP() != 1252)
        SKIP_IN_SELFTEST("the names below are in code page 1252, not this PC's " + std::to_string(::GetACP()));
    ASSERT_EQ(1252u, ::GetACP()) << "the names below are in code page 1252";
    // A quote, a backslash and a control character; a letter outside ASCII.
    Prepare("T-\"Odd\\\x01", "M\xfc");
    const ConsoleResult shown = run.RunConsole("show --json");
    EXPECT_EQ(0u, shown.status) << shown.err;
    EXPECT_EQ("{\"maker\": \"" TEST_KEY_ROOT
              "\\\\T-\\\"Odd\\\\\\u0001\", \"model\": \"M\\u00fc\", \"country\": \"ENG\", "
              "\"key\": \"HKEY_CURRENT_USER\\\\SOFTWARE\\\\" TEST_KEY_ROOT "\\\\T-\\\"Odd\\\\\\u0001\\\\M\\u00fc\", "
              "\"port\": \"not set\", \"address\": \"\", \"saved\": false}\n",
              shown.out);
    EXPECT_FALSE(KeyExists(Key())) << "show created the key";
}

TEST_F(ConsoleTest, SetAndShowRoundTripWithTheDialog)
{
    Prepare("T-Set", "M1");
    ASSERT_EQ(0u, run.RunConsole("set network 192.168.1.20").status);
    StartDialog();
    EXPECT_EQ(std::vector<std::string>({"192.168.1.20"}), run.Entries());
    EXPECT_EQ(0, run.Selection());
    EXPECT_TRUE(run.Enabled(kDiscover));
    run.Command(kCancel);
    ASSERT_TRUE(EndsWith(IDNO));

    ProgramRun usb;
    usb.CopyBeside("ENG.dll");
    usb.WriteFile("twain.ini", "[MODEL]\r\nMFG=" + m_maker + "\r\nMDL=M1\r\n");
    ASSERT_EQ(0u, usb.RunConsole("set usb").status);
    ASSERT_TRUE(usb.Start());
    ASSERT_TRUE(usb.WaitForDialog());
    EXPECT_EQ(BST_CHECKED, ::SendMessageW(usb.Item(kUsb), BM_GETCHECK, 0, 0));
    EXPECT_FALSE(usb.Enabled(kDiscover));
    EXPECT_EQ(std::vector<std::string>({"192.168.1.20"}), usb.Entries()) << "set usb keeps the address";
    usb.Command(kCancel);
    ASSERT_TRUE(usb.WaitForExit());

    // What the dialog's OK stored, show prints; options may stand anywhere.
    WriteValue(Key(), "PortType", REG_BINARY, {0});
    WriteValue(Key(), "SaveSetting", REG_BINARY, {0});
    DialogOk();
    EXPECT_EQ("maker    " TEST_KEY_ROOT "\\T-Set\nmodel    M1\ncountry  ENG\n"
              "key      HKEY_CURRENT_USER\\SOFTWARE\\" TEST_KEY_ROOT "\\T-Set\\M1\n"
              "port     network\naddress  192.168.1.20\nsaved    yes\n",
              run.RunConsole("show").out);
    EXPECT_EQ("{\"maker\": \"" TEST_KEY_ROOT "\\\\T-Set\", \"model\": \"M1\", \"country\": \"ENG\", \"key\": "
              "\"HKEY_CURRENT_USER\\\\SOFTWARE\\\\" TEST_KEY_ROOT "\\\\T-Set\\\\M1\", \"port\": \"network\", "
              "\"address\": \"192.168.1.20\", "
              "\"saved\": true}\n",
              run.RunConsole("show --json").out);
}

TEST_F(ConsoleTest, SetWritesByteForByteWhatTheDialogsOkWrites)
{
    Prepare("T-Bytes", "M1");
    for (const bool usb : {false, true})
    {
        SCOPED_TRACE(usb ? "usb" : "network");
        // Both from the same stored type and address, without the marker.
        auto startFrom = [&]
        {
            DeleteKeyTree(Key());
            WriteValue(Key(), "PortType", REG_BINARY, {static_cast<unsigned char>(usb ? 1 : 0)});
            WriteValue(Key(), "Velmora", REG_BINARY, PortBytes("10.20.30.40"));
        };
        startFrom();
        DialogOk();
        const std::vector<std::string> byDialog = Stored();
        ASSERT_EQ(3u, byDialog.size());

        startFrom();
        const ConsoleResult set = run.RunConsole(usb ? "set usb" : "set network 10.20.30.40");
        EXPECT_EQ(0u, set.status) << set.err;
        EXPECT_EQ(byDialog, Stored());
    }
}

TEST_F(ConsoleTest, RefusedInputWritesNothingAndSaysWhy)
{
    SKIP_IN_SELFTEST(kNeedsRig);
    Prepare("T-Refuse", "M1");
    WriteValue(Key(), "Velmora", REG_BINARY, PortBytes("10.1.1.1"));
    const std::vector<std::string> before = Stored();
    std::vector<std::string> refused = {"set",
                                        "set network",
                                        "set usb 1.2.3.4",
                                        "set wifi",
                                        "frobnicate",
                                        "",
                                        "list extra",
                                        "show --bogus",
                                        "set network 1.2.3.4 --ini",
                                        "probe",
                                        "probe 1.2.3.4 5.6.7.8",
                                        "check now",
                                        "show --each-network"};
    // Every address that set refuses, probe refuses too, and sends nothing:
    // text that is no address, and addresses no device has.
    // The network and broadcast addresses of the PC's own networks too.
    for (const char* address :
         {"999.1.1.1", "1.2.3", "1.2.3.4.5", "192.168.100.1000", "\"\"", "1.1.1.1.1.1.1.1.", "01.2.3.4", "10.1.1.256",
          "255.255.255.255", "0.0.0.0", "224.0.0.1", "239.255.255.250", "240.1.2.3", "127.0.0.1", "-1.0.0.1",
          "192.168.123.255", "192.168.123.0", "10.201.1.255", "10.201.2.0"})
    {
        refused.push_back(std::string("set network ") + address);
        refused.push_back(std::string("probe ") + address);
    }
    for (const std::string& args : refused)
    {
        SCOPED_TRACE(args);
        const ConsoleResult r = run.RunConsole(args);
        EXPECT_EQ(2u, r.status);
        EXPECT_NE("", r.err);
        EXPECT_EQ("", r.out);
        EXPECT_EQ(before, Stored());
    }
    EXPECT_EQ(0, SimulatorLog().count) << "a refused probe sent its query";
    const ConsoleResult broadcast = run.RunConsole("set network 255.255.255.255");
    EXPECT_EQ("connscan: '255.255.255.255' is not a device address: broadcast; nothing was stored\n", broadcast.err);
    EXPECT_EQ("connscan: '192.168.123.255' is not a device address: the broadcast address of this PC's network "
              "192.168.123.0/24; nothing was sent\n",
              run.RunConsole("probe 192.168.123.255").err);
    EXPECT_EQ("connscan: '-1.0.0.1' is not a dotted IPv4 address (four numbers 0-255, at most 15 characters); "
              "nothing was stored\n",
              run.RunConsole("set network -1.0.0.1").err);

    // A part of 255 or 0 is an ordinary part of a device's address.
    for (const char* address : {"10.255.0.1", "10.1.255.255"})
    {
        SCOPED_TRACE(address);
        EXPECT_EQ(0u, run.RunConsole(std::string("set network ") + address).status);
        EXPECT_EQ(PortBytes(address), Value("Velmora").bytes);
    }
    // A stored address no device has is not probed.
    WriteValue(Key(), "Velmora", REG_BINARY, PortBytes("224.0.0.251"));
    const ConsoleResult check = run.RunConsole("check");
    EXPECT_EQ(1u, check.status);
    EXPECT_EQ("connscan: the stored address '224.0.0.251' is not a device address: multicast\n", check.err);
    EXPECT_EQ(0, SimulatorLog().count) << "check probed an address no device has";
}

TEST_F(ConsoleTest, PlainTextComesOutInTheConsolesCodePageAndJsonInAscii)
{
    if (::GetACP() != 1252 || (::GetOEMCP() != 437 && ::GetOEMCP() != 850))
        SKIP_IN_SELFTEST("the twain.ini below is in code page 1252 and the console's in 437 or 850, not this PC's " +
                         std::to_string(::GetACP()) + " and " + std::to_string(::GetOEMCP()));
    ASSERT_EQ(1252u, ::GetACP()) << "the twain.ini below is in code page 1252";
    const UINT oem = ::GetOEMCP();
    ASSERT_TRUE(oem == 437 || oem == 850) << oem;  // both have \xfc at 0x81
    Prepare("T-M\xfcller", "M1");
    const ConsoleResult shown = run.RunConsole("show");
    EXPECT_EQ(0u, shown.status) << shown.err;
    EXPECT_EQ(0u, shown.out.find("maker    " TEST_KEY_ROOT "\\T-M\x81ller\n")) << shown.out;
    EXPECT_NE(std::string::npos,
              shown.out.find("key      HKEY_CURRENT_USER\\SOFTWARE\\" TEST_KEY_ROOT "\\T-M\x81ller\\M1\n"));
    EXPECT_EQ("HKEY_CURRENT_USER\\SOFTWARE\\" TEST_KEY_ROOT "\\T-M\x81ller\\M1: network 10.1.1.1\n",
              run.RunConsole("set network 10.1.1.1").out);
    // JSON reads the same in any code page: every byte below 0x80, the
    // letter as its \u escape, which a JSON reader turns back into it.
    const std::string json = run.RunConsole("show --json").out;
    EXPECT_EQ(0u, json.find("{\"maker\": \"" TEST_KEY_ROOT "\\\\T-M\\u00fcller\"")) << json;
    EXPECT_TRUE(std::all_of(json.begin(), json.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
    JsonValue parsed;
    std::string why;
    ASSERT_TRUE(ParseJson(json, parsed, why)) << why << ": " << json;
    EXPECT_EQ(m_maker, parsed["maker"].Ansi());
    EXPECT_EQ("HKEY_CURRENT_USER\\" + Key(), parsed["key"].Ansi());
}

TEST_F(ConsoleTest, ARunThatCouldSendNothingIsAFailureNotAnAbsentScanner)
{
    SKIP_IN_SELFTEST(kNeedsRig);
    Prepare("T-Dead", "M1");
    ASSERT_TRUE(SimulatorRule(kRouted, 1, 6, 100));
    ASSERT_TRUE(SimulatorRule(kSecond, 1, 6, 100));
    {
        const NetworkFault noDefaultRoute("route", 30000);
        ASSERT_TRUE(noDefaultRoute.InForce());
        // A broadcast needs no gateway: each network is still asked.
        const ConsoleResult list = run.RunConsole("list");
        EXPECT_EQ(0u, list.status) << list.err;
        EXPECT_EQ(kSecond + std::string("\n"), list.out);
        // Nothing reaches an address only the default route led to; the routed device still answers.
        const ConsoleResult unrouted = run.RunConsole("probe 10.88.0.6");
        EXPECT_EQ(3u, unrouted.status);
        EXPECT_EQ(1u, Lines(unrouted.err).size()) << unrouted.err;
        // Wine has no words for 10051 (Windows has): the number alone.
        EXPECT_EQ(0u, unrouted.err.find("connscan: no query could be sent: cannot send to 10.88.0.6 "
                                        "(Windows Sockets error 10051"))
            << unrouted.err;
        EXPECT_EQ(0u, run.RunConsole(std::string("probe ") + kRouted).status);
    }
    {
        const NetworkFault unplugged("links", 20000);
        ASSERT_TRUE(unplugged.InForce());
        for (const char* args : {"list", "list --each-network"})
        {
            SCOPED_TRACE(args);
            const ConsoleResult dead = run.RunConsole(args);
            EXPECT_EQ(3u, dead.status);
            EXPECT_EQ("", dead.out);
            EXPECT_EQ(0u, dead.err.find("connscan: no query could be sent: ")) << dead.err;
        }
        // The dialog's pass with no network: message 6002, and the dialog goes on.
        StartDialog();
        run.Command(kDiscover);
        HWND box = nullptr;
        EXPECT_TRUE(
            WaitFor([&] { return (box = FindMessageBox(run.ProcessId())) != nullptr || !run.Running(); }, 10000));
        ASSERT_NE(nullptr, box) << "no message 6002; the dialog ended with " << run.ExitCode();
        EXPECT_NE(std::string::npos, ReadMessageBox(box).text.find("6002")) << ReadMessageBox(box).text;
        ASSERT_TRUE(CloseMessageBox(box));
        ASSERT_TRUE(WaitFor([this] { return run.Enabled(kDiscover); }, 5000)) << "the pass did not end";
        run.Command(kCancel);
        EXPECT_TRUE(EndsWith(IDNO));
    }
}

TEST_F(ConsoleTest, AnotherProfileHelpVersionAndFailuresToStoreOrToPrint)
{
    Prepare("T-Ini", "M1");
    run.WriteFile("other.ini", "[MODEL]\r\nMFG=" + m_maker + "\r\nMDL=Other\r\nCOUNTRY=DEU\r\n");
    EXPECT_EQ(0u, run.RunConsole("set --ini other.ini network 10.9.8.7").status);
    EXPECT_EQ(PortBytes("10.9.8.7"), ReadValue(TestKey("T-Ini\\Other"), "Velmora").bytes);
    EXPECT_FALSE(KeyExists(Key())) << "the program's own twain.ini was read";
    EXPECT_EQ(2u, run.RunConsole("show --ini missing.ini").status);

    EXPECT_EQ("connscan " CONNSETUP_VERSION_TEXT "\n", run.RunConsole("--version").out);
    const ConsoleResult help = run.RunConsole("show --help");
    EXPECT_EQ(0u, help.status);
    EXPECT_EQ(0u, help.out.find("usage: connscan"));

    // Output that cannot be written is a failure, not a result.
    const ConsoleResult unread = run.RunConsole("show", 20000, true);
    EXPECT_EQ(3u, unread.status);
    EXPECT_NE(std::string::npos, unread.err.find("the output could not be written"));

    // A key name component of 300 characters is refused by the registry.
    run.WriteFile("bad.ini", "[MODEL]\r\nMFG=" + m_maker + "\r\nMDL=" + std::string(300, 'm') + "\r\n");
    const ConsoleResult failed = run.RunConsole("--ini bad.ini set network 10.9.8.7");
    EXPECT_EQ(3u, failed.status);
    EXPECT_NE(std::string::npos, failed.err.find("could not be stored"));
    EXPECT_EQ("", failed.out);
}

TEST_F(ConsoleTest, WindowsConventionsAreUnderstood)
{
    Prepare("T-Conventions", "M1");
    run.WriteFile("other.ini", "[MODEL]\r\nMFG=" + m_maker + "\r\nMDL=Other\r\n");
    for (const char* help : {"/?", "-h", "-?", "help", "HELP", "--help show"})
    {
        SCOPED_TRACE(help);
        const ConsoleResult r = run.RunConsole(help);
        EXPECT_EQ(0u, r.status);
        EXPECT_EQ(0u, r.out.find("usage: connscan")) << r.out;
        EXPECT_EQ("", r.err);
    }
    // Lines end in CR LF, as on every Windows console.
    const std::string raw = run.RunConsole("/?").rawOut;
    const LineEnds ends = CountLineEnds(raw);
    EXPECT_EQ(ends.lines, ends.crlf);
    EXPECT_LT(20u, ends.crlf);

    // Command and port words in any case; --ini=FILE; -- ends the options.
    for (const char* set :
         {"SET USB", "Set Network 10.1.2.3", "--ini=other.ini set network 10.4.4.4", "set -- network 10.5.5.5"})
        EXPECT_EQ(0u, run.RunConsole(set).status) << set;
    EXPECT_EQ(PortBytes("10.5.5.5"), Value("Velmora").bytes);
    EXPECT_EQ(PortBytes("10.4.4.4"), ReadValue(TestKey("T-Conventions\\Other"), "Velmora").bytes);
    EXPECT_EQ(0u, run.RunConsole("SHOW").out.find("maker    " + m_maker + "\n"));
    const ConsoleResult ended = run.RunConsole("show -- --json");
    EXPECT_EQ(2u, ended.status);
    EXPECT_EQ("", ended.out);

    // Said back, an argument is cut to a length that reads; --json is never ignored.
    const ConsoleResult longWord = run.RunConsole(std::string(5000, 'x'));
    EXPECT_EQ(2u, longWord.status);
    EXPECT_EQ(0u, longWord.err.find("connscan: unknown command '" + std::string(40, 'x') + "...'\n"))
        << longWord.err.substr(0, 200);
    EXPECT_EQ(2u, run.RunConsole("--json --version").status);
}

TEST_F(ConsoleTest, SetJsonAndWhatDecidesSetsStatus)
{
    SKIP_IN_SELFTEST(kUsesBuiltInKey);
    Prepare("T-Status", "M1");
    const ConsoleResult json = run.RunConsole("set --json network 10.6.6.6");
    EXPECT_EQ(0u, json.status) << json.err;
    EXPECT_EQ("{\"key\": \"HKEY_CURRENT_USER\\\\SOFTWARE\\\\" TEST_KEY_ROOT
              "\\\\T-Status\\\\M1\", \"port\": \"network\", "
              "\"address\": \"10.6.6.6\"}\n",
              json.out);
    // Stored is done, even when the confirmation cannot be written.
    const ConsoleResult unread = run.RunConsole("set network 10.7.7.7", 20000, true);
    EXPECT_EQ(0u, unread.status);
    EXPECT_EQ(PortBytes("10.7.7.7"), Value("Velmora").bytes);
    EXPECT_EQ("connscan: stored, but the confirmation could not be written\n", unread.err);
    // A folder is no twain.ini: nothing is stored under the built-in identity.
    DeleteKeyTree("SOFTWARE\\ORVEL");
    const ConsoleResult folder = run.RunConsole("--ini . set usb");
    EXPECT_EQ(2u, folder.status);
    EXPECT_EQ("connscan: --ini: '.' is a folder, not a twain.ini\n", folder.err);
    EXPECT_FALSE(KeyExists("SOFTWARE\\ORVEL\\QX7S&QN8S"));
}

TEST_F(ConsoleTest, EveryCommandChecksItsIniAndNoOptionIsIgnored)
{
    SKIP_IN_SELFTEST(kUsesBuiltInKey);
    Prepare("T-Options", "M1");
    DeleteKeyTree("SOFTWARE\\ORVEL");
    run.WriteFile("nomodel.ini", "[DRIVER]\r\nMFG=T-Options\r\nMDL=M1\r\n");
    const struct
    {
        const char* ini;
        const char* says;
    } wrong[] = {
        {"missing.ini", "connscan: --ini: no file 'missing.ini'\n"},
        {".", "connscan: --ini: '.' is a folder, not a twain.ini\n"},
        // It would name the built-in scanner's key, not this one's.
        {"nomodel.ini", "connscan: --ini: 'nomodel.ini' has no [MODEL] section\n"},
    };
    for (const auto& ini : wrong)
        for (const char* command : {"list", "probe 10.201.1.2", "show", "check", "set network 10.201.1.2", "diagnose"})
        {
            const std::string args = std::string("--ini ") + ini.ini + " " + command;
            SCOPED_TRACE(args);
            const ConsoleResult r = run.RunConsole(args);
            EXPECT_EQ(2u, r.status);
            EXPECT_EQ(ini.says, r.err);
            EXPECT_EQ("", r.out);
        }
    EXPECT_EQ(0, SimulatorLog().count) << "a query went out with a wrong --ini";
    EXPECT_FALSE(KeyExists(Key()));
    EXPECT_FALSE(KeyExists("SOFTWARE\\ORVEL\\QX7S&QN8S"));

    // Help and the version read no profile, print no JSON and ask no network.
    for (const char* args : {"--help --json", "--each-network --help", "help --each-network", "--ini twain.ini /?",
                             "--version --each-network", "--version --ini=twain.ini"})
    {
        SCOPED_TRACE(args);
        const ConsoleResult r = run.RunConsole(args);
        EXPECT_EQ(2u, r.status);
        EXPECT_EQ("", r.out);
        EXPECT_EQ(0u, r.err.find("connscan: --help and --version take no other option\n")) << r.err;
    }

    // The file beside connscan may lack the section, as beside the dialog: the built-in identity.
    run.WriteFile("twain.ini", "[DRIVER]\r\n");
    const ConsoleResult shown = run.RunConsole("show");
    EXPECT_EQ(0u, shown.status) << shown.err;
    EXPECT_EQ(0u, shown.out.find("maker    ORVEL\nmodel    QX7S&QN8S\n")) << shown.out;
}
