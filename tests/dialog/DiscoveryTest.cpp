// The Discover button on the isolated network, against the simulated scanners.
#include "DialogFixture.h"

#include "support/Network.h"

namespace
{
const char kA[] = "192.168.123.11";
const char kB[] = "192.168.123.12";
const char kC[] = "192.168.123.13";
const int kLocked[] = {kOk, kCancel, kUsb, kDiscover, kNoShow, kList};

class DiscoveryTest : public DialogTest
{
protected:
    void SetUp() override
    {
        SKIP_IN_SELFTEST(kNeedsRig);
        ASSERT_TRUE(SimulatorReset()) << "the simulator does not answer";
    }

    void StartWithStored(const std::string& maker, const std::string& port)
    {
        Prepare(maker, "M1");
        WriteValue(Key(), "Velmora", REG_BINARY, PortBytes(port));
        StartDialog();
    }

    bool AllLocked(bool locked) const
    {
        for (int id : kLocked)
            if (run.Enabled(id) == locked)
                return false;
        return true;
    }

    // Presses Discover and waits until the pass has locked the controls.
    void Discover()
    {
        run.Command(kDiscover);
        ASSERT_TRUE(WaitFor([this] { return AllLocked(true); }, 3000)) << "the pass did not lock the controls";
    }

    // Waits for the end of the pass (about 2.5 s) and any message box it shows.
    HWND WaitForEndOrBox()
    {
        HWND box = nullptr;
        if (!WaitFor([&] { return (box = FindMessageBox(run.ProcessId())) != nullptr || AllLocked(false); }, 10000))
            ADD_FAILURE() << "within 10 s the pass neither ended nor showed a message";
        return box;
    }
};
}  // namespace

TEST_F(DiscoveryTest, AnswersFillTheListInOrderOfArrivalAndTheLastIsSelected)
{
    ASSERT_TRUE(SimulatorRule(kC, 1, 6, 100));
    ASSERT_TRUE(SimulatorRule(kA, 1, 6, 400));
    ASSERT_TRUE(SimulatorRule(kB, 1, 6, 700));
    StartWithStored("T-Three", "10.9.9.9");
    Discover();
    EXPECT_EQ(nullptr, WaitForEndOrBox());
    EXPECT_TRUE(AllLocked(false));
    EXPECT_EQ(std::vector<std::string>({kC, kA, kB}), run.Entries());
    EXPECT_EQ(2, run.Selection());
}

TEST_F(DiscoveryTest, EachNetworkOfThePcIsAskedAndEachDeviceListedOnce)
{
    // A device on each of the program's three networks; each answers every
    // query that reaches it.
    ASSERT_TRUE(SimulatorRule(kA, 1, 6, 100));
    ASSERT_TRUE(SimulatorRule("10.201.1.2", 1, 6, 400));
    ASSERT_TRUE(SimulatorRule("10.201.2.2", 1, 6, 700));
    StartWithStored("T-Networks", "");
    Discover();
    EXPECT_EQ(nullptr, WaitForEndOrBox());
    EXPECT_EQ(std::vector<std::string>({kA, "10.201.1.2", "10.201.2.2"}), run.Entries());
    EXPECT_EQ(kOnePassQueries, SimulatorQueries());
}

TEST_F(DiscoveryTest, TheSameHostTwiceIsListedTwice)
{
    ASSERT_TRUE(SimulatorRule(kA, 2, 6, 100));
    StartWithStored("T-Twice", "");
    Discover();
    EXPECT_EQ(nullptr, WaitForEndOrBox());
    EXPECT_EQ(std::vector<std::string>({kA, kA}), run.Entries());
    EXPECT_EQ(1, run.Selection());
}

