#include "DialogFixture.h"

TEST_F(DialogTest, FirstRunShowsTheDefaultModelInNetworkMode)
{
    SKIP_IN_SELFTEST(kUsesBuiltInKey);
    Prepare("", "");
    StartDialog();
    EXPECT_EQ("QX7S&QN8S", TextOf(run.Dialog()));
    EXPECT_EQ(run.Item(kOk), run.Focus());
    EXPECT_EQ(std::vector<std::string>({""}), run.Entries());
    EXPECT_EQ(0, run.Selection());
    EXPECT_TRUE(run.Enabled(kDiscover));
    EXPECT_TRUE(run.Enabled(kList));
    ASSERT_NE(nullptr, run.Item(kUsb));
    ASSERT_NE(nullptr, run.Item(kNoShow));
    EXPECT_FALSE(run.Visible(kUsb));
    EXPECT_FALSE(run.Visible(kNoShow));
    EXPECT_EQ(BST_UNCHECKED, ::SendMessageW(run.Item(kUsb), BM_GETCHECK, 0, 0));

    const LONG style = ::GetWindowLongA(run.Dialog(), GWL_STYLE);
    EXPECT_EQ(0, style & WS_SYSMENU);
    EXPECT_NE(0, style & WS_CAPTION);
    EXPECT_NE(0, ::GetWindowLongA(run.Dialog(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
}

TEST_F(DialogTest, ControlsStandInTemplateOrderWithTheirStyles)
{
    Prepare("T-Layout", "M1");
    StartDialog();
    // The template's order, but for the label, moved before the list it names.
    std::vector<int> order;
    for (HWND h = ::GetWindow(run.Dialog(), GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT))
        order.push_back(::GetDlgCtrlID(h));
    EXPECT_EQ(std::vector<int>({kOk, kDiscover, kCancel, kLabel, kList, kUsb, kNoShow}), order);
    // The tab order is the template's.
    std::vector<int> tabs;
    HWND h = run.Item(kOk);
    do
    {
        tabs.push_back(::GetDlgCtrlID(h));
        h = ::GetNextDlgTabItem(run.Dialog(), h, FALSE);
    } while (h && h != run.Item(kOk) && tabs.size() < 10);
    EXPECT_EQ(std::vector<int>({kOk, kDiscover, kCancel, kList}), tabs);

    auto style = [this](int id) { return static_cast<DWORD>(::GetWindowLongA(run.Item(id), GWL_STYLE)); };
    for (int id : {kOk, kDiscover, kCancel})
    {
        EXPECT_EQ(static_cast<DWORD>(BS_PUSHBUTTON), style(id) & 0x0F) << id;  // none is the default button
        EXPECT_NE(0u, style(id) & WS_TABSTOP) << id;
    }
    EXPECT_EQ(static_cast<DWORD>(CBS_DROPDOWNLIST), style(kList) & 0x03);
    EXPECT_EQ(0u, style(kList) & CBS_SORT);
    EXPECT_EQ(static_cast<DWORD>(BS_AUTOCHECKBOX), style(kUsb) & 0x0F);
    EXPECT_NE(0u, style(kUsb) & WS_TABSTOP);
    EXPECT_EQ(static_cast<DWORD>(BS_AUTOCHECKBOX), style(kNoShow) & 0x0F);
    EXPECT_EQ(0u, style(kNoShow) & WS_TABSTOP);
    EXPECT_NE(0u, style(kLabel) & WS_GROUP);
}

namespace
{
// The name Active Accessibility gives a control without text of its own:
// the first static text found walking back in the z-order, but no further
// than a control that both starts a group and takes the tab.
std::string NameFromLabel(HWND control)
{
    for (HWND h = ::GetWindow(control, GW_HWNDPREV); h; h = ::GetWindow(h, GW_HWNDPREV))
    {
        char cls[16] = {};
        ::GetClassNameA(h, cls, sizeof cls);
        if (lstrcmpiA(cls, "Static") == 0)
            return TextOf(h);
        const LONG style = ::GetWindowLongA(h, GWL_STYLE);
        if ((style & WS_GROUP) && (style & WS_TABSTOP))
            break;
    }
    return "";
}
}  // namespace

// Focus starts on OK, the first tab stop: Enter then keeps the choice shown.
TEST_F(DialogTest, EveryControlThatTakesTheFocusHasANameAScreenReaderCanSay)
{
    Prepare("T-Names", "M1");
    StartDialog();
    EXPECT_EQ(run.Item(kOk), run.Focus());
    EXPECT_EQ("Select device:", NameFromLabel(run.Item(kList)));
    for (const int id : {kOk, kDiscover, kCancel, kList})
    {
        const std::string own = id == kList ? "" : TextOf(run.Item(id));
        EXPECT_NE("", own.empty() ? NameFromLabel(run.Item(id)) : own) << "control " << id << " has no name";
    }
}

TEST_F(DialogTest, TheProfileNamesTheModelAndAnAmpersandStaysLiteral)
{
    Prepare("T-Title", "Scan & Go 5");
    StartDialog();
    EXPECT_EQ("Scan & Go 5", TextOf(run.Dialog()));
    run.Command(kCancel);
    EXPECT_TRUE(EndsWith(IDNO));
}

TEST_F(DialogTest, TheDialogIsCentredOnTheWorkArea)
{
    Prepare("T-Centre", "M1");
    StartDialog();
    RECT dlg;
    ::GetWindowRect(run.Dialog(), &dlg);
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((work.left + work.right) / 2, (dlg.left + dlg.right) / 2, 2);
    EXPECT_NEAR((work.top + work.bottom) / 2, (dlg.top + dlg.bottom) / 2, 2);
}

TEST_F(DialogTest, OkAndCancelButtonsEndTheProgram)
{
    Prepare("T-Close", "M1");
    StartDialog();
    run.Command(kOk);
    EXPECT_TRUE(EndsWith(IDOK));

    ProgramRun second;
    second.CopyBeside("ENG.dll");
    second.WriteFile("twain.ini", "[MODEL]\nMFG=T-Close\nMDL=M1\n");
    ASSERT_TRUE(second.Start());
    ASSERT_TRUE(second.WaitForDialog());
    second.Command(kCancel);
    EXPECT_TRUE(second.WaitForExit());
    EXPECT_EQ(static_cast<DWORD>(IDNO), second.ExitCode());
}

TEST_F(DialogTest, EscapeCancelAndCloseRequestsNeverEndIt)
{
    Prepare("T-Escape", "M1");
    StartDialog();
    run.Key(VK_ESCAPE);
    EXPECT_TRUE(StaysOpen());
    ::PostMessageA(run.Dialog(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(StaysOpen());
    ::PostMessageA(run.Dialog(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(StaysOpen());
    ::PostMessageA(run.Dialog(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(StaysOpen());
}

TEST_F(DialogTest, EnterOnTheListIsTheDefaultCommand)
{
    Prepare("T-Enter", "M1");
    StartDialog();
    run.SetFocusTo(kList);
    ASSERT_TRUE(WaitFor([this] { return run.Focus() == run.Item(kList); }, 3000));
    run.Key(VK_RETURN);
    EXPECT_TRUE(EndsWith(IDOK));
    EXPECT_TRUE(ValueNames(Key()).empty()) << "the default command stores nothing";
}

TEST_F(DialogTest, EnterOnAFocusedPushButtonPressesIt)
{
    Prepare("T-EnterBtn", "M1");
    StartDialog();
    run.SetFocusTo(kCancel);
    ASSERT_TRUE(WaitFor([this] { return run.Focus() == run.Item(kCancel); }, 3000));
    run.Key(VK_RETURN);
    EXPECT_TRUE(EndsWith(IDNO));
}

TEST_F(DialogTest, F1AsksForHelpAndSaysWhenItCannot)
{
    Prepare("T-Help", "M1");
    StartDialog();
    run.Key(VK_F1);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = FindMessageBox(run.ProcessId(), "ConnSetup")) != nullptr; }, 5000));
    const MessageBoxSeen seen = ReadMessageBox(box);
    EXPECT_EQ("Failed to launch help.", seen.text);
    EXPECT_EQ(run.Dialog(), seen.owner);
    EXPECT_FALSE(::IsWindowEnabled(run.Dialog()));
    ASSERT_TRUE(CloseMessageBox(box));
    EXPECT_TRUE(StaysOpen());
    EXPECT_TRUE(::IsWindowEnabled(run.Dialog()));
}

// DPI awareness cannot be seen here: Wine reports every process as per-monitor
// aware, manifest or not. The manifest's own test covers it.
TEST_F(DialogTest, TheDialogsControlsComeFromCommonControls6)
{
    Prepare("T-Manifest", "M1");
    StartDialog();
    // Only the version 6 combo box knows how many items its list shows (30 by default).
    EXPECT_EQ(30, ::SendMessageW(run.Item(kList), 0x1702 /* CB_GETMINVISIBLE */, 0, 0))
        << "the controls are not those of Common Controls 6";
}
