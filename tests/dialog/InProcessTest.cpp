// The dialog class run inside the test process, where its handlers can be
// called with nothing in between: what no message from outside can do.
#include "DialogFixture.h"

#include "dialog/ConnSetupDlg.h"
#include "support/Network.h"

#include <thread>

namespace
{
// Presses Discover twice within one message, before any worker can run.
class DoubleClickDlg : public CConnSetupDlg
{
protected:
    BOOL OnInitDialog() override
    {
        const BOOL result = CConnSetupDlg::OnInitDialog();
        OnDiscover();
        OnDiscover();
        return result;
    }
};
}  // namespace

TEST(InProcess, TwoClicksInARowStartOnePass)
{
    ASSERT_TRUE(SimulatorReset());
    ASSERT_TRUE(SimulatorRule("192.168.123.11", 1, 6, 100));

    DoubleClickDlg dlg;
    // Closes the dialog once the pass is over and the controls are back.
    std::thread closer(
        [&dlg]
        {
            HWND hDlg = nullptr;
            WaitFor([&] { return (hDlg = dlg.GetSafeHwnd()) != nullptr; }, 10000);
            ::Sleep(500);
            WaitFor([&] { return ::IsWindowEnabled(::GetDlgItem(hDlg, kDiscover)) != FALSE; }, 10000);
            ::Sleep(1000);  // time for a second pass, had one started, to show
            WaitFor([&] { return ::IsWindowEnabled(::GetDlgItem(hDlg, kDiscover)) != FALSE; }, 10000);
            ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(kCancel, BN_CLICKED), 0);
        });
    EXPECT_EQ(IDNO, dlg.DoModal());
    closer.join();

    EXPECT_EQ(1u, SimulatorPassesSeen().size()) << "each pass queries from a socket of its own";
    DeleteKeyTree("SOFTWARE\\ORVEL");
}
