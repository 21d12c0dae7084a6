#include "Dialog.h"

#include "WinApp.h"

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& control)
{
    if (control.GetSafeHwnd() == nullptr)
        control.Attach(::GetDlgItem(pDX->m_pDlgWnd->GetSafeHwnd(), nIDC));
}

CDialog::CDialog(UINT nIDTemplate, HWND hParent)
    : m_nIDTemplate(nIDTemplate),
      m_hParent(hParent)
{
}

INT_PTR CDialog::DoModal()
{
    INT_PTR result = ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nIDTemplate), m_hParent,
                                       DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

void CDialog::UpdateData()
{
    CDataExchange dx{this};
    DoDataExchange(&dx);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData();
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*)
{
}

void CDialog::OnOK()
{
    UpdateData();
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

const MessageEntry* CDialog::GetMessageTable() const
{
    static const MessageEntry s_none[] = {{0, 0, 0, nullptr}};
    return s_none;
}

// Centres the (still hidden) dialog on the work area of the monitor it is on.
void CDialog::CenterOnWorkArea() const
{
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    RECT rc{};
    if (!::GetMonitorInfoA(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi) || !::GetWindowRect(m_hWnd, &rc))
        return;
    const LONG width = rc.right - rc.left;
    const LONG height = rc.bottom - rc.top;
    const LONG x = mi.rcWork.left + (mi.rcWork.right - mi.rcWork.left - width) / 2;
    const LONG y = mi.rcWork.top + (mi.rcWork.bottom - mi.rcWork.top - height) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
    {
        auto* pThis = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        pThis->m_hWnd = hWnd;
        pThis->CenterOnWorkArea();
        return pThis->OnInitDialog();
    }
    auto* pThis = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    return pThis ? pThis->OnMessage(message, wParam) : FALSE;
}

INT_PTR CDialog::OnMessage(UINT message, WPARAM wParam)
{
    const UINT code = HIWORD(wParam);
    const UINT id = LOWORD(wParam);
    for (const MessageEntry* e = GetMessageTable(); e->invoke; ++e)
    {
        if (e->message != message)
            continue;
        if (message == WM_COMMAND && (e->code != code || e->id != id))
            continue;
        const LRESULT result = e->invoke(*this);
        // This one answers through the procedure's own return value.
        if (message == WM_QUERYDRAGICON)
            return static_cast<INT_PTR>(result);
        // This one is handled only when its handler says so, and then answers TRUE.
        if (message == WM_SETCURSOR)
        {
            ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
            return result ? TRUE : FALSE;
        }
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    if (id == IDOK)
        OnOK();
    else if (id == IDCANCEL)
        OnCancel();
    else if (CWinApp* pApp = AfxGetApp())
        return pApp->OnCommand(id);
    return TRUE;
}
