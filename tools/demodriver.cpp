// Drives the running connection dialog for tools/demo:
//   demodriver wait TITLE      waits until the dialog titled TITLE shows
//   demodriver discover TITLE  presses Discover and waits for the pass to start
//   demodriver idle TITLE      waits until the pass is over
//   demodriver ok TITLE        presses OK
#include "support/Windows.h"

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
    const HWND hOk = ::GetDlgItem(hDlg, 522);
    const HWND hDiscover = ::GetDlgItem(hDlg, 518);
    if (verb == "discover")
    {
        ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(518, BN_CLICKED), reinterpret_cast<LPARAM>(hDiscover));
        return WaitFor([&] { return !::IsWindowEnabled(hDiscover); }, 5000) ? 0 : 1;
    }
    if (verb == "idle")
        return WaitFor([&] { return ::IsWindowEnabled(hDiscover) && ::IsWindowEnabled(hOk); }, 10000) ? 0 : 1;
    if (verb == "ok")
        ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(522, BN_CLICKED), reinterpret_cast<LPARAM>(hOk));
    return 0;
}
