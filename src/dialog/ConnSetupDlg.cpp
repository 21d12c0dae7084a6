#include "ConnSetupDlg.h"

#include "config/LangLibrary.h"
#include "config/ModelIdentity.h"
#include "framework/MessageBox.h"
#include "framework/ProgramDir.h"
#include "res/langids.h"
#include "res/resource.h"

#include "DiscoveryMessages.h"

// clang-format off
BEGIN_MESSAGE_TABLE(CConnSetupDlg)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_OK_BTN, OnOkButton)
    ON_BN_CLICKED(IDC_DISCOVER, OnDiscover)
    ON_BN_CLICKED(IDC_CANCEL_BTN, OnCancelButton)
    ON_BN_CLICKED(IDC_USB_CHECK, OnUsbClicked)
    ON_MESSAGE_VOID(WM_DISCOVERY_DONE, OnDiscoveryDone)
    ON_WM_SETCURSOR()
END_MESSAGE_TABLE()
// clang-format on

CConnSetupDlg::CConnSetupDlg(HWND hParent, RegistryWriterFn writer)
    : CDialog(IDD_CONNSETUP, hParent),
      m_hIcon(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_settingsKey(writer)
{
}

void CConnSetupDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_NO_SHOW_CHECK, m_btnNoShow);
    DDX_Control(pDX, IDC_SELECT_LABEL, m_lblSelect);
    DDX_Control(pDX, IDC_USB_CHECK, m_chkUsb);
    DDX_Control(pDX, IDC_CANCEL_BTN, m_btnCancel);
    DDX_Control(pDX, IDC_DISCOVER, m_btnDiscover);
    DDX_Control(pDX, IDC_OK_BTN, m_btnOk);
    DDX_Control(pDX, IDC_DEVICE_LIST, m_cboDevice);
}

BOOL CConnSetupDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    // The language library is unloaded again before the dialog shows.
    CLangLibrary lang;
    const ModelIdentity identity = ReadModelIdentity(DirectoryOf(lang.GetModulePath()) + "twain.ini");
    m_strMaker = identity.maker;
    m_strModel = identity.model;
    m_strCountry = identity.country;
    SetWindowText(m_strModel);

    m_strLangDll = m_strCountry + ".dll";
    lang.SetLibraryName(m_strLangDll);
    m_lblSelect.SetWindowText(lang.GetText(IDS_SELECT_DEVICE));
    m_btnOk.SetWindowText(lang.GetText(IDS_OK));
    m_btnDiscover.SetWindowText(lang.GetText(IDS_DISCOVER));
    m_btnCancel.SetWindowText(lang.GetText(IDS_CANCEL));
    m_chkUsb.SetWindowText(lang.GetText(IDS_USB));

    PortRecord record;
    LoadPortRecord(record);
    const bool usb = record.byPortType == kPortTypeUsb;
    if (usb)
        m_chkUsb.SetCheck(BST_CHECKED);
    m_cboDevice.AddString(record.szPort);
    m_cboDevice.SetCurSel(0);
    if (usb)
        m_cboDevice.EnableWindow(FALSE);
    m_btnDiscover.EnableWindow(!usb);

    // Screen readers name a control without text of its own after the static
    // text before it in the z-order, which the template puts last: the
    // label goes just before the list. It takes no focus, so the tab order stays.
    ::SetWindowPos(m_lblSelect.GetSafeHwnd(), ::GetWindow(m_cboDevice.GetSafeHwnd(), GW_HWNDPREV), 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return TRUE;
}

void CConnSetupDlg::OnOK()
{
    // Enter on a non-button: closes without storing, but never during a pass.
    if (m_bDiscovering)
        return;
    CDialog::OnOK();
}

void CConnSetupDlg::OnCancel()
{
    // Escape and close requests never end this dialog.
}

void CConnSetupDlg::OnOkButton()
{
    if (m_bDiscovering)
        return;
    if (SavePortRecord())
        EndDialog(IDOK);
    else
        AfxMessageBox(kSaveFailedText);
}

void CConnSetupDlg::OnCancelButton()
{
    if (m_bDiscovering)
        return;
    EndDialog(IDNO);
}

void CConnSetupDlg::OnUsbClicked()
{
    const BOOL network = m_chkUsb.GetCheck() > 0 ? FALSE : TRUE;
    m_cboDevice.EnableWindow(network);
    m_btnDiscover.EnableWindow(network);
}

void CConnSetupDlg::OnPaint()
{
    PAINTSTRUCT ps;
    HDC hdc = ::BeginPaint(m_hWnd, &ps);
    if (IsIconic())
    {
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(hdc));
        RECT rect;
        ::GetClientRect(m_hWnd, &rect);
        const int x = (rect.right - rect.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (rect.bottom - rect.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
        ::DrawIcon(hdc, x, y, m_hIcon);
    }
    ::EndPaint(m_hWnd, &ps);
}

HCURSOR CConnSetupDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}
