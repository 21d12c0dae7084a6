#include "PortRecord.h"

#include <strsafe.h>

namespace
{
const char kRoot[] = "HKEY_CURRENT_USER";
const char kPortType[] = "PortType";
const char kVelmora[] = "Velmora";
const char kSaveSetting[] = "SaveSetting";
}  // namespace

std::string SettingsKeyPath(const std::string& maker, const std::string& model)
{
    return "SOFTWARE\\" + maker + "\\" + model;
}

bool ReadPortRecord(CSettingsKey& key, const std::string& subKey, PortRecord& record, bool createKey)
{
    PortRecord local{};
    // A key that cannot be opened leaves the key object closed: every value reads as zero.
    key.Open(kRoot, subKey, createKey);
    key.ReadBinary(kSaveSetting, &local.bySaveSetting, sizeof local.bySaveSetting);
    const bool typeStored = key.ReadBinary(kPortType, &local.byPortType, sizeof local.byPortType);
    key.ReadBinary(kVelmora, local.szPort, sizeof local.szPort);
    key.Close();
    local.szPort[sizeof local.szPort - 1] = '\0';
    record = local;
    return typeStored;
}

bool WritePortRecord(CSettingsKey& key, const std::string& subKey, bool usb, const std::string& portText)
{
    if (!key.Open(kRoot, subKey))
        return false;
    const BYTE portType = usb ? kPortTypeUsb : 0;
    char port[sizeof PortRecord{}.szPort] = {};
    // A longer text is cut to what the value holds (STRSAFE_E_INSUFFICIENT_BUFFER).
    ::StringCchCopyNA(port, sizeof port, portText.c_str(), portText.size());
    const BYTE marker = 1;
    const bool stored = key.WriteBinary(kPortType, &portType, sizeof portType) &&
                        key.WriteBinary(kVelmora, port, sizeof port) &&
                        key.WriteBinary(kSaveSetting, &marker, sizeof marker);
    key.Close();
    return stored;
}
