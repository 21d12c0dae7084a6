// Drives the running connection dialog for tools/demo:
//   demodriver wait TITLE      waits until the dialog titled TITLE shows, and
//                              makes it the active window (a screenshot
//                              then shows its title bar as a user sees it)
//   demodriver discover TITLE  presses Discover and waits for the pass to start
//   demodriver idle TITLE      waits until the pass is over
//   demodriver ok TITLE        presses OK
#include "res/resource.h"
#include "support/Desktop.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: demodriver wait|discover|idle|ok TITLE\n");
        return 2;
    }
    const std::string verb = argv[1];
    HWND hDlg = nullptr;
    if (!WaitFor([&] { return (hDlg = ::FindWindowA("#32770", argv[2])) != nullptr && ::IsWindowVisible(hDlg); },
                 20000))
        return 1;
    if (verb == "wait")
    {
        if (!::SetForegroundWindow(hDlg))
            return 1;
        // Active it is, but without a window manager Wine keeps drawing its
        // title bar as inactive: drawn again as Windows draws an active one.
        ::SendMessageA(hDlg, WM_NCACTIVATE, TRUE, 0);
        return 0;
    }
    const HWND hOk = ::GetDlgItem(hDlg, IDC_OK_BTN);
    const HWND hDiscover = ::GetDlgItem(hDlg, IDC_DISCOVER);
    if (verb == "discover")
    {
        ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_DISCOVER, BN_CLICKED), reinterpret_cast<LPARAM>(hDiscover));
        return WaitFor([&] { return !::IsWindowEnabled(hDiscover); }, 5000) ? 0 : 1;
    }
    if (verb == "idle")
        return WaitFor([&] { return ::IsWindowEnabled(hDiscover) && ::IsWindowEnabled(hOk); }, 10000) ? 0 : 1;
    if (verb == "ok")
        ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_OK_BTN, BN_CLICKED), reinterpret_cast<LPARAM>(hOk));
    return 0;
}
