#include "SettingsKey.h"

#include <cstring>

namespace
{
struct RootKey
{
    const char* name;
    HKEY hKey;
};

const RootKey kRoots[] = {
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
};
}  // namespace

bool CSettingsKey::Open(const std::string& rootName, const std::string& subKey, bool create)
{
    Close();
    for (const RootKey& root : kRoots)
    {
        if (rootName != root.name)
            continue;
        HKEY hKey = nullptr;
        DWORD disposition = 0;
        const LONG result = create ? ::RegCreateKeyExA(root.hKey, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                       KEY_ALL_ACCESS, nullptr, &hKey, &disposition)
                                   : ::RegOpenKeyExA(root.hKey, subKey.c_str(), 0, KEY_READ, &hKey);
        if (result != ERROR_SUCCESS)
            return false;
        m_hKey = hKey;
        return true;
    }
    return false;
}

bool CSettingsKey::WriteBinary(const char* name, const void* data, DWORD size)
{
    return m_hKey && m_pfnWriter(m_hKey, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool CSettingsKey::ReadBinary(const char* name, void* buffer, DWORD size)
{
    std::memset(buffer, 0, size);
    DWORD got = size;
    const bool read =
        m_hKey && m_pfnReader(m_hKey, name, nullptr, nullptr, static_cast<BYTE*>(buffer), &got) == ERROR_SUCCESS;
    if (!read)
        std::memset(buffer, 0, size);  // what a failed or too-large read left is not a value
    return read;
}

void CSettingsKey::Close()
{
    if (m_hKey)
        ::RegCloseKey(m_hKey);
    m_hKey = nullptr;
}
