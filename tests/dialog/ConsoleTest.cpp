// The command-line companion against the simulated scanners and the real
// registry, side by side with the dialog it must agree with.
#include "DialogFixture.h"

#include "support/Lines.h"
#include "support/Network.h"
#include "version.h"

#include <sstream>

namespace
{
const char kA[] = "192.168.123.11";
const char kC[] = "192.168.123.13";

class ConsoleTest : public DialogTest
{
protected:
    void SetUp() override { ASSERT_TRUE(SimulatorReset()) << "the simulator does not answer"; }

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
    usb.WriteFile("twain.ini", "[MODEL]\r\nMFG=T-Set\r\nMDL=M1\r\n");
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
    EXPECT_EQ("maker    T-Set\nmodel    M1\ncountry  ENG\nkey      HKEY_CURRENT_USER\\SOFTWARE\\T-Set\\M1\n"
              "port     network\naddress  192.168.1.20\nsaved    yes\n",
              run.RunConsole("show").out);
    EXPECT_EQ("{\"maker\": \"T-Set\", \"model\": \"M1\", \"country\": \"ENG\", \"key\": "
              "\"HKEY_CURRENT_USER\\\\SOFTWARE\\\\T-Set\\\\M1\", \"port\": \"network\", \"address\": \"192.168.1.20\", "
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
            DeleteKeyTree("SOFTWARE\\T-Bytes");
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
    Prepare("T-Refuse", "M1");
    WriteValue(Key(), "Velmora", REG_BINARY, PortBytes("10.1.1.1"));
    const std::vector<std::string> before = Stored();
    for (const char* args :
         {"set network 999.1.1.1", "set network 1.2.3", "set network 1.2.3.4.5", "set network 192.168.100.1000",
          "set network \"\"", "set network 1.1.1.1.1.1.1.1.", "set network 01.2.3.4", "set", "set network",
          "set usb 1.2.3.4", "set wifi", "frobnicate", "", "list extra", "show --bogus", "set network 1.2.3.4 --ini"})
    {
        SCOPED_TRACE(args);
        const ConsoleResult r = run.RunConsole(args);
        EXPECT_EQ(2u, r.status);
        EXPECT_NE("", r.err);
        EXPECT_EQ("", r.out);
        EXPECT_EQ(before, Stored());
    }
}

TEST_F(ConsoleTest, AnotherProfileHelpVersionAndARegistryFailure)
{
    Prepare("T-Ini", "M1");
    run.WriteFile("other.ini", "[MODEL]\r\nMFG=T-Ini\r\nMDL=Other\r\nCOUNTRY=DEU\r\n");
    EXPECT_EQ(0u, run.RunConsole("set --ini other.ini network 10.9.8.7").status);
    EXPECT_EQ(PortBytes("10.9.8.7"), ReadValue("SOFTWARE\\T-Ini\\Other", "Velmora").bytes);
    EXPECT_FALSE(KeyExists(Key())) << "the program's own twain.ini was read";
    EXPECT_EQ(2u, run.RunConsole("show --ini missing.ini").status);

    EXPECT_EQ("connscan " CONNSETUP_VERSION_TEXT "\n", run.RunConsole("--version").out);
    const ConsoleResult help = run.RunConsole("show --help");
    EXPECT_EQ(0u, help.status);
    EXPECT_EQ(0u, help.out.find("usage: connscan"));

    // A key name component of 300 characters is refused by the registry.
    run.WriteFile("bad.ini", "[MODEL]\r\nMFG=T-Ini\r\nMDL=" + std::string(300, 'm') + "\r\n");
    const ConsoleResult failed = run.RunConsole("--ini bad.ini set network 10.9.8.7");
    EXPECT_EQ(3u, failed.status);
    EXPECT_NE(std::string::npos, failed.err.find("could not be stored"));
    EXPECT_EQ("", failed.out);
}
