// The application: Windows Sockets, then the connection dialog, then the end.
#pragma once

#include "framework/WinApp.h"

class CConnSetupApp : public CWinApp
{
public:
    BOOL InitInstance() override;
    BOOL OnCommand(UINT nID) override;
};
