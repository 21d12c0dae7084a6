#include "DialogFixture.h"

namespace
{
const std::vector<unsigned char> kOne = {1};
const std::vector<unsigned char> kZero = {0};

class SettingsTest : public DialogTest
{
protected:
    void Store(BYTE portType, const std::vector<unsigned char>& port, BYTE saveSetting = 1)
    {
        WriteValue(Key(), "PortType", REG_BINARY, {portType});
        WriteValue(Key(), "Velmora", REG_BINARY, port);
        WriteValue(Key(), "SaveSetting", REG_BINARY, {saveSetting});
    }

    void PressOk()
    {
        run.Command(kOk);
        ASSERT_TRUE(EndsWith(IDOK));
    }

    // The three values exactly as a save leaves them.
    void ExpectSaved(const std::vector<unsigned char>& portType, const std::vector<unsigned char>& port)
    {
        for (const char* name : {"PortType", "Velmora", "SaveSetting"})
            EXPECT_EQ(static_cast<DWORD>(REG_BINARY), Value(name).type) << name;
        EXPECT_EQ(portType, Value("PortType").bytes);
        EXPECT_EQ(port, Value("Velmora").bytes);
        EXPECT_EQ(kOne, Value("SaveSetting").bytes);
    }

    // Puts text into the list from outside and selects it.
    void AddAndSelect(const std::wstring& text)
    {
        const LRESULT index = ::SendMessageW(run.Item(kList), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        ::SendMessageW(run.Item(kList), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
};
}  // namespace

TEST_F(SettingsTest, FirstRunCreatesTheEmptyKeyEvenWhenCancelled)
{
    SKIP_IN_SELFTEST(kUsesBuiltInKey);
    Prepare("", "");
    ASSERT_FALSE(KeyExists("SOFTWARE\\ORVEL"));
    StartDialog();
    run.Command(kCancel);
    ASSERT_TRUE(EndsWith(IDNO));
    EXPECT_TRUE(KeyExists("SOFTWARE\\ORVEL\\QX7S&QN8S"));
    EXPECT_TRUE(ValueNames(Key()).empty());
}

TEST_F(SettingsTest, StoredUsbModeIsRestoredAndSavedAgain)
{
    Prepare("T-Usb", "M1");
    Store(1, PortBytes("10.0.0.5"));
    StartDialog();
    EXPECT_EQ(BST_CHECKED, ::SendMessageW(run.Item(kUsb), BM_GETCHECK, 0, 0));
    EXPECT_FALSE(run.Visible(kUsb));
    EXPECT_EQ(std::vector<std::string>({"10.0.0.5"}), run.Entries());
    EXPECT_EQ(0, run.Selection());
    EXPECT_FALSE(run.Enabled(kList));
    EXPECT_FALSE(run.Enabled(kDiscover));
    EXPECT_TRUE(run.Enabled(kOk));
    PressOk();
    ExpectSaved(kOne, PortBytes("10.0.0.5"));
}

TEST_F(SettingsTest, TheUsbBoxSwitchesTheMode)
{
    Prepare("T-UsbClick", "M1");
    StartDialog();
    ::SendMessageW(run.Item(kUsb), BM_SETCHECK, BST_CHECKED, 0);
    run.Command(kUsb);
    ASSERT_TRUE(WaitFor([this] { return !run.Enabled(kDiscover); }, 3000));
    EXPECT_FALSE(run.Enabled(kList));
    ::SendMessageW(run.Item(kUsb), BM_SETCHECK, BST_UNCHECKED, 0);
    run.Command(kUsb);
    ASSERT_TRUE(WaitFor([this] { return run.Enabled(kDiscover); }, 3000));
    EXPECT_TRUE(run.Enabled(kList));
}

TEST_F(SettingsTest, StoredNetworkAddressIsSavedAgainUnchanged)
{
    Prepare("T-Net", "M1");
    Store(0, PortBytes("192.168.123.200"));
    StartDialog();
    EXPECT_EQ(std::vector<std::string>({"192.168.123.200"}), run.Entries());
    EXPECT_EQ(0, run.Selection());
    EXPECT_TRUE(run.Enabled(kDiscover));
    EXPECT_TRUE(run.Enabled(kList));
    PressOk();
    ExpectSaved(kZero, PortBytes("192.168.123.200"));
}

TEST_F(SettingsTest, OnlyPortTypeOneIsUsbAndTheMarkerIsNotConsulted)
{
    Prepare("T-Two", "M1");
    Store(2, PortBytes("10.1.1.1"), 0);
    StartDialog();
    EXPECT_EQ(BST_UNCHECKED, ::SendMessageW(run.Item(kUsb), BM_GETCHECK, 0, 0));
    EXPECT_TRUE(run.Enabled(kDiscover));
    EXPECT_EQ(std::vector<std::string>({"10.1.1.1"}), run.Entries());
    PressOk();
    ExpectSaved(kZero, PortBytes("10.1.1.1"));
}

TEST_F(SettingsTest, OddStoredPortTextsAlwaysEndUpAsAtMost15Bytes)
{
    struct Case
    {
        DWORD type;
        std::vector<unsigned char> bytes;
        std::string shown;
    } cases[] = {
        {REG_BINARY, {'1', '.', '2', '.'}, "1.2."},                               // shorter: fills its own length
        {REG_BINARY, std::vector<unsigned char>(16, '7'), std::string(15, '7')},  // no zero in 16 bytes
        {REG_BINARY, std::vector<unsigned char>(40, '8'), ""},                    // longer than 16: not a port text
        {REG_SZ, {'1', '0', '.', '2', '.', '3', '.', '4', 0}, "10.2.3.4"},        // another type, read as bytes
    };
    for (const Case& c : cases)
    {
        ProgramRun one;
        one.CopyBeside("ENG.dll");
        m_maker = TestMaker("T-Odd");
        one.WriteFile("twain.ini", "[MODEL]\nMFG=" + m_maker + "\nMDL=M1\n");
        m_model = "M1";
        DeleteKeyTree(TestKey("T-Odd"));
        WriteValue(Key(), "Velmora", c.type, c.bytes);
        ASSERT_TRUE(one.Start());
        ASSERT_TRUE(one.WaitForDialog());
        EXPECT_EQ(std::vector<std::string>({c.shown}), one.Entries()) << c.bytes.size() << " bytes";
        one.Command(kOk);
        ASSERT_TRUE(one.WaitForExit());
        ExpectSaved(kZero, PortBytes(c.shown));
    }
}

TEST_F(SettingsTest, OkStoresTheFirst15BytesOfALongEntry)
{
    Prepare("T-Long", "M1");
    StartDialog();
    AddAndSelect(L"192.168.123.123-extra");
    PressOk();
    std::vector<unsigned char> expected = PortBytes("192.168.123.123");
    ExpectSaved(kZero, expected);
}

TEST_F(SettingsTest, OkWithNothingSelectedStoresSixteenZeros)
{
    Prepare("T-None", "M1");
    Store(0, PortBytes("10.0.0.1"));
    StartDialog();
    ::SendMessageW(run.Item(kList), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    PressOk();
    ExpectSaved(kZero, std::vector<unsigned char>(16, 0));
}

TEST_F(SettingsTest, TheDefaultCommandAndCancelStoreNothing)
{
    Prepare("T-NoStore", "M1");
    Store(1, PortBytes("10.0.0.7"), 0);
    StartDialog();
    run.Command(IDOK);
    ASSERT_TRUE(EndsWith(IDOK));
    EXPECT_EQ(std::vector<unsigned char>({0}), Value("SaveSetting").bytes) << "the default command stored";

    ProgramRun second;
    second.CopyBeside("ENG.dll");
    second.WriteFile("twain.ini", "[MODEL]\r\nMFG=T-NoStore\r\nMDL=M1\r\n");
    ASSERT_TRUE(second.Start());
    ASSERT_TRUE(second.WaitForDialog());
    second.Command(kCancel);
    ASSERT_TRUE(second.WaitForExit());
    EXPECT_EQ(static_cast<DWORD>(IDNO), second.ExitCode());
    EXPECT_EQ(std::vector<unsigned char>({0}), Value("SaveSetting").bytes) << "Cancel stored";
}

TEST_F(SettingsTest, ABackslashInTheMakerNamesADeeperKey)
{
    Prepare("T-Deep\\Er", "Model\\Sub");
    StartDialog();
    PressOk();
    EXPECT_TRUE(KeyExists(TestKey("T-Deep\\Er\\Model\\Sub")));
    ExpectSaved(kZero, std::vector<unsigned char>(16, 0));
}

TEST_F(SettingsTest, AKeyThatCannotBeOpenedLoadsZerosAndASaveSaysSo)
{
    // A key name component of 300 characters is refused by the registry.
    Prepare("T-Bad", std::string(300, 'm'));
    StartDialog();
    EXPECT_EQ(std::vector<std::string>({""}), run.Entries());
    EXPECT_TRUE(run.Enabled(kDiscover));
    EXPECT_TRUE(ValueNames(TestKey("T-Bad")).empty());

    run.Command(kOk);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = FindMessageBox(run.ProcessId(), "ConnSetup")) != nullptr; }, 5000));
    EXPECT_EQ("The connection settings could not be saved.", ReadMessageBox(box).text);
    EXPECT_EQ(run.Dialog(), ReadMessageBox(box).owner);
    ASSERT_TRUE(CloseMessageBox(box));
    EXPECT_TRUE(StaysOpen());
    run.Command(kCancel);
    EXPECT_TRUE(EndsWith(IDNO));
    EXPECT_TRUE(ValueNames(TestKey("T-Bad")).empty());
}
