#include "ConnSetupApp.h"

#include "dialog/ConnSetupDlg.h"
#include "framework/MessageBox.h"
#include "framework/SafeStart.h"
#include "framework/Sockets.h"
#include "res/resource.h"

CConnSetupApp theApp;

BOOL CConnSetupApp::InitInstance()
{
    if (!AfxSocketInit())
    {
        AfxMessageBox(IDP_SOCKETS_INIT_FAILED);
        return FALSE;
    }
    // The controls' look: the system's visual style, through the manifest.
    InitCommonControlClasses();

    CConnSetupDlg dlg;
    m_pMainWnd = &dlg;
    // The process reports the dialog's result: 1 after OK, 7 after Cancel.
    m_nExitCode = static_cast<int>(dlg.DoModal());
    m_pMainWnd = nullptr;
    return FALSE;
}

BOOL CConnSetupApp::OnCommand(UINT nID)
{
    if (nID != ID_HELP)
        return FALSE;
    OnHelp();
    return TRUE;
}
