// The dialog's side of the stored connection choice.
#include "ConnSetupDlg.h"

void CConnSetupDlg::LoadPortRecord(PortRecord& record)
{
    ReadPortRecord(m_settingsKey, SettingsKeyPath(m_strMaker, m_strModel), record, true);
}

bool CConnSetupDlg::SavePortRecord()
{
    char port[sizeof PortRecord{}.szPort] = {};
    m_cboDevice.GetWindowText(port, sizeof port);
    return WritePortRecord(m_settingsKey, SettingsKeyPath(m_strMaker, m_strModel), m_chkUsb.GetCheck() > 0, port);
}
