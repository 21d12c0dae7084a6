#include "Registry.h"

bool KeyExists(const std::string& path)
{
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(hKey);
    return true;
}

void DeleteKeyTree(const std::string& path)
{
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS)
        return;
    char name[512];
    for (;;)
    {
        DWORD length = sizeof name;
        if (::RegEnumKeyExA(hKey, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        DeleteKeyTree(path + "\\" + name);
    }
    ::RegCloseKey(hKey);
    ::RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
}

std::vector<std::string> ValueNames(const std::string& path)
{
    std::vector<std::string> names;
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return names;
    char name[256];
    for (DWORD i = 0;; ++i)
    {
        DWORD length = sizeof name;
        if (::RegEnumValueA(hKey, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    ::RegCloseKey(hKey);
    return names;
}

StoredValue ReadValue(const std::string& path, const std::string& name)
{
    StoredValue value;
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (::RegQueryValueExA(hKey, name.c_str(), nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS)
    {
        value.bytes.resize(size);
        value.present = ::RegQueryValueExA(hKey, name.c_str(), nullptr, &value.type,
                                           value.bytes.empty() ? nullptr : value.bytes.data(), &size) == ERROR_SUCCESS;
    }
    ::RegCloseKey(hKey);
    return value;
}

void WriteValue(const std::string& path, const std::string& name, DWORD type, const std::vector<unsigned char>& bytes)
{
    HKEY hKey = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr) !=
        ERROR_SUCCESS)
        return;
    ::RegSetValueExA(hKey, name.c_str(), 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
    ::RegCloseKey(hKey);
}

std::string SettingsPath(const std::string& maker, const std::string& model)
{
    return "SOFTWARE\\" + maker + "\\" + model;
}

std::vector<unsigned char> PortBytes(const std::string& text)
{
    std::vector<unsigned char> bytes(16, 0);
    for (size_t i = 0; i < text.size() && i < 16; ++i)
        bytes[i] = static_cast<unsigned char>(text[i]);
    return bytes;
}
