// One registry key, opened (and created if missing) for one load or save.
#pragma once

#include <windows.h>

#include <string>

using RegistryWriterFn = LONG(WINAPI*)(HKEY hKey, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                                       DWORD size);
using RegistryReaderFn = LONG(WINAPI*)(HKEY hKey, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                       LPDWORD size);

class CSettingsKey
{
public:
    // writer and reader are the system's unless a test makes them fail.
    explicit CSettingsKey(RegistryWriterFn writer = ::RegSetValueExA, RegistryReaderFn reader = ::RegQueryValueExA)
        : m_pfnWriter(writer),
          m_pfnReader(reader)
    {
    }
    virtual ~CSettingsKey() { Close(); }
    CSettingsKey(const CSettingsKey&) = delete;
    CSettingsKey& operator=(const CSettingsKey&) = delete;

    // rootName is "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER" or
    // "HKEY_LOCAL_MACHINE"; subKey and any missing keys on its path are
    // created, unless create is false (then it is opened for reading only).
    // A key still open is closed first. False when the root is unknown or
    // the key cannot be opened.
    bool Open(const std::string& rootName, const std::string& subKey, bool create = true);
    // False when nothing was stored.
    bool WriteBinary(const char* name, const void* data, DWORD size);
    // Fills buffer with the value's bytes; a value that is missing, cannot
    // be read or is larger than size leaves it all zero and returns false.
    bool ReadBinary(const char* name, void* buffer, DWORD size);
    void Close();

private:
    HKEY m_hKey = nullptr;
    RegistryWriterFn m_pfnWriter;
    RegistryReaderFn m_pfnReader;
};
