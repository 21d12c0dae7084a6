// The yardstick for the launch benchmark: the program's own dialog template
// shown by a bare Win32 program, without any of the program's logic.
#include "res/resource.h"

#include <windows.h>

static INT_PTR CALLBACK BareProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)
    {
        EndDialog(hDlg, IDCANCEL);
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    return static_cast<int>(DialogBoxParamA(hInstance, MAKEINTRESOURCEA(IDD_CONNSETUP), nullptr, BareProc, 0));
}