TEST_F(DiscoveryTest, ThePassLocksSixControlsAndIgnoresTheDefaultCommand)
{
    ASSERT_TRUE(SimulatorRule(kA, 1, 6, 100));
    StartWithStored("T-Lock", "10.9.9.9");
    Discover();
    EXPECT_TRUE(run.Enabled(kLabel));
    run.Command(IDOK);  // Enter on a non-button
    run.Command(kOk);   // and the buttons' own commands, had they been enabled
    run.Command(kCancel);
    EXPECT_TRUE(StaysOpen());
    EXPECT_EQ(nullptr, WaitForEndOrBox());
    EXPECT_TRUE(AllLocked(false));
    EXPECT_TRUE(run.Running());
    EXPECT_TRUE(ValueNames(Key()) == std::vector<std::string>({"Velmora"})) << "nothing was stored";
}

TEST_F(DiscoveryTest, NoAnswerInNetworkModeSaysSoAndUnlocksOnlyAfterward)
{
    StartWithStored("T-Silent", "10.9.9.9");
    Discover();
    const HWND box = WaitForEndOrBox();
    ASSERT_NE(nullptr, box);
    const MessageBoxSeen seen = ReadMessageBox(box);
    EXPECT_EQ("ConnSetup", seen.caption);
    EXPECT_EQ("6002 :\n\nNo scanner answered on the network.\nCheck that the scanner is switched on and "
              "connected, then press Discover again.",
              seen.text);
    EXPECT_EQ(run.Dialog(), seen.owner);
    EXPECT_TRUE(std::vector<std::string>() == run.Entries()) << "the stored entry is gone too";
    EXPECT_EQ(CB_ERR, run.Selection());
    ::Sleep(300);
    EXPECT_TRUE(AllLocked(true)) << "unlocked while the message is up";
    ASSERT_TRUE(CloseMessageBox(box));
    EXPECT_TRUE(WaitFor([this] { return AllLocked(false); }, 3000));
}

TEST_F(DiscoveryTest, NoAnswerWithTheUsbBoxCheckedSaysNothing)
{
    StartWithStored("T-UsbSilent", "10.9.9.9");
    ::SendMessageW(run.Item(kUsb), BM_SETCHECK, BST_CHECKED, 0);
    Discover();
    EXPECT_EQ(nullptr, WaitForEndOrBox());
    EXPECT_TRUE(AllLocked(false)) << "unlocked whatever the USB box says";
    EXPECT_TRUE(run.Entries().empty());
}

TEST_F(DiscoveryTest, AMissingLibraryIsReportedBeforeTheNumberAlone)
{
    StartWithStored("T-NoLib", "");
    // The dialog unloaded its library once it showed; take it away now.
    ASSERT_TRUE(::DeleteFileA((run.Dir() + "ENG.dll").c_str()));
    Discover();
    std::vector<std::string> texts;
    for (int i = 0; i < 5; ++i)
    {
        HWND box = WaitForEndOrBox();
        ASSERT_NE(nullptr, box) << "box " << i;
        const MessageBoxSeen seen = ReadMessageBox(box);
        texts.push_back(seen.caption + ": " + seen.text);
        ASSERT_TRUE(CloseMessageBox(box));
    }
    EXPECT_EQ(std::vector<std::string>({"Error: Can't load resource file.", "Error: ENG.dll",
                                        "Error: Can't load resource file.", "Error: ENG.dll", "ConnSetup: 6002 :\n\n"}),
              texts);
    EXPECT_TRUE(WaitFor([this] { return AllLocked(false); }, 3000));
}

TEST_F(DiscoveryTest, QuickClicksStartOnePass)
{
    ASSERT_TRUE(SimulatorRule(kA, 1, 6, 100));
    StartWithStored("T-Double", "");
    // Queued together, the clicks reach the dialog before a worker could run.
    for (int i = 0; i < 20; ++i)
        run.Command(kDiscover);
    ASSERT_TRUE(WaitFor([this] { return AllLocked(true); }, 3000));
    EXPECT_EQ(nullptr, WaitForEndOrBox());
    EXPECT_EQ(kOnePassQueries, SimulatorQueries());
    EXPECT_EQ(std::vector<std::string>({kA}), run.Entries());
}

