// The dialog class run inside the test process, where its handlers can be
// called with nothing in between and its registry writes can be made to
// fail: what no message from outside can do.
#include "DialogFixture.h"

#include "dialog/ConnSetupDlg.h"
#include "framework/WinApp.h"
#include "support/Network.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <thread>

namespace
{
// The sample twain.ini beside the test exe names this key.
const char kSampleKey[] = "SOFTWARE\\ORVEL\\QX7S&QN8S";

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

// The application object a program has, for what the framework asks of it.
class MainWindowApp : public CWinApp
{
public:
    BOOL InitInstance() override { return FALSE; }
};

// Runs dlg modally while script drives it from another thread, once it
// shows (its handle comes before it has its place on the screen); script
// ends by closing the dialog. The whole run is bounded.
INT_PTR RunModal(CDialog& dlg, const std::function<void(HWND)>& script)
{
    std::thread driver(
        [&dlg, &script]
        {
            HWND hDlg = nullptr;
            if (WaitFor([&] { return (hDlg = dlg.GetSafeHwnd()) != nullptr && ::IsWindowVisible(hDlg); }, 10000))
                script(hDlg);
        });
    const Watchdog bound(30000, "the in-process dialog was not closed");
    const INT_PTR result = dlg.DoModal();
    driver.join();
    return result;
}

// What the pointer is over, against where the dialog is, for a failure's message.
std::string WindowUnderPointer(HWND hDlg)
{
    POINT pt{};
    ::GetCursorPos(&pt);
    RECT rc{};
    ::GetWindowRect(hDlg, &rc);
    const HWND hUnder = ::WindowFromPoint(pt);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hUnder, &pid);
    char cls[64] = {};
    ::GetClassNameA(hUnder, cls, sizeof cls);
    return "the pointer at " + std::to_string(pt.x) + "," + std::to_string(pt.y) + " is over a window of class " + cls +
           " of process " + std::to_string(pid) + "; the dialog is at " + std::to_string(rc.left) + "," +
           std::to_string(rc.top) + "-" + std::to_string(rc.right) + "," + std::to_string(rc.bottom);
}

void Click(HWND hDlg, int id)
{
    ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

// Fails the write of one value by name, as a full disk or a policy would.
const char* g_failName = nullptr;
LONG WINAPI WriterFailingOne(HKEY hKey, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size)
{
    if (std::strcmp(name, g_failName) == 0)
        return ERROR_ACCESS_DENIED;
    return ::RegSetValueExA(hKey, name, reserved, type, data, size);
}
}  // namespace

TEST(InProcess, TwoClicksInARowStartOnePass)
{
    SKIP_IN_SELFTEST(kNeedsRig);
    ASSERT_TRUE(SimulatorReset());
    ASSERT_TRUE(SimulatorRule("192.168.123.11", 1, 6, 100));

    DoubleClickDlg dlg;
    // Closes the dialog once the pass is over and the controls are back.
    const INT_PTR result = RunModal(dlg,
                                    [](HWND hDlg)
                                    {
                                        auto idle = [&] { return ::IsWindowEnabled(::GetDlgItem(hDlg, kDiscover)); };
                                        ::Sleep(500);
                                        EXPECT_TRUE(WaitFor(idle, 10000)) << "the first pass did not end";
                                        ::Sleep(1000);  // time for a second pass, had one started, to show
                                        EXPECT_TRUE(WaitFor(idle, 10000)) << "a second pass did not end";
                                        Click(hDlg, kCancel);
                                    });
    EXPECT_EQ(IDNO, result);
    EXPECT_EQ(kOnePassQueries, SimulatorQueries()) << "more than one pass";
    DeleteKeyTree("SOFTWARE\\ORVEL");
}

TEST(InProcess, AWriteThatFailsLeavesNoMarkerAndKeepsTheDialogOpen)
{
    SKIP_IN_SELFTEST(kUsesBuiltInKey);
    const std::string kWriteOrder[] = {"PortType", "Velmora", "SaveSetting"};
    for (const std::string& failing : kWriteOrder)
    {
        SCOPED_TRACE(failing);
        DeleteKeyTree("SOFTWARE\\ORVEL");
        g_failName = failing.c_str();
        CConnSetupDlg dlg(nullptr, WriterFailingOne);
        std::string said;
        bool openAfterBox = false;
        const INT_PTR result =
            RunModal(dlg,
                     [&](HWND hDlg)
                     {
                         Click(hDlg, kOk);
                         HWND box = nullptr;
                         WaitFor([&] { return (box = FindMessageBox(::GetCurrentProcessId())); }, 5000);
                         if (box)
                         {
                             said = ReadMessageBox(box).text;
                             CloseMessageBox(box);
                         }
                         ::Sleep(200);
                         openAfterBox = ::IsWindowVisible(hDlg) != FALSE;
                         Click(hDlg, kCancel);
                     });
        EXPECT_EQ(CConnSetupDlg::kSaveFailedText, said);
        EXPECT_TRUE(openAfterBox) << "OK closed the dialog as if the choice was stored";
        EXPECT_EQ(IDNO, result);
        EXPECT_FALSE(ReadValue(kSampleKey, "SaveSetting").present) << "the marker vouches for a record never stored";
        // Nothing after the write that failed was written either.
        std::vector<std::string> written = ValueNames(kSampleKey);
        std::sort(written.begin(), written.end());
        std::vector<std::string> before(kWriteOrder,
                                        std::find(std::begin(kWriteOrder), std::end(kWriteOrder), failing));
        std::sort(before.begin(), before.end());
        EXPECT_EQ(before, written);
    }
    DeleteKeyTree("SOFTWARE\\ORVEL");
}

