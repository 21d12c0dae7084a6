// The stored connection choice: HKEY_CURRENT_USER\SOFTWARE\<maker>\<model>,
// values "PortType", "Velmora" and "SaveSetting". The dialog and the
// command line read and write it through these, byte for byte alike.
#pragma once

#include "SettingsKey.h"

#include <windows.h>

#include <string>

struct PortRecord
{
    BYTE byPortType;     // 1: USB; anything else: network
    BYTE bySaveSetting;  // 1 once a choice was saved
    char szPort[16];     // the device's address, zero-terminated
};

constexpr BYTE kPortTypeUsb = 1;

// "SOFTWARE\<maker>\<model>", under HKEY_CURRENT_USER.
std::string SettingsKeyPath(const std::string& maker, const std::string& model);

// Reads the record; every value that is missing, too long or unreadable
// reads as zeros, and so does a key that cannot be opened. createKey makes
// a missing key, as the dialog always has. True when a port type is stored.
bool ReadPortRecord(CSettingsKey& key, const std::string& subKey, PortRecord& record, bool createKey);

// Stores the port type, the port text (16 bytes: at most 15 characters, then
// zeros) and last the marker, stopping at the first write that fails, so
// that the marker never vouches for values that were not stored. False
// when the key cannot be opened or anything was not stored.
bool WritePortRecord(CSettingsKey& key, const std::string& subKey, bool usb, const std::string& portText);