TEST_F(DiscoveryTest, DiscoverPickAndOkStoresTheAddress)
{
    ASSERT_TRUE(SimulatorRule(kA, 1, 6, 100));
    ASSERT_TRUE(SimulatorRule(kB, 1, 6, 400));
    StartWithStored("T-Flow", "10.9.9.9");
    Discover();
    EXPECT_EQ(nullptr, WaitForEndOrBox());
    ::SendMessageW(run.Item(kList), CB_SETCURSEL, 0, 0);
    run.Command(kOk);
    ASSERT_TRUE(EndsWith(IDOK));
    EXPECT_EQ(std::vector<unsigned char>({0}), Value("PortType").bytes);
    EXPECT_EQ(PortBytes(kA), Value("Velmora").bytes);
    EXPECT_EQ(std::vector<unsigned char>({1}), Value("SaveSetting").bytes);
}

TEST_F(DiscoveryTest, TheDialogKeepsAnsweringDuringAPass)
{
    StartWithStored("T-Busy", "");
    ::SendMessageW(run.Item(kUsb), BM_SETCHECK, BST_CHECKED, 0);
    Discover();
    DWORD worst = 0;
    const DWORD start = ::GetTickCount();
    while (AllLocked(true))
    {
        ASSERT_LT(::GetTickCount() - start, 10000u) << "the pass did not end within 10 s";
        DWORD_PTR result = 0;
        const DWORD sent = ::GetTickCount();
        ASSERT_TRUE(::SendMessageTimeoutA(run.Dialog(), WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result))
            << "the dialog did not answer within 2 s";
        worst = std::max(worst, ::GetTickCount() - sent);
        ::Sleep(50);
    }
    // A generous bound: it fails only when the dialog's thread was blocked by the pass.
    EXPECT_LT(worst, 1000u);
}

TEST_F(DiscoveryTest, TheKeyboardFocusComesBackToDiscoverAfterAPass)
{
    ASSERT_TRUE(SimulatorRule(kA, 1, 6, 100));
    StartWithStored("T-Focus", "");
    for (const bool answered : {true, false})
    {
        SCOPED_TRACE(answered ? "after answers" : "after message 6002 was closed");
        // Pressed from the keyboard: the space bar on the focused button.
        run.SetFocusTo(kDiscover);
        ASSERT_TRUE(WaitFor([this] { return run.Focus() == run.Item(kDiscover); }, 3000));
        run.Key(VK_SPACE);
        ASSERT_TRUE(WaitFor([this] { return AllLocked(true); }, 3000)) << "the space bar did not start a pass";
        const HWND box = WaitForEndOrBox();
        EXPECT_EQ(answered, box == nullptr);
        if (box)
        {
            ASSERT_TRUE(CloseMessageBox(box));
        }
        ASSERT_TRUE(WaitFor([this] { return AllLocked(false); }, 3000));
        auto onDiscover = [this] { return WaitFor([this] { return run.Focus() == run.Item(kDiscover); }, 5000); };
        bool focused = onDiscover();
        // Wine without a window manager now and then hands the foreground to
        // its desktop window as the message goes, where Windows activates
        // the message's owner: the dialog, inactive, then has no focus at
        // all. Activated again, as a user's click on it does, its focus is
        // the one it kept.
        const std::string seen = ForegroundSeen();
        if (!focused && ::GetForegroundWindow() == ::GetDesktopWindow())
        {
            ::SetForegroundWindow(run.Dialog());
            focused = onDiscover();
        }
        EXPECT_TRUE(focused) << "the focus is on control " << ::GetDlgCtrlID(run.Focus()) << "; " << seen
                             << ", the dialog is " << run.Dialog();
        ASSERT_TRUE(SimulatorReset());  // the second pass goes unanswered
    }
}
