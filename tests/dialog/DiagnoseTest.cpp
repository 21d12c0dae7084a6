// connscan diagnose on the test network: what it can show of the stored
// device, a firewall policy in the prefix's registry, a PC with no network.
#include "DialogFixture.h"
#include "NetworkFault.h"

#include "support/JsonReader.h"
#include "support/Network.h"

namespace
{
const char kSecond[] = "10.201.1.2";  // on the program's network 10.201.1.0/24
const char kNobody[] = "10.201.1.77";
const char kPublicPolicy[] = "SOFTWARE\\Policies\\Microsoft\\WindowsFirewall\\PublicProfile";
const char kBlockValue[] = "DisableUnicastResponsesToMulticastBroadcast";

class DiagnoseTest : public DialogTest
{
protected:
    void SetUp() override { ASSERT_TRUE(SimulatorReset()) << "the simulator does not answer"; }
    void TearDown() override
    {
        SetPolicy(false);
        DialogTest::TearDown();
    }

    // The Group Policy value that blocks unicast answers in the public
    // profile, set or removed, in the system's view of the registry.
    static void SetPolicy(bool block)
    {
        HKEY hKey = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPublicPolicy, 0, nullptr, 0,
                                                   KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &hKey, nullptr));
        const DWORD one = 1;
        if (block)
            EXPECT_EQ(ERROR_SUCCESS, ::RegSetValueExA(hKey, kBlockValue, 0, REG_DWORD,
                                                      reinterpret_cast<const BYTE*>(&one), sizeof one));
        else
            ::RegDeleteValueA(hKey, kBlockValue);
        ::RegCloseKey(hKey);
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
        bool answers;  // the device on 10.201.1.0/24 answers
        bool policy;
        DWORD status;
        std::vector<std::string> codes;
        std::string fix;  // in the first finding's fix
    } cases[] = {
        {"a healthy stored device", kSecond, true, false, 0, {"ok"}, ""},
        {"a stored address with nobody, another device on its network",
         kNobody,
         true,
         false,
         1,
         {"stored-moved"},
         "connscan set network 10.201.1.2"},
        {"a stored device behind the router",
         "10.201.9.2",
         false,
         false,
         0,
         {"stored-beyond-broadcast"},
         "connscan set network 10.201.9.2"},
        {"no device at all", kNobody, false, false, 1, {"stored-silent", "nothing-answered"}, "switched on"},
        // Wine drops nothing; real Windows would drop the answer too.
        {"a policy that blocks answers", kSecond, true, true, 0, {"ok", "firewall-blocks-answers"}, ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(SimulatorReset());
        if (c.answers)
        {
            ASSERT_TRUE(SimulatorRule(kSecond, 1, 6, 100));
        }
        SetPolicy(c.policy);
        ASSERT_EQ(0u, run.RunConsole(std::string("set network ") + c.stored).status);
        DWORD status = 0;
        std::vector<std::string> codes;
        const JsonValue report = Diagnose(status, codes);
        EXPECT_EQ(c.status, status);
        EXPECT_EQ(c.codes, codes);
        if (!codes.empty())
        {
            EXPECT_NE(std::string::npos, report["findings"].items[0]["fix"].Ansi().find(c.fix));
        }
        // The direct query and the broadcasts of the one pass.
        EXPECT_EQ(4, report["pass"]["sent"].number);
        EXPECT_EQ(c.stored, report["probe"]["address"].Ansi());
        if (c.policy)
        {
            const JsonValue& publicProfile = report["firewall"].items.at(2);
            EXPECT_EQ("public", publicProfile["profile"].Ansi());
            EXPECT_EQ("blocked", publicProfile["answers"].Ansi());
            EXPECT_EQ("Group Policy", publicProfile["source"].Ansi());
        }
    }
    // The last one: the dialog's pass, and the stored device asked directly.
    std::vector<std::string> expected = kOnePassQueries;
    expected.insert(expected.begin(), "10.201.1.1 to 10.201.1.2 on eth1");
    EXPECT_EQ(expected, SimulatorQueries());
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
    EXPECT_EQ(std::vector<std::string>(
                  {"identity", "stored", "adapters", "dialogAddresses", "firewall", "pass", "probe", "findings"}),
              report.names);
    EXPECT_EQ("T-Diagnose", report["identity"]["maker"].Ansi());
    EXPECT_EQ("network", report["stored"]["port"].Ansi());
    EXPECT_EQ(3u, report["adapters"].items.size());
    EXPECT_EQ(3u, report["dialogAddresses"]["addresses"].items.size());
    EXPECT_EQ(3u, report["firewall"].items.size());
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

TEST_F(DiagnoseTest, WithEveryLinkDownNothingIsSentAndThatIsTheFinding)
{
    Prepare("T-Diagnose", "M1");
    ASSERT_EQ(0u, run.RunConsole(std::string("set network ") + kSecond).status);
    const NetworkFault unplugged("links", 15000);
    ASSERT_TRUE(unplugged.InForce());
    const ConsoleResult r = run.RunConsole("diagnose");
    EXPECT_EQ(3u, r.status);
    EXPECT_EQ(0u, r.out.find("Findings\n  no-network: ")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("\n  0 queries sent, the one to the stored device among them\n")) << r.out;
    EXPECT_EQ("connscan: no query could be sent\n", r.err);
}
