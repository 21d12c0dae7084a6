// connscan diagnose on the test network: what it can show of the stored
// device, firewall settings in the prefix's registry, a PC with no network.
#include "DialogFixture.h"
#include "NetworkFault.h"

#include "support/JsonReader.h"
#include "support/Network.h"

#include <functional>

namespace
{
const char kSecond[] = "10.201.1.2";  // on the program's network 10.201.1.0/24
const char kNobody[] = "10.201.1.77";
const char kPolicyRoot[] = "SOFTWARE\\Policies\\Microsoft\\WindowsFirewall\\";
const char kLocalRoot[] = "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\";
const char kBlockValue[] = "DisableUnicastResponsesToMulticastBroadcast";
const char kEnableValue[] = "EnableFirewall";
const char* const kPolicyProfiles[] = {"DomainProfile", "PrivateProfile", "PublicProfile"};

class DiagnoseTest : public DialogTest
{
protected:
    void SetUp() override
    {
        SKIP_IN_SELFTEST(kNeedsRig);
        ASSERT_TRUE(SimulatorReset()) << "the simulator does not answer";
    }
    void TearDown() override
    {
        for (const char* profile : kPolicyProfiles)
        {
            SetFirewallValue(kPolicyRoot + std::string(profile), kBlockValue, -1);
            SetFirewallValue(kPolicyRoot + std::string(profile), kEnableValue, -1);
        }
        SetFirewallValue(kLocalRoot + std::string("StandardProfile"), kBlockValue, -1);
        DialogTest::TearDown();
    }

    // A firewall value under HKEY_LOCAL_MACHINE\path, in the system's view
    // of the registry; removed for a value below 0.
    static void SetFirewallValue(const std::string& path, const char* name, int value)
    {
        HKEY hKey = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                                   KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &hKey, nullptr));
        const DWORD data = static_cast<DWORD>(value);
        if (value >= 0)
            EXPECT_EQ(ERROR_SUCCESS,
                      ::RegSetValueExA(hKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data));
        else
            ::RegDeleteValueA(hKey, name);
        ::RegCloseKey(hKey);
    }
    static void SetPublicPolicy(bool block)
    {
        SetFirewallValue(kPolicyRoot + std::string("PublicProfile"), kBlockValue, block ? 1 : -1);
    }

    // diagnose --json, read; the codes of its findings.
    JsonValue Diagnose(DWORD& status, std::vector<std::string>& codes)
    {
        const ConsoleResult r = run.RunConsole("diagnose --json");
        status = r.status;
        JsonValue report;
        std::string why;
        EXPECT_TRUE(ParseJson(r.out, report, why)) << why << ": " << r.out << r.err;
        codes.clear();
        for (const JsonValue& f : report["findings"].items)
            codes.push_back(f["code"].Ansi());
        return report;
    }
};
}  // namespace

