#include "WinApp.h"

#include "MessageBox.h"
#include "ProgramDir.h"

namespace
{
CWinApp* g_pApp = nullptr;

bool KeyDown(int vk)
{
    return (::GetKeyState(vk) & 0x8000) != 0;
}
}  // namespace

CWinApp* AfxGetApp()
{
    return g_pApp;
}

CWinApp::CWinApp()
{
    g_pApp = this;
    const std::string path = GetModuleFilePath();
    m_strAppName = path.substr(DirectoryOf(path).size());
    const std::string::size_type dot = m_strAppName.rfind('.');
    if (dot != std::string::npos)
        m_strAppName.erase(dot);
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::OnCommand(UINT)
{
    return FALSE;
}

std::string CWinApp::GetHelpFilePath() const
{
    std::string path = GetModuleFilePath();
    const std::string::size_type dot = path.rfind('.');
    if (dot != std::string::npos && dot >= DirectoryOf(path).size())
        path.erase(dot);
    return path + ".HLP";
}

void CWinApp::OnHelp()
{
    const HWND hOwner = m_pMainWnd ? m_pMainWnd->GetSafeHwnd() : nullptr;
    const std::string path = GetHelpFilePath();
    // Without the file WinHelp would only start a viewer that complains itself.
    const bool shown = ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES &&
                       ::WinHelpA(hOwner, path.c_str(), HELP_FINDER, 0);
    if (!shown)
        AfxMessageBox("Failed to launch help.");
}

// The dialog manager's modal loops pass every message through this filter:
// F1 with no modifier becomes the Help command for the enabled main window.
LRESULT CALLBACK CWinApp::MsgFilterProc(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* pMsg = reinterpret_cast<const MSG*>(lParam);
    CWinApp* pApp = g_pApp;
    if (code == MSGF_DIALOGBOX && pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_F1 && pApp && pApp->m_pMainWnd &&
        ::IsWindowEnabled(pApp->m_pMainWnd->GetSafeHwnd()) && !KeyDown(VK_SHIFT) && !KeyDown(VK_CONTROL) &&
        !KeyDown(VK_MENU))
    {
        pApp->m_pMainWnd->SendMessage(WM_COMMAND, ID_HELP);
        return TRUE;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

int CWinApp::Run()
{
    m_hMsgFilter = ::SetWindowsHookExA(WH_MSGFILTER, MsgFilterProc, nullptr, ::GetCurrentThreadId());
    InitInstance();
    if (m_hMsgFilter)
        ::UnhookWindowsHookEx(m_hMsgFilter);
    m_hMsgFilter = nullptr;
    return ExitInstance();
}
