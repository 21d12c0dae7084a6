// Apart from SafeStart.cpp, so that a program without windows imports no comctl32.
#include "SafeStart.h"

#include <windows.h>

#include <commctrl.h>

void InitCommonControlClasses()
{
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_STANDARD_CLASSES;
    ::InitCommonControlsEx(&icc);
}
