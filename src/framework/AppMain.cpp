// The program's entry: everything happens in the application object.
#include "SafeStart.h"
#include "WinApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    RestrictDllSearchToSystem();
    CWinApp* pApp = AfxGetApp();
    return pApp ? pApp->Run() : 0;
}
