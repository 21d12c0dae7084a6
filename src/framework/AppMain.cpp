// The program's entry: everything happens in the application object.
#include "WinApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    CWinApp* pApp = AfxGetApp();
    return pApp ? pApp->Run() : 0;
}