TEST_F(DiagnoseTest, NamesTheCauseOfEachStateTheTestNetworkCanMake)
{
    Prepare("T-Diagnose", "M1");
    const struct
    {
        const char* what;
        const char* stored;
        std::function<void()> devices;  // the simulator's rules
        bool policy;                    // the public profile's policy blocks answers
        DWORD status;
        std::vector<std::string> codes;
        std::string fix;  // in the first finding's fix
        int sent;
    } cases[] = {
        {"a healthy stored device", kSecond, [] { SimulatorRule(kSecond, 1, 6, 100); }, false, 0, {"ok"}, "", 4},
        {"a stored address with nobody, another device on its network",
         kNobody,
         [] { SimulatorRule(kSecond, 1, 6, 100); },
         false,
         1,
         {"stored-moved"},
         "connscan set network 10.201.1.2",
         4},
        {"a stored address with nobody, two other devices on its network",
         "192.168.123.77",
         []
         {
             SimulatorRule("192.168.123.11", 1, 6, 100);
             SimulatorRule("192.168.123.12", 1, 6, 200);
         },
         false,
         1,
         {"stored-candidates"},
         "choose it in the dialog",
         4},
        {"a stored device behind the router",
         "10.201.9.2",
         [] {},
         false,
         0,
         {"stored-beyond-broadcast"},
         "connscan set network 10.201.9.2",
         4},
        {"a stored device on this PC's network that answers only when asked directly",
         kSecond,
         [] { SimulatorDirectRule(kSecond); },
         false,
         0,
         {"stored-misses-broadcast"},
         "client isolation",
         4},
        {"the same with a policy that blocks answers",
         kSecond,
         [] { SimulatorDirectRule(kSecond); },
         true,
         0,
         {"firewall-blocks-answers", "stored-misses-broadcast"},
         "administrator",
         4},
        {"no device at all", kNobody, [] {}, false, 1, {"stored-silent", "nothing-answered"}, "switched on", 4},
        // Wine drops nothing: the answer arrives, and the setting is no cause then.
        {"a policy that blocks answers, and the answer arrives",
         kSecond,
         [] { SimulatorRule(kSecond, 1, 6, 100); },
         true,
         0,
         {"ok"},
         "",
         4},
        {"a stored address no device can have",
         "10.201.1.255",
         [] {},
         false,
         1,
         {"stored-invalid", "nothing-answered"},
         "Choose the scanner in the dialog",
         3},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(SimulatorReset());
        c.devices();
        SetPublicPolicy(c.policy);
        WriteValue(Key(), "PortType", REG_BINARY, {0});
        WriteValue(Key(), "Velmora", REG_BINARY, PortBytes(c.stored));
        DWORD status = 0;
        std::vector<std::string> codes;
        const JsonValue report = Diagnose(status, codes);
        EXPECT_EQ(c.status, status);
        EXPECT_EQ(c.codes, codes);
        if (!codes.empty())
        {
            EXPECT_NE(std::string::npos, report["findings"].items[0]["fix"].Ansi().find(c.fix));
        }
        // The broadcasts of the one pass, and the stored device asked directly when it can be a device.
        EXPECT_EQ(c.sent, report["pass"]["sent"].number);
        if (c.sent == 4)
        {
            EXPECT_EQ(c.stored, report["probe"]["address"].Ansi());
        }
        const JsonValue& publicProfile = report["firewall"].items.at(2);
        EXPECT_EQ("public", publicProfile["profile"].Ansi());
        EXPECT_EQ(c.policy ? "blocked" : "unknown", publicProfile["answers"].Ansi());
        EXPECT_EQ(c.policy ? "Group Policy" : "", publicProfile["source"].Ansi());
    }
    // The last one asked nothing of the stored address: the dialog's pass only.
    EXPECT_EQ(kOnePassQueries, SimulatorQueries());
}

TEST_F(DiagnoseTest, ItsJsonAndItsReportSayTheSameFactsAndNothingIsChanged)
{
    Prepare("T-Diagnose", "M1");
    ASSERT_TRUE(SimulatorRule(kSecond, 1, 6, 100));
    ASSERT_EQ(0u, run.RunConsole(std::string("set network ") + kSecond).status);
    const std::vector<unsigned char> before = Value("Velmora").bytes;
    DWORD status = 0;
    std::vector<std::string> codes;
    const JsonValue report = Diagnose(status, codes);
    EXPECT_EQ(std::vector<std::string>({"identity", "stored", "adapters", "adaptersWhy", "dialogAddresses", "firewall",
                                        "pass", "probe", "findings"}),
              report.names);
    EXPECT_EQ(m_maker, report["identity"]["maker"].Ansi());
    EXPECT_EQ(std::vector<std::string>({"port", "address"}), report["stored"].names);
    EXPECT_EQ("network", report["stored"]["port"].Ansi());
    EXPECT_EQ(3u, report["adapters"].items.size());
    EXPECT_EQ("preferred", report["adapters"].items.at(0)["addresses"].items.at(0)["state"].Ansi());
    EXPECT_EQ(3u, report["dialogAddresses"]["addresses"].items.size());
    // Wine has no firewall service, and no setting says anything: unknown, and why.
    ASSERT_EQ(3u, report["firewall"].items.size());
    for (const JsonValue& profile : report["firewall"].items)
    {
        EXPECT_EQ("unknown", profile["answers"].Ansi());
        EXPECT_NE(std::string::npos, profile["why"].Ansi().find("Group Policy: not set")) << profile["why"].Ansi();
    }
    ASSERT_EQ(1u, report["pass"]["answers"].items.size());
    EXPECT_EQ("10.201.1.1", report["pass"]["answers"].items[0]["via"].Ansi());
    EXPECT_TRUE(report["probe"]["answered"].boolean);
    EXPECT_EQ(before, Value("Velmora").bytes);

    ASSERT_TRUE(SimulatorReset());
    ASSERT_TRUE(SimulatorRule(kSecond, 1, 6, 100));
    const ConsoleResult text = run.RunConsole("diagnose");
    EXPECT_EQ(0u, text.status) << text.err;
    EXPECT_EQ(0u, text.out.find("Findings\n  ok: The stored device 10.201.1.2 answered the dialog's broadcast.\n"))
        << text.out;
    EXPECT_NE(std::string::npos, text.out.find("  10.201.1.2 answered via 10.201.1.1\n")) << text.out;
}

