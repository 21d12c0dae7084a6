// The application object: one static instance per program, whose
// InitInstance the entry point runs.
#pragma once

#include "Wnd.h"

#include <string>

// The standard Help command, sent to the main window when F1 is pressed.
constexpr UINT ID_HELP = 0xE146;

class CWinApp
{
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Return FALSE to go straight to the exit sequence.
    virtual BOOL InitInstance() = 0;
    virtual int ExitInstance() { return m_nExitCode; }
    // The application's command table; return TRUE when the command was taken.
    virtual BOOL OnCommand(UINT nID);

    // InitInstance, with F1 turned into the Help command, then the exit sequence.
    int Run();
    // Shows the help file named after the program, or says that it cannot.
    void OnHelp();

    // The program file's name without its extension.
    const std::string& GetAppName() const { return m_strAppName; }
    std::string GetHelpFilePath() const;

    CWnd* m_pMainWnd = nullptr;
    // What the process returns: the last modal result of the main window.
    int m_nExitCode = 0;

private:
    static LRESULT CALLBACK MsgFilterProc(int code, WPARAM wParam, LPARAM lParam);

    std::string m_strAppName;
    HHOOK m_hMsgFilter = nullptr;
};

CWinApp* AfxGetApp();
