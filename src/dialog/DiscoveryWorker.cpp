// The Discover button: one discovery pass on a worker thread, with the
// dialog's controls locked until the pass and its report are over.
#include "ConnSetupDlg.h"

#include "DiscoveryMessages.h"
#include "config/LangLibrary.h"
#include "discovery/DeviceFinder.h"
#include "framework/MessageBox.h"
#include "framework/Thread.h"
#include "res/langids.h"

#include <string>

void CConnSetupDlg::OnDiscover()
{
    // Marked before the thread exists, so that a second click cannot start a second pass.
    if (m_bDiscovering.exchange(true))
        return;
    // The pass disables the focused control; the focus comes back to it at the end.
    m_hFocusAtStart = ::GetFocus();
    while (m_hFocusAtStart && ::GetParent(m_hFocusAtStart) != m_hWnd)
        m_hFocusAtStart = ::GetParent(m_hFocusAtStart);  // a combo box's edit field: the combo box
    // The last pass's thread has done its last message to the dialog, the
    // one that cleared the mark: it is only returning, and joined at once.
    if (!m_worker.Begin(DiscoveryThreadProc, this))
    {
        m_bDiscovering = false;
        return;
    }
    RefreshCursor();
}

unsigned __stdcall CConnSetupDlg::DiscoveryThreadProc(void* pParam)
{
    static_cast<CConnSetupDlg*>(pParam)->RunDiscovery();
    return 0;
}

// Locked in this order and unlocked in the same order; the label stays as it is.
void CConnSetupDlg::EnableLockedControls(BOOL bEnable) const
{
    m_btnOk.EnableWindow(bEnable);
    m_btnCancel.EnableWindow(bEnable);
    m_chkUsb.EnableWindow(bEnable);
    m_btnDiscover.EnableWindow(bEnable);
    m_btnNoShow.EnableWindow(bEnable);
    m_cboDevice.EnableWindow(bEnable);
}

void CConnSetupDlg::RunDiscovery()
{
    {
        CDeviceFinder finder;
        CLangLibrary lang;
        lang.SetLibraryName(m_strLangDll);

        EnableLockedControls(FALSE);
        m_cboDevice.ResetContent();

        char results[CDeviceFinder::kResultsSize] = {};
        finder.Discover(results);  // nothing sent reads as nothing found: message 6002

        int added = 0;
        for (const std::string& device : CDeviceFinder::Devices(results))
        {
            m_cboDevice.AddString(device.c_str());
            m_cboDevice.SetCurSel(added);
            ++added;
        }

        if (m_chkUsb.GetCheck() == BST_UNCHECKED && m_cboDevice.GetCount() <= 0)
            AfxMessageBox(lang.GetNumberedMessage(IDS_NO_DEVICE).c_str());
    }
    // The dialog's own thread unlocks the controls and clears the mark in one
    // step: nothing can end the dialog in between, and this thread touches
    // the dialog no more once the message returns.
    SendMessage(WM_DISCOVERY_DONE);
}

void CConnSetupDlg::OnDiscoveryDone()
{
    EnableLockedControls(TRUE);
    m_bDiscovering = false;
    RestoreFocus();
    RefreshCursor();
}

// To the control that had the focus when the pass began, else to the first
// tab stop: never left on a control that was disabled meanwhile. Through the
// dialog manager, which keeps the default button right.
void CConnSetupDlg::RestoreFocus() const
{
    HWND hTarget = m_hFocusAtStart;
    if (!hTarget || !::IsWindowEnabled(hTarget) || !::IsWindowVisible(hTarget))
        hTarget = ::GetNextDlgTabItem(m_hWnd, nullptr, FALSE);
    if (hTarget)
        SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(hTarget), TRUE);
}

// While a pass runs the pointer over the dialog says that it works in the
// background; not while message 6002 waits for the user (the dialog is
// disabled then, and a click on it flashes the message as usual).
BOOL CConnSetupDlg::OnSetCursor()
{
    if (!m_bDiscovering || !IsWindowEnabled())
        return FALSE;
    ::SetCursor(::LoadCursorA(nullptr, IDC_APPSTARTING));
    return TRUE;
}

// The pointer over the dialog changes when the pass starts or ends, not at its next move.
void CConnSetupDlg::RefreshCursor() const
{
    POINT pt{};
    if (!::GetCursorPos(&pt))
        return;
    const HWND hUnder = ::WindowFromPoint(pt);
    if (hUnder != m_hWnd && !::IsChild(m_hWnd, hUnder))
        return;
    const LRESULT hit = ::SendMessageA(hUnder, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    ::SendMessageA(hUnder, WM_SETCURSOR, reinterpret_cast<WPARAM>(hUnder), MAKELPARAM(hit, WM_MOUSEMOVE));
}
