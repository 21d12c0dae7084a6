// The stored connection choice: HKCU\SOFTWARE\<maker>\<model>.
#include "ConnSetupDlg.h"

#include <cstring>

namespace
{
const char kRoot[] = "HKEY_CURRENT_USER";
const char kPortType[] = "PortType";
const char kVelmora[] = "Velmora";
const char kSaveSetting[] = "SaveSetting";
}  // namespace

std::string CConnSetupDlg::SettingsKeyPath() const
{
    return "SOFTWARE\\" + m_strMaker + "\\" + m_strModel;
}

void CConnSetupDlg::LoadPortRecord(PortRecord& record)
{
    PortRecord local{};
    // Opening creates the key; when it cannot be opened every value reads as zero.
    m_settingsKey.Open(kRoot, SettingsKeyPath());
    m_settingsKey.ReadBinary(kSaveSetting, &local.bySaveSetting, sizeof local.bySaveSetting);
    m_settingsKey.ReadBinary(kPortType, &local.byPortType, sizeof local.byPortType);
    m_settingsKey.ReadBinary(kVelmora, local.szPort, sizeof local.szPort);
    m_settingsKey.Close();
    local.szPort[sizeof local.szPort - 1] = '\0';
    record = local;
}

bool CConnSetupDlg::SavePortRecord()
{
    if (!m_settingsKey.Open(kRoot, SettingsKeyPath()))
        return false;

    char buffer[sizeof PortRecord{}.szPort] = {};
    buffer[0] = m_chkUsb.GetCheck() > 0 ? 1 : 0;
    // The marker goes last, and only after the values it vouches for.
    bool stored = m_settingsKey.WriteBinary(kPortType, buffer, 1);
    if (stored)
    {
        std::memset(buffer, 0, sizeof buffer);
        m_cboDevice.GetWindowText(buffer, sizeof buffer);
        stored = m_settingsKey.WriteBinary(kVelmora, buffer, sizeof buffer);
    }
    if (stored)
    {
        std::memset(buffer, 0, sizeof buffer);
        buffer[0] = 1;
        stored = m_settingsKey.WriteBinary(kSaveSetting, buffer, 1);
    }
    m_settingsKey.Close();
    return stored;
}
