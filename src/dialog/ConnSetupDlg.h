// The connection dialog: USB or network, and which network device.
#pragma once

#include "config/PortRecord.h"
#include "config/SettingsKey.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/Thread.h"

#include <atomic>
#include <string>

class CConnSetupDlg : public CDialog
{
public:
    // writer stores the registry values (a test may make it fail).
    explicit CConnSetupDlg(HWND hParent = nullptr, RegistryWriterFn writer = ::RegSetValueExA);

    // Text of the box shown when the choice cannot be stored.
    static constexpr const char* kSaveFailedText = "The connection settings could not be saved.";

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnOkButton();
    void OnDiscover();
    void OnCancelButton();
    void OnUsbClicked();
    void OnDiscoveryDone();
    BOOL OnSetCursor();

    DECLARE_MESSAGE_TABLE()

private:
    void LoadPortRecord(PortRecord& record);
    bool SavePortRecord();

    static unsigned __stdcall DiscoveryThreadProc(void* pParam);
    void RunDiscovery();
    void EnableLockedControls(BOOL bEnable) const;
    void RestoreFocus() const;
    void RefreshCursor() const;

    std::string m_strCountry;
    std::string m_strModel;
    std::string m_strMaker;
    std::atomic<bool> m_bDiscovering{false};
    HWND m_hFocusAtStart = nullptr;  // the control that had the focus when the pass began
    CButton m_btnNoShow;
    CStatic m_lblSelect;
    CButton m_chkUsb;
    CButton m_btnCancel;
    CButton m_btnDiscover;
    CButton m_btnOk;
    CComboBox m_cboDevice;
    HICON m_hIcon;
    std::string m_strLangDll;
    CSettingsKey m_settingsKey;
    // Last, so that it is destroyed first: a pass still running is waited
    // for before anything it uses goes. The dialog cannot close during a
    // pass, and once its window is gone the pass's messages to it return at
    // once, so the wait cannot hang.
    CThreadHandle m_worker;
};