TEST_F(DiagnoseTest, AFirewallThatIsOffBlocksNothingAndThePrivateProfileIsTheStandardKey)
{
    Prepare("T-Diagnose", "M1");
    ASSERT_EQ(0u, run.RunConsole(std::string("set network ") + kNobody).status);
    // Every profile's policy blocks answers, but its firewall is off.
    for (const char* profile : kPolicyProfiles)
    {
        SetFirewallValue(kPolicyRoot + std::string(profile), kBlockValue, 1);
        SetFirewallValue(kPolicyRoot + std::string(profile), kEnableValue, 0);
    }
    DWORD status = 0;
    std::vector<std::string> codes;
    JsonValue report = Diagnose(status, codes);
    EXPECT_EQ(std::vector<std::string>({"stored-silent", "nothing-answered"}), codes);
    for (const JsonValue& profile : report["firewall"].items)
    {
        EXPECT_EQ("allowed", profile["answers"].Ansi()) << profile["profile"].Ansi();
        EXPECT_EQ("off", profile["firewall"].Ansi()) << profile["profile"].Ansi();
    }
    for (const char* profile : kPolicyProfiles)
    {
        SetFirewallValue(kPolicyRoot + std::string(profile), kBlockValue, -1);
        SetFirewallValue(kPolicyRoot + std::string(profile), kEnableValue, -1);
    }

    // The private profile's local setting lives under StandardProfile.
    SetFirewallValue(kLocalRoot + std::string("StandardProfile"), kBlockValue, 1);
    report = Diagnose(status, codes);
    const JsonValue& privateProfile = report["firewall"].items.at(1);
    EXPECT_EQ("private", privateProfile["profile"].Ansi());
    EXPECT_EQ("blocked", privateProfile["answers"].Ansi());
    EXPECT_EQ("local setting", privateProfile["source"].Ansi());
    EXPECT_EQ(std::vector<std::string>({"firewall-blocks-answers", "stored-silent", "nothing-answered"}), codes);
}

TEST_F(DiagnoseTest, AQueryThatCouldNotBeSentIsNoSilence)
{
    Prepare("T-Diagnose", "M1");
    // Beyond every network of the PC: without the default route there is no way there.
    ASSERT_EQ(0u, run.RunConsole("set network 10.99.0.5").status);
    DWORD status = 0;
    std::vector<std::string> codes;
    JsonValue report;
    {
        const NetworkFault noGateway("route", 15000);
        ASSERT_TRUE(noGateway.InForce());
        report = Diagnose(status, codes);
    }
    EXPECT_EQ(1u, status);
    EXPECT_EQ(std::vector<std::string>({"stored-unreachable", "nothing-answered"}), codes);
    EXPECT_EQ(3, report["pass"]["sent"].number) << "the other routes were not affected";
    EXPECT_NE(std::string::npos, report["probe"]["sendFailed"].Ansi().find("10051"))
        << report["probe"]["sendFailed"].Ansi();
    EXPECT_NE(std::string::npos, report["findings"].items.at(0)["text"].Ansi().find("could not be sent"));
}

TEST_F(DiagnoseTest, WithEveryLinkDownNothingIsSentAndThatIsTheFinding)
{
    Prepare("T-Diagnose", "M1");
    ASSERT_EQ(0u, run.RunConsole(std::string("set network ") + kSecond).status);
    const NetworkFault unplugged("links", 15000);
    ASSERT_TRUE(unplugged.InForce());
    const ConsoleResult r = run.RunConsole("diagnose");
    EXPECT_EQ(3u, r.status);
    EXPECT_EQ(0u, r.out.find("Findings\n  no-network: ")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("\n  0 queries sent\n")) << r.out;
    EXPECT_EQ("connscan: no query could be sent\n", r.err);
}