TEST(InProcess, ThePointerShowsWorkInTheBackgroundWhileAPassRuns)
{
    SKIP_IN_SELFTEST(kNeedsRig);
    ASSERT_TRUE(SimulatorReset());
    ASSERT_TRUE(SimulatorRule("192.168.123.11", 1, 6, 100));
    const HCURSOR working = ::LoadCursorA(nullptr, IDC_APPSTARTING);
    const HCURSOR arrow = ::LoadCursorA(nullptr, IDC_ARROW);
    // The pointer the dialog set, read from its own thread's input (shared
    // while attached). The screen shows the foreground thread's, and which
    // thread is in the foreground is not the dialog's to decide: under Wine
    // without a window manager, now and then none of this process's is.
    auto pointerOf = [](HWND hDlg)
    {
        const DWORD dialogThread = ::GetWindowThreadProcessId(hDlg, nullptr);
        ::AttachThreadInput(::GetCurrentThreadId(), dialogThread, TRUE);
        const HCURSOR hCursor = ::GetCursor();
        ::AttachThreadInput(::GetCurrentThreadId(), dialogThread, FALSE);
        return hCursor;
    };
    bool before = false, during = false, after = false, disabledByMessage = false;
    std::string under;
    HCURSOR withMessage = nullptr;
    CConnSetupDlg dlg;
    // As in the program, the dialog is the application's main window: the
    // message is owned by it, and disables it while it waits.
    MainWindowApp app;
    app.m_pMainWnd = &dlg;
    RunModal(dlg,
             [&](HWND hDlg)
             {
                 auto shows = [&](HCURSOR hCursor)
                 { return WaitFor([&] { return pointerOf(hDlg) == hCursor; }, 5000, 50); };
                 // The pointer moves onto the dialog and rests there, on no control.
                 RECT rc{};
                 ::GetWindowRect(hDlg, &rc);
                 ::SetCursorPos(rc.left + 4, rc.bottom - 4);
                 ::SetCursorPos(rc.left + 3, rc.bottom - 3);
                 before = shows(arrow);
                 if (!before)
                     under = WindowUnderPointer(hDlg);
                 Click(hDlg, kDiscover);
                 auto passRuns = [&] { return !::IsWindowEnabled(::GetDlgItem(hDlg, kDiscover)); };
                 EXPECT_TRUE(WaitFor(passRuns, 3000)) << "the pass did not start";
                 during = shows(working);
                 EXPECT_TRUE(WaitFor([&] { return !passRuns(); }, 10000)) << "the pass did not end";
                 after = shows(arrow);

                 // A pass that finds nothing: with its message up the dialog
                 // is disabled, and the pointer moved onto it is the ordinary one.
                 ASSERT_TRUE(SimulatorReset());
                 Click(hDlg, kDiscover);
                 HWND box = nullptr;
                 WaitFor([&] { return (box = FindMessageBox(::GetCurrentProcessId())) != nullptr; }, 10000);
                 ASSERT_NE(nullptr, box) << "no message after a silent pass";
                 disabledByMessage = WaitFor([&] { return !::IsWindowEnabled(hDlg); }, 5000);
                 // What the system sends a disabled window as the pointer moves
                 // over it (Wine sends nothing): the dialog must not show work.
                 const DWORD dialogThread = ::GetWindowThreadProcessId(hDlg, nullptr);
                 ::AttachThreadInput(::GetCurrentThreadId(), dialogThread, TRUE);
                 ::SendMessageA(hDlg, WM_SETCURSOR, reinterpret_cast<WPARAM>(hDlg), MAKELPARAM(HTERROR, WM_MOUSEMOVE));
                 withMessage = ::GetCursor();
                 ::AttachThreadInput(::GetCurrentThreadId(), dialogThread, FALSE);
                 CloseMessageBox(box);
                 EXPECT_TRUE(WaitFor([&] { return !passRuns(); }, 5000)) << "the pass did not end";
                 Click(hDlg, kCancel);
             });
    EXPECT_TRUE(before) << "the pointer over the dialog is not the arrow; " << under;
    EXPECT_TRUE(during) << "the pointer did not show the pass";
    EXPECT_TRUE(after) << "the pointer still shows a pass that ended";
    EXPECT_TRUE(disabledByMessage) << "the message did not disable the dialog";
    EXPECT_EQ(arrow, withMessage) << "the pointer shows work while the message waits for the user";
    DeleteKeyTree("SOFTWARE\\ORVEL");
}
